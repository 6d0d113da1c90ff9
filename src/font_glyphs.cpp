// From the glyphs of a font to a font table in the code page of the menu's
// slots.
#include "font_glyphs.h"

#include "font_codepage.h"
#include "messages.h"

#include <algorithm>
#include <cstdio>
#include <map>

// How many of the missing characters the report names one by one.
static const std::size_t missing_named = 6;

glyph_bitmap cell_glyph(const std::uint8_t* bits, unsigned width, unsigned height)
{
	unsigned row_bytes = (width + 7) / 8;
	glyph_bitmap glyph;
	glyph.top = (int)height;
	glyph.width = width;
	glyph.height = height;
	glyph.advance = width;
	glyph.pixels.resize(width * height);
	for (unsigned y = 0; y < height; y++)
		for (unsigned x = 0; x < width; x++)
			glyph.pixels[y * width + x] = (bits[y * row_bytes + x / 8] >> (7 - x % 8)) & 1;
	return glyph;
}

glyph_source table_source(const std::uint8_t* table, const std::string& kind)
{
	glyph_source source;
	source.kind = kind;
	source.glyph_count = font_glyph_count;
	source.ascent = font_cell;
	for (unsigned slot = 0; slot < font_glyph_count; slot++) {
		source.glyphs.push_back(cell_glyph(table + slot * font_glyph_bytes, font_cell, font_cell));
		source.codes.emplace_back(slot, slot);
	}
	return source;
}

std::string glyph_size_error(unsigned width, unsigned height)
{
	return format(tr("the glyphs are %s×%s pixels; the table holds 8×8"),
	              {number_text(width), number_text(height)});
}

// Whether a character of a font counts among those it brings to the menu:
// control codes do not.
static bool is_font_character(std::uint32_t c)
{
	return c >= 0x20 && !(c >= 0x7F && c <= 0x9F) && c <= 0x10FFFF;
}

// Finds the glyph of every slot of the menu's code page menu.  *layout says
// how, and into which code page when into is set; *font_chars gets the
// characters the font has, in order, where it says which ones it has.
static bool assign_slots(const glyph_source& source, const table_options& options,
                         const slots_codepage& menu, bool into,
                         int glyph_of_slot[256], std::string* layout,
                         std::vector<std::uint32_t>* font_chars, std::string* error)
{
	std::fill(glyph_of_slot, glyph_of_slot + 256, -1);
	font_chars->clear();
	if (source.unicode) {
		if (!options.codepage.empty()) {
			*error = format(tr("--codepage is for fonts that do not say which character "
			                   "each glyph is, and this %s names them in %s"),
			                {source.kind, source.character_map});
			return false;
		}
		std::map<std::uint32_t, unsigned> glyph_of;
		for (const auto& code : source.codes)
			glyph_of.emplace(code.first, code.second);
		for (unsigned slot = 1; slot < 256; slot++) {
			auto found = menu.chars[slot] != 0 ? glyph_of.find(menu.chars[slot])
			                                   : glyph_of.end();
			if (found != glyph_of.end())
				glyph_of_slot[slot] = (int)found->second;
		}
		for (const auto& code : glyph_of)
			font_chars->push_back(code.first);
		font_chars->insert(font_chars->end(), source.characters.begin(),
		                   source.characters.end());
		*layout = into ? format(tr("placed by %s into %s"), {source.character_map, menu.title})
		               : format(tr("placed by %s"), {source.character_map});
	} else {
		// A font of slots keeps its order unless a code page says what its
		// slots hold: the one it names itself, if the converter knows it,
		// or else the one the user names.  Slot 0 holds no character and
		// stays where it is.
		codepage_chars chars;
		std::string name;
		std::string unknown;
		if (!source.encoding.empty() && codepage_characters(source.encoding, chars, &unknown))
			name = source.encoding;
		if (!options.codepage.empty()) {
			if (!name.empty()) {
				*error = format(tr("--codepage is for fonts that do not say which character "
				                   "each glyph is, and this %s says its glyphs are in code "
				                   "page %s"),
				                {source.kind, name});
				return false;
			}
			if (!codepage_characters(options.codepage, chars, error))
				return false;
			name = options.codepage;
		}
		bool remap = !name.empty();
		for (const auto& code : source.codes) {
			if (code.first > 255)
				continue;
			int slot = (int)code.first;
			if (remap && slot != 0) {
				slot = slot_of(menu.chars, chars[code.first]);
				font_chars->push_back(chars[code.first]);
			}
			if (slot >= 0 && glyph_of_slot[slot] < 0)
				glyph_of_slot[slot] = (int)code.second;
		}
		if (remap && into)
			*layout = format(tr("remapped from code page %s into %s"), {name, menu.title});
		else if (remap)
			*layout = format(tr("remapped from code page %s"), {name});
		else if (!source.encoding.empty())
			*layout = format(tr("in slot order, as iconv knows no code page %s"),
			                 {source.encoding});
		else
			// TRANSLATORS: the ways glyphs find their slots end the line
			// import prints, after "PSF1 font, 256 glyphs of 8x8, ".
			*layout = tr("in slot order");
	}
	font_chars->erase(std::remove_if(font_chars->begin(), font_chars->end(),
	                                 [](std::uint32_t c) { return !is_font_character(c); }),
	                  font_chars->end());
	std::sort(font_chars->begin(), font_chars->end());
	font_chars->erase(std::unique(font_chars->begin(), font_chars->end()), font_chars->end());
	return true;
}

static std::string pixels(int n)
{
	// TRANSLATORS: "%s pixels" stands in the messages about glyphs too
	// large, as in "U+2502 │ is %s tall" and "reaches %s below the baseline".
	return format(tr_n("%s pixel", "%s pixels", (unsigned long)n), {number_text((unsigned)n)});
}

// Names the characters that make the glyphs too large for the table: on
// each side that does not fit, the one glyph that is too wide or too tall
// by itself, or else the glyphs (or the font's ascent or descent) that set
// the two edges.  top, bottom, left and right are the edges of the box the
// glyphs take, from the baseline and the pen position.
static std::string name_too_large(const glyph_source& source, const int glyph_of_slot[256],
                                  const codepage_chars chars, int top, int bottom, int left,
                                  int right)
{
	int widest = -1, tallest = -1, leftmost = -1, rightmost = -1, highest = -1, lowest = -1;
	int most_wide = 0, most_tall = 0;
	auto glyph = [&](int slot) -> const glyph_bitmap& {
		return source.glyphs[(unsigned)glyph_of_slot[slot]];
	};
	auto right_of = [&](int slot) { return glyph(slot).left + (int)glyph(slot).width; };
	auto below = [&](int slot) { return (int)glyph(slot).height - glyph(slot).top; };
	for (int slot = 0; slot < 256; slot++) {
		if (glyph_of_slot[slot] < 0 || glyph(slot).width == 0 || glyph(slot).height == 0)
			continue;
		const glyph_bitmap& g = glyph(slot);
		int wide = right_of(slot) - std::min(g.left, 0);
		if (widest < 0 || wide > most_wide) {
			most_wide = wide;
			widest = slot;
		}
		if (tallest < 0 || (int)g.height > most_tall) {
			most_tall = (int)g.height;
			tallest = slot;
		}
		if (leftmost < 0 || g.left < glyph(leftmost).left)
			leftmost = slot;
		if (rightmost < 0 || right_of(slot) > right_of(rightmost))
			rightmost = slot;
		if (highest < 0 || g.top > glyph(highest).top)
			highest = slot;
		if (lowest < 0 || below(slot) > below(lowest))
			lowest = slot;
	}
	auto name = [&](int slot) { return describe_character(chars[slot]); };
	std::vector<std::string> parts;
	if (right - left > (int)font_cell) {
		if (most_wide > (int)font_cell)
			parts.push_back(format(tr("%s is %s wide"), {name(widest), pixels(most_wide)}));
		else
			parts.push_back(format(tr("%s reaches %s left of the pen and %s %s right of it"),
			                       {name(leftmost), pixels(-left), name(rightmost),
			                        pixels(right)}));
	}
	if (top + bottom > (int)font_cell) {
		if (most_tall > (int)font_cell)
			parts.push_back(format(tr("%s is %s tall"), {name(tallest), pixels(most_tall)}));
		else if (glyph(highest).top < top)
			parts.push_back(format(tr("the font's ascent is %s and %s reaches %s below the "
			                          "baseline"),
			                       {pixels(top), name(lowest), pixels(bottom)}));
		else if (below(lowest) < bottom)
			parts.push_back(format(tr("%s reaches %s above the baseline and the font's "
			                          "descent is %s"),
			                       {name(highest), pixels(top), pixels(bottom)}));
		else
			parts.push_back(format(tr("%s reaches %s above the baseline and %s %s below it"),
			                       {name(highest), pixels(top), name(lowest), pixels(bottom)}));
	}
	std::string text;
	for (const std::string& part : parts)
		text = text.empty() ? part : format(tr("%s; %s"), {text, part});
	return text;
}

bool make_table(const glyph_source& source, const table_options& options, table_result* result,
                std::string* error)
{
	codepage_chars cp437;
	if (!cp437_characters(cp437, error))
		return false;
	if (options.slots != nullptr)
		result->slots = *options.slots;
	else if (!menu_codepage("", &result->slots, error))
		return false;
	const slots_codepage& menu = result->slots;
	int glyph_of_slot[256];
	std::vector<std::uint32_t> font_chars;
	// The layout is said to go into any code page but 437.
	bool into = !std::equal(menu.chars, menu.chars + 256, cp437);
	if (!assign_slots(source, options, menu, into, glyph_of_slot, &result->layout, &font_chars,
	                  error))
		return false;

	// The box the used glyphs' pixels take, from the baseline and the pen
	// position.  A font whose own cell fits keeps that cell, so its glyphs
	// sit as in its own terminal; a taller one is measured by its ink alone.
	int ink_top = 0, ink_bottom = 0, ink_left = 0, ink_right = 0;
	unsigned advance = 0;
	bool any_ink = false;
	for (unsigned slot = 0; slot < 256; slot++) {
		if (glyph_of_slot[slot] < 0)
			continue;
		const glyph_bitmap& g = source.glyphs[(unsigned)glyph_of_slot[slot]];
		advance = std::max(advance, g.advance);
		if (g.width == 0 || g.height == 0)
			continue;
		int bottom = (int)g.height - g.top;
		int right = g.left + (int)g.width;
		ink_top = any_ink ? std::max(ink_top, g.top) : g.top;
		ink_bottom = any_ink ? std::max(ink_bottom, bottom) : bottom;
		ink_left = std::min(any_ink ? ink_left : 0, g.left);
		ink_right = std::max(any_ink ? ink_right : 0, right);
		any_ink = true;
	}
	int cell_height = source.ascent + source.descent;
	bool cell_fits = cell_height <= (int)font_cell;
	int top = cell_fits ? std::max(ink_top, source.ascent) : ink_top;
	int bottom = cell_fits ? std::max(ink_bottom, source.descent) : ink_bottom;
	int left = std::min(ink_left, 0);
	unsigned width = (unsigned)(ink_right - left);
	unsigned height = (unsigned)std::max(top + bottom, 0);
	result->width = std::max(width, advance);
	result->height = std::max(height, (unsigned)std::max(cell_height, 0));
	if (width > font_cell || height > font_cell) {
		*error = glyph_size_error(result->width, result->height);
		result->too_large = name_too_large(source, glyph_of_slot, menu.chars, top, bottom, left,
		                                   ink_right);
		return false;
	}

	result->table.assign(font_glyph_count * font_glyph_bytes, 0);
	result->missing.clear();
	result->empty.clear();
	for (unsigned slot = 0; slot < 256; slot++) {
		std::uint8_t* rows = &result->table[slot * font_glyph_bytes];
		if (glyph_of_slot[slot] < 0) {
			if (slot == 0 || menu.chars[slot] == 0)
				continue;
			result->missing.push_back(slot);
			// The fill table holds the character where code page 437 does.
			int from = options.fill != nullptr ? slot_of(cp437, menu.chars[slot]) : -1;
			if (from < 0)
				result->empty.push_back(slot);
			else
				std::copy(options.fill + from * font_glyph_bytes,
				          options.fill + (from + 1) * font_glyph_bytes, rows);
			continue;
		}
		const glyph_bitmap& g = source.glyphs[(unsigned)glyph_of_slot[slot]];
		for (unsigned y = 0; y < g.height; y++) {
			for (unsigned x = 0; x < g.width; x++) {
				if (g.pixels[y * g.width + x] == 0)
					continue;
				int row = top - g.top + (int)y;
				int column = g.left - left + (int)x;
				rows[row] |= (std::uint8_t)(0x80u >> column);
			}
		}
	}

	// What the font has that the code page has no slot for, and whether
	// another code page would take more of it.
	result->left_out.clear();
	for (std::uint32_t c : font_chars)
		if (slot_of(menu.chars, c) < 0)
			result->left_out.push_back(c);
	result->better_slots.clear();
	result->better_places = 0;
	if (!result->left_out.empty())
		result->better_slots = best_codepage(font_chars, menu);
	if (!result->better_slots.empty()) {
		codepage_chars better;
		std::string ignored;
		slots_codepage page;
		if (menu_codepage(result->better_slots, &page, &ignored))
			std::copy(page.chars, page.chars + 256, better);
		for (std::uint32_t c : result->left_out)
			if (slot_of(better, c) >= 0)
				result->better_places++;
		if (result->better_places == 0)
			result->better_slots.clear();
	}
	return true;
}

std::string describe_slots(const std::vector<unsigned>& slots, const slots_codepage& slots_page)
{
	std::string out;
	for (std::size_t i = 0; i < slots.size() && i < missing_named; i++) {
		char slot[16];
		std::snprintf(slot, sizeof slot, " (0x%02X)", slots[i]);
		out += (i > 0 ? ", " : "") + describe_character(slots_page.chars[slots[i]]) + slot;
	}
	if (slots.size() > missing_named)
		out += ", ...";
	return out;
}

std::string describe_missing(const std::vector<unsigned>& slots,
                             const slots_codepage& slots_page)
{
	return format(tr_n("%s of the %s character of %s: %s", "%s of the %s characters of %s: %s",
	                   slots_page.size),
	              {number_text(slots.size()), number_text(slots_page.size), slots_page.title,
	               describe_slots(slots, slots_page)});
}

std::string describe_characters(const std::vector<std::uint32_t>& characters)
{
	std::string out;
	for (std::size_t i = 0; i < characters.size() && i < missing_named; i++)
		out += (i > 0 ? ", " : "") + describe_character(characters[i]);
	if (characters.size() > missing_named)
		out += ", ...";
	return out;
}

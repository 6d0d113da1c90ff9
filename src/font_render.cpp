// Terminal drawing of font tables and of text set in them.
#include "font_render.h"

#include "font_codepage.h"

#include <cstdio>

// What a character without a slot is drawn as: an empty box, which no
// font's glyph is likely to be mistaken for.
static const std::uint8_t box_glyph[font_glyph_bytes] = {
	0xFE, 0x82, 0x82, 0x82, 0x82, 0x82, 0xFE, 0x00,
};

// The text columns a table row of n glyphs takes: the row label and one
// blank before each glyph of 8.
static unsigned table_width(unsigned glyphs)
{
	return 2 + 9 * glyphs;
}

unsigned table_columns_for_width(unsigned terminal_columns)
{
	if (terminal_columns == 0 || terminal_columns >= table_width(16))
		return 16;
	return terminal_columns >= table_width(8) ? 8 : 4;
}

// The half-block character for a top and a bottom pixel, in UTF-8.
static const char* half_block(bool top, bool bottom)
{
	if (top && bottom)
		return "\xE2\x96\x88";
	if (top)
		return "\xE2\x96\x80";
	if (bottom)
		return "\xE2\x96\x84";
	return " ";
}

static void end_line(std::string* out, std::string* line)
{
	std::size_t end = line->find_last_not_of(' ');
	line->erase(end == std::string::npos ? 0 : end + 1);
	*out += *line;
	*out += '\n';
	line->clear();
}

// Draws one row of glyphs as four text lines, with gap blanks between
// neighbouring glyphs and a prefix before each line.
static void render_glyph_row(const std::vector<const std::uint8_t*>& glyphs, unsigned gap,
                             const std::string& first_prefix, const std::string& prefix,
                             std::string* out)
{
	std::string line;
	for (unsigned row = 0; row < 8; row += 2) {
		line = row == 0 ? first_prefix : prefix;
		for (std::size_t i = 0; i < glyphs.size(); i++) {
			if (i > 0)
				line.append(gap, ' ');
			for (unsigned column = 0; column < 8; column++) {
				unsigned mask = 0x80u >> column;
				line += half_block((glyphs[i][row] & mask) != 0,
				                   (glyphs[i][row + 1] & mask) != 0);
			}
		}
		end_line(out, &line);
	}
}

std::string render_table(const std::uint8_t* table, unsigned columns)
{
	if (columns < 1)
		columns = 1;
	if (columns > 16)
		columns = 16;
	std::string out;
	std::string line = "  ";
	for (unsigned c = 0; c < columns; c++) {
		char label[16];
		std::snprintf(label, sizeof label, " %X       ", c);
		line += label;
	}
	end_line(&out, &line);
	for (unsigned first = 0; first < font_glyph_count; first += columns) {
		std::vector<const std::uint8_t*> glyphs;
		for (unsigned code = first; code < first + columns && code < font_glyph_count; code++)
			glyphs.push_back(table + code * font_glyph_bytes);
		char label[8];
		std::snprintf(label, sizeof label, "%02X ", first);
		out += '\n';
		render_glyph_row(glyphs, 1, label, "   ", &out);
	}
	return out;
}

void render_text(const std::uint8_t* table, const std::string& text,
                 const slots_codepage& slots, text_drawing* result)
{
	result->drawing.clear();
	result->unknown.clear();
	std::vector<const std::uint8_t*> line;
	for (std::uint32_t c : decode_utf8(text)) {
		if (c == '\n') {
			render_glyph_row(line, 0, "", "", &result->drawing);
			line.clear();
			continue;
		}
		int slot = c == invalid_utf8 ? -1 : slot_of(slots.chars, c);
		if (slot < 0)
			result->unknown.push_back(c);
		line.push_back(slot < 0 ? box_glyph : table + slot * font_glyph_bytes);
	}
	render_glyph_row(line, 0, "", "", &result->drawing);
}

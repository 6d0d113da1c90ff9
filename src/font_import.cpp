// From a font reader's glyphs to the imported table.
#include "font_import.h"

#include "font_psf.h"
#include "font_sheet.h"
#include "messages.h"

bool import_glyphs(const glyph_source& source, const import_options& options,
                   import_result* result, std::string* error)
{
	table_options table_opts;
	table_opts.codepage = options.codepage;
	table_opts.slots = options.slots;
	table_opts.fill = options.fill;
	table_result made;
	bool ok = make_table(source, table_opts, &made, error);
	result->width = made.width;
	result->height = made.height;
	result->pixel_size = source.pixel_size;
	result->scalable = source.scalable;
	if (!ok) {
		// Glyphs too large at one size of an outline font may fit at
		// another: what sets their size helps to choose it.
		std::string size = number_text(source.pixel_size);
		if ((made.width > font_cell || made.height > font_cell) && source.scalable)
			*error = format(tr("%1$s at size %4$s: %2$s; %3$s at size %4$s"),
			                {source.kind, *error, made.too_large, size});
		else if (made.width > font_cell || made.height > font_cell)
			*error = format(tr("%s: %s"), {source.kind, *error});
		return false;
	}
	result->table = made.table;
	result->kind = source.kind;
	result->glyphs = source.glyph_count;
	result->layout = made.layout;
	if (!source.unicode && source.glyph_count > font_glyph_count)
		result->layout = format(tr("%s, of which the first 256 are taken"), {result->layout});
	result->slots = made.slots;
	result->missing = made.missing;
	result->empty = made.empty;
	result->left_out = made.left_out;
	result->better_slots = made.better_slots;
	result->better_places = made.better_places;
	return true;
}

// Options that only some inputs take.
static bool size_option_ok(const import_options& options, const std::string& kind,
                           std::string* error)
{
	if (options.size == 0)
		return true;
	*error = format(tr("--size is for fonts of several sizes or outlines, and a %s has "
	                   "glyphs of one size"),
	                {kind});
	return false;
}

bool import_plain_font(const byte_buffer& data, const import_options& options,
                       import_result* result, bool* recognised, std::string* error)
{
	glyph_source source;
	*recognised = true;
	if (is_psf(data)) {
		return read_psf(data, &source, error) && size_option_ok(options, source.kind, error) &&
		       import_glyphs(source, options, result, error);
	}
	if (data.size() == font_glyph_count * font_glyph_bytes) {
		source = table_source(data.data(), tr("font table"));
		return size_option_ok(options, source.kind, error) &&
		       import_glyphs(source, options, result, error);
	}
	*recognised = false;
	*error = "not a PSF font or a font table";
	return false;
}

bool import_sheet_pixels(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                         const import_options& options, import_result* result,
                         std::string* error)
{
	byte_buffer table;
	unsigned scale = 0;
	bool grid = false;
	if (!sheet_to_table(rgba, width, height, &table, &scale, &grid, error) ||
	    !size_option_ok(options, tr("PNG glyph sheet"), error) ||
	    !import_glyphs(table_source(table.data(), tr("PNG glyph sheet")), options, result, error))
		return false;
	result->scale = scale;
	result->grid = grid;
	return true;
}

std::string missing_warning(const std::string& input, const import_result& result,
                            const char* fill)
{
	std::string lacks = describe_missing(result.missing, result.slots);
	unsigned long missing = result.missing.size();
	if (fill == nullptr)
		// The English forms are one, as they were before the forms counted.
		return format(tr_n("%s lacks %s; their slots are empty",
		                   "%s lacks %s; their slots are empty", missing),
		              {input, lacks});
	if (result.empty.empty())
		return format(tr_n("%s lacks %s; they were taken from %s",
		                   "%s lacks %s; they were taken from %s", missing),
		              {input, lacks, fill});
	if (result.empty.size() == result.missing.size())
		return format(tr_n("%1$s lacks %2$s; %3$s lacks them too, and their slots are empty",
		                   "%1$s lacks %2$s; %3$s lacks them too, and their slots are empty",
		                   missing),
		              {input, lacks, fill});
	std::size_t taken = result.missing.size() - result.empty.size();
	return format(tr_n("%1$s lacks %2$s; %3$s of them was taken from %4$s, which lacks the "
	                   "other %5$s, whose slots are empty: %6$s",
	                   "%1$s lacks %2$s; %3$s of them were taken from %4$s, which lacks the "
	                   "other %5$s, whose slots are empty: %6$s",
	                   taken),
	              {input, lacks, number_text(taken), fill, number_text(result.empty.size()),
	               describe_slots(result.empty, result.slots)});
}

std::string left_out_warning(const std::string& input, const import_result& result)
{
	unsigned long count = result.left_out.size();
	std::vector<std::string> args = {input, number_text(count), result.slots.title,
	                                 describe_characters(result.left_out), result.better_slots,
	                                 number_text(result.better_places)};
	if (result.better_slots.empty())
		return format(tr_n("%1$s has %2$s character that %3$s has no slot for, which was left "
		                   "out: %4$s",
		                   "%1$s has %2$s characters that %3$s has no slot for, which were left "
		                   "out: %4$s",
		                   count),
		              args);
	if (count == 1)
		return format(tr("%1$s has %2$s character that %3$s has no slot for, which was left "
		                 "out: %4$s; --slots %5$s would place it"),
		              args);
	return format(tr_n("%1$s has %2$s characters that %3$s has no slot for, which were left "
	                   "out: %4$s; --slots %5$s would place %6$s of them",
	                   "%1$s has %2$s characters that %3$s has no slot for, which were left "
	                   "out: %4$s; --slots %5$s would place %6$s of them",
	                   count),
	              args);
}

std::string describe_import(const import_result& result)
{
	// TRANSLATORS: the line import prints about what it read: the kind of
	// font, then "%s glyphs of %sx%s" and how they found their slots.
	std::string what = result.gzip ? format(tr("%s, gzip-compressed"), {result.kind})
	                               : result.kind;
	if (result.scale != 0 && result.grid)
		return format(tr("%s at scale %s with grid lines, %s"),
		              {what, number_text(result.scale), result.layout});
	if (result.scale != 0)
		return format(tr("%s at scale %s, %s"), {what, number_text(result.scale), result.layout});
	std::vector<std::string> args = {what, number_text(result.glyphs), number_text(result.width),
	                                 number_text(result.height), result.layout,
	                                 number_text(result.pixel_size)};
	if (result.pixel_size != 0)
		return format(tr_n("%1$s, %2$s glyph of %3$sx%4$s at size %6$s, %5$s",
		                   "%1$s, %2$s glyphs of %3$sx%4$s at size %6$s, %5$s", result.glyphs),
		              args);
	return format(tr_n("%1$s, %2$s glyph of %3$sx%4$s, %5$s",
	                   "%1$s, %2$s glyphs of %3$sx%4$s, %5$s", result.glyphs),
	              args);
}

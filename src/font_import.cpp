// From a font reader's glyphs to the imported table.
#include "font_import.h"

#include "font_psf.h"
#include "font_sheet.h"

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
		std::string size = " at size " + std::to_string(source.pixel_size);
		if (made.width > font_cell || made.height > font_cell)
			*error = source.kind + (source.scalable ? size : "") + ": " + *error +
			         (source.scalable ? "; " + made.too_large + size : "");
		return false;
	}
	result->table = made.table;
	result->kind = source.kind;
	result->glyphs = source.glyph_count;
	result->layout = made.layout;
	if (!source.unicode && source.glyph_count > font_glyph_count)
		result->layout += ", of which the first 256 are taken";
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
	*error = "--size is for fonts of several sizes or outlines, and a " + kind +
	         " has glyphs of one size";
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
		source = table_source(data.data(), "font table");
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
	    !size_option_ok(options, "PNG glyph sheet", error) ||
	    !import_glyphs(table_source(table.data(), "PNG glyph sheet"), options, result, error))
		return false;
	result->scale = scale;
	result->grid = grid;
	return true;
}

std::string missing_warning(const std::string& input, const import_result& result,
                            const char* fill)
{
	std::string lacks = input + " lacks " + describe_missing(result.missing, result.slots);
	if (fill == nullptr)
		return lacks + "; their slots are empty";
	if (result.empty.empty())
		return lacks + "; they were taken from " + fill;
	if (result.empty.size() == result.missing.size())
		return lacks + "; " + fill + " lacks them too, and their slots are empty";
	std::size_t taken = result.missing.size() - result.empty.size();
	return lacks + "; " + std::to_string(taken) + " of them were taken from " + fill +
	       ", which lacks the other " + std::to_string(result.empty.size()) +
	       ", whose slots are empty: " + describe_slots(result.empty, result.slots);
}

std::string left_out_warning(const std::string& input, const import_result& result)
{
	bool one = result.left_out.size() == 1;
	std::string out = input + " has " + std::to_string(result.left_out.size()) +
	                  (one ? " character that " : " characters that ") + result.slots.title +
	                  (one ? " has no slot for, which was left out: "
	                       : " has no slot for, which were left out: ") +
	                  describe_characters(result.left_out);
	if (!result.better_slots.empty())
		out += "; --slots " + result.better_slots + " would place " +
		       (one ? std::string("it") : std::to_string(result.better_places) + " of them");
	return out;
}

std::string describe_import(const import_result& result)
{
	std::string what = result.kind + (result.gzip ? ", gzip-compressed" : "");
	if (result.scale != 0) {
		what += " at scale " + std::to_string(result.scale);
		if (result.grid)
			what += " with grid lines";
	} else {
		what += ", " + std::to_string(result.glyphs) + " glyphs of " +
		        std::to_string(result.width) + "x" + std::to_string(result.height);
		if (result.pixel_size != 0)
			what += " at size " + std::to_string(result.pixel_size);
	}
	return what + ", " + result.layout;
}

// Telling a font file's format by its contents, and importing it.
#include "font_content.h"

#include "font_freetype.h"
#include "font_psf.h"
#include "messages.h"

#include <cstdio>
#include <cstring>

// Whether the outlines of the font in data fit the table at size, read for
// the characters wanted.
static bool fits_at(const byte_buffer& data, unsigned size, const codepage_chars wanted,
                    const import_options& options)
{
	glyph_source source;
	import_result result;
	bool recognised = false;
	std::string ignored;
	return read_freetype_font(data, size, wanted, &source, &recognised, &ignored) &&
	       import_glyphs(source, options, &result, &ignored);
}

// Imports a font FreeType reads.  When its glyphs are too large at the size
// read and it has outlines, the message names the nearest size that fits,
// looking both ways from the size read, the smaller first.
static bool import_freetype_font(const byte_buffer& data, const import_options& options,
                                 import_result* result, bool* recognised, std::string* error)
{
	// The characters to read are those of the menu's slots.
	slots_codepage cp437;
	if (options.slots == nullptr && !menu_codepage("", &cp437, error))
		return false;
	const codepage_chars& wanted = options.slots != nullptr ? options.slots->chars : cp437.chars;
	glyph_source source;
	if (!read_freetype_font(data, options.size, wanted, &source, recognised, error))
		return false;
	if (import_glyphs(source, options, result, error))
		return true;
	if (!source.scalable || (result->width <= font_cell && result->height <= font_cell))
		return false;
	int read = (int)source.pixel_size;
	for (int distance = 1; read - distance >= 1 || read + distance <= (int)freetype_max_size;
	     distance++) {
		for (int size : {read - distance, read + distance}) {
			if (size >= 1 && size <= (int)freetype_max_size &&
			    fits_at(data, (unsigned)size, wanted, options)) {
				*error = format(tr("%s; try --size %s"), {*error, number_text((unsigned)size)});
				result->fits_size = (unsigned)size;
				return false;
			}
		}
	}
	*error = format(tr("%s; no --size from 1 to %s fits"),
	                {*error, number_text(freetype_max_size)});
	return false;
}

bool import_font_content(const byte_buffer& content, bool gzip, const import_options& options,
                         import_result* result, std::string* error)
{
	result->gzip = gzip;
	if (content.empty()) {
		*error = gzip ? tr("gzip file that holds nothing") : tr("empty file");
		return false;
	}
	bool recognised = false;
	bool ok = false;
	if (is_psf(content)) {
		ok = import_plain_font(content, options, result, &recognised, error);
	} else {
		ok = import_freetype_font(content, options, result, &recognised, error);
		if (!recognised)
			ok = import_plain_font(content, options, result, &recognised, error);
	}
	result->gzip = gzip;
	if (recognised)
		return ok;

	char start[64] = "";
	for (std::size_t i = 0; i < content.size() && i < 4; i++)
		std::snprintf(start + std::strlen(start), sizeof start - std::strlen(start),
		              i == 0 ? "%02X" : " %02X", content[i]);
	*error = format(tr("not a font os64-font reads (it starts with %s): it reads PSF, BDF, PCF, "
	                   "OpenType, TrueType and Windows FON and FNT fonts, PNG glyph sheets and "
	                   "raw font tables of 2048 bytes"),
	                {start});
	return false;
}

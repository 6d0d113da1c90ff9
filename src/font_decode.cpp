// Recognising a font file and decoding it: gzip through zlib, PNG sheets
// through libpng, and every format FreeType reads.
#include "font_decode.h"

#include "font_freetype.h"
#include "font_png.h"
#include "font_psf.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>

// Decompressed fonts larger than this are not fonts a table can be made
// from: the largest PSF fonts in use are a few hundred kilobytes.
static const std::size_t max_font_size = 16u << 20;

static const std::uint8_t gzip_magic[2] = {0x1F, 0x8B};

bool gunzip(const byte_buffer& data, std::size_t max_size, byte_buffer* out, std::string* error)
{
	z_stream z;
	std::memset(&z, 0, sizeof z);
	// 16 added to the window bits asks for a gzip header and trailer.
	if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
		*error = "cannot start gzip decompression";
		return false;
	}
	out->clear();
	z.next_in = const_cast<Bytef*>(data.data());
	z.avail_in = (uInt)data.size();
	std::uint8_t chunk[16384];
	int status = Z_OK;
	while (status == Z_OK) {
		z.next_out = chunk;
		z.avail_out = sizeof chunk;
		status = inflate(&z, Z_NO_FLUSH);
		std::size_t produced = sizeof chunk - z.avail_out;
		if (out->size() + produced > max_size) {
			inflateEnd(&z);
			*error = "gzip data that decompresses to more than " + std::to_string(max_size) +
			         " bytes";
			return false;
		}
		out->insert(out->end(), chunk, chunk + produced);
		// With room for output, inflate reports a buffer error only when it
		// needs more input: the data ended before the compressed stream.
		if (status == Z_BUF_ERROR) {
			inflateEnd(&z);
			*error = "truncated gzip data";
			return false;
		}
	}
	std::string message = z.msg != nullptr ? z.msg : "";
	inflateEnd(&z);
	if (status != Z_STREAM_END) {
		*error = "damaged gzip data" + (message.empty() ? std::string() : ": " + message);
		return false;
	}
	return true;
}

// Imports a font FreeType reads.  When its glyphs are too large at the size
// read and it has outlines, the message names the largest size that fits.
static bool import_freetype_font(const byte_buffer& data, const import_options& options,
                                 import_result* result, bool* recognised, std::string* error)
{
	glyph_source source;
	if (!read_freetype_font(data, options.size, &source, recognised, error))
		return false;
	if (import_glyphs(source, options, result, error))
		return true;
	if (!source.scalable || (result->width <= font_cell && result->height <= font_cell))
		return false;
	std::string ignored;
	for (unsigned size = source.pixel_size - 1; size >= 1; size--) {
		glyph_source smaller;
		import_result fits;
		if (read_freetype_font(data, size, &smaller, recognised, &ignored) &&
		    import_glyphs(smaller, options, &fits, &ignored)) {
			*error += "; try --size " + std::to_string(size);
			return false;
		}
	}
	*error += "; no smaller --size fits either";
	return false;
}

bool import_font(const byte_buffer& data, const import_options& options, import_result* result,
                 std::string* error)
{
	if (data.empty()) {
		*error = "empty file";
		return false;
	}
	bool gzip = data.size() >= 2 && std::memcmp(data.data(), gzip_magic, 2) == 0;
	byte_buffer plain;
	if (gzip && !gunzip(data, max_font_size, &plain, error))
		return false;
	const byte_buffer& content = gzip ? plain : data;
	if (content.empty()) {
		*error = "gzip file that holds nothing";
		return false;
	}
	result->gzip = gzip;

	bool recognised = false;
	bool ok = false;
	if (is_psf(content)) {
		ok = import_plain_font(content, options, result, &recognised, error);
	} else if (is_png(content)) {
		byte_buffer rgba;
		std::uint32_t width = 0;
		std::uint32_t height = 0;
		recognised = true;
		ok = read_sheet_png(content, &rgba, &width, &height, error) &&
		     import_sheet_pixels(rgba.data(), width, height, options, result, error);
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
	*error = std::string("not a font os64-font reads (it starts with ") + start +
	         "): it reads PSF, BDF, PCF, OpenType, TrueType and Windows FON and FNT fonts, "
	         "PNG glyph sheets and raw font tables of 2048 bytes";
	return false;
}

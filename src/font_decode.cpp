// Decoding a font file: gzip through zlib and PNG sheets through libpng;
// every other format is told apart and read by import_font_content.
#include "font_decode.h"

#include "font_content.h"
#include "font_png.h"
#include "messages.h"

#include <zlib.h>

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
		*error = tr("cannot start gzip decompression");
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
			*error = format(tr("gzip data that decompresses to more than %s bytes"),
			                {number_text(max_size)});
			return false;
		}
		out->insert(out->end(), chunk, chunk + produced);
		// With room for output, inflate reports a buffer error only when it
		// needs more input: the data ended before the compressed stream.
		if (status == Z_BUF_ERROR) {
			inflateEnd(&z);
			*error = tr("truncated gzip data");
			return false;
		}
	}
	std::string message = z.msg != nullptr ? z.msg : "";
	inflateEnd(&z);
	if (status != Z_STREAM_END) {
		// zlib's own reason stays in its English.
		*error = message.empty() ? tr("damaged gzip data")
		                         : format(tr("damaged gzip data: %s"), {message});
		return false;
	}
	return true;
}

bool import_font(const byte_buffer& data, const import_options& options, import_result* result,
                 std::string* error)
{
	bool gzip = data.size() >= 2 && std::memcmp(data.data(), gzip_magic, 2) == 0;
	byte_buffer plain;
	if (gzip && !gunzip(data, max_font_size, &plain, error))
		return false;
	const byte_buffer& content = gzip ? plain : data;
	if (is_png(content)) {
		byte_buffer rgba;
		std::uint32_t width = 0;
		std::uint32_t height = 0;
		result->gzip = gzip;
		return read_sheet_png(content, &rgba, &width, &height, error) &&
		       import_sheet_pixels(rgba.data(), width, height, options, result, error);
	}
	return import_font_content(content, gzip, options, result, error);
}

// PSF console fonts, gzip, PNG glyph sheets and terminal drawing for
// os64-font.  PNG goes through libpng and gzip through zlib.
#include "font_formats.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <new>

// Decompressed fonts larger than this are not console fonts: the largest
// PSF fonts in use are a few hundred kilobytes.
static const std::size_t max_font_size = 16u << 20;

static const std::uint8_t psf1_magic[2] = {0x36, 0x04};
static const std::uint8_t psf2_magic[4] = {0x72, 0xB5, 0x4A, 0x86};
static const std::uint8_t gzip_magic[2] = {0x1F, 0x8B};
static const std::uint8_t png_magic[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

static const std::size_t table_size = font_glyph_count * font_glyph_bytes;

// The grey of grid lines in an exported sheet: light, so that it reads as
// an unset pixel to anything that applies the usual threshold.
static const std::uint8_t grid_grey = 0xB0;

static bool starts_with(const byte_buffer& data, const std::uint8_t* magic, std::size_t length)
{
	return data.size() >= length && std::memcmp(data.data(), magic, length) == 0;
}

static std::uint32_t little_endian_32(const std::uint8_t* p)
{
	return (std::uint32_t)p[0] | (std::uint32_t)p[1] << 8 | (std::uint32_t)p[2] << 16 |
	       (std::uint32_t)p[3] << 24;
}

static std::string number(std::uint64_t value)
{
	return std::to_string(value);
}

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
			*error = "gzip data that decompresses to more than " + number(max_size) +
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

// Checks the glyph count and the glyph data common to both PSF versions and
// takes the first 256 glyphs.
static bool take_psf_glyphs(const byte_buffer& data, std::uint64_t start, std::uint64_t glyphs,
                            const std::string& kind, import_result* result, std::string* error)
{
	if (glyphs < font_glyph_count) {
		*error = kind + " with " + number(glyphs) + " glyphs; a font table needs " +
		         number(font_glyph_count);
		return false;
	}
	std::uint64_t needed = glyphs * font_glyph_bytes;
	if (data.size() < start || data.size() - start < needed) {
		*error = "truncated " + kind + ": its header promises " + number(glyphs) +
		         " glyphs of 8 bytes (" + number(needed) + " bytes), but only " +
		         number(data.size() > start ? data.size() - start : 0) + " follow it";
		return false;
	}
	result->table.assign(data.begin() + (std::ptrdiff_t)start,
	                     data.begin() + (std::ptrdiff_t)(start + table_size));
	result->kind = kind;
	result->glyphs = (unsigned)(glyphs > 0xFFFFFFFFu ? 0xFFFFFFFFu : glyphs);
	result->scale = 0;
	result->grid = false;
	return true;
}

bool parse_psf(const byte_buffer& data, import_result* result, std::string* error)
{
	if (starts_with(data, psf1_magic, sizeof psf1_magic)) {
		if (data.size() < 4) {
			*error = "truncated PSF1 font: its header is cut short";
			return false;
		}
		// Bit 0 of the mode byte selects 512 glyphs instead of 256; the
		// glyphs are always 8 pixels wide, as high as their byte count.
		unsigned glyphs = (data[2] & 0x01) ? 512 : 256;
		unsigned height = data[3];
		if (height != 8) {
			*error = "PSF1 font with 8x" + number(height) + " glyphs; a font table needs "
			         "8x8 glyphs";
			return false;
		}
		return take_psf_glyphs(data, 4, glyphs, "PSF1 font", result, error);
	}
	if (starts_with(data, psf2_magic, sizeof psf2_magic)) {
		if (data.size() < 32) {
			*error = "truncated PSF2 font: its header is cut short";
			return false;
		}
		std::uint32_t version = little_endian_32(&data[4]);
		std::uint32_t header_size = little_endian_32(&data[8]);
		std::uint32_t glyphs = little_endian_32(&data[16]);
		std::uint32_t glyph_bytes = little_endian_32(&data[20]);
		std::uint32_t height = little_endian_32(&data[24]);
		std::uint32_t width = little_endian_32(&data[28]);
		if (version != 0) {
			*error = "PSF2 font of the unknown version " + number(version);
			return false;
		}
		if (header_size < 32) {
			*error = "damaged PSF2 font: its header claims to be " + number(header_size) +
			         " bytes long, less than the 32 it has";
			return false;
		}
		if (width != 8 || height != 8) {
			*error = "PSF2 font with " + number(width) + "x" + number(height) +
			         " glyphs; a font table needs 8x8 glyphs";
			return false;
		}
		if (glyph_bytes != font_glyph_bytes) {
			*error = "damaged PSF2 font: its 8x8 glyphs are said to take " +
			         number(glyph_bytes) + " bytes each instead of 8";
			return false;
		}
		return take_psf_glyphs(data, header_size, glyphs, "PSF2 font", result, error);
	}
	*error = "not a PSF font";
	return false;
}

// libpng reports errors through a callback that must not return.  The
// reading and writing functions below therefore call setjmp themselves and
// keep no C++ objects with destructors of their own, so that the jump back
// skips nothing that needs cleaning up.
struct png_io {
	const std::uint8_t* data; // what is read
	std::size_t size;
	std::size_t position;
	byte_buffer* out;         // what is written
	char message[200];        // the last error libpng reported
};

static void png_fail(png_structp png, png_const_charp message)
{
	png_io* io = static_cast<png_io*>(png_get_error_ptr(png));
	std::snprintf(io->message, sizeof io->message, "%s", message);
	png_longjmp(png, 1);
}

// Warnings are about things libpng has already coped with, such as an
// unusual colour profile; they do not change the pixels.
static void png_ignore_warning(png_structp, png_const_charp)
{
}

static void png_read_memory(png_structp png, png_bytep out, png_size_t length)
{
	png_io* io = static_cast<png_io*>(png_get_io_ptr(png));
	if (length > io->size - io->position)
		png_error(png, "the file ends in the middle of the image");
	std::memcpy(out, io->data + io->position, length);
	io->position += length;
}

static void png_write_memory(png_structp png, png_bytep data, png_size_t length)
{
	png_io* io = static_cast<png_io*>(png_get_io_ptr(png));
	bool failed = false;
	try {
		io->out->insert(io->out->end(), data, data + length);
	} catch (const std::bad_alloc&) {
		failed = true;
	}
	if (failed)
		png_error(png, "out of memory");
}

static void png_flush_memory(png_structp)
{
}

// Reads the header and sets up the conversion of every colour type and bit
// depth to 8-bit RGBA, with palettes expanded and transparency as alpha.
static bool read_png_header(png_structp png, png_infop info, png_uint_32* width,
                            png_uint_32* height)
{
	if (setjmp(png_jmpbuf(png)))
		return false;
	png_read_info(png, info);
	*width = png_get_image_width(png, info);
	*height = png_get_image_height(png, info);
	int color_type = png_get_color_type(png, info);
	int bit_depth = png_get_bit_depth(png, info);
	bool alpha = (color_type & PNG_COLOR_MASK_ALPHA) != 0;
	if (color_type == PNG_COLOR_TYPE_PALETTE)
		png_set_palette_to_rgb(png);
	if (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8)
		png_set_expand_gray_1_2_4_to_8(png);
	if (png_get_valid(png, info, PNG_INFO_tRNS)) {
		png_set_tRNS_to_alpha(png);
		alpha = true;
	}
	if (bit_depth == 16)
		png_set_strip_16(png);
	if ((color_type & PNG_COLOR_MASK_COLOR) == 0)
		png_set_gray_to_rgb(png);
	if (!alpha)
		png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
	png_set_interlace_handling(png);
	png_read_update_info(png, info);
	return true;
}

static bool read_png_pixels(png_structp png, png_infop info, png_bytepp rows)
{
	if (setjmp(png_jmpbuf(png)))
		return false;
	png_read_image(png, rows);
	png_read_end(png, info);
	return true;
}

static bool write_png_pixels(png_structp png, png_infop info, png_uint_32 width,
                             png_uint_32 height, png_bytepp rows)
{
	if (setjmp(png_jmpbuf(png)))
		return false;
	png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
	             PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
	png_write_info(png, info);
	png_write_image(png, rows);
	png_write_end(png, info);
	return true;
}

// Whether an RGBA pixel is dark, by the rule stated with
// sheet_dark_threshold.  The luminance weights add up to 1000, so a grey
// value keeps its own value as luminance.
static bool is_dark(const std::uint8_t* rgba)
{
	unsigned luminance = (299u * rgba[0] + 587u * rgba[1] + 114u * rgba[2] + 500u) / 1000u;
	unsigned alpha = rgba[3];
	unsigned over_white = (luminance * alpha + 255u * (255u - alpha) + 127u) / 255u;
	return over_white < sheet_dark_threshold;
}

static std::string sheet_size_rule()
{
	return "a glyph sheet is 128x128 pixels or a whole multiple of that such as 256x256, up "
	       "to 4096x4096 (with grid lines 17 more, such as 145x145)";
}

// Turns decoded RGBA pixels into a font table.  The layout follows from the
// size: width and height equal, either 128 k without grid lines or
// 128 k + 17 with them.
static bool sheet_to_table(const std::uint8_t* pixels, png_uint_32 size, import_result* result,
                           std::string* error)
{
	unsigned scale = 0;
	bool grid = false;
	if (size % sheet_size == 0) {
		scale = size / sheet_size;
	} else if (size > sheet_grid_extra && (size - sheet_grid_extra) % sheet_size == 0) {
		scale = (size - sheet_grid_extra) / sheet_size;
		grid = true;
	}
	unsigned origin = grid ? 1 : 0;
	unsigned pitch = 8 * scale + origin;
	std::size_t stride = (std::size_t)size * 4;
	byte_buffer table(table_size, 0);
	for (unsigned glyph = 0; glyph < font_glyph_count; glyph++) {
		unsigned cell_x = (glyph % sheet_cells) * pitch + origin;
		unsigned cell_y = (glyph / sheet_cells) * pitch + origin;
		for (unsigned row = 0; row < 8; row++) {
			for (unsigned column = 0; column < 8; column++) {
				unsigned x0 = cell_x + column * scale;
				unsigned y0 = cell_y + row * scale;
				bool dark = is_dark(pixels + y0 * stride + (std::size_t)x0 * 4);
				for (unsigned y = y0; y < y0 + scale; y++) {
					for (unsigned x = x0; x < x0 + scale; x++) {
						if (is_dark(pixels + y * stride + (std::size_t)x * 4) == dark)
							continue;
						char where[160];
						std::snprintf(where, sizeof where,
						              "glyph %u (0x%02X), row %u, column %u (the "
						              "%ux%u block at x=%u, y=%u)",
						              glyph, glyph, row, column, scale, scale, x0, y0);
						*error = std::string(where) +
						         " is partly dark and partly light; at scale " +
						         number(scale) +
						         " every font pixel must be a block of one kind";
						return false;
					}
				}
				if (dark)
					table[glyph * font_glyph_bytes + row] |= (std::uint8_t)(0x80u >> column);
			}
		}
	}
	result->table = table;
	result->kind = "PNG glyph sheet";
	result->glyphs = font_glyph_count;
	result->scale = scale;
	result->grid = grid;
	return true;
}

static bool sheet_size_ok(png_uint_32 width, png_uint_32 height)
{
	if (width != height)
		return false;
	for (unsigned scale = 1; scale <= sheet_max_scale; scale++)
		if (width == sheet_size * scale || width == sheet_size * scale + sheet_grid_extra)
			return true;
	return false;
}

bool parse_sheet(const byte_buffer& data, import_result* result, std::string* error)
{
	if (!starts_with(data, png_magic, sizeof png_magic)) {
		*error = "not a PNG image";
		return false;
	}
	png_io io;
	std::memset(&io, 0, sizeof io);
	io.data = data.data();
	io.size = data.size();
	png_structp png =
	        png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, png_fail, png_ignore_warning);
	png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
	if (info == nullptr) {
		png_destroy_read_struct(&png, nullptr, nullptr);
		*error = "cannot start the PNG decoder";
		return false;
	}
	png_set_read_fn(png, &io, png_read_memory);

	bool ok = false;
	png_uint_32 width = 0;
	png_uint_32 height = 0;
	if (!read_png_header(png, info, &width, &height)) {
		*error = std::string("damaged PNG image: ") + io.message;
	} else if (!sheet_size_ok(width, height)) {
		*error = "PNG image of " + number(width) + "x" + number(height) + " pixels; " +
		         sheet_size_rule();
	} else if (png_get_rowbytes(png, info) != (std::size_t)width * 4) {
		*error = "PNG image in a colour format that cannot be converted";
	} else {
		byte_buffer pixels((std::size_t)width * height * 4);
		std::vector<png_bytep> rows(height);
		for (png_uint_32 y = 0; y < height; y++)
			rows[y] = &pixels[(std::size_t)y * width * 4];
		if (!read_png_pixels(png, info, rows.data()))
			*error = std::string("damaged PNG image: ") + io.message;
		else
			ok = sheet_to_table(pixels.data(), width, result, error);
	}
	png_destroy_read_struct(&png, &info, nullptr);
	return ok;
}

bool write_sheet(const std::uint8_t* table, unsigned scale, bool grid, byte_buffer* png_data,
                 std::string* error)
{
	if (scale < 1 || scale > sheet_max_scale) {
		*error = "the scale must be from 1 to " + number(sheet_max_scale);
		return false;
	}
	unsigned origin = grid ? 1 : 0;
	unsigned pitch = 8 * scale + origin;
	unsigned size = sheet_size * scale + (grid ? sheet_grid_extra : 0);
	byte_buffer pixels((std::size_t)size * size, 0xFF);
	if (grid) {
		for (unsigned line = 0; line <= sheet_cells; line++) {
			unsigned at = line * pitch;
			for (unsigned i = 0; i < size; i++) {
				pixels[(std::size_t)at * size + i] = grid_grey;
				pixels[(std::size_t)i * size + at] = grid_grey;
			}
		}
	}
	for (unsigned glyph = 0; glyph < font_glyph_count; glyph++) {
		unsigned cell_x = (glyph % sheet_cells) * pitch + origin;
		unsigned cell_y = (glyph / sheet_cells) * pitch + origin;
		for (unsigned row = 0; row < 8; row++) {
			std::uint8_t bits = table[glyph * font_glyph_bytes + row];
			for (unsigned column = 0; column < 8; column++) {
				if ((bits & (0x80u >> column)) == 0)
					continue;
				unsigned x0 = cell_x + column * scale;
				unsigned y0 = cell_y + row * scale;
				for (unsigned y = y0; y < y0 + scale; y++)
					std::memset(&pixels[(std::size_t)y * size + x0], 0, scale);
			}
		}
	}

	png_io io;
	std::memset(&io, 0, sizeof io);
	io.out = png_data;
	png_data->clear();
	png_structp png =
	        png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, png_fail, png_ignore_warning);
	png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
	if (info == nullptr) {
		png_destroy_write_struct(&png, nullptr);
		*error = "cannot start the PNG encoder";
		return false;
	}
	png_set_write_fn(png, &io, png_write_memory, png_flush_memory);
	std::vector<png_bytep> rows(size);
	for (unsigned y = 0; y < size; y++)
		rows[y] = &pixels[(std::size_t)y * size];
	bool ok = write_png_pixels(png, info, size, size, rows.data());
	png_destroy_write_struct(&png, &info);
	if (!ok)
		*error = std::string("cannot encode the PNG image: ") + io.message;
	return ok;
}

bool import_font(const byte_buffer& data, import_result* result, std::string* error)
{
	if (data.empty()) {
		*error = "empty file";
		return false;
	}
	result->gzip = starts_with(data, gzip_magic, sizeof gzip_magic);
	byte_buffer plain;
	if (result->gzip && !gunzip(data, max_font_size, &plain, error))
		return false;
	const byte_buffer& content = result->gzip ? plain : data;
	if (starts_with(content, psf1_magic, sizeof psf1_magic) ||
	    starts_with(content, psf2_magic, sizeof psf2_magic))
		return parse_psf(content, result, error);
	if (starts_with(content, png_magic, sizeof png_magic))
		return parse_sheet(content, result, error);
	if (content.empty()) {
		*error = "gzip file that holds nothing";
		return false;
	}
	char start[64] = "";
	for (std::size_t i = 0; i < content.size() && i < 4; i++)
		std::snprintf(start + std::strlen(start), sizeof start - std::strlen(start),
		              i == 0 ? "%02X" : " %02X", content[i]);
	*error = std::string("neither a PSF font nor a PNG image (it starts with ") + start + ")";
	if (!result->gzip && content.size() == table_size)
		*error += "; a raw font table of 2048 bytes needs no import";
	return false;
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
static void render_glyph_row(const std::uint8_t* table, const std::vector<unsigned>& codes,
                             unsigned gap, const std::string& first_prefix,
                             const std::string& prefix, std::string* out)
{
	std::string line;
	for (unsigned row = 0; row < 8; row += 2) {
		line = row == 0 ? first_prefix : prefix;
		for (std::size_t i = 0; i < codes.size(); i++) {
			if (i > 0)
				line.append(gap, ' ');
			std::uint8_t top = table[codes[i] * font_glyph_bytes + row];
			std::uint8_t bottom = table[codes[i] * font_glyph_bytes + row + 1];
			for (unsigned column = 0; column < 8; column++) {
				unsigned mask = 0x80u >> column;
				line += half_block((top & mask) != 0, (bottom & mask) != 0);
			}
		}
		end_line(out, &line);
	}
}

std::string render_table(const std::uint8_t* table, unsigned columns)
{
	if (columns < 1)
		columns = 1;
	if (columns > sheet_cells)
		columns = sheet_cells;
	std::string out;
	std::string line = "  ";
	for (unsigned c = 0; c < columns; c++) {
		char label[16];
		std::snprintf(label, sizeof label, " %X       ", c);
		line += label;
	}
	end_line(&out, &line);
	for (unsigned first = 0; first < font_glyph_count; first += columns) {
		std::vector<unsigned> codes;
		for (unsigned code = first; code < first + columns && code < font_glyph_count; code++)
			codes.push_back(code);
		char label[8];
		std::snprintf(label, sizeof label, "%02X ", first);
		out += '\n';
		render_glyph_row(table, codes, 1, label, "   ", &out);
	}
	return out;
}

std::string render_text(const std::uint8_t* table, const std::string& text)
{
	std::string out;
	std::size_t start = 0;
	for (;;) {
		std::size_t end = text.find('\n', start);
		std::string part = text.substr(start, end == std::string::npos ? end : end - start);
		std::vector<unsigned> codes;
		for (unsigned char c : part)
			codes.push_back(c);
		render_glyph_row(table, codes, 0, "", "", &out);
		if (end == std::string::npos)
			break;
		start = end + 1;
	}
	return out;
}

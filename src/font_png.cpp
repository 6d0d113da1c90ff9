// Reading and writing PNG glyph sheets through libpng: decoding any PNG to
// RGBA pixels for the sheet reader, and encoding drawn sheets.
#include "font_png.h"

#include "font_sheet.h"
#include "messages.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>

static const std::uint8_t png_magic[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool is_png(const byte_buffer& data)
{
	return data.size() >= sizeof png_magic &&
	       std::memcmp(data.data(), png_magic, sizeof png_magic) == 0;
}

// libpng reports errors through a callback that must not return.  The
// functions below that call libpng therefore call setjmp themselves and
// keep no C++ objects with destructors of their own, so that the jump back
// skips nothing that needs cleaning up.
struct png_report {
	char message[200]; // the last error libpng reported
};

struct png_io {
	const std::uint8_t* data; // what is read
	std::size_t size;
	std::size_t position;
};

static void png_fail(png_structp png, png_const_charp message)
{
	png_report* report = static_cast<png_report*>(png_get_error_ptr(png));
	std::snprintf(report->message, sizeof report->message, "%s", message);
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
		png_error(png, N_("the file ends in the middle of the image"));
	std::memcpy(out, io->data + io->position, length);
	io->position += length;
}

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

bool read_sheet_png(const byte_buffer& data, byte_buffer* rgba, std::uint32_t* width_out,
                    std::uint32_t* height_out, std::string* error)
{
	if (!is_png(data)) {
		*error = tr("not a PNG image");
		return false;
	}
	png_report report;
	std::memset(&report, 0, sizeof report);
	png_io io = {data.data(), data.size(), 0};
	png_structp png =
	        png_create_read_struct(PNG_LIBPNG_VER_STRING, &report, png_fail, png_ignore_warning);
	png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
	if (info == nullptr) {
		png_destroy_read_struct(&png, nullptr, nullptr);
		*error = tr("cannot start the PNG decoder");
		return false;
	}
	png_set_read_fn(png, &io, png_read_memory);

	bool ok = false;
	png_uint_32 width = 0;
	png_uint_32 height = 0;
	if (!read_png_header(png, info, &width, &height)) {
		*error = format(tr("damaged PNG image: %s"), {tr(report.message)});
	} else if (!sheet_size_ok(width, height)) {
		*error = sheet_size_error(width, height);
	} else if (png_get_rowbytes(png, info) != (std::size_t)width * 4) {
		*error = tr("PNG image in a colour format that cannot be converted");
	} else {
		byte_buffer pixels((std::size_t)width * height * 4);
		std::vector<png_bytep> rows(height);
		for (png_uint_32 y = 0; y < height; y++)
			rows[y] = &pixels[(std::size_t)y * width * 4];
		if (!read_png_pixels(png, info, rows.data()))
			*error = format(tr("damaged PNG image: %s"), {tr(report.message)});
		else
			ok = true;
		rgba->swap(pixels);
		*width_out = width;
		*height_out = height;
	}
	png_destroy_read_struct(&png, &info, nullptr);
	return ok;
}

// The settings of every sheet written: unfiltered rows, since a sheet's
// rows repeat, which deflate finds at the distance of one row; deflate's
// best compression with its default strategy, window and memory; IDAT
// chunks of libpng's usual 8 KiB; and no chunks but IHDR, IDAT and IEND,
// so no time or text that would make two writes of a sheet differ.
static void set_sheet_png_settings(png_structp png)
{
	png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
	png_set_compression_level(png, Z_BEST_COMPRESSION);
	png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
	png_set_compression_window_bits(png, MAX_WBITS);
	png_set_compression_mem_level(png, 8);
	png_set_compression_buffer_size(png, 8192);
}

static void png_write_memory(png_structp png, png_bytep data, png_size_t length)
{
	byte_buffer* out = static_cast<byte_buffer*>(png_get_io_ptr(png));
	out->insert(out->end(), data, data + length);
}

static void png_flush_memory(png_structp)
{
}

static bool write_grey_png(png_structp png, png_infop info, const std::uint8_t* pixels,
                           png_uint_32 size)
{
	if (setjmp(png_jmpbuf(png)))
		return false;
	png_set_IHDR(png, info, size, size, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
	             PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
	set_sheet_png_settings(png);
	png_write_info(png, info);
	for (png_uint_32 y = 0; y < size; y++)
		png_write_row(png, pixels + (std::size_t)y * size);
	png_write_end(png, info);
	return true;
}

bool write_sheet(const std::uint8_t* table, unsigned scale, bool grid, byte_buffer* out,
                 std::string* error)
{
	if (scale < 1 || scale > sheet_max_scale) {
		*error = format(tr("the scale must be from 1 to %s"), {number_text(sheet_max_scale)});
		return false;
	}
	unsigned size = 0;
	byte_buffer pixels = draw_sheet(table, scale, grid, &size);
	png_report report;
	std::memset(&report, 0, sizeof report);
	png_structp png =
	        png_create_write_struct(PNG_LIBPNG_VER_STRING, &report, png_fail, png_ignore_warning);
	png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
	if (info == nullptr) {
		png_destroy_write_struct(&png, nullptr);
		*error = tr("cannot start the PNG encoder");
		return false;
	}
	byte_buffer file;
	png_set_write_fn(png, &file, png_write_memory, png_flush_memory);
	bool ok = write_grey_png(png, info, pixels.data(), size);
	png_destroy_write_struct(&png, &info);
	if (!ok) {
		*error = format(tr("cannot write the PNG image: %s"), {tr(report.message)});
		return false;
	}
	out->swap(file);
	return true;
}

// Reading PNG glyph sheets through libpng: decoding any PNG to RGBA pixels
// for the sheet reader.
#include "font_png.h"

#include "font_sheet.h"

#include <png.h>

#include <cstdio>
#include <cstring>

static const std::uint8_t png_magic[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool is_png(const byte_buffer& data)
{
	return data.size() >= sizeof png_magic &&
	       std::memcmp(data.data(), png_magic, sizeof png_magic) == 0;
}

// libpng reports errors through a callback that must not return.  The
// reading functions below therefore call setjmp themselves and keep no C++
// objects with destructors of their own, so that the jump back skips
// nothing that needs cleaning up.
struct png_io {
	const std::uint8_t* data; // what is read
	std::size_t size;
	std::size_t position;
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
		*error = sheet_size_error(width, height);
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
			ok = true;
		rgba->swap(pixels);
		*width_out = width;
		*height_out = height;
	}
	png_destroy_read_struct(&png, &info, nullptr);
	return ok;
}

#include "png_fixture.h"

#include <png.h>

#include <cstring>
#include <stdexcept>

namespace {

struct writer {
	png_bytes* out;
	char message[200];
};

void fail(png_structp png, png_const_charp message)
{
	writer* w = static_cast<writer*>(png_get_error_ptr(png));
	std::strncpy(w->message, message, sizeof w->message - 1);
	png_longjmp(png, 1);
}

void append(png_structp png, png_bytep data, png_size_t length)
{
	writer* w = static_cast<writer*>(png_get_io_ptr(png));
	w->out->insert(w->out->end(), data, data + length);
}

void flush(png_structp)
{
}

// The part that libpng may jump out of holds no objects with destructors.
bool write_all(png_structp png, png_infop info, const png_picture* picture, png_colorp palette,
               int palette_size, png_bytep alpha, int alpha_size, png_color_16p transparent,
               png_bytepp rows)
{
	if (setjmp(png_jmpbuf(png)))
		return false;
	png_set_IHDR(png, info, picture->width, picture->height, picture->bit_depth, picture->color_type,
	             picture->interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
	             PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
	if (palette_size > 0)
		png_set_PLTE(png, info, palette, palette_size);
	if (alpha_size > 0)
		png_set_tRNS(png, info, alpha, alpha_size, nullptr);
	if (transparent != nullptr)
		png_set_tRNS(png, info, nullptr, 0, transparent);
	png_write_info(png, info);
	// Below 8 bits, rows hold one byte a sample and libpng packs them.
	if (picture->bit_depth < 8)
		png_set_packing(png);
	png_write_image(png, rows);
	png_write_end(png, info);
	return true;
}

unsigned channels(int color_type)
{
	switch (color_type) {
	case PNG_COLOR_TYPE_GRAY_ALPHA:
		return 2;
	case PNG_COLOR_TYPE_RGB:
		return 3;
	case PNG_COLOR_TYPE_RGB_ALPHA:
		return 4;
	default:
		return 1;
	}
}

} // namespace

png_bytes encode_png(const png_picture& picture)
{
	unsigned n = channels(picture.color_type);
	unsigned sample_bytes = picture.bit_depth == 16 ? 2 : 1;
	std::size_t row_size = (std::size_t)picture.width * n * sample_bytes;
	if (picture.samples.size() != (std::size_t)picture.width * picture.height * n)
		throw std::runtime_error("encode_png: wrong number of samples");
	png_bytes pixels(row_size * picture.height);
	for (std::size_t i = 0; i < picture.samples.size(); i++) {
		if (sample_bytes == 2) {
			pixels[2 * i] = (std::uint8_t)(picture.samples[i] >> 8);
			pixels[2 * i + 1] = (std::uint8_t)picture.samples[i];
		} else {
			pixels[i] = (std::uint8_t)picture.samples[i];
		}
	}
	std::vector<png_bytep> rows(picture.height);
	for (unsigned y = 0; y < picture.height; y++)
		rows[y] = &pixels[y * row_size];
	std::vector<png_color> palette;
	for (std::size_t i = 0; i + 2 < picture.palette.size(); i += 3)
		palette.push_back(png_color{picture.palette[i], picture.palette[i + 1], picture.palette[i + 2]});
	png_bytes alpha = picture.palette_alpha;
	png_color_16 transparent;
	std::memset(&transparent, 0, sizeof transparent);
	if (picture.transparent.size() == 1)
		transparent.gray = picture.transparent[0];
	if (picture.transparent.size() == 3) {
		transparent.red = picture.transparent[0];
		transparent.green = picture.transparent[1];
		transparent.blue = picture.transparent[2];
	}

	png_bytes out;
	writer w{&out, ""};
	png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w, fail, nullptr);
	png_infop info = png_create_info_struct(png);
	png_set_write_fn(png, &w, append, flush);
	bool ok = write_all(png, info, &picture, palette.data(), (int)palette.size(), alpha.data(),
	                    (int)alpha.size(),
	                    picture.transparent.empty() ? nullptr : &transparent, rows.data());
	png_destroy_write_struct(&png, &info);
	if (!ok)
		throw std::runtime_error(std::string("encode_png: ") + w.message);
	return out;
}

png_bytes decode_grey_png(const png_bytes& data, unsigned* width, unsigned* height)
{
	png_image image;
	std::memset(&image, 0, sizeof image);
	image.version = PNG_IMAGE_VERSION;
	if (!png_image_begin_read_from_memory(&image, data.data(), data.size()))
		throw std::runtime_error(std::string("decode_grey_png: ") + image.message);
	image.format = PNG_FORMAT_GRAY;
	png_bytes pixels(PNG_IMAGE_SIZE(image));
	if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
		throw std::runtime_error(std::string("decode_grey_png: ") + image.message);
	*width = image.width;
	*height = image.height;
	return pixels;
}

std::vector<bool> sheet_dark_pixels(const std::uint8_t* table, unsigned scale, bool grid,
                                    bool grid_dark, unsigned* size)
{
	unsigned cell = 8 * scale + (grid ? 1 : 0);
	*size = 16 * cell + (grid ? 1 : 0);
	std::vector<bool> dark((std::size_t)*size * *size);
	for (unsigned y = 0; y < *size; y++) {
		for (unsigned x = 0; x < *size; x++) {
			unsigned cx = x % cell;
			unsigned cy = y % cell;
			if (grid && (cx == 0 || cy == 0)) {
				dark[(std::size_t)y * *size + x] = grid_dark;
				continue;
			}
			if (grid) {
				cx--;
				cy--;
			}
			unsigned glyph = (y / cell) * 16 + x / cell;
			unsigned row = cy / scale;
			unsigned column = cx / scale;
			dark[(std::size_t)y * *size + x] = (table[glyph * 8 + row] >> (7 - column)) & 1;
		}
	}
	return dark;
}

png_picture sheet_picture(const std::vector<bool>& dark, unsigned size, int color_type,
                          int bit_depth,
                          const std::vector<std::vector<std::uint16_t>>& dark_colours,
                          const std::vector<std::vector<std::uint16_t>>& light_colours)
{
	png_picture picture;
	picture.width = size;
	picture.height = size;
	picture.color_type = color_type;
	picture.bit_depth = bit_depth;
	std::size_t dark_turn = 0;
	std::size_t light_turn = 0;
	for (bool d : dark) {
		const std::vector<std::uint16_t>& colour =
		        d ? dark_colours[dark_turn++ % dark_colours.size()]
		          : light_colours[light_turn++ % light_colours.size()];
		picture.samples.insert(picture.samples.end(), colour.begin(), colour.end());
	}
	return picture;
}

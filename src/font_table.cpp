// Finding the built-in font in an image by its first 32 bytes, copying a
// new font over it, and telling an image stored in another byte order.
#include "font_table.h"

#include "messages.h"

#include <cstring>

// Glyphs 0 to 3 of the built-in font: empty, outlined face, filled face and
// heart.  The rest of the table takes no part in finding it.
const std::uint8_t __font_data_libdragon[font_signature_size] = {
	0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
	0x7E, 0x81, 0xA5, 0x81, 0xBD, 0x99, 0x81, 0x7E,
	0x7E, 0xFF, 0xDB, 0xFF, 0xC3, 0xE7, 0xFF, 0x7E,
	0x6C, 0xFE, 0xFE, 0xFE, 0x7C, 0x38, 0x10, 0x00,
};

// The search looks for the signature's first byte that is not zero (images
// are full of zeros, which would make a byte-by-byte scan slow) with memchr
// and compares the whole signature only where that byte turns up.  Since
// memchr finds candidates in increasing order, the first full match is the
// lowest offset.
static const std::uint32_t anchor = 8;

bool locate_font_signature(const std::uint8_t* image, std::uint32_t image_length,
                           std::uint32_t* offset)
{
	if (image_length < font_signature_size)
		return false;
	const std::uint8_t* first = image + anchor;
	const std::uint8_t* last = image + (image_length - font_signature_size) + anchor;
	const std::uint8_t* p = first;
	while (p <= last) {
		const void* hit = std::memchr(p, __font_data_libdragon[anchor], (size_t)(last - p) + 1);
		if (hit == nullptr)
			return false;
		p = static_cast<const std::uint8_t*>(hit);
		const std::uint8_t* start = p - anchor;
		if (std::memcmp(start, __font_data_libdragon, font_signature_size) == 0) {
			*offset = (std::uint32_t)(start - image);
			return true;
		}
		p++;
	}
	return false;
}

void replace_font(std::uint8_t* image, std::uint32_t offset, const std::uint8_t* font_bytes,
                  std::uint32_t font_length)
{
	if (font_length > 0)
		std::memcpy(image + offset, font_bytes, font_length);
}

byte_order detect_byte_order(const std::uint8_t* image, std::size_t image_length)
{
	if (image_length < 4)
		return byte_order::unknown;
	std::uint32_t first = (std::uint32_t)image[0] << 24 | (std::uint32_t)image[1] << 16 |
	                      (std::uint32_t)image[2] << 8 | (std::uint32_t)image[3];
	switch (first) {
	case 0x80371240:
		return byte_order::big_endian;
	case 0x37804012:
		return byte_order::byte_swapped;
	case 0x40123780:
		return byte_order::little_endian;
	default:
		return byte_order::unknown;
	}
}

std::string byte_order_explanation(const std::string& image_name, byte_order order,
                                   purpose why)
{
	// A sentence for each order, each purpose, named image or not.
	static const char* const sentences[2][4] = {
		{N_("%s is stored byte-swapped (it begins 37 80 40 12) and must be in big-endian "
		    "(80 37 12 40) order to be patched"),
		 N_("%s is stored byte-swapped (it begins 37 80 40 12) and must be in big-endian "
		    "(80 37 12 40) order to be checked"),
		 N_("the image is stored byte-swapped (it begins 37 80 40 12) and must be in "
		    "big-endian (80 37 12 40) order to be checked"),
		 N_("it is stored byte-swapped (it begins 37 80 40 12) and must be in big-endian "
		    "(80 37 12 40) order to be searched")},
		{N_("%s is stored little-endian (it begins 40 12 37 80) and must be in big-endian "
		    "(80 37 12 40) order to be patched"),
		 N_("%s is stored little-endian (it begins 40 12 37 80) and must be in big-endian "
		    "(80 37 12 40) order to be checked"),
		 N_("the image is stored little-endian (it begins 40 12 37 80) and must be in "
		    "big-endian (80 37 12 40) order to be checked"),
		 N_("it is stored little-endian (it begins 40 12 37 80) and must be in big-endian "
		    "(80 37 12 40) order to be searched")},
	};
	if (order != byte_order::byte_swapped && order != byte_order::little_endian)
		return std::string();
	int which = why == purpose::searched ? 3
	            : why == purpose::patched ? 0
	            : image_name.empty()      ? 2
	                                      : 1;
	return format(tr(sentences[order == byte_order::little_endian][which]), {image_name});
}

// The built-in 8x8 font of the cartridge menu: its signature, the search for
// it in an image, and its replacement by a user's font; and the byte order
// of an image, in which the search fails when it is not big-endian.
#ifndef OS64_FONT_TABLE_H
#define OS64_FONT_TABLE_H

#include <cstddef>
#include <cstdint>
#include <string>

// Size of a complete font table: 256 glyphs of 8 rows, one byte a row.
constexpr std::uint32_t font_table_size = 2048;

// Length of the signature: the first four glyphs of the built-in font.
constexpr std::uint32_t font_signature_size = 32;

// The start of the built-in font, which is all the patcher needs of it.
extern const std::uint8_t __font_data_libdragon[font_signature_size];

// Returns true and sets *offset to the lowest offset at which the 32
// signature bytes stand in the image; returns false when they stand
// nowhere.  It prints nothing.
bool locate_font_signature(const std::uint8_t* image, std::uint32_t image_length,
                           std::uint32_t* offset);

// Copies font_length bytes of the font over the image from offset on.  The
// caller has checked that they fit inside the image.
void replace_font(std::uint8_t* image, std::uint32_t offset, const std::uint8_t* font_bytes,
                  std::uint32_t font_length);

// The order an image's bytes are stored in, told by its first word.  The
// console reads images big-endian, where that word is 80 37 12 40; images
// also circulate with each pair of bytes swapped (37 80 40 12) and with
// each word's four bytes reversed (40 12 37 80).  The built-in font is
// found, and the boot checksum computed, only in the big-endian order.
enum class byte_order {
	big_endian,
	byte_swapped,
	little_endian,
	unknown, // any other first word, or fewer than four bytes
};

byte_order detect_byte_order(const std::uint8_t* image, std::size_t image_length);

// What an image in another byte order cannot be, in the sentence below.
enum class purpose {
	patched,
	checked,
	searched,
};

// For an image stored byte-swapped or little-endian, the sentence that
// says so and what it needs, to follow a failure to find or check
// something in it: "OS64.v64 is stored byte-swapped (it begins 37 80 40 12)
// and must be in big-endian (80 37 12 40) order to be patched".  An empty
// image_name is "the image", or "it" where the image is searched.  For
// the other orders the sentence is empty.
std::string byte_order_explanation(const std::string& image_name, byte_order order,
                                   purpose why);

#endif

// The built-in 8x8 font of the cartridge menu: its signature, the search for
// it in an image, and its replacement by a user's font.
#ifndef OS64_FONT_TABLE_H
#define OS64_FONT_TABLE_H

#include <cstddef>
#include <cstdint>

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

// The same search, which also prints the position it found.
bool find_font_signature(const std::uint8_t* image, std::uint32_t image_length,
                         std::uint32_t* offset);

// Copies font_length bytes of the font over the image from offset on.  The
// caller has checked that they fit inside the image.
void replace_font(std::uint8_t* image, std::uint32_t offset, const std::uint8_t* font_bytes,
                  std::uint32_t font_length);

#endif

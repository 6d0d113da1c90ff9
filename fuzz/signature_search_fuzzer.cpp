// Differential fuzzing of the signature search and the font copy: the
// tool's search, which jumps between candidates with memchr, must find
// exactly what a plain byte-by-byte scan finds, in images of every length,
// and the copy must change exactly the font's bytes.
//
// Input: one control byte, two bytes of position, then the image.  The
// control byte can plant the signature at the chosen position, spoil one of
// its bytes, or take the image's tail as a font to copy over the match.
#include "font_table.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

static const std::uint8_t plain_signature[32] = {
	0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
	0x7E, 0x81, 0xA5, 0x81, 0xBD, 0x99, 0x81, 0x7E,
	0x7E, 0xFF, 0xDB, 0xFF, 0xC3, 0xE7, 0xFF, 0x7E,
	0x6C, 0xFE, 0xFE, 0xFE, 0x7C, 0x38, 0x10, 0x00,
};

// The lowest offset at which all 32 bytes match, or -1: every offset in
// turn, every byte compared.
static long plain_search(const std::uint8_t* image, std::size_t length)
{
	for (std::size_t at = 0; at + 32 <= length; at++) {
		bool same = true;
		for (std::size_t k = 0; k < 32; k++)
			if (image[at + k] != plain_signature[k])
				same = false;
		if (same)
			return (long)at;
	}
	return -1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
	if (size < 3)
		return 0;
	std::uint8_t control = data[0];
	std::size_t position = (std::size_t)data[1] | (std::size_t)data[2] << 8;
	std::size_t length = size - 3;

	// An allocation of exactly the image's length, so that the address
	// sanitizer sees any read past its end.
	std::unique_ptr<std::uint8_t[]> image(new std::uint8_t[length]);
	if (length > 0)
		std::memcpy(image.get(), data + 3, length);
	if ((control & 1) && length >= 32) {
		std::size_t at = position % (length - 31);
		std::memcpy(image.get() + at, plain_signature, 32);
		if (control & 2)
			image[at + (control >> 3) % 32] ^= (std::uint8_t)(1u << (position >> 13));
	}

	std::uint32_t found = 0xFFFFFFFF;
	bool matched = locate_font_signature(image.get(), (std::uint32_t)length, &found);
	long expected = plain_search(image.get(), length);
	if (matched != (expected >= 0) || (matched && (long)found != expected))
		std::abort();
	if (!matched || !(control & 4))
		return 0;

	// Copy the image's last bytes over the match as a font, as long as it
	// fits, and compare with a plain copy.
	std::size_t font_length = position % 2049;
	if (font_length > length || font_length > length - found)
		return 0;
	std::unique_ptr<std::uint8_t[]> font(new std::uint8_t[font_length]);
	if (font_length > 0)
		std::memcpy(font.get(), image.get() + (length - font_length), font_length);
	std::unique_ptr<std::uint8_t[]> expected_image(new std::uint8_t[length]);
	for (std::size_t i = 0; i < length; i++)
		expected_image[i] = i >= found && i - found < font_length ? font[i - found] : image[i];
	replace_font(image.get(), found, font.get(), (std::uint32_t)font_length);
	for (std::size_t i = 0; i < length; i++)
		if (image[i] != expected_image[i])
			std::abort();
	return 0;
}

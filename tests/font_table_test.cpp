// Unit tests of the signature search and the font copy, including the
// positions end-to-end tests reach only slowly.
#include "font_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<std::uint8_t> image_with_signatures(std::size_t size, std::vector<std::size_t> at)
{
	std::vector<std::uint8_t> image(size, 0);
	for (std::size_t offset : at)
		std::memcpy(&image[offset], __font_data_libdragon, font_signature_size);
	return image;
}

TEST(FontSignature, IsTheFirstFourGlyphs)
{
	const std::uint8_t expected[32] = {
		0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7E, 0x81, 0xA5, 0x81, 0xBD,
		0x99, 0x81, 0x7E, 0x7E, 0xFF, 0xDB, 0xFF, 0xC3, 0xE7, 0xFF, 0x7E, 0x6C, 0xFE,
		0xFE, 0xFE, 0x7C, 0x38, 0x10, 0x00,
	};
	EXPECT_EQ(std::memcmp(__font_data_libdragon, expected, 32), 0);
}

TEST(FontSignature, FoundAtEveryOffsetOfSmallImages)
{
	// Every placement in images of several lengths, including the first and
	// the last possible offset.
	for (std::size_t size : {32u, 33u, 40u, 100u}) {
		for (std::size_t at = 0; at + 32 <= size; at++) {
			std::vector<std::uint8_t> image = image_with_signatures(size, {at});
			std::uint32_t offset = 12345;
			ASSERT_TRUE(locate_font_signature(image.data(), (std::uint32_t)size, &offset))
			    << size << " " << at;
			EXPECT_EQ(offset, at);
		}
	}
}

TEST(FontSignature, LowestOfSeveralWins)
{
	std::vector<std::uint8_t> image = image_with_signatures(4096, {3000, 17, 1029});
	std::uint32_t offset = 0;
	ASSERT_TRUE(locate_font_signature(image.data(), 4096, &offset));
	EXPECT_EQ(offset, 17u);
}

TEST(FontSignature, OverlappingCandidates)
{
	// The anchor byte appears early inside a partial match; the search must
	// still find the full signature that starts right after it.
	std::vector<std::uint8_t> image(200, 0);
	std::memcpy(&image[10], __font_data_libdragon, 12);
	std::memcpy(&image[30], __font_data_libdragon, 32);
	std::uint32_t offset = 0;
	ASSERT_TRUE(locate_font_signature(image.data(), 200, &offset));
	EXPECT_EQ(offset, 30u);
}

TEST(FontSignature, NoMatch)
{
	std::uint32_t offset = 0;
	std::vector<std::uint8_t> image = image_with_signatures(64, {20});
	// Too short to hold it: the search must not read past the given length.
	EXPECT_FALSE(locate_font_signature(image.data() + 20, 31, &offset));
	EXPECT_FALSE(locate_font_signature(image.data(), 0, &offset));
	// A signature cut off by the end of the image.
	EXPECT_FALSE(locate_font_signature(image.data(), 51, &offset));
	// Any one byte changed.
	for (std::size_t k = 0; k < 32; k++) {
		std::vector<std::uint8_t> broken = image;
		broken[20 + k] ^= 0x80;
		EXPECT_FALSE(locate_font_signature(broken.data(), 64, &offset)) << k;
	}
}

TEST(ReplaceFont, CopiesExactlyTheFontBytes)
{
	std::vector<std::uint8_t> image(64, 0xEE);
	const std::uint8_t font[5] = {1, 2, 3, 4, 5};
	replace_font(image.data(), 7, font, 5);
	for (std::size_t i = 0; i < image.size(); i++) {
		std::uint8_t expected = i >= 7 && i < 12 ? (std::uint8_t)(i - 6) : 0xEE;
		EXPECT_EQ(image[i], expected) << i;
	}
	replace_font(image.data(), 0, nullptr, 0);
	EXPECT_EQ(image[0], 0xEE);
}

} // namespace

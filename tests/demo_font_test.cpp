// Unit tests of the sample fonts: what makes them patchable, complete and
// easy to tell apart, and box drawing that joins its neighbours.
#include "demo_font.h"
#include "font_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

namespace {

struct demo_fonts {
	std::uint8_t bold[2048];
	std::uint8_t light[2048];
	demo_fonts()
	{
		draw_demo_font(demo_font_style::bold, bold);
		draw_demo_font(demo_font_style::light, light);
	}
};

bool ink(const std::uint8_t* table, unsigned slot, int x, int y)
{
	return x >= 0 && x < 8 && y >= 0 && y < 8 && (table[slot * 8 + y] >> (7 - x)) & 1;
}

bool empty(const std::uint8_t* table, unsigned slot)
{
	static const std::uint8_t none[8] = {};
	return std::memcmp(table + slot * 8, none, 8) == 0;
}

// Both start with the signature, so the sample image's font is found and a
// patched sample image can be patched again; every glyph but the blanks
// and the peseta sign has ink; and every letter differs between them.
TEST(DemoFont, SignatureCoverageAndTwoLooks)
{
	demo_fonts fonts;
	for (const std::uint8_t* table : {fonts.bold, fonts.light}) {
		EXPECT_EQ(std::memcmp(table, __font_data_libdragon, font_signature_size), 0);
		for (unsigned slot = 1; slot < 256; slot++)
			EXPECT_EQ(empty(table, slot), slot == 0x20 || slot == 0x9E || slot == 0xFF) << slot;
	}
	for (unsigned c = 'A'; c <= 'z'; c++)
		EXPECT_TRUE(!std::isalpha((int)c) || std::memcmp(fonts.bold + c * 8, fonts.light + c * 8, 8))
		        << (char)c;
}

// Letters leave the top row to accents; é, è, ê and ë are e with different
// accents above it, and so are the accented i; Ç keeps C and adds a cedilla.
TEST(DemoFont, AccentsStandAboveTheirLetters)
{
	demo_fonts fonts;
	const struct {
		char base;
		unsigned slots[4];
	} families[] = {{'e', {0x82, 0x8A, 0x88, 0x89}}, {'i', {0xA1, 0x8D, 0x8C, 0x8B}}};
	for (const std::uint8_t* table : {fonts.bold, fonts.light}) {
		for (unsigned c = 'A'; c <= 'Z'; c++)
			EXPECT_EQ(table[c * 8], 0) << (char)c;
		for (const auto& family : families) {
			const std::uint8_t* base = table + family.base * 8;
			std::set<std::string> glyphs = {std::string(base, base + 8)};
			for (unsigned slot : family.slots) {
				EXPECT_NE(table[slot * 8], 0) << slot;
				EXPECT_EQ(table[slot * 8 + 6], base[6]) << slot;
				glyphs.insert(std::string(table + slot * 8, table + slot * 8 + 8));
			}
			EXPECT_EQ(glyphs.size(), 5u) << family.base;
		}
		EXPECT_EQ(std::memcmp(table + 0x80 * 8, table + 'C' * 8, 7), 0);
		EXPECT_NE(table[0x80 * 8 + 7], 0);
	}
}

// Each box drawing glyph meets each edge of its cell with no line, a single
// line (pixel 3) or a double one (pixels 2 and 4), so that it joins any
// neighbour; no line ends inside the cell; and the 40 glyphs all differ.
TEST(DemoFont, BoxDrawingJoinsAtTheEdges)
{
	demo_fonts fonts;
	for (const std::uint8_t* table : {fonts.bold, fonts.light}) {
		std::set<int> kinds;
		for (unsigned slot = 0xB3; slot <= 0xDA; slot++) {
			int kind = 0;
			for (int edge = 0; edge < 4; edge++) {
				unsigned bits = 0;
				for (int i = 0; i < 8; i++) {
					int x = edge < 2 ? i : edge == 2 ? 0 : 7;
					int y = edge >= 2 ? i : edge == 0 ? 0 : 7;
					bits |= ink(table, slot, x, y) ? 0x80u >> i : 0;
				}
				EXPECT_TRUE(bits == 0 || bits == 0x10 || bits == 0x28) << slot << " " << edge;
				kind = kind * 256 + (int)bits;
			}
			kinds.insert(kind);
			for (int y = 1; y < 7; y++) {
				for (int x = 1; x < 7; x++) {
					int neighbours = ink(table, slot, x - 1, y) + ink(table, slot, x + 1, y) +
					                 ink(table, slot, x, y - 1) + ink(table, slot, x, y + 1);
					EXPECT_TRUE(!ink(table, slot, x, y) || neighbours >= 2)
					        << slot << " at " << x << "," << y;
				}
			}
		}
		EXPECT_EQ(kinds.size(), 40u);
	}
}

} // namespace

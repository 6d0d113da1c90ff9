// Unit tests of the font formats of os64-font: PSF fonts, gzip, PNG glyph
// sheets and terminal drawing.
#include "font_decode.h"
#include "font_png.h"
#include "font_render.h"
#include "font_sheet.h"
#include "font_codepage.h"
#include "png_fixture.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <stdexcept>

namespace {

const std::uint8_t signature[32] = {
	0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7E, 0x81, 0xA5, 0x81, 0xBD,
	0x99, 0x81, 0x7E, 0x7E, 0xFF, 0xDB, 0xFF, 0xC3, 0xE7, 0xFF, 0x7E, 0x6C, 0xFE,
	0xFE, 0xFE, 0x7C, 0x38, 0x10, 0x00,
};

// Glyph bytes that differ from glyph to glyph and use every bit.
byte_buffer pattern(std::size_t size, std::uint32_t seed)
{
	byte_buffer data(size);
	for (std::size_t i = 0; i < size; i++) {
		seed = seed * 1664525u + 1013904223u;
		data[i] = (std::uint8_t)(seed >> 24);
	}
	return data;
}

byte_buffer psf1(std::uint8_t mode, std::uint8_t height, const byte_buffer& glyphs)
{
	byte_buffer data = {0x36, 0x04, mode, height};
	// Room made first: g++ 12 at -O3 otherwise wrongly warns that growing
	// the four-byte vector copies past its end (-Warray-bounds).
	data.reserve(data.size() + glyphs.size());
	data.insert(data.end(), glyphs.begin(), glyphs.end());
	return data;
}

void put_le32(byte_buffer* data, std::size_t at, std::uint32_t value)
{
	for (int k = 0; k < 4; k++)
		(*data)[at + k] = (std::uint8_t)(value >> (8 * k));
}

byte_buffer psf2(std::uint32_t header_size, std::uint32_t count, std::uint32_t glyph_bytes,
                 std::uint32_t height, std::uint32_t width, const byte_buffer& glyphs,
                 std::uint32_t version = 0)
{
	byte_buffer data(header_size < 32 ? 32 : header_size, 0xEE);
	const std::uint8_t magic[4] = {0x72, 0xB5, 0x4A, 0x86};
	std::memcpy(data.data(), magic, 4);
	put_le32(&data, 4, version);
	put_le32(&data, 8, header_size);
	put_le32(&data, 12, 0);
	put_le32(&data, 16, count);
	put_le32(&data, 20, glyph_bytes);
	put_le32(&data, 24, height);
	put_le32(&data, 28, width);
	data.insert(data.end(), glyphs.begin(), glyphs.end());
	return data;
}

byte_buffer gzip_bytes(const byte_buffer& data)
{
	z_stream z;
	std::memset(&z, 0, sizeof z);
	if (deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
		throw std::runtime_error("deflateInit2 failed");
	byte_buffer out(deflateBound(&z, (uLong)data.size()) + 64);
	z.next_in = const_cast<Bytef*>(data.data());
	z.avail_in = (uInt)data.size();
	z.next_out = out.data();
	z.avail_out = (uInt)out.size();
	if (deflate(&z, Z_FINISH) != Z_STREAM_END)
		throw std::runtime_error("deflate failed");
	out.resize(z.total_out);
	deflateEnd(&z);
	return out;
}

struct imported {
	bool ok = false;
	import_result result;
	std::string error;
};

imported run_import(const byte_buffer& data, const import_options& options = import_options())
{
	imported r;
	r.ok = import_font(data, options, &r.result, &r.error);
	return r;
}

byte_buffer first_bytes(const byte_buffer& data, std::size_t from, std::size_t count)
{
	return byte_buffer(data.begin() + (std::ptrdiff_t)from,
	                   data.begin() + (std::ptrdiff_t)(from + count));
}

} // namespace

// PSF fonts

TEST(Psf, Psf1With256Glyphs)
{
	byte_buffer glyphs = pattern(2048, 1);
	imported r = run_import(psf1(0, 8, glyphs));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(r.result.table, glyphs);
	EXPECT_EQ(r.result.kind, "PSF1 font");
	EXPECT_EQ(r.result.glyphs, 256u);
	EXPECT_FALSE(r.result.gzip);
	EXPECT_EQ(r.result.scale, 0u);
}

TEST(Psf, UnicodeTablesPutGlyphsInTheSlotsOfTheirCharacters)
{
	// Glyph 300 draws é and ☺, and glyph 301 claims é as well: the first
	// claim wins.  Glyph 'B' also lists a sequence (A and a combining ring),
	// which names no slot, so Å stays missing.
	byte_buffer glyphs = pattern(512 * 8, 2);
	for (bool is_psf1 : {true, false}) {
		std::string name = is_psf1 ? "PSF1" : "PSF2";
		byte_buffer data = is_psf1 ? psf1(0x03, 8, glyphs) : psf2(32, 512, 8, 8, 8, glyphs);
		if (!is_psf1)
			put_le32(&data, 12, 1);
		for (unsigned g = 0; g < 512; g++) {
			std::vector<std::uint32_t> chars;
			if (g == 'A' || g == 'B')
				chars = {g};
			else if (g == 300)
				chars = {0xE9, 0x263A};
			else if (g == 301)
				chars = {0xE9};
			for (std::uint32_t ch : chars) {
				std::string u = encode_utf8(ch);
				if (is_psf1)
					u = {(char)(ch & 0xFF), (char)(ch >> 8)};
				data.insert(data.end(), u.begin(), u.end());
			}
			if (g == 'B' && is_psf1)
				data.insert(data.end(), {0xFE, 0xFF, 'A', 0, 0x0A, 0x03});
			else if (g == 'B')
				data.insert(data.end(), {0xFE, 'A', 0xCC, 0x8A});
			data.insert(data.end(), is_psf1 ? 2 : 1, 0xFF);
		}
		imported r = run_import(data);
		ASSERT_TRUE(r.ok) << name << ": " << r.error;
		EXPECT_EQ(r.result.layout, "placed by its Unicode table");
		EXPECT_EQ(first_bytes(r.result.table, 0x82 * 8, 8), first_bytes(glyphs, 300 * 8, 8));
		EXPECT_EQ(first_bytes(r.result.table, 0x01 * 8, 8), first_bytes(glyphs, 300 * 8, 8));
		EXPECT_EQ(first_bytes(r.result.table, 'A' * 8, 16), first_bytes(glyphs, 'A' * 8, 16));
		// Slot 0 names no character, and Å (0x8F) was only a sequence.
		EXPECT_EQ(first_bytes(r.result.table, 0, 8), byte_buffer(8, 0));
		EXPECT_EQ(first_bytes(r.result.table, 0x8F * 8, 8), byte_buffer(8, 0));
		EXPECT_EQ(r.result.missing.size(), 255u - 4u) << name;
		EXPECT_EQ(r.result.missing[0], 2u);

		// A table that ends inside an entry is refused.
		data.pop_back();
		EXPECT_EQ(run_import(data).error,
		          "truncated " + name +
		                  " font: its Unicode table ends in the entry of glyph 511 of 512");
	}
}

TEST(Psf, Psf1WithWrongGlyphHeightIsRefused)
{
	imported r = run_import(psf1(0, 16, pattern(4096, 4)));
	EXPECT_FALSE(r.ok);
	EXPECT_EQ(r.error, "PSF1 font: the glyphs are 8×16 pixels; the table holds 8×8");
	r = run_import(psf1(0, 0, byte_buffer()));
	EXPECT_EQ(r.error, "damaged PSF1 font: its glyphs are 8x0 pixels");
}

TEST(Psf, TruncatedPsf1IsRefused)
{
	byte_buffer data = psf1(0, 8, pattern(2047, 5));
	imported r = run_import(data);
	EXPECT_FALSE(r.ok);
	EXPECT_EQ(r.error, "truncated PSF1 font: its header promises 256 glyphs of 8 bytes "
	                   "(2048 bytes), but only 2047 follow it");
	r = run_import(psf1(1, 8, pattern(3000, 5)));
	EXPECT_EQ(r.error, "truncated PSF1 font: its header promises 512 glyphs of 8 bytes "
	                   "(4096 bytes), but only 3000 follow it");
	r = run_import(byte_buffer{0x36, 0x04, 0x00});
	EXPECT_EQ(r.error, "truncated PSF1 font: its header is cut short");
}

TEST(Psf, Psf2With8x8Glyphs)
{
	byte_buffer glyphs = pattern(2048, 6);
	imported r = run_import(psf2(32, 256, 8, 8, 8, glyphs));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(r.result.table, glyphs);
	EXPECT_EQ(r.result.kind, "PSF2 font");
	EXPECT_EQ(r.result.glyphs, 256u);
}

TEST(Psf, Psf2GlyphsStartWhereTheHeaderSizeSays)
{
	// A longer header than the usual 32 bytes: its extra bytes are 0xEE.
	byte_buffer glyphs = pattern(600 * 8, 7);
	imported r = run_import(psf2(48, 600, 8, 8, 8, glyphs));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(r.result.table, first_bytes(glyphs, 0, 2048));
	EXPECT_EQ(r.result.glyphs, 600u);
}

TEST(Psf, Psf2WithFewerGlyphsLacksTheRest)
{
	byte_buffer glyphs = pattern(1024, 8);
	imported r = run_import(psf2(32, 128, 8, 8, 8, glyphs));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(first_bytes(r.result.table, 0, 1024), glyphs);
	EXPECT_EQ(first_bytes(r.result.table, 1024, 1024), byte_buffer(1024, 0));
	ASSERT_EQ(r.result.missing.size(), 128u);
	EXPECT_EQ(r.result.missing.front(), 128u);
}

TEST(Psf, SmallerGlyphsAreLeftAlignedAndLargerOnesRefused)
{
	// 6x8 glyphs fill the top six bits of each row; the rest is padding.
	byte_buffer glyphs = pattern(2048, 9);
	imported r = run_import(psf2(32, 256, 8, 8, 6, glyphs));
	ASSERT_TRUE(r.ok) << r.error;
	for (std::uint8_t& b : glyphs)
		b &= 0xFC;
	EXPECT_EQ(r.result.table, glyphs);
	EXPECT_EQ(r.result.width, 6u);
	// A 4x6 cell sits at the top left of the 8x8 one.
	r = run_import(psf2(32, 256, 6, 6, 4, byte_buffer(256 * 6, 0xFF)));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(first_bytes(r.result.table, 8, 8),
	          (byte_buffer{0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0, 0}));
	r = run_import(psf2(32, 256, 12, 12, 8, pattern(3072, 9)));
	EXPECT_EQ(r.error, "PSF2 font: the glyphs are 8×12 pixels; the table holds 8×8");
	r = run_import(psf2(32, 256, 32, 16, 16, pattern(8192, 9)));
	EXPECT_EQ(r.error, "PSF2 font: the glyphs are 16×16 pixels; the table holds 8×8");
	EXPECT_FALSE(r.ok);
}

TEST(Psf, DamagedPsf2HeadersAreRefused)
{
	byte_buffer glyphs = pattern(2048, 10);
	imported r = run_import(psf2(32, 256, 8, 8, 8, glyphs, 1));
	EXPECT_EQ(r.error, "PSF2 font of the unknown version 1");
	r = run_import(psf2(20, 256, 8, 8, 8, glyphs));
	EXPECT_EQ(r.error, "damaged PSF2 font: its header claims to be 20 bytes long, less than "
	                   "the 32 it has");
	r = run_import(psf2(32, 256, 16, 8, 8, glyphs));
	EXPECT_EQ(r.error, "damaged PSF2 font: its 8x8 glyphs are said to take 16 bytes each "
	                   "instead of 8");
	r = run_import(psf2(32, 256, 8, 8, 0, glyphs));
	EXPECT_EQ(r.error, "damaged PSF2 font: its glyphs are 0x8 pixels");
	r = run_import(psf2(32, 256, 8, 8, 8, glyphs));
	EXPECT_TRUE(r.ok);
}

TEST(Psf, TruncatedPsf2IsRefused)
{
	imported r = run_import(psf2(32, 300, 8, 8, 8, pattern(2400 - 1, 11)));
	EXPECT_FALSE(r.ok);
	EXPECT_EQ(r.error, "truncated PSF2 font: its header promises 300 glyphs of 8 bytes "
	                   "(2400 bytes), but only 2399 follow it");
	// A header size beyond the end of the file.
	byte_buffer data = psf2(32, 256, 8, 8, 8, byte_buffer());
	put_le32(&data, 8, 4096);
	r = run_import(data);
	EXPECT_EQ(r.error, "truncated PSF2 font: its header promises 256 glyphs of 8 bytes "
	                   "(2048 bytes), but only 0 follow it");
	// A font of tiny glyphs is read up to 65536 of them, not beyond.
	r = run_import(gzip_bytes(psf2(32, 65536, 1, 1, 1, byte_buffer(65536, 0x80))));
	EXPECT_TRUE(r.ok) << r.error;
	r = run_import(gzip_bytes(psf2(32, 65537, 1, 1, 1, byte_buffer(65537, 0x80))));
	EXPECT_EQ(r.error, "PSF2 font with 65537 glyphs: fonts of more than 65536 glyphs are not "
	                   "read");
	byte_buffer header = psf2(32, 256, 8, 8, 8, byte_buffer());
	header.resize(31);
	r = run_import(header);
	EXPECT_EQ(r.error, "truncated PSF2 font: its header is cut short");
}

// gzip

TEST(Gzip, CompressedFontsAreRead)
{
	byte_buffer glyphs = pattern(2048, 12);
	imported r = run_import(gzip_bytes(psf1(0, 8, glyphs)));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_TRUE(r.result.gzip);
	EXPECT_EQ(r.result.table, glyphs);
	r = run_import(gzip_bytes(psf2(32, 256, 8, 8, 8, glyphs)));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(r.result.table, glyphs);
}

TEST(Gzip, TruncatedAndDamagedDataIsRefused)
{
	byte_buffer gz = gzip_bytes(psf1(0, 8, pattern(2048, 13)));
	byte_buffer cut(gz.begin(), gz.begin() + (std::ptrdiff_t)(gz.size() / 2));
	imported r = run_import(cut);
	EXPECT_FALSE(r.ok);
	EXPECT_EQ(r.error, "truncated gzip data");
	// Without its 8-byte trailer the stream is just as incomplete.
	cut.assign(gz.begin(), gz.end() - 8);
	EXPECT_EQ(run_import(cut).error, "truncated gzip data");
	// A wrong CRC in the trailer.
	byte_buffer damaged = gz;
	damaged[damaged.size() - 8] ^= 0xFF;
	r = run_import(damaged);
	EXPECT_FALSE(r.ok);
	EXPECT_EQ(r.error, "damaged gzip data: incorrect data check");
}

TEST(Gzip, OutputLimitIsEnforced)
{
	byte_buffer data(5000, 0x55);
	byte_buffer out;
	std::string error;
	EXPECT_FALSE(gunzip(gzip_bytes(data), 4999, &out, &error));
	EXPECT_EQ(error, "gzip data that decompresses to more than 4999 bytes");
	error.clear();
	EXPECT_TRUE(gunzip(gzip_bytes(data), 5000, &out, &error)) << error;
	EXPECT_EQ(out, data);
}

TEST(Import, EmptyAndUnknownInputsAreRefused)
{
	const std::string formats = "): it reads PSF, BDF, PCF, OpenType, TrueType and Windows FON "
	                            "and FNT fonts, PNG glyph sheets and raw font tables of 2048 "
	                            "bytes";
	EXPECT_EQ(run_import(byte_buffer()).error, "empty file");
	EXPECT_EQ(run_import(gzip_bytes(byte_buffer())).error, "gzip file that holds nothing");
	EXPECT_EQ(run_import(byte_buffer{'G', 'I', 'F', '8', '9', 'a'}).error,
	          "not a font os64-font reads (it starts with 47 49 46 38" + formats);
	EXPECT_EQ(run_import(byte_buffer{0x36}).error,
	          "not a font os64-font reads (it starts with 36" + formats);
	// A raw font table keeps its slot order, or takes the one --codepage
	// names; one byte less is no table.
	byte_buffer table = pattern(2048, 14);
	imported r = run_import(table);
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(r.result.table, table);
	EXPECT_EQ(r.result.kind, "font table");
	EXPECT_TRUE(r.result.missing.empty());
	import_options cp850;
	cp850.codepage = "cp850";
	r = run_import(table, cp850);
	ASSERT_TRUE(r.ok) << r.error;
	// cp850 has ¢ at 0xBD, where code page 437 has it at 0x9B, and lacks ₧.
	EXPECT_EQ(first_bytes(r.result.table, 0x9B * 8, 8), first_bytes(table, 0xBD * 8, 8));
	EXPECT_EQ(first_bytes(r.result.table, 'A' * 8, 8), first_bytes(table, 'A' * 8, 8));
	EXPECT_EQ(first_bytes(r.result.table, 0x9E * 8, 8), byte_buffer(8, 0));
	table.pop_back();
	EXPECT_EQ(run_import(table).error.substr(0, 27), "not a font os64-font reads ");
	// --size belongs to fonts of several sizes.
	import_options sized;
	sized.size = 8;
	EXPECT_EQ(run_import(psf1(0, 8, pattern(2048, 1)), sized).error,
	          "--size is for fonts of several sizes or outlines, and a PSF1 font has glyphs "
	          "of one size");
}

// A BDF glyph that lacks its BITMAP lines has a size but no pixels; it is
// left out, and the font's other glyphs are read.
TEST(Import, BdfGlyphWithoutItsBitmapIsLeftOut)
{
	std::string bdf = "STARTFONT 2.1\nFONT t\nSIZE 8 75 75\nFONTBOUNDINGBOX 8 8 0 0\n"
	                  "STARTPROPERTIES 2\nCHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\n"
	                  "ENDPROPERTIES\nCHARS 2\n"
	                  "STARTCHAR A\nENCODING 65\nDWIDTH 8 0\nBBX 8 8 0 0\nENDCHAR\n"
	                  "STARTCHAR B\nENCODING 66\nDWIDTH 8 0\nBBX 8 8 0 0\nBITMAP\n"
	                  "FF\n81\n81\nFF\n81\n81\n81\nFF\nENDCHAR\nENDFONT\n";
	imported r = run_import(byte_buffer(bdf.begin(), bdf.end()));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(first_bytes(r.result.table, 'B' * 8, 8),
	          (byte_buffer{0xFF, 0x81, 0x81, 0xFF, 0x81, 0x81, 0x81, 0xFF}));
	EXPECT_EQ(first_bytes(r.result.table, 'A' * 8, 8), byte_buffer(8, 0));
	EXPECT_EQ(std::count(r.result.missing.begin(), r.result.missing.end(), (unsigned)'A'), 1);
}

// PNG glyph sheets

namespace {

struct sheet_case {
	const char* name;
	int color_type;
	int bit_depth;
	std::vector<std::vector<std::uint16_t>> dark;
	std::vector<std::vector<std::uint16_t>> light;
};

byte_buffer sheet_png(const byte_buffer& table, unsigned scale, bool grid, bool grid_dark,
                      const sheet_case& c, bool interlace = false)
{
	unsigned size = 0;
	std::vector<bool> dark = sheet_dark_pixels(table.data(), scale, grid, grid_dark, &size);
	png_picture picture = sheet_picture(dark, size, c.color_type, c.bit_depth, c.dark, c.light);
	picture.interlace = interlace;
	return encode_png(picture);
}

} // namespace

TEST(Sheet, EveryColourTypeIsRead)
{
	byte_buffer table = pattern(2048, 20);
	const sheet_case cases[] = {
		{"grey 8-bit", PNG_COLOR_TYPE_GRAY, 8, {{0}}, {{255}}},
		// The threshold: 127 is dark, 128 is not.
		{"grey at the threshold", PNG_COLOR_TYPE_GRAY, 8, {{127}, {0}}, {{128}, {200}}},
		{"grey 1-bit", PNG_COLOR_TYPE_GRAY, 1, {{0}}, {{1}}},
		{"grey 4-bit", PNG_COLOR_TYPE_GRAY, 4, {{7}}, {{8}}},
		{"grey 16-bit", PNG_COLOR_TYPE_GRAY, 16, {{0x7FFF}}, {{0x8000}}},
		// Luminance weighs green most: pure red and blue are dark, pure
		// green and yellow are light.
		{"RGB", PNG_COLOR_TYPE_RGB, 8, {{255, 0, 0}, {0, 0, 255}, {60, 60, 60}},
		 {{0, 255, 0}, {255, 255, 0}, {200, 200, 200}}},
		{"RGB 16-bit", PNG_COLOR_TYPE_RGB, 16, {{0xFFFF, 0, 0}}, {{0, 0xFFFF, 0}}},
		// Transparent pixels count as white, whatever their colour.
		{"RGBA", PNG_COLOR_TYPE_RGB_ALPHA, 8, {{0, 0, 0, 255}, {0, 0, 0, 200}},
		 {{0, 0, 0, 0}, {255, 255, 255, 255}, {0, 0, 0, 100}}},
		{"grey and alpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{0, 255}}, {{0, 0}, {255, 255}}},
	};
	for (const sheet_case& c : cases) {
		imported r = run_import(sheet_png(table, 1, false, false, c));
		ASSERT_TRUE(r.ok) << c.name << ": " << r.error;
		EXPECT_EQ(r.result.table, table) << c.name;
		EXPECT_EQ(r.result.kind, "PNG glyph sheet");
		EXPECT_EQ(r.result.scale, 1u);
		EXPECT_FALSE(r.result.grid);
	}
}

TEST(Sheet, PaletteImagesAreRead)
{
	byte_buffer table = pattern(2048, 21);
	// Entries: white, black, red, yellow, and black made transparent.
	sheet_case c = {"palette", PNG_COLOR_TYPE_PALETTE, 8, {{1}, {2}}, {{0}, {3}, {4}}};
	unsigned size = 0;
	std::vector<bool> dark = sheet_dark_pixels(table.data(), 1, false, false, &size);
	png_picture picture = sheet_picture(dark, size, c.color_type, 8, c.dark, c.light);
	picture.palette = {255, 255, 255, 0, 0, 0, 255, 0, 0, 255, 255, 0, 0, 0, 0};
	picture.palette_alpha = {255, 255, 255, 255, 0};
	imported r = run_import(encode_png(picture));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(r.result.table, table);

	// A 1-bit palette image as simple editors save two-colour drawings.
	picture = sheet_picture(dark, size, PNG_COLOR_TYPE_PALETTE, 1, {{0}}, {{1}});
	picture.palette = {0, 0, 0, 255, 255, 255};
	r = run_import(encode_png(picture));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(r.result.table, table);
}

TEST(Sheet, TransparentColourKeysCountAsWhite)
{
	// A tRNS chunk makes one grey value or one RGB colour transparent.
	byte_buffer table = pattern(2048, 27);
	unsigned size = 0;
	std::vector<bool> dark = sheet_dark_pixels(table.data(), 1, false, false, &size);
	png_picture picture =
	        sheet_picture(dark, size, PNG_COLOR_TYPE_GRAY, 8, {{0}}, {{10}, {255}});
	picture.transparent = {10};
	imported r = run_import(encode_png(picture));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(r.result.table, table);

	picture = sheet_picture(dark, size, PNG_COLOR_TYPE_RGB, 8, {{0, 0, 0}, {0, 0, 1}},
	                        {{0, 0, 2}, {255, 255, 255}});
	picture.transparent = {0, 0, 2};
	r = run_import(encode_png(picture));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(r.result.table, table);
}

TEST(Sheet, InterlacedImagesAreRead)
{
	byte_buffer table = pattern(2048, 22);
	sheet_case c = {"RGB", PNG_COLOR_TYPE_RGB, 8, {{10, 20, 30}}, {{250, 240, 230}}};
	imported r = run_import(sheet_png(table, 2, false, false, c, true));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_EQ(r.result.table, table);
	EXPECT_EQ(r.result.scale, 2u);
}

TEST(Sheet, ScaledSheetsAndGridLines)
{
	byte_buffer table = pattern(2048, 23);
	sheet_case c = {"grey", PNG_COLOR_TYPE_GRAY, 8, {{0}}, {{255}}};
	for (unsigned scale : {1u, 2u, 3u, 5u}) {
		for (bool grid : {false, true}) {
			// Grid lines are skipped whatever their colour.
			imported r = run_import(sheet_png(table, scale, grid, scale % 2 == 1, c));
			ASSERT_TRUE(r.ok) << scale << " " << grid << ": " << r.error;
			EXPECT_EQ(r.result.table, table);
			EXPECT_EQ(r.result.scale, scale);
			EXPECT_EQ(r.result.grid, grid);
		}
	}
}

TEST(Sheet, BlocksOfMixedPixelsAreRefused)
{
	byte_buffer table(2048, 0);
	table[0x41 * 8 + 3] = 0x20; // glyph 0x41, row 3, column 2
	unsigned size = 0;
	std::vector<bool> dark = sheet_dark_pixels(table.data(), 4, false, false, &size);
	ASSERT_EQ(size, 512u);
	// One pixel of that 4x4 block turns light.
	unsigned x0 = 1 * 32 + 2 * 4;
	unsigned y0 = 4 * 32 + 3 * 4;
	ASSERT_TRUE(dark[(y0 + 3) * size + x0 + 1]);
	dark[(y0 + 3) * size + x0 + 1] = false;
	imported r = run_import(
	        encode_png(sheet_picture(dark, size, PNG_COLOR_TYPE_GRAY, 8, {{0}}, {{255}})));
	EXPECT_FALSE(r.ok);
	EXPECT_EQ(r.error, "glyph 65 (0x41), row 3, column 2 (the 4x4 block at x=40, y=140) is "
	                   "partly dark and partly light; at scale 4 every font pixel must be a "
	                   "block of one kind");
	// A stray dark pixel in a light block is refused just the same.
	dark[(y0 + 3) * size + x0 + 1] = true;
	dark[5 * size + 6] = true;
	r = run_import(
	        encode_png(sheet_picture(dark, size, PNG_COLOR_TYPE_GRAY, 8, {{0}}, {{255}})));
	EXPECT_EQ(r.error, "glyph 0 (0x00), row 1, column 1 (the 4x4 block at x=4, y=4) is "
	                   "partly dark and partly light; at scale 4 every font pixel must be a "
	                   "block of one kind");
}

TEST(Sheet, WrongSizesAreRefused)
{
	const std::string rule = "a glyph sheet is 128x128 pixels or a whole multiple of that "
	                         "such as 256x256, up to 4096x4096 (with grid lines 17 more, "
	                         "such as 145x145)";
	struct size_case {
		unsigned width;
		unsigned height;
	};
	for (size_case s : {size_case{100, 100}, size_case{128, 256}, size_case{129, 129},
	                    size_case{127, 127}, size_case{17, 17}, size_case{1, 1},
	                    size_case{144, 144}}) {
		png_picture picture;
		picture.width = s.width;
		picture.height = s.height;
		picture.color_type = PNG_COLOR_TYPE_GRAY;
		picture.samples.assign((std::size_t)s.width * s.height, 255);
		imported r = run_import(encode_png(picture));
		EXPECT_FALSE(r.ok);
		EXPECT_EQ(r.error, "PNG image of " + std::to_string(s.width) + "x" +
		                           std::to_string(s.height) + " pixels; " + rule);
	}
}

TEST(Sheet, ScalesAbove32AreRefusedBeforeThePixelsAreRead)
{
	// A 128x128 sheet whose header claims 4224x4224 pixels (scale 33):
	// only the header is read before the size is refused.
	png_picture picture;
	picture.width = 128;
	picture.height = 128;
	picture.color_type = PNG_COLOR_TYPE_GRAY;
	picture.samples.assign(128 * 128, 255);
	byte_buffer png = encode_png(picture);
	ASSERT_TRUE(run_import(png).ok);
	// The IHDR chunk: length at 8, type at 12, width at 16, height at 20,
	// and the CRC of type and data at 29.
	for (int k = 0; k < 4; k++) {
		png[16 + k] = (std::uint8_t)(4224u >> (24 - 8 * k));
		png[20 + k] = (std::uint8_t)(4224u >> (24 - 8 * k));
	}
	std::uint32_t crc = (std::uint32_t)crc32(0L, &png[12], 17);
	for (int k = 0; k < 4; k++)
		png[29 + k] = (std::uint8_t)(crc >> (24 - 8 * k));
	imported r = run_import(png);
	EXPECT_FALSE(r.ok);
	EXPECT_EQ(r.error.substr(0, 33), "PNG image of 4224x4224 pixels; a ");
}

TEST(Sheet, DamagedPngsAreRefused)
{
	byte_buffer table = pattern(2048, 24);
	sheet_case c = {"grey", PNG_COLOR_TYPE_GRAY, 8, {{0}}, {{255}}};
	byte_buffer png = sheet_png(table, 1, false, false, c);
	byte_buffer cut(png.begin(), png.begin() + (std::ptrdiff_t)(png.size() / 2));
	imported r = run_import(cut);
	EXPECT_FALSE(r.ok);
	EXPECT_EQ(r.error, "damaged PNG image: the file ends in the middle of the image");
	// Only the signature.
	cut.assign(png.begin(), png.begin() + 8);
	EXPECT_EQ(run_import(cut).error, "damaged PNG image: the file ends in the middle of the "
	                                 "image");
	// A damaged header chunk fails its CRC check.
	byte_buffer damaged = png;
	damaged[17] ^= 0x01;
	r = run_import(damaged);
	EXPECT_FALSE(r.ok);
	EXPECT_EQ(r.error, "damaged PNG image: IHDR: CRC error");
}

TEST(Sheet, WrittenSheetsLookAsDescribed)
{
	byte_buffer table = pattern(2048, 25);
	for (unsigned scale : {1u, 3u}) {
		for (bool grid : {false, true}) {
			byte_buffer png;
			std::string error;
			ASSERT_TRUE(write_sheet(table.data(), scale, grid, &png, &error)) << error;
			unsigned width = 0;
			unsigned height = 0;
			byte_buffer pixels = decode_grey_png(png, &width, &height);
			unsigned size = 0;
			std::vector<bool> dark = sheet_dark_pixels(table.data(), scale, grid, false,
			                                           &size);
			ASSERT_EQ(width, size);
			ASSERT_EQ(height, size);
			unsigned cell = 8 * scale + (grid ? 1 : 0);
			for (unsigned y = 0; y < size; y++) {
				for (unsigned x = 0; x < size; x++) {
					bool on_grid = grid && (x % cell == 0 || y % cell == 0);
					std::uint8_t want = on_grid ? 0xB0 : dark[y * size + x] ? 0 : 255;
					ASSERT_EQ(pixels[y * size + x], want) << x << "," << y;
				}
			}
			// Reading the sheet back gives the same bytes.
			imported r = run_import(png);
			ASSERT_TRUE(r.ok) << r.error;
			EXPECT_EQ(r.result.table, table);
		}
	}
}

TEST(Sheet, WrittenSheetsAreGreyscaleAndSmall)
{
	byte_buffer png;
	std::string error;
	ASSERT_TRUE(write_sheet(pattern(2048, 26).data(), 1, false, &png, &error));
	ASSERT_GT(png.size(), 26u);
	EXPECT_EQ(png[24], 8);                   // bit depth
	EXPECT_EQ(png[25], PNG_COLOR_TYPE_GRAY); // colour type
	// No chunk but the picture's own, so no time or text that would make
	// two writes of one sheet differ.
	std::string chunks;
	for (std::size_t at = 8; at + 8 <= png.size();) {
		std::uint32_t length = (std::uint32_t)png[at] << 24 | png[at + 1] << 16 |
		                       png[at + 2] << 8 | png[at + 3];
		chunks += std::string(png.begin() + at + 4, png.begin() + at + 8) + " ";
		at += 12 + length;
	}
	EXPECT_EQ(chunks, "IHDR IDAT IEND ");
	EXPECT_FALSE(write_sheet(pattern(2048, 26).data(), 0, false, &png, &error));
	EXPECT_EQ(error, "the scale must be from 1 to 32");
	EXPECT_FALSE(write_sheet(pattern(2048, 26).data(), 33, true, &png, &error));
}

// Drawing in the terminal

namespace {

// The first four glyphs are the signature; 'A' and 'B' are drawn here.
byte_buffer drawing_font()
{
	byte_buffer table(2048, 0);
	std::memcpy(table.data(), signature, 32);
	const std::uint8_t a[8] = {0x18, 0x3C, 0x66, 0x66, 0x7E, 0x66, 0x66, 0x00};
	const std::uint8_t b[8] = {0xFC, 0x66, 0x66, 0x7C, 0x66, 0x66, 0xFC, 0x00};
	std::memcpy(&table['A' * 8], a, 8);
	std::memcpy(&table['B' * 8], b, 8);
	return table;
}

std::vector<std::string> lines_of(const std::string& text)
{
	std::vector<std::string> lines;
	std::size_t start = 0;
	while (start < text.size()) {
		std::size_t end = text.find('\n', start);
		if (end == std::string::npos)
			end = text.size();
		lines.push_back(text.substr(start, end - start));
		start = end + 1;
	}
	return lines;
}

slots_codepage cp437_slots()
{
	slots_codepage slots;
	std::string error;
	EXPECT_TRUE(menu_codepage("", &slots, &error)) << error;
	return slots;
}

std::string drawn(const byte_buffer& table, const std::string& text)
{
	text_drawing d;
	render_text(table.data(), text, cp437_slots(), &d);
	return d.drawing;
}

} // namespace

TEST(Render, TextIsSetGlyphBesideGlyph)
{
	byte_buffer table = drawing_font();
	EXPECT_EQ(drawn(table, "AB"),
	          "  ▄██▄  ▀██▀▀█▄\n"
	          " ██  ██  ██▄▄█▀\n"
	          " ██▀▀██  ██  ██\n"
	          " ▀▀  ▀▀ ▀▀▀▀▀▀\n");
	// Characters are drawn from their code page 437 slots; a line feed
	// starts a new line of glyphs; an empty glyph is blank.
	EXPECT_EQ(drawn(table, "☺\n♥ "),
	          "▄▀▀▀▀▀▀▄\n"
	          "█ ▀  ▀ █\n"
	          "█ ▀██▀ █\n"
	          "▀▄▄▄▄▄▄▀\n"
	          "▄██▄██▄\n"
	          "███████\n"
	          " ▀███▀\n"
	          "   ▀\n");
	EXPECT_EQ(drawn(table, ""), "\n\n\n\n");
	// What code page 437 lacks, and bytes that are not UTF-8, are boxes.
	text_drawing d;
	render_text(table.data(), "€A\xFF\x01", cp437_slots(), &d);
	const char* box_top = "█▀▀▀▀▀█";
	EXPECT_EQ(d.drawing.substr(0, d.drawing.find('\n')),
	          box_top + std::string("   ▄██▄  ") + box_top + " " + box_top);
	EXPECT_EQ(d.unknown, (std::vector<std::uint32_t>{0x20AC, invalid_utf8, 0x01}));
}

TEST(Render, TableShowsEveryGlyphUnderItsCode)
{
	byte_buffer table = drawing_font();
	std::vector<std::string> lines = lines_of(render_table(table.data(), 16));
	ASSERT_EQ(lines.size(), 1u + 16u * 5u);
	EXPECT_EQ(lines[0], "   0        1        2        3        4        5        6        7"
	                    "        8        9        A        B        C        D        E"
	                    "        F");
	EXPECT_EQ(lines[1], "");
	EXPECT_EQ(lines[2], "00          ▄▀▀▀▀▀▀▄ ▄██████▄ ▄██▄██▄");
	EXPECT_EQ(lines[3], "            █ ▀  ▀ █ ██▄██▄██ ███████");
	EXPECT_EQ(lines[4], "            █ ▀██▀ █ ██▄  ▄██  ▀███▀");
	EXPECT_EQ(lines[5], "            ▀▄▄▄▄▄▄▀ ▀██████▀    ▀");
	EXPECT_EQ(lines[6], "");
	EXPECT_EQ(lines[7], "10");
	// Row 0x40 holds 'A' (0x41) and 'B' (0x42) in its second and third cell.
	EXPECT_EQ(lines[1 + 4 * 5 + 1], "40            ▄██▄   ▀██▀▀█▄");
	EXPECT_EQ(lines[1 + 4 * 5 + 4], "             ▀▀  ▀▀  ▀▀▀▀▀▀");
}

TEST(Render, TableWithFewerColumns)
{
	byte_buffer table = drawing_font();
	std::vector<std::string> lines = lines_of(render_table(table.data(), 8));
	ASSERT_EQ(lines.size(), 1u + 32u * 5u);
	EXPECT_EQ(lines[0], "   0        1        2        3        4        5        6        7");
	EXPECT_EQ(lines[7], "08");
	EXPECT_EQ(lines[1 + 8 * 5 + 1], "40            ▄██▄   ▀██▀▀█▄");
	// 3 columns: the last row holds the one glyph left over, 0xFF.
	lines = lines_of(render_table(table.data(), 3));
	ASSERT_EQ(lines.size(), 1u + 86u * 5u);
	EXPECT_EQ(lines[lines.size() - 4], "FF");
}

// Real console fonts

namespace {

const char consolefonts[] = "/usr/share/consolefonts";

// Reads a console font the independent way, through zlib's gz functions,
// which also read files that are not compressed.
bool read_console_font(const std::string& path, byte_buffer* data)
{
	gzFile file = gzopen(path.c_str(), "rb");
	if (file == nullptr)
		return false;
	data->clear();
	std::uint8_t chunk[8192];
	int n = 0;
	while ((n = gzread(file, chunk, sizeof chunk)) > 0)
		data->insert(data->end(), chunk, chunk + n);
	gzclose(file);
	return n == 0;
}

// The file as it is on disk, compressed or not.
byte_buffer read_raw_file(const std::string& path)
{
	byte_buffer data;
	std::FILE* f = std::fopen(path.c_str(), "rb");
	if (f == nullptr)
		throw std::runtime_error("cannot open " + path);
	for (int c; (c = std::fgetc(f)) != EOF;)
		data.push_back((std::uint8_t)c);
	std::fclose(f);
	return data;
}

std::vector<std::string> console_font_names()
{
	std::vector<std::string> names;
	DIR* dir = opendir(consolefonts);
	if (dir == nullptr)
		return names;
	while (dirent* entry = readdir(dir)) {
		std::string name = entry->d_name;
		if (name.find(".psf") != std::string::npos)
			names.push_back(name);
	}
	closedir(dir);
	return names;
}

std::uint32_t le32(const byte_buffer& d, std::size_t at)
{
	return (std::uint32_t)d[at] | (std::uint32_t)d[at + 1] << 8 | (std::uint32_t)d[at + 2] << 16 |
	       (std::uint32_t)d[at + 3] << 24;
}

} // namespace

TEST(ConsoleFonts, EveryInstalledFontIsImportedOrRefusedForWhatItIs)
{
	std::vector<std::string> names = console_font_names();
	if (names.empty())
		GTEST_SKIP() << "no PSF fonts in " << consolefonts << " (Debian package console-data)";
	unsigned imported_count = 0;
	unsigned refused_count = 0;
	for (const std::string& name : names) {
		std::string path = std::string(consolefonts) + "/" + name;
		byte_buffer raw;
		ASSERT_TRUE(read_console_font(path, &raw)) << name;
		// Decode the header independently to know what to expect.
		unsigned width = 0, height = 0, glyphs = 0, start = 0;
		bool table = false;
		if (raw.size() >= 4 && raw[0] == 0x36 && raw[1] == 0x04) {
			width = 8;
			height = raw[3];
			glyphs = (raw[2] & 1) ? 512 : 256;
			start = 4;
			table = (raw[2] & 6) != 0;
		} else if (raw.size() >= 32 && le32(raw, 0) == 0x864AB572) {
			start = le32(raw, 8);
			glyphs = le32(raw, 16);
			height = le32(raw, 24);
			width = le32(raw, 28);
			table = (le32(raw, 12) & 1) != 0;
		} else {
			continue;
		}
		imported r = run_import(read_raw_file(path));
		if (width <= 8 && height <= 8) {
			ASSERT_TRUE(r.ok) << name << ": " << r.error;
			EXPECT_EQ(r.result.glyphs, glyphs) << name;
			if (!table) {
				if (height == 8) {
					EXPECT_EQ(r.result.table, first_bytes(raw, start, 2048)) << name;
				}
			} else {
				// Every slot filled holds one of the font's glyphs.
				EXPECT_EQ(r.result.layout, "placed by its Unicode table") << name;
				for (unsigned slot = 0; slot < 256 && height == 8; slot++) {
					byte_buffer glyph = first_bytes(r.result.table, slot * 8, 8);
					bool found = glyph == byte_buffer(8, 0);
					for (unsigned g = 0; g < glyphs && !found; g++)
						found = glyph == first_bytes(raw, start + g * 8, 8);
					EXPECT_TRUE(found) << name << " slot " << slot;
				}
			}
			imported_count++;
		} else {
			EXPECT_FALSE(r.ok) << name;
			std::string size = std::to_string(width) + "×" + std::to_string(height);
			EXPECT_NE(r.error.find(" font: the glyphs are " + size + " pixels; "),
			          std::string::npos)
			        << name << ": " << r.error;
			refused_count++;
		}
	}
	// Debian 12's console-data holds 38 fonts with 8x8 glyphs, and a few
	// with 8x6 and 8x7 ones.
	EXPECT_GE(imported_count, 30u);
	EXPECT_GE(refused_count, 100u);
}

TEST(ConsoleFonts, SeveralStartWithTheBuiltInFontsFirstGlyphs)
{
	const char* starting = "iso01.f08.psf.gz";
	const char* other = "lat0-08.psf.gz";
	byte_buffer a, b;
	std::string dir = consolefonts;
	if (!read_console_font(dir + "/" + starting, &a) || !read_console_font(dir + "/" + other, &b))
		GTEST_SKIP() << "console-data's " << starting << " and " << other << " are not installed";
	imported r = run_import(read_raw_file(dir + "/" + starting));
	ASSERT_TRUE(r.ok) << r.error;
	EXPECT_TRUE(r.result.gzip);
	EXPECT_EQ(r.result.kind, "PSF1 font");
	EXPECT_EQ(byte_buffer(r.result.table.begin(), r.result.table.begin() + 32),
	          byte_buffer(signature, signature + 32));
	EXPECT_NE(byte_buffer(b.begin() + 4, b.begin() + 36), byte_buffer(signature, signature + 32));
}

// Code pages and UTF-8

TEST(Codepage, SlotsHoldTheirCharacters)
{
	struct slot_case {
		const char* page;
		unsigned slot;
		std::uint32_t character;
	};
	const slot_case cases[] = {
		{"CP437", 0x00, 0},      {"CP437", 0x01, 0x263A}, {"CP437", 0x1F, 0x25BC},
		{"CP437", 0x7F, 0x2302}, {"CP437", 0x82, 0xE9},   {"CP437", 0xB0, 0x2591},
		{"CP437", 0xFF, 0xA0},   {"cp850", 0x9B, 0xF8},   {"cp850", 0x01, 0x263A},
		{"koi8-r", 0xC1, 0x430}, {"iso-8859-1", 0xE9, 0xE9}, {"CP1252", 0x81, 0},
	};
	for (const slot_case& c : cases) {
		codepage_chars chars;
		std::string error;
		ASSERT_TRUE(codepage_characters(c.page, chars, &error)) << c.page << ": " << error;
		EXPECT_EQ(chars[c.slot], c.character) << c.page << " " << c.slot;
	}
	codepage_chars chars;
	std::string error;
	EXPECT_FALSE(codepage_characters("no-such-page", chars, &error));
	EXPECT_EQ(error, "unknown code page 'no-such-page' (the names 'iconv -l' lists can be used)");
	for (const char* multi : {"UTF-8", "UTF-16", "SHIFT_JIS"}) {
		EXPECT_FALSE(codepage_characters(multi, chars, &error)) << multi;
		EXPECT_EQ(error, std::string("'") + multi + "' is not a single-byte code page");
	}
}

// The browser's engine, which has no iconv, takes its code pages from a
// table made of iconv's: made afresh, it would be the same.
TEST(Codepage, TheEnginesTableIsIconvs)
{
	struct table_page {
		const char* name;
		std::uint16_t chars[256];
	};
	static const table_page pages[] = {
#include "../web/engine/codepage_table.inc"
	};
	std::vector<std::string> names;
	for (const table_page& page : pages) {
		codepage_chars chars;
		std::string error;
		ASSERT_TRUE(converter_characters(page.name, chars, &error)) << error;
		for (unsigned byte = 0; byte < 256; byte++)
			ASSERT_EQ(page.chars[byte], chars[byte]) << page.name << " byte " << byte
			        << ": run os64-make-codepage-table > web/engine/codepage_table.inc";
		names.push_back(page.name);
	}
	for (std::size_t i = 0; i < offered_codepage_count; i++)
		EXPECT_TRUE(std::string(offered_codepages[i].name) == "jis-x0201" ||
		            std::count(names.begin(), names.end(), offered_codepages[i].name) == 1)
		        << offered_codepages[i].name;
}

TEST(Codepage, MenuSlotsKeepTheGraphicCharactersOfControlSlots)
{
	struct menu_case {
		const char* page;
		unsigned slot;
		std::uint32_t character;
	};
	const menu_case cases[] = {
		{"jis-x0201", 0x01, 0x263A}, {"jis-x0201", 0x5C, '\\'}, {"jis-x0201", 0x7F, 0x2302},
		{"jis-x0201", 0xA1, 0xFF61}, {"JIS_X0201", 0xDF, 0xFF9F}, {"jis-x0201", 0x80, 0},
		{"jis-x0201", 0xE0, 0},      {"iso-8859-5", 0x80, 0xC7}, {"iso-8859-5", 0x9F, 0x192},
		{"iso-8859-5", 0xB0, 0x410}, {"cp866", 0x80, 0x410},     {"windows-1252", 0x81, 0},
	};
	for (const menu_case& c : cases) {
		slots_codepage menu;
		std::string error;
		ASSERT_TRUE(menu_codepage(c.page, &menu, &error)) << c.page << ": " << error;
		EXPECT_EQ(menu.chars[c.slot], c.character) << c.page << " " << c.slot;
	}
	struct size_case {
		const char* page;
		unsigned size;
		const char* title;
	};
	const size_case sizes[] = {
		{"", 255, "code page 437"},         {"jis-x0201", 190, "JIS X 0201"},
		{"IBM850", 255, "code page 850"},   {"windows-1252", 250, "code page 1252"},
		{"ISO_8859-5", 255, "ISO 8859-5"},  {"koi8-u", 255, "KOI8-U"},
		{"MAC-CYRILLIC", 255, "MAC-CYRILLIC"},
	};
	for (const size_case& c : sizes) {
		slots_codepage menu;
		std::string error;
		ASSERT_TRUE(menu_codepage(c.page, &menu, &error)) << c.page << ": " << error;
		EXPECT_EQ(menu.size, c.size) << c.page;
		EXPECT_EQ(menu.title, c.title) << c.page;
	}
}

TEST(Codepage, Utf8IsDecodedAndInvalidBytesMarked)
{
	const std::uint32_t bad = invalid_utf8;
	struct utf8_case {
		std::string text;
		std::vector<std::uint32_t> code_points;
	};
	const utf8_case cases[] = {
		{"Aé░😀", {'A', 0xE9, 0x2591, 0x1F600}},
		{"\xC0\x80", {bad, bad}},         // an overlong NUL
		{"\xED\xA0\x80", {bad, bad, bad}}, // a surrogate
		{"\xF4\x90\x80\x80", {bad, bad, bad, bad}}, // past U+10FFFF
		{"\xE2\x96", {bad, bad}},         // cut short
		{"\x80" "A", {bad, 'A'}},
	};
	for (const utf8_case& c : cases)
		EXPECT_EQ(decode_utf8(c.text), c.code_points) << c.text;
	for (std::uint32_t c : {0x41u, 0xE9u, 0x2591u, 0x1F600u})
		EXPECT_EQ(decode_utf8(encode_utf8(c)), std::vector<std::uint32_t>{c});
}

TEST(Placement, GlyphsShareOneBaselineAndMissingOnesAreFilled)
{
	// Two glyphs of a font with ascent 6 and descent 2: 'A' above the
	// baseline, 'g' reaching below it and one column left of the pen.
	auto glyph = [](int left, int top, unsigned width, unsigned height) {
		glyph_bitmap g;
		g.left = left;
		g.top = top;
		g.width = width;
		g.height = height;
		g.advance = 4;
		g.pixels.assign(width * height, 1);
		return g;
	};
	glyph_source source;
	source.kind = "test font";
	source.unicode = true;
	source.character_map = "its map";
	source.ascent = 6;
	source.descent = 2;
	source.glyphs = {glyph(0, 5, 3, 5), glyph(-1, 3, 4, 5)};
	source.codes = {{'A', 0}, {'g', 1}};
	byte_buffer fill = pattern(2048, 40);
	table_options options;
	options.fill = fill.data();
	table_result result;
	std::string error;
	ASSERT_TRUE(make_table(source, options, &result, &error)) << error;
	EXPECT_EQ(first_bytes(result.table, 'A' * 8, 8),
	          (byte_buffer{0, 0x70, 0x70, 0x70, 0x70, 0x70, 0, 0}));
	EXPECT_EQ(first_bytes(result.table, 'g' * 8, 8),
	          (byte_buffer{0, 0, 0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0}));
	EXPECT_EQ(result.missing.size(), 253u);
	EXPECT_EQ(first_bytes(result.table, 'B' * 8, 8), first_bytes(fill, 'B' * 8, 8));
	EXPECT_EQ(first_bytes(result.table, 0, 8), byte_buffer(8, 0));

	// One row more below the baseline no longer fits.
	source.glyphs[1] = glyph(-1, 3, 4, 6);
	EXPECT_FALSE(make_table(source, options, &result, &error));
	EXPECT_EQ(error, "the glyphs are 4×9 pixels; the table holds 8×8");
	EXPECT_EQ(result.too_large,
	          "the font's ascent is 6 pixels and U+0067 g reaches 3 pixels below the baseline");
}

// In another code page the glyphs go to the slots of their characters
// there, a missing character takes the fill table's glyph from where code
// page 437 keeps it, and what the code page has no slot for is left out.
TEST(Placement, AnotherCodePageTakesTheFillTableByCharacter)
{
	glyph_source source;
	source.kind = "test font";
	source.unicode = true;
	source.character_map = "its map";
	source.ascent = 8;
	byte_buffer bits = pattern(3 * 8, 41);
	for (unsigned g = 0; g < 3; g++)
		source.glyphs.push_back(cell_glyph(&bits[g * 8], 8, 8));
	source.codes = {{0x410, 0}, {0xC7, 1}, {'A', 2}}; // А, Ç, A
	source.characters = {0x20AC};                     // €, which no glyph was read for
	byte_buffer fill = pattern(2048, 42);
	slots_codepage cp866;
	std::string error;
	ASSERT_TRUE(menu_codepage("cp866", &cp866, &error)) << error;
	table_options options;
	options.slots = &cp866;
	options.fill = fill.data();
	table_result result;
	ASSERT_TRUE(make_table(source, options, &result, &error)) << error;
	EXPECT_EQ(first_bytes(result.table, 0x80 * 8, 8), first_bytes(bits, 0, 8));  // А
	EXPECT_EQ(first_bytes(result.table, 'A' * 8, 8), first_bytes(bits, 16, 8));
	EXPECT_EQ(first_bytes(result.table, 0xB0 * 8, 8), first_bytes(fill, 0xB0 * 8, 8)); // ░
	EXPECT_EQ(first_bytes(result.table, 0xF8 * 8, 8), first_bytes(fill, 0xF8 * 8, 8)); // °
	EXPECT_EQ(first_bytes(result.table, 0x81 * 8, 8), byte_buffer(8, 0)); // Б: not in 437
	EXPECT_EQ(result.missing.size(), 253u);
	EXPECT_EQ(std::count(result.empty.begin(), result.empty.end(), 0x81u), 1);
	EXPECT_EQ(std::count(result.empty.begin(), result.empty.end(), 0xB0u), 0);
	EXPECT_EQ(result.left_out, (std::vector<std::uint32_t>{0xC7, 0x20AC}));
	EXPECT_EQ(result.layout, "placed by its map into code page 866");
}

// The sample cartridge menu image and sample font of the demo, the tests and
// the browser page's "try it with a sample image".  The image is shaped like
// a real one (a big-endian header with the 0x80371240 magic, boot code,
// program data) but holds nothing taken from any real product: everything
// but the 32 signature bytes is generated.
#include "demo_image.h"

#include "boot_checksum.h"
#include "font_table.h"

#include <cstring>

// Where the built-in font sits in the sample image.  It is deliberately not
// a multiple of 4, as nothing guarantees alignment in a real image.
static const std::uint32_t demo_font_offset = 0x2F3D1;
static const std::uint32_t demo_image_size = 0x180000;

// A small generator of reproducible filler bytes.
static std::uint32_t next_random(std::uint32_t* state)
{
	*state ^= *state << 13;
	*state ^= *state >> 17;
	*state ^= *state << 5;
	return *state;
}

// A 4x6 pixel font for the printable ASCII characters, one 24-bit number a
// glyph, six rows of four bits from the top, leftmost pixel highest.
static const std::uint32_t small_font[95] = {
	0x000000, 0x444040, 0xAA0000, 0xAEAEA0, 0x6E6EC4, 0xA248A0, 0x4A4AD0, 0x440000,
	0x248420, 0x842480, 0xA4E4A0, 0x04E400, 0x000048, 0x00E000, 0x000040, 0x224880,
	0x4AAA40, 0x4C4440, 0xC248E0, 0xC242C0, 0xAAE220, 0xE8C2C0, 0x68EA40, 0xE24880,
	0x4A4A40, 0x4AE2C0, 0x040400, 0x040480, 0x248420, 0x0E0E00, 0x842480, 0xC24040,
	0x4AE860, 0x4AEAA0, 0xCACAC0, 0x688860, 0xCAAAC0, 0xE8C8E0, 0xE8C880, 0x68AA60,
	0xAAEAA0, 0xE444E0, 0x222A40, 0xAACAA0, 0x8888E0, 0xAEEAA0, 0xAEEEA0, 0x4AAA40,
	0xCAC880, 0x4AAE60, 0xCACAA0, 0x6842C0, 0xE44440, 0xAAAA60, 0xAAAA40, 0xAAEEA0,
	0xAA4AA0, 0xAA4440, 0xE248E0, 0x644460, 0x884220, 0xC444C0, 0x4A0000, 0x0000E0,
	0x840000, 0x06AA60, 0x8CAAC0, 0x068860, 0x26AA60, 0x06AC60, 0x24E440, 0x06A62C,
	0x8CAAA0, 0x404440, 0x20222C, 0x8ACAA0, 0xC444E0, 0x0EEEA0, 0x0CAAA0, 0x04AA40,
	0x0CAAC8, 0x06AA62, 0x068880, 0x06C6C0, 0x4E4460, 0x0AAA60, 0x0AAA40, 0x0AEEE0,
	0x0A44A0, 0x0AA62C, 0x0E24E0, 0x648460, 0x444440, 0xC424C0, 0x5A0000,
};

// Draws glyph c of the sample font: the signature glyphs first, then the
// small font centred in its 8x8 cell, and a checker pattern elsewhere.
static void draw_glyph(unsigned c, std::uint8_t rows[8])
{
	std::memset(rows, 0, 8);
	if (c < 4) {
		std::memcpy(rows, __font_data_libdragon + c * 8, 8);
	} else if (c >= 0x20 && c < 0x7F) {
		std::uint32_t g = small_font[c - 0x20];
		for (int row = 0; row < 6; row++)
			rows[row + 1] = (std::uint8_t)(((g >> (20 - 4 * row)) & 0xF) << 3);
	} else if (c >= 0x80) {
		for (int row = 0; row < 8; row++)
			rows[row] = (std::uint8_t)(((row + c) & 1) ? 0xAA : 0x55);
	}
}

void make_demo(std::vector<std::uint8_t>* image, std::vector<std::uint8_t>* font)
{
	image->assign(demo_image_size, 0);
	std::uint32_t state = 0x12345678;
	for (std::uint32_t i = 0x1000; i < demo_image_size; i += 4) {
		// Real program data is full of zeros; leave a share of words empty.
		std::uint32_t word = next_random(&state);
		if (word % 3 == 0)
			word = 0;
		for (int k = 0; k < 4; k++)
			(*image)[i + k] = (std::uint8_t)(word >> (24 - 8 * k));
	}
	// The header: PI settings and magic, clock rate, entry point, release,
	// then the checksum words (set below), the name and the game code.
	static const std::uint8_t header[0x40] = {
		0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F, 0x80, 0x00, 0x04, 0x00,
		0x00, 0x00, 0x14, 0x4C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
		'O', 'S', '6', '4', ' ', 'D', 'E', 'M', 'O', ' ', 'M', 'E', 'N', 'U',
		' ', ' ', ' ', ' ', ' ', ' ', 0, 0, 0, 0, 0, 0, 0, 'N', 'D', 'M', 'E', 0,
	};
	std::memcpy(image->data(), header, sizeof header);
	// Stand-in boot code: a recognisable pattern, not real code.
	for (std::uint32_t i = 0x40; i < 0x1000; i++)
		(*image)[i] = (std::uint8_t)(i * 7 + 0x31);

	std::vector<std::uint8_t> builtin(font_table_size);
	font->assign(font_table_size, 0);
	for (unsigned c = 0; c < 256; c++) {
		draw_glyph(c, &builtin[c * 8]);
		draw_glyph(c, &(*font)[c * 8]);
		// The built-in font of the sample draws its letters bold and the new
		// font draws them plain, so a patched menu is easy to tell apart.
		if (c >= 4)
			for (int row = 0; row < 8; row++)
				builtin[c * 8 + row] |= (std::uint8_t)(builtin[c * 8 + row] >> 1);
	}
	std::memcpy(&(*image)[demo_font_offset], builtin.data(), builtin.size());

	// A correct boot checksum, as a real image has.
	boot_checksum_state sums;
	boot_checksum_start(&sums);
	boot_checksum_feed(&sums, &(*image)[boot_region_start], boot_region_size / 4);
	std::uint32_t word_1 = 0;
	std::uint32_t word_2 = 0;
	boot_checksum_finish(&sums, &word_1, &word_2);
	store_big_endian(&(*image)[boot_checksum_offset], word_1);
	store_big_endian(&(*image)[boot_checksum_offset + 4], word_2);
}

// The sample cartridge menu image and sample font of the demo, the tests and
// the browser page's "try it with a sample image".  The image is shaped like
// a real one (a big-endian header with the 0x80371240 magic, boot code,
// program data) but holds nothing taken from any real product: everything
// but the 32 signature bytes is generated.
#include "demo_image.h"

#include "boot_checksum.h"
#include "demo_font.h"
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

	// The built-in font is bold and the sample font light, so a patched
	// menu is easy to tell apart.
	std::vector<std::uint8_t> builtin(font_table_size);
	font->assign(font_table_size, 0);
	draw_demo_font(demo_font_style::bold, builtin.data());
	draw_demo_font(demo_font_style::light, font->data());
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

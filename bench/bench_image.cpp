// Builds benchmark images out of the kinds of bytes a real menu image holds.
// Everything is generated from a fixed seed, so every run measures the same
// image.
#include "bench_image.h"

#include "font_table.h"

#include <cstring>

// A 64-bit xorshift generator: plenty for filler bytes, and reproducible.
static std::uint32_t next_random(std::uint64_t* state)
{
	*state ^= *state << 13;
	*state ^= *state >> 7;
	*state ^= *state << 17;
	return (std::uint32_t)(*state >> 32);
}

static std::uint32_t random_below(std::uint64_t* state, std::uint32_t limit)
{
	return next_random(state) % limit;
}

static void put_word(std::uint8_t* p, std::uint32_t word)
{
	p[0] = (std::uint8_t)(word >> 24);
	p[1] = (std::uint8_t)(word >> 16);
	p[2] = (std::uint8_t)(word >> 8);
	p[3] = (std::uint8_t)word;
}

// A register number as compiled code uses them: mostly the temporaries,
// the saved registers, the stack pointer and the return address.
static std::uint32_t code_register(std::uint64_t* state)
{
	static const std::uint8_t common[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 16, 17, 18, 19, 29, 31};
	return common[random_below(state, sizeof common)];
}

// Big-endian instruction words of the console's processor: loads and stores
// against the stack, immediates, calls, branches and register operations,
// with a share of no-ops.
static void fill_code(std::uint8_t* p, std::uint32_t length, std::uint64_t* state)
{
	for (std::uint32_t i = 0; i + 4 <= length; i += 4) {
		std::uint32_t rs = code_register(state);
		std::uint32_t rt = code_register(state);
		std::uint32_t rd = code_register(state);
		std::uint32_t small = random_below(state, 0x400);
		std::uint32_t word = 0;
		switch (random_below(state, 10)) {
		case 0:
			word = 0; // nop
			break;
		case 1:
			word = 0x0Fu << 26 | rt << 16 | (0x8000 + random_below(state, 0x40));
			break;
		case 2:
			word = 0x09u << 26 | rs << 21 | rt << 16 |
			       (random_below(state, 2) ? small : 0x10000 - small - 1);
			break;
		case 3:
			word = 0x23u << 26 | 29u << 21 | rt << 16 | (small & 0xFC);
			break;
		case 4:
			word = 0x2Bu << 26 | 29u << 21 | rt << 16 | (small & 0xFC);
			break;
		case 5:
			word = 0x03u << 26 | random_below(state, 0x40000);
			break;
		case 6:
			word = (0x04u + random_below(state, 2)) << 26 | rs << 21 | rt << 16 |
			       (random_below(state, 2) ? small & 0x3F : 0x10000 - (small & 0x3F) - 1);
			break;
		default: {
			static const std::uint8_t functions[] = {0x21, 0x25, 0x24, 0x08, 0x2A, 0x00, 0x23, 0x18};
			word = rs << 21 | rt << 16 | rd << 11 |
			       functions[random_below(state, sizeof functions)];
			if ((word & 0x3F) == 0)
				word |= random_below(state, 32) << 6;
			break;
		}
		}
		put_word(p + i, word);
	}
}

// Compressed data: every byte value alike.
static void fill_packed(std::uint8_t* p, std::uint32_t length, std::uint64_t* state)
{
	for (std::uint32_t i = 0; i < length; i++)
		p[i] = (std::uint8_t)next_random(state);
}

// Strings of printable text, each ended by a zero byte.
static void fill_text(std::uint8_t* p, std::uint32_t length, std::uint64_t* state)
{
	static const char letters[] = "etaoinshrdlucmfwypvbgkqjxz ETAOINSR.:%0123456789/_-";
	for (std::uint32_t i = 0; i < length; i++) {
		if (random_below(state, 24) == 0)
			p[i] = 0;
		else
			p[i] = (std::uint8_t)letters[random_below(state, sizeof letters - 1)];
	}
}

// Tables of big-endian numbers: small counts, addresses in the console's
// memory and single-precision floats.
static void fill_table(std::uint8_t* p, std::uint32_t length, std::uint64_t* state)
{
	std::uint32_t kind = random_below(state, 3);
	for (std::uint32_t i = 0; i + 4 <= length; i += 4) {
		std::uint32_t word = 0;
		if (kind == 0)
			word = random_below(state, 0x200);
		else if (kind == 1)
			word = 0x80000000u + random_below(state, 0x400000);
		else
			word = 0x3E000000u + (random_below(state, 0x2000000) & 0xFFFFF000u);
		put_word(p + i, word);
	}
}

// The pixel rows 8x8 bitmap glyphs are made of.  Every byte of the built-in
// font's signature is among them.
static const std::uint8_t glyph_rows[] = {
	0x00, 0x00, 0x00, 0x18, 0x3C, 0x66, 0x7E, 0x7E, 0x81, 0xC3, 0xFF, 0x24,
	0x42, 0x99, 0xA5, 0xDB, 0xE7, 0xFE, 0x7C, 0x38, 0x10, 0x6C, 0xBD, 0x60,
};

// A 2048-byte font of 256 glyphs that begins, like the built-in font, with
// an empty glyph and the two faces, but differs from the built-in font's
// signature in one byte: a search has to compare a long way into it before
// rejecting it.
static void fill_font(std::uint8_t* p, std::uint32_t length, std::uint64_t* state)
{
	for (std::uint32_t i = 0; i < length; i++)
		p[i] = i % 8 == 7 ? 0 : glyph_rows[random_below(state, sizeof glyph_rows)];
	if (length < font_signature_size)
		return;
	std::memcpy(p, __font_data_libdragon, font_signature_size);
	std::uint32_t changed = 9 + random_below(state, font_signature_size - 9);
	p[changed] = (std::uint8_t)(p[changed] ^ (1 + random_below(state, 255)));
}

// Everything else bitmap graphics hold: sprites of glyph-like rows.
static void fill_sprite(std::uint8_t* p, std::uint32_t length, std::uint64_t* state)
{
	for (std::uint32_t i = 0; i < length; i++)
		p[i] = glyph_rows[random_below(state, sizeof glyph_rows)];
}

std::vector<std::uint8_t> make_bench_image(std::uint32_t size, std::uint32_t* font_offset)
{
	std::vector<std::uint8_t> image(size);
	std::uint64_t state = 0x9E3779B97F4A7C15u ^ size;

	// The header carries the usual magic; boot code is plain code.
	static const std::uint8_t magic[] = {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F};
	std::uint32_t pos = size < sizeof magic ? size : (std::uint32_t)sizeof magic;
	std::memcpy(image.data(), magic, pos);
	if (size >= 0x1000) {
		fill_code(&image[0x40], 0x1000 - 0x40, &state);
		pos = 0x1000;
	}

	// Sections of random kinds and lengths up to the end of the image.  By
	// bytes, about a third is code, a fifth packed data and a fifth zeros.
	while (pos < size) {
		std::uint32_t kind = random_below(&state, 100);
		std::uint32_t length = 0;
		if (kind < 30)
			length = 0x1000 + random_below(&state, 0x10000);
		else if (kind < 45)
			length = 0x1000 + random_below(&state, 0x18000);
		else if (kind < 70)
			length = 0x100 + random_below(&state, 0x8000);
		else if (kind < 80)
			length = 0x100 + random_below(&state, 0x1000);
		else if (kind < 90)
			length = 0x400 + random_below(&state, 0x4000);
		else if (kind < 95)
			length = font_table_size;
		else
			length = 0x200 + random_below(&state, 0x2000);
		length &= ~3u;
		if (length > size - pos)
			length = size - pos;
		std::uint8_t* p = &image[pos];
		// Zero padding needs nothing: the vector starts out zeroed.
		if (kind < 30)
			fill_code(p, length, &state);
		else if (kind < 45)
			fill_packed(p, length, &state);
		else if (kind >= 70 && kind < 80)
			fill_text(p, length, &state);
		else if (kind >= 80 && kind < 90)
			fill_table(p, length, &state);
		else if (kind >= 90 && kind < 95)
			fill_font(p, length, &state);
		else if (kind >= 95)
			fill_sprite(p, length, &state);
		pos += length;
	}

	// The built-in font 5000 bytes before the end, so that a search reads
	// nearly the whole image before it finds it: its worst case.
	std::uint32_t offset = size - 5000;
	if (size < 0x4000 || offset + font_table_size > size) {
		*font_offset = 0;
		return image;
	}
	fill_font(&image[offset], font_table_size, &state);
	std::memcpy(&image[offset], __font_data_libdragon, font_signature_size);
	*font_offset = offset;

	// Filler could, in theory, hold the signature somewhere before; break
	// any such copy so the one placed above is the first.
	for (std::uint32_t i = 0; i < offset; i++)
		if (image[i + 8] == __font_data_libdragon[8] &&
		    std::memcmp(&image[i], __font_data_libdragon, font_signature_size) == 0)
			image[i + 8] ^= 1;
	return image;
}

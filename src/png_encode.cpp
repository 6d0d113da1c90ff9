// PNG files of greyscale pictures: the chunks around a zlib stream, and a
// deflate encoder that looks for copies at two distances only.
#include "png_encode.h"

#include "crc32.h"

#include <cstddef>
#include <cstring>

typedef std::vector<std::uint8_t> bytes;

// Deflate writes its bits from the least significant bit of each byte up.
struct bit_writer {
	bytes* out;
	std::uint32_t bits;
	unsigned count;
};

static void put_bits(bit_writer* w, std::uint32_t value, unsigned n)
{
	w->bits |= value << w->count;
	w->count += n;
	while (w->count >= 8) {
		w->out->push_back((std::uint8_t)w->bits);
		w->bits >>= 8;
		w->count -= 8;
	}
}

// Huffman codes go in from their most significant bit down.
static void put_code(bit_writer* w, unsigned code, unsigned length)
{
	unsigned reversed = 0;
	for (unsigned i = 0; i < length; i++)
		reversed |= (code >> i & 1) << (length - 1 - i);
	put_bits(w, reversed, length);
}

// A literal byte, the end of the block (256) or a length code (257-285),
// in the fixed code of deflate's block type 1.
static void put_symbol(bit_writer* w, unsigned symbol)
{
	if (symbol < 144)
		put_code(w, 0x30 + symbol, 8);
	else if (symbol < 256)
		put_code(w, 0x190 + symbol - 144, 9);
	else if (symbol < 280)
		put_code(w, symbol - 256, 7);
	else
		put_code(w, 0xC0 + symbol - 280, 8);
}

static const unsigned short length_base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,
                                               15, 17, 19, 23, 27, 31, 35, 43, 51,  59,
                                               67, 83, 99, 115, 131, 163, 195, 227, 258};
static const unsigned char length_extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                               2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
static const unsigned short distance_base[30] = {
        1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
static const unsigned char distance_extra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// A copy of length bytes (3-258) from distance bytes back (1-32768).
static void put_copy(bit_writer* w, unsigned length, unsigned distance)
{
	unsigned code = 28;
	while (length_base[code] > length)
		code--;
	put_symbol(w, 257 + code);
	put_bits(w, length - length_base[code], length_extra[code]);
	code = 29;
	while (distance_base[code] > distance)
		code--;
	put_code(w, code, 5);
	put_bits(w, distance - distance_base[code], distance_extra[code]);
}

// How many bytes from at on repeat those distance bytes before, at most
// 258, the longest copy deflate has.
static unsigned repeat_length(const bytes& data, std::size_t at, std::size_t distance)
{
	unsigned n = 0;
	while (n < 258 && at + n < data.size() && data[at + n] == data[at + n - distance])
		n++;
	return n;
}

// Finds copies as zlib does, through chains of the earlier places where the
// same three bytes began, newest first.  head holds the newest place of
// each hash of three bytes, previous the place before each place; both
// hold places plus one, 0 for none.
struct match_finder {
	std::vector<std::uint32_t> head;
	std::vector<std::uint32_t> previous;
};

static const unsigned hash_bits = 15;
static const std::size_t window = 32768;
static const unsigned chain_limit = 128;

static unsigned hash_at(const bytes& data, std::size_t at)
{
	std::uint32_t v = (std::uint32_t)data[at] << 16 | (std::uint32_t)data[at + 1] << 8 | data[at + 2];
	return (v * 2654435761u) >> (32 - hash_bits);
}

static void remember(match_finder* f, const bytes& data, std::size_t at)
{
	if (at + 3 > data.size())
		return;
	unsigned h = hash_at(data, at);
	f->previous[at] = f->head[h];
	f->head[h] = (std::uint32_t)at + 1;
}

// The longest copy for the bytes at at, its length in *length (0 when there
// is none of 3 bytes or more), the nearer of equally long ones; row is the
// length of a row of the picture.
static std::size_t longest_copy(const match_finder& f, const bytes& data, std::size_t at,
                                std::size_t row, unsigned* length)
{
	*length = 0;
	std::size_t best = 0;
	if (at + 3 > data.size())
		return 0;
	std::uint32_t place = f.head[hash_at(data, at)];
	for (unsigned n = 0; place != 0 && n < chain_limit; n++) {
		std::size_t from = place - 1;
		if (at - from > window)
			break;
		unsigned l = repeat_length(data, at, at - from);
		if (l > *length) {
			*length = l;
			best = at - from;
			if (l == 258)
				break;
		}
		place = f.previous[from];
	}
	// In a run as long as a row of a large sheet every recent place has
	// the same three bytes, and the chain ends before it reaches the row
	// above; look there too.
	if (at >= row && row <= window) {
		unsigned l = repeat_length(data, at, row);
		if (l > *length) {
			*length = l;
			best = row;
		}
	}
	if (*length < 3)
		*length = 0;
	return best;
}

// The zlib stream of data: its header, one final block with the fixed
// codes, and the Adler-32 of data.
static void put_zlib(bytes* out, const bytes& data, std::size_t row)
{
	out->push_back(0x78); // deflate with a 32 KiB window
	out->push_back(0x01); // no dictionary; the check bits make 0x7801 a multiple of 31
	bit_writer w = {out, 0, 0};
	put_bits(&w, 1, 1); // the final block
	put_bits(&w, 1, 2); // with the fixed codes
	match_finder f;
	f.head.assign((std::size_t)1 << hash_bits, 0);
	f.previous.assign(data.size(), 0);
	for (std::size_t at = 0; at < data.size();) {
		unsigned length = 0;
		std::size_t distance = longest_copy(f, data, at, row, &length);
		if (length == 0) {
			put_symbol(&w, data[at]);
			remember(&f, data, at);
			at++;
			continue;
		}
		put_copy(&w, length, (unsigned)distance);
		for (std::size_t end = at + length; at < end; at++)
			remember(&f, data, at);
	}
	put_symbol(&w, 256);
	if (w.count > 0) // the last byte, its unused bits zero
		out->push_back((std::uint8_t)w.bits);
	std::uint32_t a = 1;
	std::uint32_t b = 0;
	for (std::uint8_t byte : data) {
		a = (a + byte) % 65521;
		b = (b + a) % 65521;
	}
	std::uint32_t adler = b << 16 | a;
	for (int shift = 24; shift >= 0; shift -= 8)
		out->push_back((std::uint8_t)(adler >> shift));
}

static void put_word(bytes* out, std::uint32_t word)
{
	for (int shift = 24; shift >= 0; shift -= 8)
		out->push_back((std::uint8_t)(word >> shift));
}

// A chunk: its length, type and data, and the CRC-32 of type and data.
static void put_chunk(bytes* out, const char type[4], const bytes& data)
{
	put_word(out, (std::uint32_t)data.size());
	std::size_t start = out->size();
	out->insert(out->end(), type, type + 4);
	out->insert(out->end(), data.begin(), data.end());
	put_word(out, crc32_of(out->data() + start, out->size() - start));
}

std::vector<std::uint8_t> encode_grey_png(const std::uint8_t* pixels, std::uint32_t width,
                                          std::uint32_t height)
{
	static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
	bytes png(signature, signature + 8);

	bytes header;
	put_word(&header, width);
	put_word(&header, height);
	header.push_back(8); // bits a pixel
	header.push_back(0); // grey
	header.push_back(0); // deflate
	header.push_back(0); // the one filter method, with filter type 0 (none) on every row
	header.push_back(0); // not interlaced
	put_chunk(&png, "IHDR", header);

	std::size_t row = (std::size_t)width + 1;
	bytes rows(row * height);
	for (std::uint32_t y = 0; y < height; y++) {
		rows[y * row] = 0;
		if (width > 0)
			std::memcpy(&rows[y * row + 1], pixels + (std::size_t)y * width, width);
	}
	bytes compressed;
	put_zlib(&compressed, rows, row);
	put_chunk(&png, "IDAT", compressed);
	put_chunk(&png, "IEND", bytes());
	return png;
}

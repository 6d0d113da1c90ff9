// Glyphs as the font readers hand them over, and how they become a font
// table: each glyph goes to the slot of its character in the code page of
// the menu's slots (code page 437 unless another is named), placed in the
// 8x8 cell on the font's baseline.  Nothing here reads a file
// or needs a library beyond the C++ one and iconv, so the same code runs in
// os64-font and in the browser.
//
// Functions that can fail return false and set *error to one sentence that
// says what was wrong, without a program or file name in front.
#ifndef OS64_FONT_GLYPHS_H
#define OS64_FONT_GLYPHS_H

#include "font_codepage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

typedef std::vector<std::uint8_t> byte_buffer;

// The number of glyphs in a font table, and the bytes in one glyph.
constexpr unsigned font_glyph_count = 256;
constexpr unsigned font_glyph_bytes = 8;
constexpr unsigned font_cell = 8;

// One glyph as its font draws it: its pixels, and where they stand from the
// pen position on the baseline.
struct glyph_bitmap {
	int left = 0;       // columns from the pen position to the first column
	int top = 0;        // rows from the baseline up to the top of the first row
	unsigned width = 0;
	unsigned height = 0;
	unsigned advance = 0;
	// width * height, row by row; not 0 for a set pixel.  A reader may
	// leave it empty for a glyph larger than the 8x8 cell, since no table
	// can be made of a font that has one.
	byte_buffer pixels;
};

// What a font reader found.
struct glyph_source {
	std::string kind;         // "PSF2 font", "PCF font", "PNG glyph sheet", ...
	unsigned glyph_count = 0; // the glyphs the file holds
	std::vector<glyph_bitmap> glyphs;
	// Which glyph draws which character: a code and an index into glyphs.
	// Where several glyphs claim one code, the first pair counts.
	std::vector<std::pair<std::uint32_t, unsigned>> codes;
	// The codes are Unicode code points; otherwise they are the font's own
	// slots, 0 to 255, in the code page named by encoding, or in an order
	// the font does not state when encoding is empty.
	bool unicode = false;
	std::string encoding;
	std::string character_map; // where unicode codes come from: "its Unicode table"
	// For Unicode codes: every character the font has, where the reader
	// read the glyphs of only some of them; empty when codes names them all.
	std::vector<std::uint32_t> characters;
	// The font's cell: rows above and below the baseline.
	int ascent = 0;
	int descent = 0;
	unsigned pixel_size = 0;  // for fonts with several sizes: the one read
	bool scalable = false;    // other sizes can be rendered
};

// A glyph of a cell font: width x height pixels packed a row at a time,
// each row padded to whole bytes, the most significant bit leftmost, with
// the top of the cell at the font's ascent.
glyph_bitmap cell_glyph(const std::uint8_t* bits, unsigned width, unsigned height);

// Reads a complete font table: 256 glyphs of 8x8 in slot order.
glyph_source table_source(const std::uint8_t* table, const std::string& kind);

struct table_options {
	std::string codepage;                  // the layout of a font that does not state it
	const slots_codepage* slots = nullptr; // the code page of the menu's slots; null for 437
	const std::uint8_t* fill = nullptr;    // a table in code page 437 to take missing
	                                       // characters from
};

struct table_result {
	byte_buffer table;             // 2048 bytes
	slots_codepage slots;          // the code page of the menu's slots
	std::string layout;            // how the glyphs found their slots, for the report
	std::vector<unsigned> missing; // slots of the characters the font lacks
	std::vector<unsigned> empty;   // of those, the slots left empty: every one without fill,
	                               // those whose character the fill table lacks with it
	// The characters of the font that the code page has no slot for, in
	// order, and the offered code page that would place more of the
	// font's characters (empty for none), with how many of those it places.
	std::vector<std::uint32_t> left_out;
	std::string better_slots;
	unsigned better_places = 0;
	unsigned width = 0;            // the glyph cell found, in pixels
	unsigned height = 0;
	// When the glyphs do not fit: the characters that make them too large,
	// such as "U+2593 ▓ is 27 pixels wide".
	std::string too_large;
};

// Makes the font table: the slot of every character of the menu's code
// page gets the glyph of that character, placed on one common baseline
// (the font's ascent at the top row) and left-aligned.  A font whose glyphs
// do not fit into 8x8 is refused, and result->too_large names what makes
// them too large.  Slots whose character the font lacks stay empty, or take
// the glyph options.fill, laid out in code page 437 as the built-in font
// is, has for that character, wherever code page 437 keeps it.
bool make_table(const glyph_source& source, const table_options& options, table_result* result,
                std::string* error);

// "the glyphs are 6×13 pixels; the table holds 8×8"
std::string glyph_size_error(unsigned width, unsigned height);

// The report of characters a font lacks: how many of the code page's, and
// the first few with their slots and code points: "67 of the 255
// characters of code page 437: U+263A ☺ (0x01), ...".
std::string describe_missing(const std::vector<unsigned>& slots,
                             const slots_codepage& slots_page);

// The first few of a list of slots, with their characters:
// "U+263A ☺ (0x01), U+263B ☻ (0x02), ...".
std::string describe_slots(const std::vector<unsigned>& slots, const slots_codepage& slots_page);

// The first few of a list of characters, named: "U+0401 Ё, U+0410 А, ...".
std::string describe_characters(const std::vector<std::uint32_t>& characters);

#endif

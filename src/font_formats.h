// The font formats of os64-font: PSF console fonts (plain or gzip
// compressed), PNG glyph sheets, and drawing a font table in the terminal.
// Everything here works on byte buffers in memory and touches no file, so
// that each conversion can be tested on its own.
//
// Functions that can fail return false and set *error to one sentence that
// says what was wrong, without a program name in front.
#ifndef OS64_FONT_FORMATS_H
#define OS64_FONT_FORMATS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<std::uint8_t> byte_buffer;

// The number of glyphs in a font table, and the bytes in one glyph.
constexpr unsigned font_glyph_count = 256;
constexpr unsigned font_glyph_bytes = 8;

// Glyph sheets are 16 glyphs wide and 16 high, 8x8 pixels a glyph, so 128
// pixels square at scale 1.  With grid lines, a one-pixel line runs before,
// between and after the cells, which adds 17 pixels.
constexpr unsigned sheet_cells = 16;
constexpr unsigned sheet_size = sheet_cells * 8;
constexpr unsigned sheet_grid_extra = sheet_cells + 1;

// The largest scale a sheet may have, which keeps a decoded sheet within a
// few tens of megabytes.
constexpr unsigned sheet_max_scale = 32;

// A pixel of a sheet is dark, that is set in the font, when its luminance
// 0.299 R + 0.587 G + 0.114 B, taken from the stored 8-bit values after
// blending the pixel over white by its alpha, is below this threshold.
constexpr unsigned sheet_dark_threshold = 128;

// What an input file to import turned out to be.
struct import_result {
	byte_buffer table;    // the 2048-byte font table
	std::string kind;     // "PSF1 font", "PSF2 font" or "PNG glyph sheet"
	bool gzip = false;    // the file was gzip-compressed
	unsigned glyphs = 0;  // the glyphs the input holds (256 for a sheet)
	unsigned scale = 0;   // the scale of a sheet, 0 for a font
	bool grid = false;    // the sheet has grid lines
};

// Makes a font table from the contents of a PSF font or a PNG glyph sheet,
// recognised by their first bytes, after undoing gzip compression if the
// data starts with the gzip magic.
bool import_font(const byte_buffer& data, import_result* result, std::string* error);

// Undoes gzip compression.  Refuses data that would grow beyond max_size.
bool gunzip(const byte_buffer& data, std::size_t max_size, byte_buffer* out, std::string* error);

// Reads an uncompressed PSF1 or PSF2 font with 8x8 glyphs; of a font with
// more than 256 glyphs, the first 256 are taken.
bool parse_psf(const byte_buffer& data, import_result* result, std::string* error);

// Reads a PNG glyph sheet of any PNG colour type and bit depth.  A sheet at
// scale k draws each font pixel as a k x k block, which must be all dark or
// all light.  The pixels of grid lines are not looked at.
bool parse_sheet(const byte_buffer& png, import_result* result, std::string* error);

// Draws a font table as a glyph sheet: an 8-bit greyscale PNG with black
// glyph pixels on white, each font pixel a scale x scale block, and light
// grey grid lines when grid is set.
bool write_sheet(const std::uint8_t* table, unsigned scale, bool grid, byte_buffer* png,
                 std::string* error);

// Draws the whole table with Unicode half blocks, two pixel rows a text
// line, columns glyphs a row, each glyph row headed by the code of its first
// glyph in hexadecimal.  Lines end in a line feed and carry no trailing
// blanks.
std::string render_table(const std::uint8_t* table, unsigned columns);

// Draws text set in the font, one byte a character code, glyph beside
// glyph; a line feed in the text starts a new line of glyphs.
std::string render_text(const std::uint8_t* table, const std::string& text);

#endif

// Importing a font: from what a font reader found to a font table, with the
// options the user gave.  This part needs no library beyond the C++ one and
// iconv; the decoders of compressed files, PNG pictures and the formats
// FreeType reads sit in font_decode.
#ifndef OS64_FONT_IMPORT_H
#define OS64_FONT_IMPORT_H

#include "font_glyphs.h"

struct import_options {
	std::string codepage;                  // --codepage: the layout of a font that states none
	const slots_codepage* slots = nullptr; // --slots: the menu's code page, null for 437
	unsigned size = 0;                     // --size: the pixel size to read, 0 for the font's own
	const std::uint8_t* fill = nullptr;    // --fill: a table to take missing characters from
};

// What an input to import turned out to be, and the table made from it.
struct import_result {
	byte_buffer table;            // the 2048-byte font table
	std::string kind;             // "PSF1 font", "PCF font", "PNG glyph sheet", ...
	bool gzip = false;            // the file was gzip-compressed
	unsigned glyphs = 0;          // the glyphs the input holds
	unsigned width = 0;           // the size of its glyphs
	unsigned height = 0;
	unsigned pixel_size = 0;      // the size a font of several sizes was read at
	bool scalable = false;        // its outlines can be read at any size
	unsigned fits_size = 0;       // for glyphs too large: the nearest size they fit at, or 0
	unsigned scale = 0;           // the scale of a sheet, 0 for a font
	bool grid = false;            // the sheet has grid lines
	std::string layout;           // how the glyphs found their slots
	slots_codepage slots;         // the code page of the menu's slots
	std::vector<unsigned> missing; // the slots of the characters the input lacks
	std::vector<unsigned> empty;   // of those, the ones left empty
	std::vector<std::uint32_t> left_out; // the input's characters that have no slot
	std::string better_slots;     // a code page that would place more of them, or empty
	unsigned better_places = 0;   // how many of them it places
};

// Makes the table from the glyphs a reader found, and fills in the result.
// The size read and whether others can be read are filled in even when the
// glyphs do not fit.
bool import_glyphs(const glyph_source& source, const import_options& options,
                   import_result* result, std::string* error);

// Imports an uncompressed PSF font, or a raw font table of 2048 bytes,
// whose glyphs stand in slot order.  *recognised is false for data that is
// neither.
bool import_plain_font(const byte_buffer& data, const import_options& options,
                       import_result* result, bool* recognised, std::string* error);

// Imports a glyph sheet from its pixels, 8-bit RGBA row by row.
bool import_sheet_pixels(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                         const import_options& options, import_result* result,
                         std::string* error);

// The warning about the characters an input lacks, as import gives it
// after "warning: ": "INPUT lacks 67 of the 255 characters of code page
// 437: ...; their slots are empty", or "; they were taken from FILL" when
// fill names the table they came from, or what FILL lacked too.
std::string missing_warning(const std::string& input, const import_result& result,
                            const char* fill);

// The warning about the characters of an input that the code page of the
// slots has no slot for: "INPUT has 66 characters that code page 437 has
// no slot for, which were left out: U+0401 Ё, ...; --slots koi8-r would
// place 66 of them".
std::string left_out_warning(const std::string& input, const import_result& result);

// The line import prints about what it read: "PSF1 font, gzip-compressed,
// 256 glyphs of 8x8, placed by its Unicode table".
std::string describe_import(const import_result& result);

#endif

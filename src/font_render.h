// Drawing a font table in a terminal with Unicode half blocks, two pixel
// rows a text line.
#ifndef OS64_FONT_RENDER_H
#define OS64_FONT_RENDER_H

#include "font_glyphs.h"

// The glyphs a row of the whole table that fit into a terminal this many
// columns wide: 16, 8 or 4.  A width of 0 stands for output that is not a
// terminal, which gets 16.
unsigned table_columns_for_width(unsigned terminal_columns);

// Draws the whole table, columns glyphs a row, each glyph row headed by the
// code of its first glyph in hexadecimal.  Lines end in a line feed and
// carry no trailing blanks.
std::string render_table(const std::uint8_t* table, unsigned columns);

struct text_drawing {
	std::string drawing;
	// The characters of the text that the code page lacks, in order, each
	// drawn as a box; invalid_utf8 stands for a byte that is not UTF-8.
	std::vector<std::uint32_t> unknown;
};

// Draws UTF-8 text set in the font, glyph beside glyph, each character
// with the glyph of its slot in the code page of the menu's slots; a line
// feed starts a new line of glyphs.
void render_text(const std::uint8_t* table, const std::string& text,
                 const slots_codepage& slots, text_drawing* result);

#endif

// Reading and writing PNG glyph sheets through libpng.
#ifndef OS64_FONT_PNG_H
#define OS64_FONT_PNG_H

#include "font_glyphs.h"

// Whether data starts with the PNG signature.
bool is_png(const byte_buffer& data);

// Decodes a PNG glyph sheet of any PNG colour type and bit depth to 8-bit
// RGBA pixels, row by row.  A picture whose size is no sheet's is refused
// from its header, before its pixels are decoded.
bool read_sheet_png(const byte_buffer& png, byte_buffer* rgba, std::uint32_t* width,
                    std::uint32_t* height, std::string* error);

// Draws a font table as a glyph sheet as draw_sheet does, in an 8-bit
// greyscale PNG file.  Every sheet is written with the same settings, by
// os64-font export and by the browser page alike, so the same sheet is the
// same bytes wherever it is made.  Fails for a scale outside 1 to 32, and
// when libpng does.
bool write_sheet(const std::uint8_t* table, unsigned scale, bool grid, byte_buffer* png,
                 std::string* error);

#endif

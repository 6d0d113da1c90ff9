// Reading PNG glyph sheets through libpng.
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

#endif

// Fonts read through FreeType: X11 bitmap fonts (BDF, PCF), OpenType
// bitmap fonts (OTB) and the bitmap strikes of TrueType and OpenType
// fonts, Windows raster fonts (FON, FNT), and outline fonts rendered in
// black and white at a given pixel size.
#ifndef OS64_FONT_FREETYPE_H
#define OS64_FONT_FREETYPE_H

#include "font_glyphs.h"

// The largest pixel size that may be asked for.
constexpr unsigned freetype_max_size = 64;

// Reads the glyphs of the characters of slots 1 to 255 of wanted, by the
// font's Unicode character map, with the list of every character the map
// holds, or else of slots 0 to 255 in the font's own encoding.
// size is the pixel size to read: a strike of that size, or the outlines
// rendered at it.  With size 0 the font's own strike is read (of several,
// the largest of at most 8 pixels, or else the smallest), or the outlines
// at 8 pixels.  *recognised is false when FreeType does not know the data
// as a font at all.
bool read_freetype_font(const byte_buffer& data, unsigned size, const codepage_chars wanted,
                        glyph_source* source, bool* recognised, std::string* error);

#endif

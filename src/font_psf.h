// PSF console fonts, versions 1 and 2, with the Unicode table that many of
// them carry to say which character each glyph draws.
#ifndef OS64_FONT_PSF_H
#define OS64_FONT_PSF_H

#include "font_glyphs.h"

// Whether data starts with the magic of either PSF version.
bool is_psf(const byte_buffer& data);

// Reads an uncompressed PSF1 or PSF2 font with glyphs of at most 8x8
// pixels.  With a Unicode table, the glyphs are known by the characters it
// names for them; without one, glyph n stands in slot n.
bool read_psf(const byte_buffer& data, glyph_source* source, std::string* error);

#endif

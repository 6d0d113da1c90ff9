// Importing the contents of a font file once any gzip compression is undone:
// a PSF font, a font FreeType reads, or a raw font table.  os64-font and the
// browser page both make their tables here; a PNG glyph sheet, whose
// pixels each decodes its own way, goes to import_sheet_pixels instead.
#ifndef OS64_FONT_CONTENT_H
#define OS64_FONT_CONTENT_H

#include "font_import.h"

// Makes a font table from content, the bytes of a font file, which were
// gzip-compressed when gzip is set.  The format is told by the contents.
// A font FreeType reads whose glyphs are too large at the size read, and
// which has outlines, gets the nearest size that fits in its message.
bool import_font_content(const byte_buffer& content, bool gzip, const import_options& options,
                         import_result* result, std::string* error);

#endif

// Importing any font file os64-font reads: gzip-compressed or not, a PSF
// console font, a PNG glyph sheet, a font in a format FreeType reads, or a
// raw font table.  This is the part that needs zlib, libpng and FreeType.
#ifndef OS64_FONT_DECODE_H
#define OS64_FONT_DECODE_H

#include "font_import.h"

// Undoes gzip compression.  Refuses data that would grow beyond max_size.
bool gunzip(const byte_buffer& data, std::size_t max_size, byte_buffer* out, std::string* error);

// Makes a font table from the contents of a font file, recognised by its
// contents, after undoing gzip compression if the data starts with the
// gzip magic.
bool import_font(const byte_buffer& data, const import_options& options, import_result* result,
                 std::string* error);

#endif

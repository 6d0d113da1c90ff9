// Writing 8-bit greyscale pictures as PNG files, with a small deflate
// encoder of this project's own.  os64-font and the browser page both write
// their glyph sheets with it, so the same sheet is the same bytes in both,
// and in every browser.
#ifndef OS64_PNG_ENCODE_H
#define OS64_PNG_ENCODE_H

#include <cstdint>
#include <vector>

// The PNG file of a width x height picture of 8-bit grey pixels, row by
// row.  Its rows are unfiltered, and compressed in one deflate block with
// the fixed codes, each byte either a literal or a copy of the bytes one
// before it or one row above it: runs and repeated rows, which is what a
// glyph sheet is made of, take a few bits each.
std::vector<std::uint8_t> encode_grey_png(const std::uint8_t* pixels, std::uint32_t width,
                                          std::uint32_t height);

#endif

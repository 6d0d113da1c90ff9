// Synthetic cartridge menu images for the benchmarks, shaped like real ones
// so that the measured searches and checksums meet the same bytes they would
// meet in use.
#ifndef OS64_BENCH_IMAGE_H
#define OS64_BENCH_IMAGE_H

#include <cstdint>
#include <vector>

// Builds a reproducible image of size bytes: a header and boot code, then a
// mix of program code, compressed data, zero padding, text, tables of small
// numbers and 8x8 bitmap graphics.  The graphics include other fonts whose
// first glyphs start like the built-in font's and differ further in, so a
// search meets many near misses.  The built-in font's signature stands once,
// 5000 bytes before the end; *font_offset reports where.
std::vector<std::uint8_t> make_bench_image(std::uint32_t size, std::uint32_t* font_offset);

#endif

// Glyph sheets: a font table drawn as a picture of 16x16 cells of 8x8
// pixels, glyph 0 at the top left, row by row.  This part works on pixels
// in memory; font_png reads and writes the PNG files, through libpng.
#ifndef OS64_FONT_SHEET_H
#define OS64_FONT_SHEET_H

#include "font_glyphs.h"

// Glyph sheets are 16 glyphs wide and 16 high, 8x8 pixels a glyph, so 128
// pixels square at scale 1.  With grid lines, a one-pixel line runs before,
// between and after the cells, which adds 17 pixels.
constexpr unsigned sheet_cells = 16;
constexpr unsigned sheet_size = sheet_cells * 8;
constexpr unsigned sheet_grid_extra = sheet_cells + 1;

// The largest scale a sheet may have, which keeps a decoded sheet within a
// few tens of megabytes.
constexpr unsigned sheet_max_scale = 32;

// A pixel of a sheet is dark, that is set in the font, when its luminance
// 0.299 R + 0.587 G + 0.114 B, taken from the stored 8-bit values after
// blending the pixel over white by its alpha, is below this threshold.
constexpr unsigned sheet_dark_threshold = 128;

// Whether a picture of this size is a glyph sheet: square, 128 k pixels
// wide, or 128 k + 17 with grid lines, for a scale k from 1 to 32.
bool sheet_size_ok(std::uint32_t width, std::uint32_t height);

// Why a picture of this size is no glyph sheet.
std::string sheet_size_error(std::uint32_t width, std::uint32_t height);

// Reads the font table from a sheet's pixels, 8-bit RGBA row by row with
// alpha not premultiplied.  At scale k each font pixel is a k x k block,
// which must be all dark or all light.  The pixels of grid lines are not
// looked at.  *scale and *grid say what the sheet turned out to be.
bool sheet_to_table(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                    byte_buffer* table, unsigned* scale, bool* grid, std::string* error);

// Draws a font table as a sheet: 8-bit grey pixels, black glyph pixels on
// white, each font pixel a scale x scale block, and light grey grid lines
// when grid is set.  *size is the width and height.
byte_buffer draw_sheet(const std::uint8_t* table, unsigned scale, bool grid, unsigned* size);

#endif

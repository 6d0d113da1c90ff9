// Glyph sheets, from pixels to a font table and back.
#include "font_sheet.h"

#include "messages.h"

#include <cstdio>
#include <cstring>

// The grey of grid lines in a drawn sheet: light, so that it reads as an
// unset pixel to anything that applies the usual threshold.
static const std::uint8_t grid_grey = 0xB0;

// Whether an RGBA pixel is dark, by the rule stated with
// sheet_dark_threshold.  The luminance weights add up to 1000, so a grey
// value keeps its own value as luminance.
static bool is_dark(const std::uint8_t* rgba)
{
	unsigned luminance = (299u * rgba[0] + 587u * rgba[1] + 114u * rgba[2] + 500u) / 1000u;
	unsigned alpha = rgba[3];
	unsigned over_white = (luminance * alpha + 255u * (255u - alpha) + 127u) / 255u;
	return over_white < sheet_dark_threshold;
}

bool sheet_size_ok(std::uint32_t width, std::uint32_t height)
{
	if (width != height)
		return false;
	for (unsigned scale = 1; scale <= sheet_max_scale; scale++)
		if (width == sheet_size * scale || width == sheet_size * scale + sheet_grid_extra)
			return true;
	return false;
}

std::string sheet_size_error(std::uint32_t width, std::uint32_t height)
{
	return format(tr("PNG image of %sx%s pixels; a glyph sheet is 128x128 pixels or a whole "
	                 "multiple of that such as 256x256, up to 4096x4096 (with grid lines 17 "
	                 "more, such as 145x145)"),
	              {number_text(width), number_text(height)});
}

// The layout follows from the size: either 128 k without grid lines or
// 128 k + 17 with them.
bool sheet_to_table(const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height,
                    byte_buffer* result, unsigned* scale_found, bool* grid_found,
                    std::string* error)
{
	if (!sheet_size_ok(width, height)) {
		*error = sheet_size_error(width, height);
		return false;
	}
	std::uint32_t size = width;
	bool grid = size % sheet_size != 0;
	unsigned scale = (grid ? size - sheet_grid_extra : size) / sheet_size;
	unsigned origin = grid ? 1 : 0;
	unsigned pitch = 8 * scale + origin;
	std::size_t stride = (std::size_t)size * 4;
	byte_buffer table(font_glyph_count * font_glyph_bytes, 0);
	for (unsigned glyph = 0; glyph < font_glyph_count; glyph++) {
		unsigned cell_x = (glyph % sheet_cells) * pitch + origin;
		unsigned cell_y = (glyph / sheet_cells) * pitch + origin;
		for (unsigned row = 0; row < 8; row++) {
			for (unsigned column = 0; column < 8; column++) {
				unsigned x0 = cell_x + column * scale;
				unsigned y0 = cell_y + row * scale;
				bool dark = is_dark(pixels + y0 * stride + (std::size_t)x0 * 4);
				for (unsigned y = y0; y < y0 + scale; y++) {
					for (unsigned x = x0; x < x0 + scale; x++) {
						if (is_dark(pixels + y * stride + (std::size_t)x * 4) == dark)
							continue;
						char slot[8];
						std::snprintf(slot, sizeof slot, "0x%02X", glyph);
						*error = format(tr("glyph %s (%s), row %s, column %s (the %sx%s "
						                   "block at x=%s, y=%s) is partly dark and partly "
						                   "light; at scale %s every font pixel must be a "
						                   "block of one kind"),
						                {std::to_string(glyph), slot, std::to_string(row),
						                 std::to_string(column), std::to_string(scale),
						                 std::to_string(scale), std::to_string(x0),
						                 std::to_string(y0), std::to_string(scale)});
						return false;
					}
				}
				if (dark)
					table[glyph * font_glyph_bytes + row] |= (std::uint8_t)(0x80u >> column);
			}
		}
	}
	*result = table;
	*scale_found = scale;
	*grid_found = grid;
	return true;
}

byte_buffer draw_sheet(const std::uint8_t* table, unsigned scale, bool grid, unsigned* size_out)
{
	unsigned origin = grid ? 1 : 0;
	unsigned pitch = 8 * scale + origin;
	unsigned size = sheet_size * scale + (grid ? sheet_grid_extra : 0);
	byte_buffer pixels((std::size_t)size * size, 0xFF);
	if (grid) {
		for (unsigned line = 0; line <= sheet_cells; line++) {
			unsigned at = line * pitch;
			for (unsigned i = 0; i < size; i++) {
				pixels[(std::size_t)at * size + i] = grid_grey;
				pixels[(std::size_t)i * size + at] = grid_grey;
			}
		}
	}
	for (unsigned glyph = 0; glyph < font_glyph_count; glyph++) {
		unsigned cell_x = (glyph % sheet_cells) * pitch + origin;
		unsigned cell_y = (glyph / sheet_cells) * pitch + origin;
		for (unsigned row = 0; row < 8; row++) {
			std::uint8_t bits = table[glyph * font_glyph_bytes + row];
			for (unsigned column = 0; column < 8; column++) {
				if ((bits & (0x80u >> column)) == 0)
					continue;
				unsigned x0 = cell_x + column * scale;
				unsigned y0 = cell_y + row * scale;
				for (unsigned y = y0; y < y0 + scale; y++)
					std::memset(&pixels[(std::size_t)y * size + x0], 0, scale);
			}
		}
	}
	*size_out = size;
	return pixels;
}

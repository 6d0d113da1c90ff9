// PNG files for the tests of os64-font, made and read with libpng apart
// from the tool's own code: images of every colour type and bit depth to
// import, and a plain decoder to look at the sheets the tool exports.
#ifndef OS64_PNG_FIXTURE_H
#define OS64_PNG_FIXTURE_H

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<std::uint8_t> png_bytes;

struct png_picture {
	unsigned width = 0;
	unsigned height = 0;
	int color_type = 0; // a PNG_COLOR_TYPE_ value
	int bit_depth = 8;
	bool interlace = false;
	// The samples of each pixel, row by row: one for grey or a palette
	// index, two for grey and alpha, three for RGB, four for RGBA.
	std::vector<std::uint16_t> samples;
	// Palette entries as R, G, B triples, and their alpha values if any.
	std::vector<std::uint8_t> palette;
	std::vector<std::uint8_t> palette_alpha;
	// For grey and RGB images: the one colour, if any, that a tRNS chunk
	// makes transparent (its grey value, or R, G and B).
	std::vector<std::uint16_t> transparent;
};

// Encodes the image; throws std::runtime_error when libpng refuses it.
png_bytes encode_png(const png_picture& picture);

// Decodes any PNG to 8-bit grey, one byte a pixel.  Throws on failure.
png_bytes decode_grey_png(const png_bytes& png, unsigned* width, unsigned* height);

// Which pixels of a glyph sheet of the font table at the given scale are
// dark, row by row; grid-line pixels come out as grid_dark says.
std::vector<bool> sheet_dark_pixels(const std::uint8_t* table, unsigned scale, bool grid,
                                    bool grid_dark, unsigned* size);

// Builds an image of the dark map given, in the colour type and bit depth
// given, with each dark pixel taking the samples from dark_colours and each
// light one from light_colours, in turn (so several colours of each kind
// can be mixed).
png_picture sheet_picture(const std::vector<bool>& dark, unsigned size, int color_type,
                          int bit_depth,
                    const std::vector<std::vector<std::uint16_t>>& dark_colours,
                    const std::vector<std::vector<std::uint16_t>>& light_colours);

#endif

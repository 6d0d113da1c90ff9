// The two fonts of the sample image: the built-in font of its menu and the
// font the demo patches in.  Both are drawn here from tables of this
// project's own design; nothing is taken from an existing font.
#ifndef OS64_DEMO_FONT_H
#define OS64_DEMO_FONT_H

#include <cstdint>

enum class demo_font_style {
	// The sample image's built-in font: letters 6 pixels wide, strokes 2
	// pixels thick, as menu fonts are often drawn.
	bold,
	// The sample font the demo patches in: letters 5 pixels wide, strokes
	// 1 pixel thick, so a patched menu is easy to tell apart.
	light,
};

// Draws a whole font table of 256 glyphs of 8x8 in code page 437 order,
// one byte a row, the most significant bit leftmost.  Glyphs 0 to 3 are
// the built-in font's signature in both styles, so an image patched with
// the sample font can be patched again.  Letters leave the top row empty,
// and accented letters carry their accent there; box drawing, blocks and
// shades fill the cell so that neighbours join.  Characters that 8x8
// pixels cannot draw well, such as the peseta sign, stay empty.
void draw_demo_font(demo_font_style style, std::uint8_t table[2048]);

#endif

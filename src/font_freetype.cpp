// Reading fonts through FreeType.
#include "font_freetype.h"

#include "font_codepage.h"
#include "messages.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BDF_H
#include FT_BITMAP_H
#include FT_FONT_FORMATS_H
#include FT_WINFONTS_H

#include <cstring>
#include <utility>

// Faces looked at in a file holding several, such as a Windows FON with a
// font for each size.
static const FT_Long max_faces = 64;

// The size to render outlines at when none is asked for.
static const unsigned default_outline_size = 8;

// One size a font can be read at: a strike of a face, or (strike -1) the
// outlines of a scalable face.
struct font_size_choice {
	FT_Long face = 0;
	int strike = -1;
	unsigned size = 0;
};

// The code pages of the character sets a Windows raster font may name.
static const char* windows_charset_codepage(unsigned charset)
{
	switch (charset) {
	case FT_WinFNT_ID_CP1252: return "CP1252";
	case FT_WinFNT_ID_CP1250: return "CP1250";
	case FT_WinFNT_ID_CP1251: return "CP1251";
	case FT_WinFNT_ID_CP1253: return "CP1253";
	case FT_WinFNT_ID_CP1254: return "CP1254";
	case FT_WinFNT_ID_CP1255: return "CP1255";
	case FT_WinFNT_ID_CP1256: return "CP1256";
	case FT_WinFNT_ID_CP1257: return "CP1257";
	case FT_WinFNT_ID_CP1258: return "CP1258";
	case FT_WinFNT_ID_CP874: return "CP874";
	case FT_WinFNT_ID_OEM: return "CP437";
	default: return "";
	}
}

// What the face is, in the words of the messages.
static std::string face_kind(FT_Face face, const byte_buffer& data)
{
	std::string name = FT_Get_Font_Format(face) != nullptr ? FT_Get_Font_Format(face) : "";
	if (name == "Windows FNT")
		return data.size() >= 2 && data[0] == 'M' && data[1] == 'Z' ? tr("Windows FON font")
		                                                           : tr("Windows FNT font");
	// TRANSLATORS: %s is the name of a font format, such as PCF or TrueType.
	if (name == "PCF" || name == "BDF")
		return format(tr("%s font"), {name});
	if (FT_IS_SFNT(face) && !FT_IS_SCALABLE(face))
		return tr("OpenType bitmap font");
	if (name == "CFF")
		return tr("OpenType font");
	if (name.empty())
		return tr("unknown font");
	return format(tr("%s font"), {name});
}

static unsigned round_pixels(FT_Pos value)
{
	return value <= 0 ? 0 : (unsigned)((value + 32) >> 6);
}

// Picks the strike or outline size to read, as read_freetype_font says.
static bool choose_size(FT_Library library, const byte_buffer& data, FT_Long faces,
                        unsigned size, font_size_choice* chosen, std::string* error)
{
	std::vector<font_size_choice> strikes;
	bool scalable = false;
	FT_Long scalable_face = 0;
	std::string kind;
	for (FT_Long f = 0; f < faces && f < max_faces; f++) {
		FT_Face face = nullptr;
		if (FT_New_Memory_Face(library, data.data(), (FT_Long)data.size(), f, &face) != 0)
			continue;
		if (kind.empty())
			kind = face_kind(face, data);
		for (int s = 0; s < face->num_fixed_sizes; s++)
			strikes.push_back({f, s, round_pixels(face->available_sizes[s].y_ppem)});
		if (FT_IS_SCALABLE(face) && !scalable) {
			scalable = true;
			scalable_face = f;
		}
		FT_Done_Face(face);
	}
	// Asked for a size, take its strike; otherwise the largest strike that
	// can fit the table, or failing that the smallest.
	for (const font_size_choice& s : strikes) {
		bool better;
		if (size != 0)
			better = s.size == size && chosen->strike < 0;
		else if (chosen->strike < 0)
			better = true;
		else if (s.size <= font_cell)
			better = chosen->size > font_cell || s.size > chosen->size;
		else
			better = chosen->size > font_cell && s.size < chosen->size;
		if (better)
			*chosen = s;
	}
	if (chosen->strike >= 0)
		return true;
	if (scalable && (size != 0 || strikes.empty())) {
		*chosen = {scalable_face, -1, size != 0 ? size : default_outline_size};
		return true;
	}
	if (strikes.empty()) {
		*error = format(tr("%s with neither bitmaps nor outlines"), {kind});
		return false;
	}
	std::string sizes = number_text(strikes[0].size);
	for (std::size_t i = 1; i < strikes.size(); i++)
		sizes = format(i + 1 == strikes.size() ? tr("%s and %s") : tr("%s, %s"),
		               {sizes, number_text(strikes[i].size)});
	*error = format(tr("%s with glyphs of %s pixels only, not %s; choose one with --size"),
	                {kind, sizes, number_text(size)});
	return false;
}

// Copies the glyph FreeType has just loaded, and rendered if it fits the
// cell.  Bitmaps of several bits a pixel count a pixel as set from half
// their range up.
static bool take_glyph(FT_Library library, FT_GlyphSlot slot, glyph_bitmap* glyph,
                       std::string* error)
{
	const FT_Bitmap* bitmap = &slot->bitmap;
	if (bitmap->pixel_mode == FT_PIXEL_MODE_BGRA) {
		*error = tr("the font's glyphs are colour pictures, which a font table cannot hold");
		return false;
	}
	glyph->left = slot->bitmap_left;
	glyph->top = slot->bitmap_top;
	glyph->width = bitmap->width;
	glyph->height = bitmap->rows;
	glyph->advance = round_pixels(slot->advance.x);
	// A glyph larger than the cell makes the font too large for the table
	// whatever its pixels, so only its size is kept; an outline is not even
	// rendered then.
	if (glyph->width > font_cell || glyph->height > font_cell)
		return true;
	FT_Bitmap grey;
	FT_Bitmap_Init(&grey);
	bool mono = bitmap->pixel_mode == FT_PIXEL_MODE_MONO;
	unsigned levels = 2;
	if (!mono) {
		if (FT_Bitmap_Convert(library, bitmap, &grey, 1) != 0) {
			*error = tr("FreeType could not convert a glyph's bitmap");
			return false;
		}
		bitmap = &grey;
		levels = slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY ? 256 : bitmap->num_grays;
	}
	glyph->pixels.assign((std::size_t)glyph->width * glyph->height, 0);
	for (unsigned y = 0; y < glyph->height; y++) {
		// A negative pitch means the rows are stored from the bottom up.
		int pitch = bitmap->pitch;
		const unsigned char* row =
		        bitmap->buffer + (pitch >= 0 ? (std::ptrdiff_t)y * pitch
		                                     : (std::ptrdiff_t)(glyph->height - 1 - y) * -pitch);
		for (unsigned x = 0; x < glyph->width; x++) {
			bool set = mono ? (row[x / 8] >> (7 - x % 8)) & 1 : 2u * row[x] >= levels;
			glyph->pixels[(std::size_t)y * glyph->width + x] = set ? 1 : 0;
		}
	}
	FT_Bitmap_Done(library, &grey);
	return true;
}

// Where the face's characters come from: its Unicode character map, or
// the encoding it states for its own slots.
static void choose_character_map(FT_Face face, glyph_source* source)
{
	if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) == 0) {
		source->unicode = true;
		// TRANSLATORS: as "its Unicode table", in "placed by %s".
		source->character_map = tr("its Unicode character map");
		return;
	}
	const char* registry = nullptr;
	const char* encoding = nullptr;
	FT_WinFNT_HeaderRec windows;
	if (FT_Get_BDF_Charset_ID(face, &encoding, &registry) == 0 && registry != nullptr &&
	    encoding != nullptr)
		source->encoding = std::string(registry) + "-" + encoding;
	else if (FT_Get_WinFNT_Header(face, &windows) == 0)
		source->encoding = windows_charset_codepage(windows.charset);
	else if (FT_Select_Charmap(face, FT_ENCODING_APPLE_ROMAN) == 0)
		source->encoding = "MACINTOSH";
	if (face->charmap == nullptr && face->num_charmaps > 0)
		FT_Set_Charmap(face, face->charmaps[0]);
}

static bool read_face(FT_Library library, FT_Face face, const font_size_choice& choice,
                      const codepage_chars wanted, glyph_source* source, std::string* error)
{
	FT_Error failed = choice.strike >= 0 ? FT_Select_Size(face, choice.strike)
	                                     : FT_Set_Pixel_Sizes(face, 0, choice.size);
	if (failed != 0) {
		*error = format(tr("FreeType could not set the size %s"), {number_text(choice.size)});
		return false;
	}
	source->glyph_count = (unsigned)face->num_glyphs;
	source->pixel_size = choice.size;
	source->scalable = FT_IS_SCALABLE(face) != 0;
	source->ascent = (int)round_pixels(face->size->metrics.ascender);
	source->descent = (int)round_pixels(-face->size->metrics.descender);
	choose_character_map(face, source);

	// The codes to look up: the characters wanted, or the font's own
	// slots.  Of a Unicode map, every character it holds is listed too.
	std::vector<std::uint32_t> codes;
	if (source->unicode) {
		for (unsigned slot = 1; slot < 256; slot++)
			if (wanted[slot] != 0)
				codes.push_back(wanted[slot]);
		FT_UInt index = 0;
		for (FT_ULong c = FT_Get_First_Char(face, &index); index != 0;
		     c = FT_Get_Next_Char(face, c, &index))
			source->characters.push_back((std::uint32_t)c);
	} else {
		for (std::uint32_t code = 0; code < 256; code++)
			codes.push_back(code);
	}
	// Outlines are rendered only once their size is known to fit the cell:
	// loading a glyph sets the size of its bitmap, and a damaged font's
	// glyphs may be thousands of pixels tall at every size tried.
	FT_Int32 flags = FT_LOAD_TARGET_MONO;
	if (choice.strike < 0)
		flags |= FT_LOAD_MONOCHROME | FT_LOAD_NO_BITMAP;
	for (std::uint32_t code : codes) {
		FT_UInt index = face->charmap != nullptr ? FT_Get_Char_Index(face, code)
		                                         : (FT_UInt)code;
		if (index == 0 && (face->charmap != nullptr || code == 0))
			continue;
		if (index >= (FT_UInt)face->num_glyphs || FT_Load_Glyph(face, index, flags) != 0)
			continue;
		FT_GlyphSlot slot = face->glyph;
		bool fits = slot->bitmap.width <= font_cell && slot->bitmap.rows <= font_cell;
		if (slot->format != FT_GLYPH_FORMAT_BITMAP) {
			if (fits && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0)
				continue;
		} else if (slot->bitmap.buffer == nullptr && slot->bitmap.width != 0 &&
		           slot->bitmap.rows != 0) {
			// A bitmap glyph that has a size but no pixels, as FreeType
			// gives for a BDF glyph without its BITMAP lines, is left out
			// like one that does not load.
			continue;
		}
		glyph_bitmap glyph;
		if (!take_glyph(library, face->glyph, &glyph, error))
			return false;
		source->codes.emplace_back(code, (unsigned)source->glyphs.size());
		source->glyphs.push_back(std::move(glyph));
	}
	return true;
}

bool read_freetype_font(const byte_buffer& data, unsigned size, const codepage_chars wanted,
                        glyph_source* source, bool* recognised, std::string* error)
{
	*source = glyph_source();
	*recognised = false;
	FT_Library library = nullptr;
	if (FT_Init_FreeType(&library) != 0) {
		*error = tr("FreeType could not be started");
		return false;
	}
	FT_Face face = nullptr;
	bool ok = false;
	if (FT_New_Memory_Face(library, data.data(), (FT_Long)data.size(), -1, &face) != 0) {
		*error = tr("not a font FreeType reads");
	} else {
		*recognised = true;
		FT_Long faces = face->num_faces;
		FT_Done_Face(face);
		face = nullptr;
		font_size_choice choice;
		if (choose_size(library, data, faces, size, &choice, error) &&
		    FT_New_Memory_Face(library, data.data(), (FT_Long)data.size(), choice.face,
		                       &face) == 0) {
			source->kind = face_kind(face, data);
			ok = read_face(library, face, choice, wanted, source, error);
		}
		if (face != nullptr)
			FT_Done_Face(face);
	}
	FT_Done_FreeType(library);
	return ok;
}

// The browser page's engine: the patcher's own patch, checksum, check and
// sample code, and os64-font's import of PSF fonts, raw tables and glyph
// sheets, compiled to WebAssembly and called from os64.js.
//
// Bytes pass through the engine's memory: the caller allocates a block with
// malloc, copies its bytes in, calls, and frees the block again.  Numbers
// come back through a small array of 32-bit words that the caller also
// provides.  A failure comes back as a message in a block from malloc,
// which the caller reads and frees; success returns no message.
#include "demo_image.h"
#include "font_codepage.h"
#include "font_import.h"
#include "font_patch.h"
#include "font_sheet.h"
#include "font_table.h"
#include "image_check.h"

#include <emscripten.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// A copy of the message in a block the caller frees.  An empty message is
// no failure, and gives no block.
static char* message_block(const std::string& message)
{
	if (message.empty())
		return nullptr;
	char* block = static_cast<char*>(std::malloc(message.size() + 1));
	if (block != nullptr)
		std::memcpy(block, message.c_str(), message.size() + 1);
	return block;
}

// Several messages in one block the caller frees, each ending in a NUL;
// an empty one stands for none.
static char* messages_block(const std::vector<std::string>& messages)
{
	std::string all;
	for (const std::string& message : messages)
		all += message + '\0';
	char* block = static_cast<char*>(std::malloc(all.size()));
	if (block != nullptr)
		std::memcpy(block, all.data(), all.size());
	return block;
}

// The fonts that os64-font reads through FreeType, which the page leaves
// out, by the bytes they start with.
struct font_magic {
	const char* bytes;
	std::size_t length;
	const char* kind;
};
static const font_magic freetype_fonts[] = {
	{"STARTFONT", 9, "BDF font"},
	{"\x01" "fcp", 4, "PCF font"},
	{"\x00\x01\x00\x00", 4, "TrueType or OpenType font"},
	{"true", 4, "TrueType font"},
	{"OTTO", 4, "OpenType font"},
	{"ttcf", 4, "TrueType collection"},
	{"MZ", 2, "Windows FON font"},
};

// The kind of FreeType font data holds, or null.  A Windows FNT font
// starts with its version, 2 or 3, and its own length.
static const char* freetype_kind(const byte_buffer& data)
{
	for (const font_magic& magic : freetype_fonts)
		if (data.size() >= magic.length &&
		    std::memcmp(data.data(), magic.bytes, magic.length) == 0)
			return magic.kind;
	if (data.size() >= 6 && data[0] == 0 && (data[1] == 2 || data[1] == 3) &&
	    (data[2] | data[3] << 8 | data[4] << 16 | (std::uint32_t)data[5] << 24) == data.size())
		return "Windows FNT font";
	return nullptr;
}

// Why the page takes no table from data that import_plain_font did not
// recognise: a font for os64-font import, or no font at all.
static std::string unreadable_font(const byte_buffer& data, bool gzip, const std::string& name)
{
	const char* kind = freetype_kind(data);
	if (kind != nullptr)
		return std::string("a ") + (gzip ? "gzip-compressed " : "") + kind +
		       ", which this page cannot read. Convert it with os64-font import first "
		       "(os64-font import " + name + " font.pf), then choose the font.pf it writes";
	std::string start;
	for (std::size_t i = 0; i < data.size() && i < 4; i++) {
		char hex[4];
		std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", data[i]);
		start += hex;
	}
	return "not a font this page reads (it starts with " + start +
	       "): it reads PSF fonts and PNG glyph sheets, gzip-compressed or not, and raw font "
	       "tables of 2048 bytes; os64-font import also reads BDF, PCF, OpenType, TrueType "
	       "and Windows FON and FNT fonts";
}

// What an import hands back.  out receives the 2048-byte table, then the
// number of missing characters and their slots as 32-bit words.  The block
// returned holds the error, the warning and the line import prints about
// what it read, as os64-font import words them with the input's name.
static char* import_reply(bool ok, const import_result& font, const std::string& error,
                          const std::string& name, const std::uint8_t* fill,
                          const char* fill_name, std::uint8_t* out)
{
	if (!ok)
		return messages_block({name + ": " + error, "", ""});
	std::memcpy(out, font.table.data(), font_table_size);
	auto* words = reinterpret_cast<std::uint32_t*>(out + font_table_size);
	words[0] = (std::uint32_t)font.missing.size();
	for (std::size_t i = 0; i < font.missing.size(); i++)
		words[1 + i] = font.missing[i];
	std::string warning;
	if (!font.missing.empty())
		warning = missing_warning(name, font.missing, fill != nullptr ? fill_name : nullptr);
	return messages_block({"", warning, name + ": " + describe_import(font)});
}

static import_options options_of(const char* codepage, const std::uint8_t* fill)
{
	import_options options;
	options.codepage = codepage;
	options.fill = fill;
	return options;
}

extern "C" {

// Patches the image in place as the patcher does.  On success result holds
// the font's offset and the two checksum words.
EMSCRIPTEN_KEEPALIVE char* os64_patch_image(std::uint8_t* image, std::uint32_t image_length,
                                            const std::uint8_t* font,
                                            std::uint32_t font_length, std::uint32_t* result)
{
	image_patch patch{0, 0, 0};
	std::string problem = patch_image(image, image_length, font, font_length, &patch);
	result[0] = patch.offset;
	result[1] = patch.checksum_word_1;
	result[2] = patch.checksum_word_2;
	return message_block(problem);
}

// Checks the image.  On success result holds the stored and the computed
// checksum words, whether they match, the boot code's CRC-32 and whether
// it is the 6102 boot code, in that order.
EMSCRIPTEN_KEEPALIVE char* os64_check_image(const std::uint8_t* image,
                                            std::uint32_t image_length, std::uint32_t* result)
{
	image_check check{};
	std::string problem = check_image(image, image_length, &check);
	result[0] = check.stored_1;
	result[1] = check.stored_2;
	result[2] = check.computed_1;
	result[3] = check.computed_2;
	result[4] = check.matches;
	result[5] = check.boot_code_crc;
	result[6] = check.is_6102;
	return message_block(problem);
}

// Copies the 2048-byte built-in font of an unpatched image to table and
// returns where it starts; the message says why there is none.
EMSCRIPTEN_KEEPALIVE char* os64_extract_font(const std::uint8_t* image,
                                             std::uint32_t image_length, std::uint8_t* table,
                                             std::uint32_t* offset)
{
	std::string problem = find_builtin_font(image, image_length, offset);
	if (problem.empty())
		std::memcpy(table, image + *offset, font_table_size);
	return message_block(problem);
}

// Makes the sample image and font in one block from malloc, the image
// first, and reports their lengths.  Returns no block when memory ran out.
EMSCRIPTEN_KEEPALIVE std::uint8_t* os64_make_sample(std::uint32_t* lengths)
{
	std::vector<std::uint8_t> image;
	std::vector<std::uint8_t> font;
	make_demo(&image, &font);
	auto* block = static_cast<std::uint8_t*>(std::malloc(image.size() + font.size()));
	if (block == nullptr)
		return nullptr;
	std::memcpy(block, image.data(), image.size());
	std::memcpy(block + image.size(), font.data(), font.size());
	lengths[0] = (std::uint32_t)image.size();
	lengths[1] = (std::uint32_t)font.size();
	return block;
}

// Imports a PSF font or a raw font table from the bytes of a file, which
// os64.js has already uncompressed when gzip is set.  codepage is empty or
// the --codepage of os64-font import; fill is null or a 2048-byte table,
// and fill_name what the warning calls it.  See import_reply.
EMSCRIPTEN_KEEPALIVE char* os64_import_font(const std::uint8_t* data, std::uint32_t length,
                                            std::uint32_t gzip, const char* name,
                                            const char* codepage, const std::uint8_t* fill,
                                            const char* fill_name, std::uint8_t* out)
{
	byte_buffer content(data, data + length);
	import_result font;
	std::string error;
	bool ok = false;
	if (content.empty()) {
		error = gzip ? "gzip file that holds nothing" : "empty file";
	} else {
		bool recognised = false;
		ok = import_plain_font(content, options_of(codepage, fill), &font, &recognised, &error);
		if (!recognised)
			error = unreadable_font(content, gzip != 0, name);
	}
	font.gzip = gzip != 0;
	return import_reply(ok, font, error, name, fill, fill_name, out);
}

// Why a PNG picture of this size is no glyph sheet, or null when it may be
// one; os64.js asks before it has the browser decode the picture.
EMSCRIPTEN_KEEPALIVE char* os64_sheet_size_error(std::uint32_t width, std::uint32_t height)
{
	return message_block(sheet_size_ok(width, height) ? "" : sheet_size_error(width, height));
}

// Imports a glyph sheet from its pixels, 8-bit RGBA not premultiplied, as
// the browser decoded them.  The arguments after the pixels are those of
// os64_import_font.
EMSCRIPTEN_KEEPALIVE char* os64_import_sheet(const std::uint8_t* rgba, std::uint32_t width,
                                             std::uint32_t height, std::uint32_t gzip,
                                             const char* name, const char* codepage,
                                             const std::uint8_t* fill, const char* fill_name,
                                             std::uint8_t* out)
{
	import_result font;
	std::string error;
	bool ok = import_sheet_pixels(rgba, width, height, options_of(codepage, fill), &font, &error);
	font.gzip = gzip != 0;
	return import_reply(ok, font, error, name, fill, fill_name, out);
}

// The character each slot of a font table draws, as Unicode code points:
// code page 437 with its graphic characters, 0 for slot 0.  Returns the
// reason when the C library lacks the code page.
EMSCRIPTEN_KEEPALIVE char* os64_cp437(std::uint32_t* characters)
{
	codepage_chars chars;
	std::string error;
	if (!cp437_characters(chars, &error))
		return message_block(error);
	std::memcpy(characters, chars, sizeof chars);
	return nullptr;
}

}

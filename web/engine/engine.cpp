// The browser page's engine: the patcher's own patch, checksum, check and
// sample code, and os64-font's import of every font it reads and export of
// glyph sheets, with FreeType, zlib and libpng, compiled to WebAssembly and
// called from os64.js.
//
// Bytes pass through the engine's memory: the caller allocates a block with
// malloc, copies its bytes in, calls, and frees the block again.  Numbers
// come back through a small array of 32-bit words that the caller also
// provides.  A failure comes back as a message in a block from malloc,
// which the caller reads and frees; success returns no message.
#include "demo_image.h"
#include "font_codepage.h"
#include "font_decode.h"
#include "font_patch.h"
#include "font_png.h"
#include "font_table.h"
#include "image_check.h"
#include "messages.h"

#include <emscripten.h>

#include <cstdint>
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

// What an import hands back.  out receives the 2048-byte table, then as
// 32-bit words the size the font was read at (0 for a font of one size),
// whether its outlines can be read at other sizes, the nearest size its
// glyphs fit at when they are too large at the size read (or 0), the
// number of missing characters, the number of the font's characters that
// the code page of the slots leaves out, how many of those the code page
// suggested would place, and the slots of the missing characters; the
// first three even when the glyphs did not fit.  The block returned holds the
// error, the warning about the missing characters, the one about those
// left out, the line import prints about what it read, as os64-font import
// words them with the input's name, and the code page suggested.
static char* import_reply(bool ok, const import_result& font, const std::string& error,
                          const std::string& name, const std::uint8_t* fill,
                          const char* fill_name, std::uint8_t* out)
{
	auto* words = reinterpret_cast<std::uint32_t*>(out + font_table_size);
	words[0] = font.pixel_size;
	words[1] = font.scalable;
	words[2] = font.fits_size;
	if (!ok)
		return messages_block({format(tr("%s: %s"), {name, error}), "", "", "", ""});
	std::memcpy(out, font.table.data(), font_table_size);
	words[3] = (std::uint32_t)font.missing.size();
	words[4] = (std::uint32_t)font.left_out.size();
	words[5] = font.better_places;
	for (std::size_t i = 0; i < font.missing.size(); i++)
		words[6 + i] = font.missing[i];
	std::string missing;
	if (!font.missing.empty())
		missing = missing_warning(name, font, fill != nullptr ? fill_name : nullptr);
	std::string left_out;
	if (!font.left_out.empty())
		left_out = left_out_warning(name, font);
	return messages_block({"", missing, left_out,
	                       format(tr("%s: %s"), {name, describe_import(font)}),
	                       font.better_slots});
}

static import_options options_of(const char* codepage, const slots_codepage* slots,
                                 std::uint32_t size, const std::uint8_t* fill)
{
	import_options options;
	options.codepage = codepage;
	options.slots = slots;
	options.size = size;
	options.fill = fill;
	return options;
}

extern "C" {

// Patches the image in place as the patcher does.  On success result holds
// the font's offset and the two checksum words; in any case its fourth
// word says whether the built-in font was found.
EMSCRIPTEN_KEEPALIVE char* os64_patch_image(std::uint8_t* image, std::uint32_t image_length,
                                            const std::uint8_t* font,
                                            std::uint32_t font_length, std::uint32_t* result)
{
	image_patch patch{0, 0, 0};
	std::string problem = patch_image(image, image_length, font, font_length, &patch);
	result[0] = patch.offset;
	result[1] = patch.checksum_word_1;
	result[2] = patch.checksum_word_2;
	// A failed patch leaves the image as it was, for the search to say.
	std::uint32_t offset = 0;
	result[3] = problem.empty() ||
	            (image_length <= max_image_size &&
	             locate_font_signature(image, (std::uint32_t)image_length, &offset));
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

// Says whether backup is the original of the patched image, and sets
// *offset to where the backup's built-in font starts once it is found.
EMSCRIPTEN_KEEPALIVE char* os64_check_backup(const std::uint8_t* image,
                                             std::uint32_t image_length,
                                             const std::uint8_t* backup,
                                             std::uint32_t backup_length, std::uint32_t* offset)
{
	*offset = 0xFFFFFFFF;
	return message_block(
	        backup_original_problem(image, image_length, backup, backup_length, offset));
}

// Writes the glyph sheet of a font table at scale, without grid lines, as
// os64-font export writes it: the same PNG file, byte for byte.  The file
// goes into a block from malloc, its length into *length.  Returns no block
// when memory ran out.
EMSCRIPTEN_KEEPALIVE std::uint8_t* os64_sheet_png(const std::uint8_t* table, std::uint32_t scale,
                                                  std::uint32_t* length)
{
	byte_buffer png;
	std::string error;
	if (!write_sheet(table, scale, false, &png, &error))
		return nullptr;
	auto* block = static_cast<std::uint8_t*>(std::malloc(png.size()));
	if (block == nullptr)
		return nullptr;
	std::memcpy(block, png.data(), png.size());
	*length = (std::uint32_t)png.size();
	return block;
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

// Imports a font from the bytes of a file, any font os64-font import reads,
// gzip-compressed or not, by the same code: gzip through zlib, PNG glyph
// sheets through libpng.  slots is empty or the --slots of os64-font
// import, which os64.js has checked, codepage empty or its --codepage,
// size 0 or its --size; fill is null or a 2048-byte table, and fill_name
// what the warning calls it.  See import_reply.
EMSCRIPTEN_KEEPALIVE char* os64_import_font(const std::uint8_t* data, std::uint32_t length,
                                            const char* name, const char* slots,
                                            const char* codepage, std::uint32_t size,
                                            const std::uint8_t* fill, const char* fill_name,
                                            std::uint8_t* out)
{
	byte_buffer content(data, data + length);
	import_result font;
	std::string error;
	slots_codepage page;
	bool ok = menu_codepage(slots, &page, &error) &&
	          import_font(content, options_of(codepage, &page, size, fill), &font, &error);
	return import_reply(ok, font, error, name, fill, fill_name, out);
}

// The character each slot of a font table draws when the menu's slots are
// in code page name (code page 437 when it is empty), as Unicode code
// points, 0 for a slot without one: what os64-font import --slots takes.
// Returns a block of two messages: the reason the engine does not know the
// code page, or none, and how the messages name it.
EMSCRIPTEN_KEEPALIVE char* os64_slots_codepage(const char* name, std::uint32_t* characters)
{
	slots_codepage page;
	std::string error;
	if (!menu_codepage(name, &page, &error))
		return messages_block({error, ""});
	std::memcpy(characters, page.chars, sizeof page.chars);
	return messages_block({"", page.title});
}

// The code pages offered for the menu's slots, each as its name, its
// script and the script's name in the language set, in one block of
// messages that an empty one ends.
EMSCRIPTEN_KEEPALIVE char* os64_offered_codepages()
{
	std::vector<std::string> list;
	for (std::size_t i = 0; i < offered_codepage_count; i++) {
		list.push_back(offered_codepages[i].name);
		list.push_back(offered_codepages[i].script);
		list.push_back(tr(script_title(offered_codepages[i].script)));
	}
	list.push_back("");
	return messages_block(list);
}

}

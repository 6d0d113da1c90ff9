// The browser page's engine: the patcher's own patch, checksum, check and
// sample code, compiled to WebAssembly and called from os64.js.
//
// Bytes pass through the engine's memory: the caller allocates a block with
// malloc, copies its bytes in, calls, and frees the block again.  Numbers
// come back through a small array of 32-bit words that the caller also
// provides.  A failure comes back as a message in a block from malloc,
// which the caller reads and frees; success returns no message.
#include "demo_image.h"
#include "font_patch.h"
#include "font_table.h"
#include "image_check.h"

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

}

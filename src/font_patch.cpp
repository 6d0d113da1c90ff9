// Patching and reading the built-in font of an image held in memory.
#include "font_patch.h"

#include "boot_checksum.h"
#include "font_table.h"
#include "messages.h"

#include <algorithm>
#include <cstdio>

// A number as the messages write an offset: "0x2f3d1".
static std::string hex_text(std::uint64_t n)
{
	char text[24];
	std::snprintf(text, sizeof text, "0x%llx", (unsigned long long)n);
	return text;
}

std::string image_size_problem(std::uint64_t size)
{
	if (size <= max_image_size)
		return "";
	return format(tr("OS64.v64 is too large: %s bytes, but an image can have at most %s"),
	              {number_text(size), number_text(max_image_size)});
}

std::string font_size_problem(std::uint64_t size)
{
	return size > font_table_size ? tr("new font is too large!") : "";
}

std::string font_not_found_problem(const std::uint8_t* image, std::uint32_t image_length)
{
	// An image in another byte order is never patched, and the guess would
	// send its owner the wrong way: say what it is.
	std::string explanation = byte_order_explanation(
	        "OS64.v64", detect_byte_order(image, image_length), purpose::patched);
	std::string problem = tr("internal font not found (already patched?)");
	return explanation.empty() ? problem : problem + "\n" + explanation;
}

std::string font_fit_problem(std::uint32_t offset, std::uint32_t font_length,
                             std::uint32_t image_length)
{
	if (font_length <= image_length - offset)
		return "";
	return format(tr("the new font does not fit: at %s its %s bytes would run past the end of "
	                 "OS64.v64 (%s bytes)"),
	              {hex_text(offset), number_text(font_length), number_text(image_length)});
}

std::string patch_image(std::uint8_t* image, std::uint64_t image_length,
                        const std::uint8_t* font, std::uint64_t font_length,
                        image_patch* result)
{
	std::string problem = image_size_problem(image_length);
	if (problem.empty())
		problem = font_size_problem(font_length);
	if (!problem.empty())
		return problem;
	std::uint32_t length = (std::uint32_t)image_length;
	if (!locate_font_signature(image, length, &result->offset))
		return font_not_found_problem(image, length);
	problem = font_fit_problem(result->offset, (std::uint32_t)font_length, length);
	if (problem.empty())
		problem = boot_checksum_size_problem(image_length);
	if (!problem.empty())
		return problem;
	replace_font(image, result->offset, font, (std::uint32_t)font_length);
	boot_checksum_of_image(image, image_length, &result->checksum_word_1,
	                       &result->checksum_word_2);
	store_big_endian(image + boot_checksum_offset, result->checksum_word_1);
	store_big_endian(image + boot_checksum_offset + 4, result->checksum_word_2);
	return "";
}

std::string find_builtin_font(const std::uint8_t* image, std::uint64_t image_length,
                              std::uint32_t* offset)
{
	if (image_length > max_image_size ||
	    !locate_font_signature(image, (std::uint32_t)image_length, offset)) {
		// In another byte order the font is not found either, for a reason
		// other than a patch.
		std::string explanation = byte_order_explanation(
		        "", detect_byte_order(image, (std::size_t)image_length), purpose::searched);
		if (!explanation.empty())
			return format(tr("the built-in font is not found: %s"), {explanation});
		return tr("the built-in font is not in it (already patched?)");
	}
	if (image_length - *offset < font_table_size) {
		return format(tr("the built-in font starts at %s, but its 2048 bytes would run past "
		                 "the end of the image (%s bytes)"),
		              {hex_text(*offset), number_text(image_length)});
	}
	return "";
}

// The first offset from start on, before end, at which the two buffers
// differ; end when they do not.
static std::uint64_t first_difference(const std::uint8_t* a, const std::uint8_t* b,
                                      std::uint64_t start, std::uint64_t end)
{
	while (start < end && a[start] == b[start])
		start++;
	return start;
}

std::string backup_original_problem(const std::uint8_t* image, std::uint64_t image_length,
                                    const std::uint8_t* backup, std::uint64_t backup_length,
                                    std::uint32_t* offset)
{
	std::string problem = find_builtin_font(backup, backup_length, offset);
	if (!problem.empty())
		return format(tr("OS64.bak is no unpatched image: %s"), {problem});
	if (image_length != backup_length)
		return format(tr("OS64.bak has %s bytes and OS64.v64 %s, but a patch keeps the length "
		                 "of the image"),
		              {number_text(backup_length), number_text(image_length)});
	// The bytes that a patch may change: the checksum words, then the
	// font.  The font may come first, or overlap the words, in an image
	// made to test such things.
	std::uint64_t font_start = *offset;
	std::uint64_t font_end = font_start + font_table_size;
	std::uint64_t words_start = boot_checksum_offset;
	std::uint64_t words_end = std::min<std::uint64_t>(words_start + 8, image_length);
	std::uint64_t at = 0;
	while (at < image_length) {
		at = first_difference(image, backup, at, image_length);
		if (at >= words_start && at < words_end)
			at = words_end;
		else if (at >= font_start && at < font_end)
			at = font_end;
		else
			break;
	}
	if (at >= image_length)
		return "";
	return format(tr("OS64.bak and OS64.v64 differ at %s, outside the built-in font (%s-%s) "
	                 "and the checksum words (0x10-0x17) that a patch changes"),
	              {hex_text(at), hex_text(font_start), hex_text(font_end - 1)});
}

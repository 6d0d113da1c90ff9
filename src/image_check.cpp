// Checking an image's boot checksum and boot code.
#include "image_check.h"

#include "boot_checksum.h"
#include "font_table.h"
#include "messages.h"

#include <zlib.h>

void check_header(const std::uint8_t* header, std::uint32_t computed_1,
                  std::uint32_t computed_2, image_check* check)
{
	check->stored_1 = load_big_endian(header + boot_checksum_offset);
	check->stored_2 = load_big_endian(header + boot_checksum_offset + 4);
	check->computed_1 = computed_1;
	check->computed_2 = computed_2;
	check->matches = check->stored_1 == computed_1 && check->stored_2 == computed_2;
	check->boot_code_crc = (std::uint32_t)crc32(0, header + boot_code_start,
	                                             boot_region_start - boot_code_start);
	check->is_6102 = check->boot_code_crc == boot_code_6102_crc;
}

std::string check_size_problem(std::uint64_t size)
{
	if (boot_checksum_size_ok(size))
		return "";
	if (size < boot_region_start)
		return format(tr("%s bytes, fewer than the 4096 bytes of a header and boot code, so it "
		                 "has no boot checksum"),
		              {number_text(size)});
	return format(tr("%s bytes, which is not a whole number of 4-byte words, as an image "
	                 "shorter than 1052672 bytes must be"),
	              {number_text(size)});
}

std::string check_image(const std::uint8_t* image, std::uint64_t size, image_check* check)
{
	// In another byte order every word stands elsewhere, and a checksum
	// computed over it would say nothing.
	std::string problem = byte_order_explanation(
	        "", detect_byte_order(image, (std::size_t)size), purpose::checked);
	if (problem.empty())
		problem = check_size_problem(size);
	if (!problem.empty())
		return problem;
	std::uint32_t word_1 = 0;
	std::uint32_t word_2 = 0;
	boot_checksum_of_image(image, size, &word_1, &word_2);
	check_header(image, word_1, word_2, check);
	return "";
}

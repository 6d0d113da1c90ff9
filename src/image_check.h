// What `os64-font check` and the browser page tell about an image: the boot
// checksum its header holds, the one computed over its data region, and
// whether its boot code is the 6102 one that checksum is meant for.
#ifndef OS64_IMAGE_CHECK_H
#define OS64_IMAGE_CHECK_H

#include <cstdint>
#include <string>

// The CRC-32 of bytes 0x40 to 0xFFF of an image whose boot code is the
// one that goes with the 6102 boot chip.
constexpr std::uint32_t boot_code_6102_crc = 0x90BB6CB5;
constexpr std::uint32_t boot_code_start = 0x40;

struct image_check {
	std::uint32_t stored_1;   // the words at 0x10 and 0x14
	std::uint32_t stored_2;
	std::uint32_t computed_1; // the words computed over the data region
	std::uint32_t computed_2;
	bool matches;
	std::uint32_t boot_code_crc;
	bool is_6102;
};

// Fills in *check from the image's first 4096 bytes and the two words
// computed over its data region.
void check_header(const std::uint8_t* header, std::uint32_t computed_1,
                  std::uint32_t computed_2, image_check* check);

// Why an image of this size has no boot checksum to check, as `check` says
// it after the image's name and ": "; empty when it has one.
std::string check_size_problem(std::uint64_t size);

// Checks a whole image held in memory.  Returns why it cannot be checked
// (an image in another byte order, or check_size_problem(size)), filling
// in *check only when there is no such reason.
std::string check_image(const std::uint8_t* image, std::uint64_t size, image_check* check);

#endif

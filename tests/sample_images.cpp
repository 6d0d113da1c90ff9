#include "sample_images.h"

#include "reference_checksum.h"

#include <algorithm>
#include <cstdio>

const std::uint8_t sample_signature[32] = {
	0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7E, 0x81, 0xA5, 0x81, 0xBD,
	0x99, 0x81, 0x7E, 0x7E, 0xFF, 0xDB, 0xFF, 0xC3, 0xE7, 0xFF, 0x7E, 0x6C, 0xFE,
	0xFE, 0xFE, 0x7C, 0x38, 0x10, 0x00,
};

bytes sample_filler(std::size_t size, std::uint32_t seed)
{
	bytes data(size);
	for (std::size_t i = 0; i < size; i++) {
		seed = seed * 1103515245u + 12345u;
		std::uint8_t b = (std::uint8_t)(seed >> 16);
		data[i] = b == 0x7E ? 0 : b;
	}
	return data;
}

bytes sample_image(std::size_t size, std::size_t font_offset, std::uint32_t seed)
{
	bytes image = sample_filler(size, seed);
	bytes table = sample_filler(2048, seed + 1);
	std::copy(sample_signature, sample_signature + 32, table.begin());
	for (std::size_t i = 0; i < table.size() && font_offset + i < size; i++)
		image[font_offset + i] = table[i];
	return with_checksum(image);
}

bytes with_font(bytes image, std::size_t offset, const bytes& font)
{
	std::copy(font.begin(), font.end(), image.begin() + (std::ptrdiff_t)offset);
	return image;
}

bytes with_checksum(bytes image)
{
	reference_words words = reference_checksum(image);
	for (int k = 0; k < 4; k++) {
		image[0x10 + k] = (std::uint8_t)(words.word_1 >> (24 - 8 * k));
		image[0x14 + k] = (std::uint8_t)(words.word_2 >> (24 - 8 * k));
	}
	return image;
}

std::size_t signature_offset(const bytes& image)
{
	auto at = std::search(image.begin(), image.end(), sample_signature, sample_signature + 32);
	return (std::size_t)(at - image.begin());
}

bytes patched_image(const bytes& image, const bytes& font)
{
	return with_checksum(with_font(image, signature_offset(image), font));
}

std::string checksum_line(const bytes& image)
{
	char line[80];
	std::snprintf(line, sizeof line,
	              "Calculated Checksum: %02X %02X %02X %02X  %02X %02X %02X %02X\n",
	              image[0x10], image[0x11], image[0x12], image[0x13], image[0x14],
	              image[0x15], image[0x16], image[0x17]);
	return line;
}

std::string complete_run_output(const bytes& image, const std::string& font_path,
                                const bytes& font, bool backup_exists)
{
	bytes patched = patched_image(image, font);
	char position[64];
	std::snprintf(position, sizeof position, "internal font at pos: 0x%zx\n",
	              signature_offset(image));
	return banner() + "OS64.v64 found\nOS size: " + std::to_string(image.size()) + "\n" +
	       font_path + " found\nnew font size: " + std::to_string(font.size()) + "... ok!\n" +
	       position + (backup_exists ? "error: backup error\n" : "") + "file patched!\n" +
	       checksum_line(patched) + "New checksum successfully written.\ndone...\n";
}

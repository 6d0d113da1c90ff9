// Images, fonts and the output the patcher gives for them, for the tests
// that run the built program under adverse conditions.
#ifndef OS64_SAMPLE_IMAGES_H
#define OS64_SAMPLE_IMAGES_H

#include "run_program.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The 32 bytes the patcher looks for, written out here apart from the
// tool's own copy.
extern const std::uint8_t sample_signature[32];

// Bytes that never contain the signature, since they are never 0x7E.
bytes sample_filler(std::size_t size, std::uint32_t seed);

// An image of size bytes with a 2048-byte built-in font table at
// font_offset and a correct boot checksum in its header.
bytes sample_image(std::size_t size, std::size_t font_offset, std::uint32_t seed);

// The image with font copied over it at offset.
bytes with_font(bytes image, std::size_t offset, const bytes& font);

// The image with its boot checksum, by the plain reference computation,
// stored at 0x10..0x17.
bytes with_checksum(bytes image);

// The "Calculated Checksum: " line for the checksum stored in image.
std::string checksum_line(const bytes& image);

// Where the signature first stands in image, or image.size() when nowhere.
std::size_t signature_offset(const bytes& image);

// Everything a complete run prints for image and font when the font file
// was named font_path, with the "backup error" line when a backup existed.
std::string complete_run_output(const bytes& image, const std::string& font_path,
                                const bytes& font, bool backup_exists);

// The image a complete run leaves as "OS64.v64".
bytes patched_image(const bytes& image, const bytes& font);

#endif

// The boot checksum that the console's 6102 boot code verifies: two 32-bit
// words over the 1 MiB of the image that follows its 4 KiB header and boot
// code, stored big-endian at offsets 0x10 and 0x14 of the header.
#ifndef OS64_BOOT_CHECKSUM_H
#define OS64_BOOT_CHECKSUM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Where the data region starts in the image, and how long it is.
constexpr std::uint32_t boot_region_start = 0x1000;
constexpr std::uint32_t boot_region_size = 0x100000;

// Where the two checksum words stand in the header.
constexpr std::uint32_t boot_checksum_offset = 0x10;

// Images this large are accepted whatever their size; smaller ones must hold
// at least the header and a whole number of words.
constexpr std::uint32_t boot_full_image_size = boot_region_start + boot_region_size;

// Reads and writes one word in the image's order, most significant byte
// first.
std::uint32_t load_big_endian(const std::uint8_t* bytes);
void store_big_endian(std::uint8_t* bytes, std::uint32_t word);

// The six accumulators, each seeded with 0xF8CA4DDC.
struct boot_checksum_state {
	std::uint32_t sum;
	std::uint32_t carries;
	std::uint32_t xor_words;
	std::uint32_t rot_sum;
	std::uint32_t cond_xor;
	std::uint32_t mix_sum;
};

void boot_checksum_start(boot_checksum_state* state);

// Feeds word_count big-endian words from bytes through the accumulators.
void boot_checksum_feed(boot_checksum_state* state, const std::uint8_t* bytes,
                        std::size_t word_count);

void boot_checksum_finish(const boot_checksum_state* state, std::uint32_t* checksum_word_1,
                          std::uint32_t* checksum_word_2);

// Whether an image of this many bytes has a boot checksum the tool can
// compute: 0x101000 bytes or more, or at least 0x1000 bytes and a multiple
// of 4.
bool boot_checksum_size_ok(std::uint64_t size);

// Why the checksum of an image of this size cannot be computed, in the words
// the patcher reports it with after "error: "; empty when it can.
std::string boot_checksum_size_problem(std::uint64_t size);

// Computes the checksum of a whole image held in memory, by the same rules
// as for a file: region bytes past the end of the image count as zeros, and
// bytes from 0x101000 on are never looked at.  Returns false, computing
// nothing, for a size that boot_checksum_size_ok refuses.
bool boot_checksum_of_image(const std::uint8_t* image, std::uint64_t size,
                            std::uint32_t* checksum_word_1, std::uint32_t* checksum_word_2);

// Computes the checksum of the data region from a stream positioned at its
// start, file_left being the number of file bytes from there on.  Region
// bytes past the end of the file count as zeros.  Returns 0, or an error
// number when a read fails or the file turns out shorter than file_left.
int compute_boot_checksum(std::FILE* stream, std::uint32_t file_left,
                          std::uint32_t* checksum_word_1, std::uint32_t* checksum_word_2);

// Bytes to be laid over an image from offset on.
struct byte_patch {
	std::uint32_t offset;
	const std::uint8_t* bytes;
	std::uint32_t length;
};

// Copies the bytes of patch that fall inside the length image bytes from
// offset at on over buffer, which holds those bytes.
void lay_over(std::uint8_t* buffer, std::uint64_t at, std::uint32_t length,
              const byte_patch& patch);

// Computes the checksum as compute_boot_checksum does, with patch laid over
// the file's bytes as they are read: the checksum the image will have once
// patched, read from the image as it still is.  The patch lies inside the
// file.  It reads through the caller's buffer of buffer_size bytes, a
// multiple of 4.
int compute_patched_boot_checksum(std::FILE* stream, std::uint32_t file_left,
                                  const byte_patch& patch, std::uint8_t* buffer,
                                  std::uint32_t buffer_size, std::uint32_t* checksum_word_1,
                                  std::uint32_t* checksum_word_2);

// Reopens "OS64.v64", computes its checksum and prints it, and writes it
// into the header unless the header holds it already; then prints
// "done...".  Returns the exit status of the run.
int refresh_boot_checksum();

#endif

// The patched image, made beside the original piece by piece: the run never
// holds the whole image in memory.  A temporary file receives a copy of the
// image, made inside the kernel where the platform can, and otherwise
// written through one buffer of bounded size while the image is read for
// the search.  The new font and the boot checksum of the patched image are
// then written over the copy, and it is synced to disk once, before it
// takes the image's name.
//
// Like the platform layer, each function that can fail returns 0 on success
// and an error number otherwise, which platform_error_text turns into text.
#ifndef OS64_IMAGE_COPY_H
#define OS64_IMAGE_COPY_H

#include "boot_checksum.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The image is read in pieces of this size.
constexpr std::uint32_t image_piece_size = 0x40000;

// The step of making the copy that failed, for the message that says so.
enum class copy_step {
	create, // the temporary file could not be made
	read,   // the image could not be read
	write,  // the copy could not be written or synced
};

struct image_copy {
	std::FILE* out = nullptr;
	std::string temp_path;
	// The first failure in making the copy.  It is reported only once the
	// search has ended, so that an image without the font says so first.
	int error = 0;
	copy_step failed_step = copy_step::write;
	// Whether the kernel copied the image; otherwise the pieces that the
	// search and finish_image_copy read are written through the buffer.
	bool by_kernel = false;
	std::uint32_t written = 0;
	// The pieces, behind the last bytes of the piece before them.
	std::vector<std::uint8_t> buffer;
};

// What the search found.
struct font_search {
	bool found = false;
	std::uint32_t offset = 0;
	// The image's first bytes, which tell its byte order.
	std::uint8_t head[4] = {};
	std::uint32_t head_length = 0;
};

// Creates the temporary file beside target and, where the platform can,
// copies the image_length bytes of the image into it inside the kernel and
// starts writing them to disk, so that the disk works while the search
// reads.  A failure is kept in copy->error.  Returns ENOMEM when the buffer
// cannot be had, and 0 otherwise.
int start_image_copy(const char* target, std::FILE* image, std::uint32_t image_length,
                     image_copy* copy);

// Reads the image from its start, piece by piece, up to the piece holding
// the first occurrence of the 32 signature bytes, and where the kernel did
// not copy the image, writes each piece into the copy as well.  When it
// finds the signature it prints "internal font at pos: 0x%x\n".  Returns 0
// or the error of a read.
int find_font_signature(std::FILE* image, std::uint32_t image_length, image_copy* copy,
                        font_search* search);

// Completes the copy: the rest of the image where it is written through the
// buffer, then the font, then, where the image's size allows one, the boot
// checksum of the patched image at 0x10.  Checks a copy the kernel made by
// its length and by the bytes around each change, and writes the image
// through the buffer instead where they differ.  Then syncs and closes the
// file.  Returns 0, or the error that stopped it, with copy->failed_step
// saying where; the temporary file is then gone.
int finish_image_copy(image_copy* copy, std::FILE* image, std::uint32_t image_length,
                      const byte_patch& font);

// Closes and removes the temporary file of a copy that is not to be used.
void discard_image_copy(image_copy* copy);

#endif

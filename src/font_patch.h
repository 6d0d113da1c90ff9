// The patch itself, on an image held in memory: the checks the patcher
// makes, the copy of the new font over the built-in one, and the copy of
// the built-in font out of an image.  Nothing here touches a file or
// prints, so the patcher, os64-font and the browser engine share it and
// report failures in the same words.
//
// Every function that can fail returns the message that says why, without
// the "error: " the patcher puts before it, and an empty string when all
// went well.  A message may hold more than one line, separated by "\n".
#ifndef OS64_FONT_PATCH_H
#define OS64_FONT_PATCH_H

#include <cstdint>
#include <string>

// The patcher prints the image size as a signed 32-bit number and searches
// with 32-bit offsets, so larger images are refused.
constexpr std::uint64_t max_image_size = 0x7FFFFFFF;

// Checks the size of the image before it is read.
std::string image_size_problem(std::uint64_t size);

// Checks the size of the new font before it is read: at most 2048 bytes.
std::string font_size_problem(std::uint64_t size);

// Says why no built-in font was found in the image.  It is given the image
// so that it can also say what is wrong with it.
std::string font_not_found_problem(const std::uint8_t* image, std::uint32_t image_length);

// Checks that a font of font_length bytes fits into the image at offset,
// where the built-in font was found.
std::string font_fit_problem(std::uint32_t offset, std::uint32_t font_length,
                             std::uint32_t image_length);

// Where a whole patch in memory found the font and what checksum it wrote.
struct image_patch {
	std::uint32_t offset;
	std::uint32_t checksum_word_1;
	std::uint32_t checksum_word_2;
};

// The whole patch of an image held in memory, giving the bytes the patcher
// leaves in "OS64.v64": the size checks, the new font, and the boot
// checksum stored in the header.  The patcher has already written the
// image when it finds that no checksum can be computed for it; here that
// is a failure like the others.  On failure the image is left unchanged.
std::string patch_image(std::uint8_t* image, std::uint64_t image_length,
                        const std::uint8_t* font, std::uint64_t font_length,
                        image_patch* result);

// Finds the whole 2048-byte built-in font of an unpatched image, as
// `os64-font extract` copies it out, and sets *offset to where it starts.
// The message is the one that command gives after the image's name.
std::string find_builtin_font(const std::uint8_t* image, std::uint64_t image_length,
                              std::uint32_t* offset);

// Whether backup ("OS64.bak") is the original of image ("OS64.v64"), which
// a patch made of it: an unpatched image of the same length that differs
// from it only inside the 2048 bytes of its own built-in font and in the
// checksum words at 0x10-0x17.  Returns the first of those conditions that
// fails, in words that name both files, or an empty string when all hold.
// *offset is set to where the backup's built-in font starts once it has
// been found.
std::string backup_original_problem(const std::uint8_t* image, std::uint64_t image_length,
                                    const std::uint8_t* backup, std::uint64_t backup_length,
                                    std::uint32_t* offset);

#endif

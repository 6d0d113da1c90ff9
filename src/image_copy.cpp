// Making the patched image beside the original, piece by piece.
#include "image_copy.h"

#include "font_files.h"
#include "font_table.h"
#include "platform.h"

#include <cerrno>
#include <cstring>
#include <new>

// A signature that starts in one piece may end in the next, so the search
// keeps this many bytes of each piece in front of the next one.
static const std::uint32_t piece_overlap = font_signature_size - 1;

// The kernel copies the image in parts of this size, and the disk starts
// writing each part as soon as it is copied, while the next is copied and
// the image searched.
static const std::uint32_t copy_part_size = 0x800000;

// No platform has pages larger than this.  A copy made by the kernel is
// checked in the pages around each change the run wrote over it.
static const std::uint32_t largest_page = 0x10000;

static int fail(image_copy* copy, copy_step step, int error)
{
	copy->failed_step = step;
	return error;
}

// The error a failed stdio call left, or EIO where it left none.
static int stream_error()
{
	return errno != 0 ? errno : EIO;
}

int start_image_copy(const char* target, std::FILE* image, std::uint32_t image_length,
                     image_copy* copy)
{
	try {
		copy->buffer.resize(piece_overlap + image_piece_size);
	} catch (const std::bad_alloc&) {
		return ENOMEM;
	}
	copy->error = create_temp_file(target, &copy->temp_path, &copy->out);
	if (copy->error != 0) {
		copy->failed_step = copy_step::create;
		copy->out = nullptr;
		return 0;
	}
	// Unbuffered, every write and read goes straight to the file: the copy
	// is written in whole pieces and in the few changed bytes, and a seek
	// reads nothing ahead to fill a buffer.
	std::setvbuf(copy->out, nullptr, _IONBF, 0);
	int error = 0;
	for (std::uint32_t at = 0; error == 0 && at < image_length; at += copy_part_size) {
		std::uint32_t length = image_length - at;
		if (length > copy_part_size)
			length = copy_part_size;
		error = copy_file_contents(image, copy->out, at, length);
		if (error == 0)
			start_writeback(copy->out, at, length);
	}
	copy->by_kernel = error == 0;
	if (error != 0 && error != error_no_kernel_copy)
		copy->error = fail(copy, copy_step::write, error);
	return 0;
}

// Writes a piece the search read into a copy the kernel did not make, unless
// an earlier write failed.
static void write_piece(image_copy* copy, const std::uint8_t* piece, std::uint32_t length)
{
	if (copy->by_kernel || copy->error != 0)
		return;
	errno = 0;
	if (std::fwrite(piece, 1, length, copy->out) != length) {
		copy->error = fail(copy, copy_step::write, stream_error());
		return;
	}
	copy->written += length;
}

int find_font_signature(std::FILE* image, std::uint32_t image_length, image_copy* copy,
                        font_search* search)
{
	std::uint8_t* buffer = copy->buffer.data();
	// Bytes of the previous piece kept at the front of the buffer.
	std::uint32_t kept = 0;
	std::uint32_t done = 0;
	*search = font_search();
	while (done < image_length) {
		std::uint32_t length = image_length - done;
		if (length > image_piece_size)
			length = image_piece_size;
		int error = read_exactly(image, buffer + kept, length);
		if (error != 0)
			return error;
		if (done == 0) {
			search->head_length = length < 4 ? length : 4;
			std::memcpy(search->head, buffer, search->head_length);
		}
		write_piece(copy, buffer + kept, length);
		done += length;
		// Every earlier piece was searched whole, so the first match here
		// is the first in the image.
		std::uint32_t at = 0;
		if (locate_font_signature(buffer, kept + length, &at)) {
			search->found = true;
			search->offset = done - length - kept + at;
			std::printf("internal font at pos: 0x%x\n", (unsigned)search->offset);
			return 0;
		}
		std::uint32_t end = kept + length;
		kept = end < piece_overlap ? end : piece_overlap;
		std::memmove(buffer, buffer + end - kept, kept);
	}
	return 0;
}

// Reads the image from copy->written on and writes it into the copy, piece
// by piece.
static int copy_rest(image_copy* copy, std::FILE* image, std::uint32_t image_length)
{
	std::uint8_t* buffer = copy->buffer.data();
	while (copy->written < image_length) {
		std::uint32_t length = image_length - copy->written;
		if (length > image_piece_size)
			length = image_piece_size;
		int error = read_exactly(image, buffer, length);
		if (error != 0)
			return fail(copy, copy_step::read, error);
		errno = 0;
		if (std::fwrite(buffer, 1, length, copy->out) != length)
			return fail(copy, copy_step::write, stream_error());
		copy->written += length;
	}
	return 0;
}

// Writes the font, then the checksum words where there are any: they may
// cover font bytes in an image whose font starts in the header.
static int write_changes(image_copy* copy, const byte_patch& font, const byte_patch& words)
{
	errno = 0;
	for (const byte_patch* change : {&font, &words})
		if (change->length > 0 &&
		    (std::fseek(copy->out, (long)change->offset, SEEK_SET) != 0 ||
		     std::fwrite(change->bytes, 1, change->length, copy->out) != change->length))
			return fail(copy, copy_step::write, stream_error());
	return 0;
}

// Checks a copy the kernel made: its length, and in the pages around each
// change, that it holds the image's bytes with the changes over them.
// Returns error_no_kernel_copy where it does not.
static int check_copy(image_copy* copy, std::FILE* image, std::uint32_t image_length,
                      const byte_patch& font, const byte_patch& words)
{
	errno = 0;
	long copy_length = 0;
	if (std::fseek(copy->out, 0, SEEK_END) != 0 || (copy_length = std::ftell(copy->out)) < 0)
		return fail(copy, copy_step::write, stream_error());
	if ((std::uint64_t)copy_length != image_length)
		return error_no_kernel_copy;
	// A change covers at most two pages: the copy's bytes go in the first
	// half of the buffer, the image's in the second.
	std::uint8_t* copied = copy->buffer.data();
	std::uint8_t* expected = copied + 2 * largest_page;
	for (const byte_patch* change : {&font, &words}) {
		if (change->length == 0)
			continue;
		std::uint32_t start = change->offset / largest_page * largest_page;
		std::uint64_t end = ((std::uint64_t)change->offset + change->length + largest_page - 1) /
		                    largest_page * largest_page;
		std::uint32_t length = (std::uint32_t)((end < image_length ? end : image_length) - start);
		errno = 0;
		if (std::fseek(copy->out, (long)start, SEEK_SET) != 0)
			return fail(copy, copy_step::write, stream_error());
		int error = read_exactly(copy->out, copied, length);
		if (error == error_unexpected_end)
			return error_no_kernel_copy;
		if (error != 0)
			return fail(copy, copy_step::write, error);
		errno = 0;
		if (std::fseek(image, (long)start, SEEK_SET) != 0)
			return fail(copy, copy_step::read, stream_error());
		error = read_exactly(image, expected, length);
		if (error != 0)
			return fail(copy, copy_step::read, error);
		lay_over(expected, start, length, font);
		lay_over(expected, start, length, words);
		if (std::memcmp(copied, expected, length) != 0)
			return error_no_kernel_copy;
	}
	return 0;
}

// Writes the image's checksum words, as they will be once the font is laid
// over it, into words; or leaves words empty where the image's size allows
// no checksum.  The second phase then reports that, as it always has.
static int patched_checksum(image_copy* copy, std::FILE* image, std::uint32_t image_length,
                            const byte_patch& font, std::uint8_t* words, byte_patch* change)
{
	*change = byte_patch{boot_checksum_offset, words, 0};
	if (!boot_checksum_size_ok(image_length))
		return 0;
	std::uint32_t word_1 = 0;
	std::uint32_t word_2 = 0;
	errno = 0;
	if (std::fseek(image, boot_region_start, SEEK_SET) != 0)
		return fail(copy, copy_step::read, stream_error());
	int error = compute_patched_boot_checksum(image, image_length - boot_region_start, font,
	                                          copy->buffer.data(), image_piece_size, &word_1,
	                                          &word_2);
	if (error != 0)
		return fail(copy, copy_step::read, error);
	store_big_endian(words, word_1);
	store_big_endian(words + 4, word_2);
	change->length = 8;
	return 0;
}

int finish_image_copy(image_copy* copy, std::FILE* image, std::uint32_t image_length,
                      const byte_patch& font)
{
	int error = copy->error;
	if (error == 0 && !copy->by_kernel)
		error = copy_rest(copy, image, image_length);
	std::uint8_t checksum[8];
	byte_patch words{};
	if (error == 0)
		error = patched_checksum(copy, image, image_length, font, checksum, &words);
	if (error == 0)
		error = write_changes(copy, font, words);
	if (error == 0 && copy->by_kernel) {
		error = check_copy(copy, image, image_length, font, words);
		// A copy that is not what the image holds is written over, whole.
		if (error == error_no_kernel_copy) {
			copy->by_kernel = false;
			copy->written = 0;
			errno = 0;
			if (std::fseek(image, 0, SEEK_SET) != 0)
				error = fail(copy, copy_step::read, stream_error());
			else if (std::fseek(copy->out, 0, SEEK_SET) != 0)
				error = fail(copy, copy_step::write, stream_error());
			else
				error = copy_rest(copy, image, image_length);
			if (error == 0)
				error = write_changes(copy, font, words);
		}
	}
	// The sync and the close are the last steps of writing the copy.
	if (error == 0 && (error = sync_stream(copy->out)) != 0)
		copy->failed_step = copy_step::write;
	if (copy->out != nullptr) {
		int close_error = close_stream(copy->out);
		copy->out = nullptr;
		if (error == 0 && (error = close_error) != 0)
			copy->failed_step = copy_step::write;
	}
	if (error != 0)
		discard_image_copy(copy);
	return error;
}

void discard_image_copy(image_copy* copy)
{
	if (copy->out != nullptr) {
		std::fclose(copy->out);
		copy->out = nullptr;
	}
	if (!copy->temp_path.empty())
		remove_file(copy->temp_path.c_str());
}

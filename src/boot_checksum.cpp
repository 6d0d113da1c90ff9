// Computing the 6102 boot checksum, from a stream or from an image held in
// memory.  Nothing here opens or writes a file, so the browser engine
// compiles this file as it is.
#include "boot_checksum.h"

#include "messages.h"
#include "platform.h"

#include <cerrno>
#include <cstring>
#include <string>

static const std::uint32_t checksum_seed = 0xF8CA4DDC;

// The largest chunk read at once.
static const std::uint32_t work_buffer_size = 0x8000;

void boot_checksum_start(boot_checksum_state* state)
{
	state->sum = checksum_seed;
	state->carries = checksum_seed;
	state->xor_words = checksum_seed;
	state->rot_sum = checksum_seed;
	state->cond_xor = checksum_seed;
	state->mix_sum = checksum_seed;
}

// Rotates w left by the low five bits of n.  The second shift count is
// masked too, so a count of 0 gives w itself without an out-of-range shift.
static inline std::uint32_t rotate_left(std::uint32_t w, std::uint32_t n)
{
	n &= 31;
	return w << n | w >> ((32 - n) & 31);
}

// The loop is written so that compilers turn it into straight-line code: the
// four byte loads into one load and a byte swap, the carry test into an
// add-with-carry, the rotation into one rotate instruction and the choice in
// cond_xor into a conditional move.  A branch there would be mispredicted on
// about every other word, as the comparison follows the data.
void boot_checksum_feed(boot_checksum_state* state, const std::uint8_t* bytes,
                        std::size_t word_count)
{
	// Local copies let the compiler keep the accumulators in registers.
	std::uint32_t sum = state->sum;
	std::uint32_t carries = state->carries;
	std::uint32_t xor_words = state->xor_words;
	std::uint32_t rot_sum = state->rot_sum;
	std::uint32_t cond_xor = state->cond_xor;
	std::uint32_t mix_sum = state->mix_sum;

	for (const std::uint8_t* end = bytes + 4 * word_count; bytes != end; bytes += 4) {
		std::uint32_t w = (std::uint32_t)bytes[0] << 24 | (std::uint32_t)bytes[1] << 16 |
		                  (std::uint32_t)bytes[2] << 8 | (std::uint32_t)bytes[3];
		sum += w;
		// The new sum is below the word added exactly when the add carried.
		carries += sum < w;
		xor_words ^= w;
		std::uint32_t r = rotate_left(w, w);
		rot_sum += r;
		cond_xor = w < cond_xor ? cond_xor ^ r : cond_xor ^ sum ^ w;
		mix_sum += rot_sum ^ w;
	}

	state->sum = sum;
	state->carries = carries;
	state->xor_words = xor_words;
	state->rot_sum = rot_sum;
	state->cond_xor = cond_xor;
	state->mix_sum = mix_sum;
}

void boot_checksum_finish(const boot_checksum_state* state, std::uint32_t* checksum_word_1,
                          std::uint32_t* checksum_word_2)
{
	*checksum_word_1 = state->sum ^ state->carries ^ state->xor_words;
	*checksum_word_2 = state->rot_sum ^ state->cond_xor ^ state->mix_sum;
}

bool boot_checksum_size_ok(std::uint64_t size)
{
	return size >= boot_full_image_size || (size >= boot_region_start && size % 4 == 0);
}

std::uint32_t load_big_endian(const std::uint8_t* bytes)
{
	return (std::uint32_t)bytes[0] << 24 | (std::uint32_t)bytes[1] << 16 |
	       (std::uint32_t)bytes[2] << 8 | (std::uint32_t)bytes[3];
}

void store_big_endian(std::uint8_t* bytes, std::uint32_t word)
{
	bytes[0] = (std::uint8_t)(word >> 24);
	bytes[1] = (std::uint8_t)(word >> 16);
	bytes[2] = (std::uint8_t)(word >> 8);
	bytes[3] = (std::uint8_t)word;
}

std::string boot_checksum_size_problem(std::uint64_t size)
{
	if (boot_checksum_size_ok(size))
		return "";
	if (size < boot_region_start)
		return format(tr("cannot compute the boot checksum: OS64.v64 has %s bytes, fewer than "
		                 "the 4096 bytes of its header"),
		              {number_text(size)});
	return format(tr("cannot compute the boot checksum: OS64.v64 has %s bytes; an image "
	                 "shorter than 1052672 bytes must be a whole number of 4-byte words"),
	              {number_text(size)});
}

bool boot_checksum_of_image(const std::uint8_t* image, std::uint64_t size,
                            std::uint32_t* checksum_word_1, std::uint32_t* checksum_word_2)
{
	if (!boot_checksum_size_ok(size))
		return false;
	boot_checksum_state state;
	boot_checksum_start(&state);
	// The size rules leave a whole number of words in the region: either
	// all of it, or a multiple of 4 bytes before the image ends.
	std::uint64_t present = size - boot_region_start;
	if (present > boot_region_size)
		present = boot_region_size;
	boot_checksum_feed(&state, image + boot_region_start, (std::size_t)(present / 4));
	// The rest of the region counts as zeros, as it does for a file.
	static const std::uint8_t zeros[0x1000] = {};
	for (std::uint64_t done = present; done < boot_region_size;) {
		std::uint64_t n = boot_region_size - done;
		if (n > sizeof zeros)
			n = sizeof zeros;
		boot_checksum_feed(&state, zeros, (std::size_t)(n / 4));
		done += n;
	}
	boot_checksum_finish(&state, checksum_word_1, checksum_word_2);
	return true;
}

void lay_over(std::uint8_t* buffer, std::uint64_t at, std::uint32_t length,
              const byte_patch& patch)
{
	std::uint64_t start = at > patch.offset ? at : patch.offset;
	std::uint64_t end = at + length;
	std::uint64_t patch_end = (std::uint64_t)patch.offset + patch.length;
	if (patch_end < end)
		end = patch_end;
	if (start < end)
		std::memcpy(buffer + (start - at), patch.bytes + (start - patch.offset),
		            (std::size_t)(end - start));
}

int compute_patched_boot_checksum(std::FILE* stream, std::uint32_t file_left,
                                  const byte_patch& patch, std::uint8_t* buffer,
                                  std::uint32_t buffer_size, std::uint32_t* checksum_word_1,
                                  std::uint32_t* checksum_word_2)
{
	boot_checksum_state state;
	boot_checksum_start(&state);

	// Once the file has no data left, the buffer holds zeros and every later
	// chunk is taken from it as it is.
	if (file_left == 0)
		std::memset(buffer, 0, buffer_size);

	std::uint32_t remaining = boot_region_size;
	while (remaining > 0) {
		std::uint32_t want = remaining < buffer_size ? remaining : buffer_size;
		std::uint32_t n = want;
		if (file_left != 0) {
			errno = 0;
			n = (std::uint32_t)std::fread(buffer, 1, want, stream);
			// A chunk that ends inside a word is completed by reading the
			// rest of that word straight behind it.
			if (n % 4 != 0)
				n += (std::uint32_t)std::fread(buffer + n, 1, 4 - n % 4, stream);
			if (std::ferror(stream))
				return errno != 0 ? errno : EIO;
			// Less than was asked for, while the file should still hold
			// more: it has shrunk since its size was taken.
			if (n < want && n < file_left)
				return error_unexpected_end;
			lay_over(buffer, boot_region_start + (boot_region_size - remaining), n, patch);
		}
		if (n == 0 || n % 4 != 0)
			break;
		boot_checksum_feed(&state, buffer, n / 4);
		if (file_left != 0) {
			file_left = n < file_left ? file_left - n : 0;
			if (file_left == 0)
				std::memset(buffer, 0, buffer_size);
		}
		remaining -= n;
	}

	boot_checksum_finish(&state, checksum_word_1, checksum_word_2);
	return 0;
}

int compute_boot_checksum(std::FILE* stream, std::uint32_t file_left,
                          std::uint32_t* checksum_word_1, std::uint32_t* checksum_word_2)
{
	std::uint8_t buffer[work_buffer_size];
	return compute_patched_boot_checksum(stream, file_left, byte_patch{0, nullptr, 0}, buffer,
	                                     work_buffer_size, checksum_word_1, checksum_word_2);
}

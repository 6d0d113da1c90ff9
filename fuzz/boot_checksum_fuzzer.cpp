// Differential fuzzing of the streaming boot checksum: the tool's
// computation, reading through a stream that hands out the file in chunks
// of fuzzer-chosen sizes, must agree with a plain computation over the
// whole file in memory, for files of every length the tool accepts; and a
// file that ends early or fails to read inside the data region must give
// an error, never a checksum.
//
// Input, all numbers little-endian:
//   0      how to pick the file length: small, around 1 MiB, anything, or
//          a length the tool never passes (only checked for safety)
//   1..4   the number the length is picked from
//   5      0 an intact file, 1 a file that shrank, 2 a read error
//   6..9   where the file ends or the error strikes
//   10     stream buffering: 0 the default, 1 none, 2 a buffer of the size
//          that byte 11 picks
//   11     buffer size, in 64-byte steps
//   12     how many chunk sizes follow, then one byte for each
//   ...    the file's content, repeated to its length
#include "boot_checksum.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static const std::size_t region_size = 0x100000;

// The checksum of the region, given the file's bytes from the region's
// start on: word by word, the rotation read off the word written twice
// side by side, 64-bit arithmetic to see the carry.  It is left out of the
// coverage instrumentation, which would only slow it down.
__attribute__((no_sanitize("coverage"))) static void plain_checksum(const std::vector<std::uint8_t>& file, std::uint32_t* word_1,
                           std::uint32_t* word_2)
{
	std::uint32_t sum = 0xF8CA4DDC, carries = 0xF8CA4DDC, xor_words = 0xF8CA4DDC;
	std::uint32_t rot_sum = 0xF8CA4DDC, cond_xor = 0xF8CA4DDC, mix_sum = 0xF8CA4DDC;
	for (std::size_t at = 0; at < region_size; at += 4) {
		std::uint32_t w = 0;
		for (std::size_t k = 0; k < 4; k++)
			w = w * 256 + (at + k < file.size() ? file[at + k] : 0);
		std::uint64_t wide = (std::uint64_t)sum + w;
		if (wide > 0xFFFFFFFFu)
			carries = carries + 1;
		sum = (std::uint32_t)wide;
		xor_words = xor_words ^ w;
		std::uint64_t twice = (std::uint64_t)w << 32 | w;
		std::uint32_t r = (std::uint32_t)(twice >> (32 - w % 32));
		rot_sum = rot_sum + r;
		if (w < cond_xor)
			cond_xor = cond_xor ^ r;
		else
			cond_xor = cond_xor ^ (sum ^ w);
		mix_sum = mix_sum + (rot_sum ^ w);
	}
	*word_1 = sum ^ carries ^ xor_words;
	*word_2 = rot_sum ^ cond_xor ^ mix_sum;
}

// A stream over the file that returns at most one chunk size per read, in
// turn, and stops with an end of file or an error where the input says.
struct chunked_file {
	const std::vector<std::uint8_t>* bytes;
	std::size_t position;
	std::size_t end;         // reads end here
	std::size_t error_at;    // a read from here on fails
	std::vector<std::size_t> chunks;
	std::size_t next_chunk;
};

static ssize_t read_chunk(void* cookie, char* buffer, std::size_t size)
{
	chunked_file* f = static_cast<chunked_file*>(cookie);
	if (f->position >= f->error_at) {
		errno = EIO;
		return -1;
	}
	std::size_t n = size;
	if (!f->chunks.empty()) {
		std::size_t chunk = f->chunks[f->next_chunk++ % f->chunks.size()];
		if (n > chunk)
			n = chunk;
	}
	std::size_t limit = f->error_at < f->end ? f->error_at : f->end;
	if (n > limit - f->position)
		n = limit - f->position;
	std::memcpy(buffer, f->bytes->data() + f->position, n);
	f->position += n;
	return (ssize_t)n;
}

// The file's content: the payload over and over, or zeros without one.
// Like the plain computation it is kept out of the coverage instrumentation.
__attribute__((no_sanitize("coverage"))) static std::vector<std::uint8_t>
repeat(const std::uint8_t* payload, std::size_t payload_size, std::size_t length)
{
	std::vector<std::uint8_t> content(length);
	for (std::size_t i = 0; i < length && payload_size > 0; i++)
		content[i] = payload[i % payload_size];
	return content;
}

static std::uint32_t little_endian(const std::uint8_t* p)
{
	return (std::uint32_t)p[0] | (std::uint32_t)p[1] << 8 | (std::uint32_t)p[2] << 16 |
	       (std::uint32_t)p[3] << 24;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
	if (size < 13)
		return 0;
	std::uint32_t pick = little_endian(data + 1);
	std::uint32_t fault_at = little_endian(data + 6);
	std::size_t chunk_count = data[12];
	if (size < 13 + chunk_count)
		return 0;

	// Lengths below the region must be whole words; the size rules make
	// sure the tool never passes any other.
	std::size_t file_left = 0;
	bool checked = true;
	switch (data[0] % 4) {
	case 0:
		file_left = (pick % 0x9000) & ~(std::size_t)3;
		break;
	case 1:
		file_left = region_size - 0x40 + pick % 0x80;
		break;
	case 2:
		file_left = pick % 0x120000;
		break;
	default:
		file_left = pick % 0x120000;
		checked = false;
		break;
	}
	if (file_left < region_size)
		file_left &= checked ? ~(std::size_t)3 : ~(std::size_t)0;

	chunked_file f;
	std::vector<std::uint8_t> content =
	    repeat(data + 13 + chunk_count, size - 13 - chunk_count, file_left);
	f.bytes = &content;
	f.position = 0;
	f.end = file_left;
	f.error_at = (std::size_t)-1;
	if (data[5] == 1)
		f.end = fault_at % (file_left + 1);
	else if (data[5] == 2)
		f.error_at = fault_at % (file_left + 1);
	for (std::size_t k = 0; k < chunk_count; k++) {
		std::uint8_t b = data[13 + k];
		f.chunks.push_back(b < 128 ? (std::size_t)b + 1 : (std::size_t)(b - 127) * 512);
	}
	f.next_chunk = 0;

	cookie_io_functions_t io = {read_chunk, nullptr, nullptr, nullptr};
	std::FILE* stream = fopencookie(&f, "rb", io);
	if (stream == nullptr)
		return 0;
	if (data[10] == 1)
		std::setvbuf(stream, nullptr, _IONBF, 0);
	else if (data[10] == 2)
		std::setvbuf(stream, nullptr, _IOFBF, ((std::size_t)data[11] + 1) * 64);

	std::uint32_t word_1 = 0;
	std::uint32_t word_2 = 0;
	int error = compute_boot_checksum(stream, (std::uint32_t)file_left, &word_1, &word_2);
	std::fclose(stream);
	if (!checked)
		return 0;

	// Only the bytes of the region are needed; a fault past them may or may
	// not be seen, a fault among them must be.
	std::size_t needed = file_left < region_size ? file_left : region_size;
	bool fault_in_region = (data[5] == 1 && f.end < needed) ||
	                       (data[5] == 2 && f.error_at < needed);
	if (fault_in_region) {
		if (error == 0)
			std::abort();
		return 0;
	}
	if (error != 0) {
		if (data[5] == 2)
			return 0;
		std::abort();
	}
	std::uint32_t plain_1 = 0;
	std::uint32_t plain_2 = 0;
	plain_checksum(content, &plain_1, &plain_2);
	if (word_1 != plain_1 || word_2 != plain_2)
		std::abort();
	return 0;
}

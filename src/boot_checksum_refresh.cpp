// The patcher's last phase: the boot checksum of the patched image on disk,
// computed, shown, and written into its header where it is not there
// already.
#include "boot_checksum.h"

#include "platform.h"

#include <cerrno>
#include <cstring>
#include <string>

static const char image_name[] = "OS64.v64";

// Reports a failure of this phase on standard error, after whatever
// standard output holds so far, so that the two read in order on a console.
static void report(const std::string& message)
{
	std::fflush(stdout);
	std::fprintf(stderr, "error: %s\n", message.c_str());
}

int refresh_boot_checksum()
{
	std::FILE* image = nullptr;
	std::uint64_t size = 0;
	int error = open_regular_file(image_name, true, &image, &size);
	if (error != 0) {
		report("could not reopen OS64.v64 to update its checksum: " +
		       platform_error_text(error));
		return 1;
	}
	std::string problem = boot_checksum_size_problem(size);
	if (!problem.empty()) {
		std::fclose(image);
		report(problem);
		return 1;
	}

	std::uint64_t after_header = size - boot_region_start;
	std::uint32_t file_left = after_header > 0xFFFFFFFFu ? 0xFFFFFFFFu : (std::uint32_t)after_header;
	std::uint32_t word_1 = 0;
	std::uint32_t word_2 = 0;
	if (std::fseek(image, boot_region_start, SEEK_SET) != 0)
		error = errno;
	else
		error = compute_boot_checksum(image, file_left, &word_1, &word_2);
	if (error != 0) {
		std::fclose(image);
		report("could not read OS64.v64 to compute its checksum: " +
		       platform_error_text(error));
		return 1;
	}

	std::uint8_t bytes[8];
	store_big_endian(bytes, word_1);
	store_big_endian(bytes + 4, word_2);
	std::printf("Calculated Checksum: %02X %02X %02X %02X  ", bytes[0], bytes[1], bytes[2],
	            bytes[3]);
	std::printf("%02X %02X %02X %02X\n", bytes[4], bytes[5], bytes[6], bytes[7]);

	// The patch run puts the checksum into the image before the image takes
	// its name, so the header normally holds it already, and on disk: then
	// nothing is written.  A header that holds other words, or that cannot
	// be read back, is written.  The write counts only once it has reached
	// the disk: the byte count, the flush, the sync and the close must all
	// succeed.
	std::uint8_t stored[sizeof bytes];
	bool written = std::fseek(image, boot_checksum_offset, SEEK_SET) == 0 &&
	               std::fread(stored, 1, sizeof stored, image) == sizeof stored &&
	               std::memcmp(stored, bytes, sizeof bytes) == 0;
	if (!written)
		written = std::fseek(image, boot_checksum_offset, SEEK_SET) == 0 &&
		          std::fwrite(bytes, 1, sizeof bytes, image) == sizeof bytes &&
		          sync_stream(image) == 0;
	if (close_stream(image) != 0)
		written = false;
	if (!written) {
		std::fflush(stdout);
		std::fputs("Could not write new checksum to file!\n", stderr);
		return 1;
	}
	std::puts("New checksum successfully written.");
	std::puts("done...");
	return 0;
}

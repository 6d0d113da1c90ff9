// os64-fontpatch: replaces the built-in 8x8 font of the cartridge menu image
// "OS64.v64" in the current folder with the font file named on the command
// line, keeps the unpatched image as "OS64.bak", and refreshes the image's
// boot checksum.
//
// Every failure prints a line beginning "error: ", followed by a second
// one where the reason is worth telling, and ends the run with exit
// status 1.  Nothing on disk changes until the patched image, its boot
// checksum included, has been written in full to a temporary file beside
// the image and synced; the backup and the move into place follow, each in
// one atomic step.  So "OS64.v64" always holds an image the console boots:
// the original, or the patched one under its own checksum.
#include "boot_checksum.h"
#include "font_files.h"
#include "font_patch.h"
#include "image_copy.h"
#include "platform.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#ifndef OS64_FONTPATCH_VERSION
#define OS64_FONTPATCH_VERSION "unknown"
#endif

static const char image_name[] = "OS64.v64";
static const char backup_name[] = "OS64.bak";

// Prints a message from the patch steps, each of its lines as an error line
// of its own.
static void print_error(std::string_view message)
{
	for (;;) {
		std::size_t end = message.find('\n');
		std::printf("error: %.*s\n", (int)message.substr(0, end).size(), message.data());
		if (end == std::string_view::npos)
			return;
		message.remove_prefix(end + 1);
	}
}

// The run goes on past an existing "OS64.bak" only when that file can be
// the backup of an image: a regular file with something in it.  An empty
// one is what a run leaves when it is killed after claiming the name on a
// file system without hard links, and patching on would then leave the
// original nowhere.  Otherwise *reason says why the file is no backup.
static bool existing_backup_keeps_image(std::string* reason)
{
	std::FILE* file = nullptr;
	std::uint64_t size = 0;
	int error = open_regular_file(backup_name, false, &file, &size);
	if (error != 0) {
		*reason = platform_error_text(error);
		return false;
	}
	std::fclose(file);
	if (size == 0) {
		*reason = "it is empty";
		return false;
	}
	return true;
}

int main(int argc, char** argv)
{
	platform_start(&argc, &argv);
	std::printf("OS64 font patcher %s\n\n", OS64_FONTPATCH_VERSION);

	std::FILE* image = nullptr;
	std::uint64_t size = 0;
	int error = open_regular_file(image_name, false, &image, &size);
	if (error != 0) {
		std::printf("error: Faild to open OS64.v64: %s\n", platform_error_text(error).c_str());
		return 1;
	}
	std::puts("OS64.v64 found");
	std::string problem = image_size_problem(size);
	if (!problem.empty()) {
		std::fclose(image);
		print_error(problem);
		return 1;
	}
	std::uint32_t image_length = (std::uint32_t)size;
	std::printf("OS size: %d\n", (int)image_length);

	if (argc < 2) {
		std::puts("error: Supply fontname.pf as parameter");
		return 1;
	}
	const char* font_path = argv[1];
	std::FILE* file = nullptr;
	error = open_regular_file(font_path, false, &file, &size);
	if (error != 0) {
		std::printf("error: Faild to open %s: %s\n", font_path, platform_error_text(error).c_str());
		return 1;
	}
	std::printf("%s found\n", font_path);
	std::printf("new font size: %llu... ", (unsigned long long)size);
	problem = font_size_problem(size);
	if (!problem.empty()) {
		std::fclose(file);
		print_error(problem);
		return 1;
	}
	std::puts("ok!");
	std::vector<std::uint8_t> font;
	error = read_and_close(file, size, &font);
	if (error != 0) {
		std::printf("error: could not read %s: %s\n", font_path, platform_error_text(error).c_str());
		return 1;
	}

	// The copy of the image starts first, so that the disk writes it while
	// the search reads the image.  A run that goes no further removes it.
	image_copy copy;
	error = start_image_copy(image_name, image, image_length, &copy);
	font_search search;
	if (error == 0)
		error = find_font_signature(image, image_length, &copy, &search);
	if (error != 0) {
		discard_image_copy(&copy);
		std::printf("error: could not read OS64.v64: %s\n", platform_error_text(error).c_str());
		return 1;
	}
	if (!search.found) {
		discard_image_copy(&copy);
		print_error(font_not_found_problem(search.head, search.head_length));
		return 1;
	}
	std::uint32_t font_length = (std::uint32_t)font.size();
	problem = font_fit_problem(search.offset, font_length, image_length);
	if (!problem.empty()) {
		discard_image_copy(&copy);
		print_error(problem);
		return 1;
	}

	error = finish_image_copy(&copy, image, image_length,
	                          byte_patch{search.offset, font.data(), font_length});
	std::fclose(image);
	if (error != 0) {
		if (copy.failed_step == copy_step::read)
			std::printf("error: could not read OS64.v64: %s\n", platform_error_text(error).c_str());
		else
			std::printf("error: could not %s the patched image %s: %s\n",
			            copy.failed_step == copy_step::create ? "create" : "write",
			            copy.temp_path.empty() ? "beside OS64.v64" : copy.temp_path.c_str(),
			            platform_error_text(error).c_str());
		return 1;
	}
	const std::string& temp_path = copy.temp_path;

	// The backup never replaces an existing one.  An existing backup is the
	// one failure the run goes on after, as long as it is a file that can
	// keep an original.  Any other failure would leave the original only in
	// the file about to be replaced, so the run stops.
	error = rename_no_replace(image_name, backup_name);
	bool backed_up = error == 0;
	if (error != 0) {
		std::puts("error: backup error");
		std::string reason;
		bool keeps_original = false;
		if (error == EEXIST) {
			keeps_original = existing_backup_keeps_image(&reason);
			if (!keeps_original)
				std::printf("error: OS64.bak holds no image to keep as the backup (%s); "
				            "move it away and run again\n",
				            reason.c_str());
		} else {
			std::printf("error: could not rename OS64.v64 to OS64.bak: %s\n",
			            platform_error_text(error).c_str());
		}
		if (!keeps_original) {
			remove_file(temp_path.c_str());
			return 1;
		}
	}

	error = replace_file(temp_path.c_str(), image_name);
	if (error != 0) {
		int restore_error = backed_up ? rename_no_replace(backup_name, image_name) : 0;
		remove_file(temp_path.c_str());
		std::printf("error: could not move the patched image into place as OS64.v64: %s%s\n",
		            platform_error_text(error).c_str(),
		            restore_error != 0 ? " (the original image is in OS64.bak)" : "");
		return 1;
	}
	error = sync_folder_of(image_name);
	if (error != 0) {
		std::printf("error: could not sync the folder of OS64.v64 to disk: %s\n",
		            platform_error_text(error).c_str());
		return 1;
	}
	std::puts("file patched!");

	return refresh_boot_checksum();
}

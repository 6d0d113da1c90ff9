// Writes the sample cartridge menu image and sample font, for the demo and
// the tests.
//
// usage: os64-make-demo IMAGE FONT
#include "demo_image.h"
#include "font_files.h"
#include "platform.h"

#include <cstdint>
#include <cstdio>
#include <vector>

// Writes a whole file, saying on standard error why it could not.
static bool write_file(const char* path, const std::vector<std::uint8_t>& bytes)
{
	int error = write_output_file(path, bytes, true);
	if (error != 0)
		std::fprintf(stderr, "%s: %s\n", path, platform_error_text(error).c_str());
	return error == 0;
}

int main(int argc, char** argv)
{
	if (argc != 3) {
		std::fputs("usage: os64-make-demo IMAGE FONT\n", stderr);
		return 2;
	}

	std::vector<std::uint8_t> image;
	std::vector<std::uint8_t> font;
	make_demo(&image, &font);
	return write_file(argv[1], image) && write_file(argv[2], font) ? 0 : 1;
}

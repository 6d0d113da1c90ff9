// Writes a benchmark image of a given size in MiB, 1.5 say, and a 2048-byte
// font, for timing whole patch runs.
//
// usage: os64-bench-image MIB IMAGE FONT
#include "bench_image.h"

#include "font_files.h"
#include "font_table.h"
#include "platform.h"

#include <cstdio>
#include <cstdlib>
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
	double mib = argc == 4 ? std::strtod(argv[1], nullptr) : 0;
	if (!(mib >= 1 && mib <= 1024)) {
		std::fputs("usage: os64-bench-image MIB IMAGE FONT  (MIB from 1 to 1024, 1.5 say)\n",
		           stderr);
		return 2;
	}
	std::uint32_t offset = 0;
	std::vector<std::uint8_t> image = make_bench_image((std::uint32_t)(mib * 0x100000), &offset);
	// The new font: the built-in one turned upside down, glyph by glyph.
	std::vector<std::uint8_t> font(font_table_size);
	for (std::uint32_t i = 0; i < font_table_size; i++)
		font[i] = image[offset + (i & ~7u) + (7 - i % 8)];
	std::printf("%s: %g MiB, built-in font at 0x%x\n", argv[2], mib, (unsigned)offset);
	return write_file(argv[2], image) && write_file(argv[3], font) ? 0 : 1;
}

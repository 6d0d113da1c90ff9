// Fuzzing of the font import, which reads files from strangers: every
// format os64-font and the page read (PSF fonts, the fonts FreeType reads,
// gzip, PNG glyph sheets and raw tables) with the import's options, and
// glyph sheets as the pixels the page hands over.  Beyond what the
// sanitizers catch, a result must be what the import promises: a failure
// says why; a table has 2048 bytes, names the slots it lacks in order and
// fills them from --fill; and it comes back unchanged from its glyph sheet,
// as os64-font export and import promise, and from its own glyphs.
//
// Input, first byte:
//   bit 7 clear: a font file, the rest of the input; bits 0-2 pick the
//                --codepage, bit 3 asks for --fill, bits 4-6 pick the --size
//   bit 7 set:   a picture of a glyph sheet: byte 1 picks its size, bytes
//                2-5 and 6-9 are the RGBA colours of a clear and a set
//                pixel, and the bits from byte 10 on, the most significant
//                first, say which pixels are set, row by row, repeated to
//                the picture's end
#include "demo_font.h"
#include "font_decode.h"
#include "font_sheet.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

static const char* const codepages[8] = {
	"", "CP437", "CP850", "ISO-8859-1", "KOI8-R", "CP1252", "NO-SUCH-CODE-PAGE", "UTF-8",
};
static const unsigned sizes[8] = {0, 1, 4, 6, 8, 12, 16, 64};

// Square sheets of scale 1 to 3 with and without grid lines, sizes just
// off them, and one that is not square.
static const std::uint32_t picture_sizes[9][2] = {
	{128, 128}, {145, 145}, {256, 256}, {273, 273}, {384, 384},
	{127, 127}, {146, 146}, {129, 129}, {128, 256},
};

static void check(bool condition)
{
	if (!condition)
		std::abort();
}

// What any imported table must hold.
static void check_table(const import_result& result, const std::uint8_t* fill)
{
	check(result.table.size() == 2048);
	check(!describe_import(result).empty());
	for (std::size_t i = 0; i < result.missing.size(); i++) {
		unsigned slot = result.missing[i];
		check(slot >= 1 && slot <= 255 && (i == 0 || slot > result.missing[i - 1]));
		if (fill != nullptr)
			check(std::memcmp(&result.table[slot * 8], fill + slot * 8, 8) == 0);
	}

	// Drawn as a glyph sheet and read back, and read as the glyphs of a raw
	// table, it stays the same.  The sheet is handed over as pixels, as the
	// page does: encoding it as a PNG would take most of the time of a run.
	unsigned size = 0;
	byte_buffer grey = draw_sheet(result.table.data(), 1, false, &size);
	byte_buffer rgba(grey.size() * 4, 0xFF);
	for (std::size_t i = 0; i < grey.size(); i++)
		std::memset(&rgba[i * 4], grey[i], 3);
	std::string error;
	import_result again;
	check(import_sheet_pixels(rgba.data(), size, size, import_options(), &again, &error));
	check(again.table == result.table && again.missing.empty());
	import_result raw;
	check(import_glyphs(table_source(result.table.data(), "font table"), import_options(), &raw,
	                    &error));
	check(raw.table == result.table && raw.missing.empty());
}

static void import_picture(const std::uint8_t* data, std::size_t size)
{
	const std::uint32_t* dimensions = picture_sizes[data[1] % 9];
	std::uint32_t width = dimensions[0], height = dimensions[1];
	const std::uint8_t* colours = data + 2;
	const std::uint8_t* bits = data + 10;
	std::size_t bit_count = (size - 10) * 8;
	byte_buffer rgba((std::size_t)width * height * 4);
	for (std::size_t pixel = 0; pixel < (std::size_t)width * height; pixel++) {
		std::size_t bit = bit_count == 0 ? 0 : pixel % bit_count;
		bool set = bit_count != 0 && (bits[bit / 8] >> (7 - bit % 8)) & 1;
		std::memcpy(&rgba[pixel * 4], colours + (set ? 4 : 0), 4);
	}
	import_result result;
	std::string error;
	if (import_sheet_pixels(rgba.data(), width, height, import_options(), &result, &error))
		check_table(result, nullptr);
	else
		check(!error.empty());
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
	if (size < 1)
		return 0;
	if (data[0] & 0x80) {
		if (size >= 10)
			import_picture(data, size);
		return 0;
	}
	std::uint8_t fill[2048];
	draw_demo_font(demo_font_style::bold, fill);
	import_options options;
	options.codepage = codepages[data[0] & 7];
	options.fill = (data[0] & 8) ? fill : nullptr;
	options.size = sizes[data[0] >> 4 & 7];
	byte_buffer file(data + 1, data + size);
	import_result result;
	std::string error;
	if (import_font(file, options, &result, &error))
		check_table(result, options.fill);
	else
		check(!error.empty());
	return 0;
}

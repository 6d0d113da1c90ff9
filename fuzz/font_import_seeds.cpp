// Writes the seeds of the font import fuzzer, in its input format, made
// from the sample fonts: raw tables, PSF1 and PSF2 fonts with and without
// Unicode tables, a BDF font, PNG glyph sheets and pictures of sheets.
// fuzz/run adds what needs a tool (gzip, PCF, OTB, TrueType, OpenType) and
// real fonts of installed packages (console, X11 and Windows fonts).
//
// usage: fuzz_font_import_seeds FOLDER
#include "demo_font.h"
#include "font_codepage.h"
#include "font_png.h"
#include "font_sheet.h"

#include <cstdio>
#include <cstring>
#include <string>

// Writes one seed into the folder: the first byte of the input, then the
// file.
static bool seed(const std::string& folder, const char* name, std::uint8_t first,
                 const byte_buffer& file)
{
	std::string path = folder + "/" + name;
	std::FILE* out = std::fopen(path.c_str(), "wb");
	bool ok = out != nullptr && std::fputc(first, out) != EOF &&
	          std::fwrite(file.data(), 1, file.size(), out) == file.size();
	if (out != nullptr && std::fclose(out) != 0)
		ok = false;
	if (!ok)
		std::perror(path.c_str());
	return ok;
}

static void put_16(byte_buffer* out, unsigned value)
{
	out->push_back((std::uint8_t)value);
	out->push_back((std::uint8_t)(value >> 8));
}

static void put_32(byte_buffer* out, std::uint32_t value)
{
	put_16(out, value & 0xFFFF);
	put_16(out, value >> 16);
}

// A PSF2 font of count glyphs width pixels wide, cut from the left of the
// table's glyphs, with a Unicode table in code page 437 when asked.
static byte_buffer psf2(const std::uint8_t* table, unsigned count, unsigned width, bool unicode,
                        const codepage_chars cp437)
{
	byte_buffer out = {0x72, 0xB5, 0x4A, 0x86};
	for (std::uint32_t value : {0u, 32u, unicode ? 1u : 0u, count, 8u, 8u, width})
		put_32(&out, value);
	std::uint8_t mask = (std::uint8_t)(0xFF00 >> width);
	for (unsigned i = 0; i < count * 8; i++)
		out.push_back(table[i] & mask);
	for (unsigned slot = 0; unicode && slot < count; slot++) {
		std::string text = slot == 0 ? "" : encode_utf8(cp437[slot]);
		out.insert(out.end(), text.begin(), text.end());
		out.push_back(0xFF);
	}
	return out;
}

// A PSF1 font of 256 glyphs with a Unicode table in code page 437; the
// entry of é also names e followed by a combining acute accent.
static byte_buffer psf1(const std::uint8_t* table, const codepage_chars cp437)
{
	byte_buffer out = {0x36, 0x04, 0x02, 8};
	out.insert(out.end(), table, table + 2048);
	for (unsigned slot = 0; slot < 256; slot++) {
		if (slot != 0)
			put_16(&out, cp437[slot]);
		if (slot == 0x82) {
			put_16(&out, 0xFFFE);
			put_16(&out, 'e');
			put_16(&out, 0x0301);
		}
		put_16(&out, 0xFFFF);
	}
	return out;
}

// A BDF font whose glyphs are known by their Unicode code points.
static byte_buffer bdf(const std::uint8_t* table, const codepage_chars cp437)
{
	std::string text = "STARTFONT 2.1\nFONT -sample-light-medium-r-normal--8-80-75-75-c-80-iso10646-1\n"
	                   "SIZE 8 75 75\nFONTBOUNDINGBOX 8 8 0 -1\nSTARTPROPERTIES 4\n"
	                   "FONT_ASCENT 7\nFONT_DESCENT 1\nCHARSET_REGISTRY \"ISO10646\"\n"
	                   "CHARSET_ENCODING \"1\"\nENDPROPERTIES\nCHARS 255\n";
	char line[64];
	for (unsigned slot = 1; slot < 256; slot++) {
		std::snprintf(line, sizeof line, "STARTCHAR U+%04X\nENCODING %u\n", (unsigned)cp437[slot],
		              (unsigned)cp437[slot]);
		text += line;
		text += "SWIDTH 500 0\nDWIDTH 8 0\nBBX 8 8 0 -1\nBITMAP\n";
		for (unsigned row = 0; row < 8; row++) {
			std::snprintf(line, sizeof line, "%02X\n", table[slot * 8 + row]);
			text += line;
		}
		text += "ENDCHAR\n";
	}
	text += "ENDFONT\n";
	return byte_buffer(text.begin(), text.end());
}

// A picture of the table's glyph sheet in the fuzzer's own form: size,
// colours, then one bit a pixel, set where the sheet is dark.
static byte_buffer picture(const std::uint8_t* table, unsigned scale, bool grid,
                           std::uint8_t size_index)
{
	unsigned size = 0;
	byte_buffer grey = draw_sheet(table, scale, grid, &size);
	byte_buffer out = {size_index, 0xFF, 0xFF, 0xFF, 0xFF, 0x20, 0x10, 0x00, 0xFF};
	out.resize(out.size() + (grey.size() + 7) / 8, 0);
	for (std::size_t i = 0; i < grey.size(); i++)
		if (grey[i] < sheet_dark_threshold)
			out[9 + i / 8] |= (std::uint8_t)(0x80u >> i % 8);
	return out;
}

static byte_buffer png(const std::uint8_t* table, unsigned scale, bool grid)
{
	byte_buffer out;
	std::string error;
	write_sheet(table, scale, grid, &out, &error);
	return out;
}

int main(int argc, char** argv)
{
	if (argc != 2) {
		std::fputs("usage: fuzz_font_import_seeds FOLDER\n", stderr);
		return 2;
	}
	std::uint8_t bold[2048];
	std::uint8_t light[2048];
	draw_demo_font(demo_font_style::bold, bold);
	draw_demo_font(demo_font_style::light, light);
	codepage_chars cp437;
	std::string error;
	if (!cp437_characters(cp437, &error)) {
		std::fprintf(stderr, "%s\n", error.c_str());
		return 1;
	}
	byte_buffer bold_table(bold, bold + 2048);
	byte_buffer light_table(light, light + 2048);

	const std::string folder = argv[1];
	bool ok = true;
	ok = seed(folder, "table", 0x00, bold_table) && ok;
	ok = seed(folder, "table_cp850_fill", 0x0A, light_table) && ok;
	ok = seed(folder, "table_size", 0x30, light_table) && ok;
	ok = seed(folder, "psf1_unicode", 0x00, psf1(bold, cp437)) && ok;
	ok = seed(folder, "psf1_unicode_fill", 0x08, psf1(light, cp437)) && ok;
	ok = seed(folder, "psf2_unicode", 0x00, psf2(light, 256, 8, true, cp437)) && ok;
	ok = seed(folder, "psf2_6x8_fill", 0x08, psf2(bold, 128, 6, false, cp437)) && ok;
	ok = seed(folder, "psf2_koi8", 0x04, psf2(light, 256, 7, false, cp437)) && ok;
	ok = seed(folder, "bdf_unicode", 0x00, bdf(light, cp437)) && ok;
	ok = seed(folder, "sheet_png", 0x00, png(bold, 1, false)) && ok;
	ok = seed(folder, "sheet_png_grid", 0x00, png(light, 2, true)) && ok;
	ok = seed(folder, "picture", 0x80, picture(bold, 1, false, 0)) && ok;
	ok = seed(folder, "picture_grid", 0x80, picture(light, 2, true, 3)) && ok;
	return ok ? 0 : 1;
}

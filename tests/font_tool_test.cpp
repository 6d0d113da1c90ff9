// End-to-end tests of os64-font: each runs the built command in a fresh
// folder and checks its output, its exit status and every file it leaves.
#include "png_fixture.h"
#include "reference_checksum.h"
#include "run_program.h"
#include "sample_images.h"

#include "font_codepage.h"
#include "messages.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string consolefonts = "/usr/share/consolefonts/";

bytes pattern(std::size_t size, std::uint32_t seed)
{
	bytes data(size);
	for (std::size_t i = 0; i < size; i++) {
		seed = seed * 1664525u + 1013904223u;
		data[i] = (std::uint8_t)(seed >> 24);
	}
	return data;
}

std::string spaced_checksum(std::uint32_t word_1, std::uint32_t word_2)
{
	char text[40];
	std::snprintf(text, sizeof text, "%02X %02X %02X %02X  %02X %02X %02X %02X", word_1 >> 24,
	              (word_1 >> 16) & 0xFF, (word_1 >> 8) & 0xFF, word_1 & 0xFF, word_2 >> 24,
	              (word_2 >> 16) & 0xFF, (word_2 >> 8) & 0xFF, word_2 & 0xFF);
	return text;
}

std::string hex32(std::uint32_t value)
{
	char text[16];
	std::snprintf(text, sizeof text, "%08X", value);
	return text;
}

std::uint32_t boot_code_crc(const bytes& image)
{
	return (std::uint32_t)crc32(0L, &image[0x40], 0x1000 - 0x40);
}

// Sets the last four bytes of the boot code so that the CRC-32 of bytes
// 0x40 to 0xFFF becomes target.  The CRC register is run backwards from
// the target to find the table entries the four bytes must select, then
// forwards to find the bytes that select them.
void force_boot_code_crc(bytes* image, std::uint32_t target)
{
	std::uint32_t table[256];
	std::uint8_t by_top_byte[256];
	for (std::uint32_t i = 0; i < 256; i++) {
		std::uint32_t c = i;
		for (int k = 0; k < 8; k++)
			c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
		table[i] = c;
		by_top_byte[c >> 24] = (std::uint8_t)i;
	}
	std::uint32_t reg = ~target;
	std::uint8_t chosen[4];
	for (int k = 3; k >= 0; k--) {
		chosen[k] = by_top_byte[reg >> 24];
		reg = (reg ^ table[chosen[k]]) << 8;
	}
	reg = ~(std::uint32_t)crc32(0L, &(*image)[0x40], 0x1000 - 0x40 - 4);
	for (int k = 0; k < 4; k++) {
		(*image)[0x1000 - 4 + k] = (std::uint8_t)((reg ^ chosen[k]) & 0xFF);
		reg = (reg >> 8) ^ table[chosen[k]];
	}
}

// Reads a console font through zlib's gz functions, apart from the tool.
bool read_console_font(const std::string& name, bytes* data)
{
	gzFile file = gzopen((consolefonts + name).c_str(), "rb");
	if (file == nullptr)
		return false;
	std::uint8_t chunk[8192];
	int n = 0;
	while ((n = gzread(file, chunk, sizeof chunk)) > 0)
		data->insert(data->end(), chunk, chunk + n);
	gzclose(file);
	return n == 0;
}

class FontTool : public ::testing::Test {
protected:
	void SetUp() override { folder = make_scratch_folder(); }
	void TearDown() override { remove_folder(folder); }

	std::string path(const std::string& name) const { return folder + "/" + name; }
	void put(const std::string& name, const bytes& data) const { write_file(path(name), data); }
	bytes get(const std::string& name) const { return read_file(path(name)); }
	std::vector<std::string> files() const { return list_folder(folder); }

	// Runs os64-font in the language named (LANGUAGE), or in English.
	program_result run(const std::vector<std::string>& args,
	                   const std::string& language = "") const
	{
		std::vector<std::string> command = emulated_command(OS64_FONT_PATH);
		command.insert(command.end(), args.begin(), args.end());
		run_options options;
		options.environment = {"LC_ALL=C.UTF-8", "LC_MESSAGES",
		                       language.empty() ? "LANGUAGE" : "LANGUAGE=" + language};
		return run_program(folder, command, options);
	}

	// Writes the demo's sample image OS64.v64 and font demo.pf.
	void make_demo() const
	{
		std::vector<std::string> command = emulated_command(OS64_MAKE_DEMO_PATH);
		command.push_back("OS64.v64");
		command.push_back("demo.pf");
		program_result r = run_program(folder, command);
		ASSERT_EQ(r.status, 0) << r.err;
	}

	program_result patch(const std::string& font) const
	{
		return run_fontpatch(folder, {font});
	}

	// Copies a console font into the folder under its own name; false
	// when it is not installed.
	bool put_console_font(const std::string& name) const
	{
		bytes data;
		std::FILE* f = std::fopen((consolefonts + name).c_str(), "rb");
		if (f == nullptr)
			return false;
		for (int c; (c = std::fgetc(f)) != EOF;)
			data.push_back((std::uint8_t)c);
		std::fclose(f);
		put(name, data);
		return true;
	}

	void expect_refused(const std::vector<std::string>& args, const std::string& error,
	                    const std::vector<std::string>& files_after)
	{
		program_result r = run(args);
		EXPECT_EQ(r.out, "");
		EXPECT_EQ(r.err, "os64-font: " + error + "\n");
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(files(), files_after);
	}

	std::string folder;
};

#define NEED_CONSOLE_FONT(name)                                                               \
	do {                                                                                  \
		if (!put_console_font(name))                                                  \
			GTEST_SKIP() << consolefonts << name                                  \
			             << " is missing: install Debian's console-data package"; \
	} while (0)

} // namespace

// The command line

TEST_F(FontTool, HelpTexts)
{
	program_result r = run({"--help"});
	EXPECT_EQ(r.out.rfind("usage: os64-font COMMAND [OPTION...] ARGUMENT...\n", 0), 0u) << r.out;
	for (const char* command : {"import", "export", "show", "extract", "check"})
		EXPECT_NE(r.out.find(std::string("\n  ") + command + " "), std::string::npos) << command;
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(run({"-h"}).out, r.out);

	for (const char* command : {"import", "export", "show", "extract", "check"}) {
		program_result c = run({command, "--help"});
		EXPECT_EQ(c.out.rfind(std::string("usage: os64-font ") + command + " ", 0), 0u)
		        << c.out;
		EXPECT_EQ(c.err, "");
		EXPECT_EQ(c.status, 0);
		// Help wins over missing or extra operands.
		EXPECT_EQ(run({command, "a", "b", "c", "-h"}).out, c.out);
	}
	// What import says about dark pixels.
	EXPECT_NE(run({"import", "--help"}).out.find("is below 128 on a scale of 0 to 255"),
	          std::string::npos);

	r = run({"--version"});
	EXPECT_EQ(r.out, std::string("os64-font ") + OS64_FONTPATCH_VERSION + "\n");
	EXPECT_EQ(r.status, 0);
	EXPECT_TRUE(files().empty());
}

TEST_F(FontTool, UsageErrors)
{
	expect_refused({}, "no command given; see 'os64-font --help'", {});
	expect_refused({"patch"}, "unknown command 'patch'; see 'os64-font --help'", {});
	expect_refused({"import", "a.psf"},
	               "import: needs INPUT and OUTPUT.pf; see 'os64-font import --help'", {});
	expect_refused({"import", "a", "b", "c"},
	               "import: takes only INPUT and OUTPUT.pf, but was also given 'c'; see "
	               "'os64-font import --help'",
	               {});
	expect_refused({"show"}, "show: needs FONT.pf; see 'os64-font show --help'", {});
	expect_refused({"show", "f.pf", "one", "two"},
	               "show: takes only FONT.pf and one TEXT, but was also given 'two'; see "
	               "'os64-font show --help'",
	               {});
	expect_refused({"check"}, "check: needs IMAGE; see 'os64-font check --help'", {});
	expect_refused({"extract", "--force", "OS64.bak"},
	               "extract: needs IMAGE and OUTPUT.pf; see 'os64-font extract --help'", {});
	expect_refused({"export", "--scale", "0", "f.pf", "f.png"},
	               "export: --scale needs a whole number from 1 to 32, not '0'; see "
	               "'os64-font export --help'",
	               {});
	expect_refused({"export", "--scale=33", "f.pf", "f.png"},
	               "export: --scale needs a whole number from 1 to 32, not '33'; see "
	               "'os64-font export --help'",
	               {});
	expect_refused({"export", "f.pf", "f.png", "--scale"},
	               "export: --scale needs a whole number from 1 to 32; see 'os64-font "
	               "export --help'",
	               {});
	expect_refused({"show", "--columns", "2x", "f.pf"},
	               "show: --columns needs a whole number from 1 to 16, not '2x'; see "
	               "'os64-font show --help'",
	               {});
	// Options belong to their commands.
	expect_refused({"check", "--force", "OS64.v64"},
	               "check: unknown option '--force'; see 'os64-font check --help'", {});
	expect_refused({"import", "--grid", "a", "b"},
	               "import: unknown option '--grid'; see 'os64-font import --help'", {});
}

// import

TEST_F(FontTool, ImportsAGzippedConsoleFont)
{
	NEED_CONSOLE_FONT("iso01.f08.psf.gz");
	bytes psf;
	ASSERT_TRUE(read_console_font("iso01.f08.psf.gz", &psf));
	program_result r = run({"import", "iso01.f08.psf.gz", "iso.pf"});
	EXPECT_EQ(r.out, "iso01.f08.psf.gz: PSF1 font, gzip-compressed, 256 glyphs of 8x8, placed "
	                 "by its Unicode table\nwrote iso.pf (2048 bytes)\n");
	// An ISO 8859-1 font: no box drawing, no shades.
	EXPECT_EQ(r.err, "os64-font: warning: iso01.f08.psf.gz lacks 75 of the 255 characters of "
	                 "code page 437: U+20A7 ₧ (0x9E), U+0192 ƒ (0x9F), U+2310 ⌐ (0xA9), U+2591 "
	                 "░ (0xB0), U+2592 ▒ (0xB1), U+2593 ▓ (0xB2), ...; their slots are empty\n"
	                 "os64-font: warning: iso01.f08.psf.gz has 46 characters that code page 437 "
	                 "has no slot for, which were left out: U+00A4 ¤, U+00A6 ¦, U+00A8 ¨, U+00A9 "
	                 "©, U+00AD, U+00AE ®, ...; --slots iso-8859-1 would place 41 of them\n");
	EXPECT_EQ(r.status, 0);
	// Like many console fonts, it starts with the built-in font's glyphs.
	bytes table = get("iso.pf");
	EXPECT_EQ(bytes(table.begin(), table.begin() + 32), bytes(sample_signature, sample_signature + 32));
	EXPECT_EQ(bytes(table.begin() + 0x82 * 8, table.begin() + 0x83 * 8),
	          bytes(psf.begin() + 4 + 0xE9 * 8, psf.begin() + 4 + 0xEA * 8));
	EXPECT_EQ(files(), (std::vector<std::string>{"iso.pf", "iso01.f08.psf.gz"}));
}

TEST_F(FontTool, ImportsUncompressedPsf1AndPsf2Fonts)
{
	bytes psf;
	if (!read_console_font("lat9w-08.psf.gz", &psf) || !put_console_font("lat9w-08.psf.gz"))
		GTEST_SKIP() << consolefonts << "lat9w-08.psf.gz is missing: install console-data";
	put("lat9w-08.psf", psf);
	program_result r = run({"import", "lat9w-08.psf", "a.pf"});
	EXPECT_EQ(r.out, "lat9w-08.psf: PSF1 font, 256 glyphs of 8x8, placed by its Unicode "
	                 "table\nwrote a.pf (2048 bytes)\n");
	EXPECT_EQ(r.status, 0);
	ASSERT_EQ(run({"import", "lat9w-08.psf.gz", "gz.pf"}).status, 0);
	EXPECT_EQ(get("a.pf"), get("gz.pf"));

	// Its glyphs as a PSF2 font of 300 glyphs without a Unicode table.
	bytes glyphs(psf.begin() + 4, psf.begin() + 4 + 2048);
	bytes psf2 = {0x72, 0xB5, 0x4A, 0x86, 0, 0, 0, 0, 32, 0, 0, 0, 0, 0, 0, 0,
	              44, 1, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0};
	// Room made first, which spares g++ 12 at -O3 a false -Warray-bounds.
	psf2.reserve(psf2.size() + glyphs.size() + 44 * 8 + 100);
	psf2.insert(psf2.end(), glyphs.begin(), glyphs.end());
	bytes more = pattern(44 * 8, 3);
	psf2.insert(psf2.end(), more.begin(), more.end());
	put("wide.psfu", psf2);
	r = run({"import", "wide.psfu", "b.pf"});
	EXPECT_EQ(r.out, "wide.psfu: PSF2 font, 300 glyphs of 8x8, in slot order, of which the "
	                 "first 256 are taken\nwrote b.pf (2048 bytes)\n");
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(get("b.pf"), glyphs);
}

TEST_F(FontTool, ImportRefusesMalformedInputs)
{
	put("empty.psf", bytes());
	expect_refused({"import", "empty.psf", "out.pf"}, "empty.psf: empty file", {"empty.psf"});

	bytes truncated = {0x36, 0x04, 0x00, 0x08};
	bytes glyphs = pattern(1000, 4);
	truncated.insert(truncated.end(), glyphs.begin(), glyphs.end());
	put("cut.psf", truncated);
	expect_refused({"import", "cut.psf", "out.pf"},
	               "cut.psf: truncated PSF1 font: its header promises 256 glyphs of 8 bytes "
	               "(2048 bytes), but only 1000 follow it",
	               {"cut.psf", "empty.psf"});

	png_picture picture;
	picture.width = 128;
	picture.height = 64;
	picture.color_type = PNG_COLOR_TYPE_GRAY;
	picture.samples.assign(128 * 64, 255);
	put("half.png", encode_png(picture));
	expect_refused({"import", "half.png", "out.pf"},
	               "half.png: PNG image of 128x64 pixels; a glyph sheet is 128x128 pixels or "
	               "a whole multiple of that such as 256x256, up to 4096x4096 (with grid "
	               "lines 17 more, such as 145x145)",
	               {"cut.psf", "empty.psf", "half.png"});

	expect_refused({"import", "missing.psf", "out.pf"},
	               "cannot open missing.psf: No such file or directory",
	               {"cut.psf", "empty.psf", "half.png"});
	expect_refused({"import", ".", "out.pf"}, "cannot open .: Is a directory",
	               {"cut.psf", "empty.psf", "half.png"});
}

TEST_F(FontTool, ImportRefusesFontsWithOtherGlyphSizes)
{
	NEED_CONSOLE_FONT("lat1-16.psf.gz");
	expect_refused({"import", "lat1-16.psf.gz", "out.pf"},
	               "lat1-16.psf.gz: PSF1 font: the glyphs are 8×16 pixels; the table holds 8×8",
	               {"lat1-16.psf.gz"});
	std::remove(path("lat1-16.psf.gz").c_str());
	NEED_CONSOLE_FONT("lat1-12.psf.gz");
	expect_refused({"import", "lat1-12.psf.gz", "out.pf"},
	               "lat1-12.psf.gz: PSF2 font: the glyphs are 8×12 pixels; the table holds 8×8",
	               {"lat1-12.psf.gz"});
}

// Real fonts from Debian's console-data, xfonts-base, fonts-misaki and
// fonts-dejavu-core: each character lands in its code page 437 slot, as
// the glyph the font's own file has for it (PSF) or as drawn here from the
// font's known shapes (read through FreeType).
TEST_F(FontTool, ImportPutsRealFontsCharactersInTheirSlots)
{
	struct slot_case {
		const char* font;
		std::vector<std::string> options;
		unsigned slot;
		int psf_glyph; // the glyph of the PSF font expected in the slot, or
		bytes rows;    // when -1, the rows expected
	};
	const std::string x11 = "/usr/share/fonts/X11/misc/";
	const std::string ttf = "/usr/share/fonts/truetype/";
	const slot_case cases[] = {
		{"lat0-08.psf.gz", {}, 0x82, 233, {}},                // é, by its Unicode table
		{"lat0-08.psf.gz", {}, 0xB0, 9, {}},                  // ░
		{"cp850-8x8.psf.gz", {}, 0x9B, 0x9B, {}},             // no table: slot order
		{"cp850-8x8.psf.gz", {"--codepage", "cp850"}, 0x9B, 0xBD, {}}, // ¢
		{"cp850-8x8.psf.gz", {"--codepage", "cp850"}, 0xB5, -1, bytes(8, 0)}, // ╡ lacking
		{"5x8.pcf.gz", {}, 'A', -1, {0x00, 0x60, 0x90, 0x90, 0xF0, 0x90, 0x90, 0x00}},
		{"5x8.pcf.gz", {}, 'g', -1, {0x00, 0x00, 0x00, 0x60, 0x90, 0x70, 0x10, 0x60}},
		{"5x8.pcf.gz", {}, 0xB3, -1, bytes(8, 0x20)},                       // │
		// No Unicode map: é is at 0xE9 of the font's own ISO8859-2.
		{"5x7-ISO8859-2.pcf.gz", {}, 0x82, -1, {0x20, 0x40, 0x60, 0xB0, 0xC0, 0x60, 0, 0}},
		{"misaki/misaki_gothic.ttf", {}, 'A', -1, {0x40, 0xA0, 0xA0, 0xE0, 0xA0, 0xA0, 0, 0}},
		{"misaki/misaki_gothic.ttf", {}, 0xDB, -1, bytes(8, 0xFF)},        // █
		{"dejavu/DejaVuSansMono.ttf", {"--size", "6"}, 0xDB, -1, bytes(8, 0xF0)},
	};
	std::vector<std::string> missing;
	for (const slot_case& c : cases) {
		std::string name = c.font;
		std::string from = name.find(".psf") != std::string::npos ? consolefonts + name
		                   : name.find('/') != std::string::npos  ? ttf + name
		                                                          : x11 + name;
		std::FILE* f = std::fopen(from.c_str(), "rb");
		if (f == nullptr) {
			missing.push_back(from);
			continue;
		}
		std::fclose(f);
		std::vector<std::string> args = {"import", "--force", from, "t.pf"};
		args.insert(args.end(), c.options.begin(), c.options.end());
		program_result r = run(args);
		ASSERT_EQ(r.status, 0) << name << ": " << r.err;
		bytes table = get("t.pf");
		bytes want = c.rows;
		if (c.psf_glyph >= 0) {
			bytes psf;
			ASSERT_TRUE(read_console_font(name, &psf));
			want.assign(psf.begin() + 4 + c.psf_glyph * 8, psf.begin() + 4 + c.psf_glyph * 8 + 8);
		}
		EXPECT_EQ(bytes(table.begin() + c.slot * 8, table.begin() + c.slot * 8 + 8), want)
		        << name << " slot " << c.slot;
	}

	// Fonts whose glyphs do not fit are refused, with the size they have.
	struct refusal {
		std::string font;
		std::vector<std::string> options;
		std::string error;
	};
	const refusal refusals[] = {
		{x11 + "6x13.pcf.gz", {}, "PCF font: the glyphs are 6×13 pixels; the table holds 8×8"},
		{ttf + "dejavu/DejaVuSansMono.ttf", {},
		 "TrueType font at size 8: the glyphs are 6×10 pixels; the table holds 8×8; U+2502 │ is "
		 "10 pixels tall at size 8; try --size 6"},
		// Too large at 4 pixels, yet it fits at 5: the advice looks both ways.
		{ttf + "dejavu/DejaVuSans-Bold.ttf", {"--size", "4"},
		 "TrueType font at size 4: the glyphs are 29×7 pixels; the table holds 8×8; U+03A3 Σ is "
		 "29 pixels wide at size 4; try --size 5"},
		{consolefonts + "lat0-08.psf.gz", {"--codepage", "cp850"},
		 "--codepage is for fonts that do not say which character each glyph is, and this PSF1 "
		 "font names them in its Unicode table"},
	};
	for (const refusal& c : refusals) {
		std::vector<std::string> args = {"import", c.font, "no.pf"};
		args.insert(args.end(), c.options.begin(), c.options.end());
		program_result r = run(args);
		if (r.err.find("No such file") != std::string::npos) {
			missing.push_back(c.font);
			continue;
		}
		EXPECT_EQ(r.err, "os64-font: " + c.font + ": " + c.error + "\n");
		EXPECT_EQ(r.status, 1);
	}
	EXPECT_FALSE(file_exists(path("no.pf")));
	if (!missing.empty())
		GTEST_SKIP() << "not installed: " << testing::PrintToString(missing);
}

// The characters a PSF font's Unicode table gives its 8x8 glyphs, each
// with the 8 bytes of its glyph (the first glyph where several draw one).
std::map<std::uint32_t, bytes> psf_characters(const bytes& psf)
{
	std::map<std::uint32_t, bytes> glyphs;
	bool psf2 = psf[0] == 0x72;
	auto word = [&](std::size_t at) {
		return (std::uint32_t)psf[at] | (std::uint32_t)psf[at + 1] << 8 |
		       (std::uint32_t)psf[at + 2] << 16 | (std::uint32_t)psf[at + 3] << 24;
	};
	std::size_t count = psf2 ? word(16) : (psf[2] & 1) ? 512 : 256;
	std::size_t start = psf2 ? word(8) : 4;
	std::size_t at = start + count * 8;
	for (std::size_t g = 0; g < count && at < psf.size(); g++) {
		bool sequence = false;
		for (;;) {
			std::uint32_t c;
			if (psf2) {
				if (psf[at] == 0xFF || psf[at] == 0xFE) {
					sequence = sequence || psf[at] == 0xFE;
					if (psf[at++] == 0xFF)
						break;
					continue;
				}
				unsigned length = psf[at] < 0x80 ? 1 : psf[at] < 0xE0 ? 2 : psf[at] < 0xF0 ? 3 : 4;
				c = decode_utf8(std::string(psf.begin() + (long)at,
				                            psf.begin() + (long)(at + length)))[0];
				at += length;
			} else {
				c = psf[at] | psf[at + 1] << 8;
				at += 2;
				if (c == 0xFFFF)
					break;
				if (c == 0xFFFE) {
					sequence = true;
					continue;
				}
			}
			if (!sequence)
				glyphs.emplace(c, bytes(psf.begin() + (long)(start + g * 8),
				                        psf.begin() + (long)(start + g * 8 + 8)));
		}
	}
	return glyphs;
}

// The characters of a font's Unicode character map, through FreeType.
std::map<std::uint32_t, bytes> freetype_characters(const std::string& path)
{
	std::map<std::uint32_t, bytes> characters;
	FT_Library library = nullptr;
	FT_Face face = nullptr;
	if (FT_Init_FreeType(&library) == 0 && FT_New_Face(library, path.c_str(), 0, &face) == 0 &&
	    FT_Select_Charmap(face, FT_ENCODING_UNICODE) == 0) {
		FT_UInt index = 0;
		for (FT_ULong c = FT_Get_First_Char(face, &index); index != 0;
		     c = FT_Get_Next_Char(face, c, &index))
			characters.emplace((std::uint32_t)c, bytes());
	}
	if (face != nullptr)
		FT_Done_Face(face);
	FT_Done_FreeType(library);
	return characters;
}

// Real fonts in the code pages of their scripts: every character of the
// code page the font has lands in its slot, the report of what the font
// lacks and of what the code page leaves out counts and begins with
// exactly those characters, and it names the code page that would place
// more of the font.
TEST_F(FontTool, ImportPlacesRealFontsInTheCodePagesOfTheirScripts)
{
	struct script_case {
		std::string font;
		std::string slots;      // --slots, or empty for none
		std::string suggestion; // the code page the report names, or empty
	};
	const std::string x11 = "/usr/share/fonts/X11/misc/";
	const std::string misaki = "/usr/share/fonts/truetype/misaki/misaki_gothic.ttf";
	const script_case cases[] = {
		{consolefonts + "Cyr_a8x8.psf.gz", "", "koi8-r"},
		{consolefonts + "Cyr_a8x8.psf.gz", "koi8-r", ""},
		{consolefonts + "koi8u_8x8.psf.gz", "koi8-u", ""},
		{consolefonts + "iso05.f08.psf.gz", "cp866", "windows-1251"},
		{consolefonts + "iso08.f08.psf.gz", "", "iso-8859-8"},
		{consolefonts + "iso08.f08.psf.gz", "iso-8859-8", ""},
		{consolefonts + "iso07.f08.psf.gz", "cp737", "windows-1253"},
		{consolefonts + "iso07.f08.psf.gz", "windows-1253", ""},
		{consolefonts + "iso02.f08.psf.gz", "iso-8859-2", ""},
		{x11 + "5x8.pcf.gz", "cp866", ""},
		{misaki, "", "jis-x0201"},
		{misaki, "jis-x0201", ""},
	};
	std::vector<std::string> missing_fonts;
	for (const script_case& c : cases) {
		bytes font;
		std::map<std::uint32_t, bytes> has;
		if (c.font.find(".psf") != std::string::npos) {
			std::string name = c.font.substr(consolefonts.size());
			if (!read_console_font(name, &font)) {
				missing_fonts.push_back(c.font);
				continue;
			}
			has = psf_characters(font);
		} else {
			has = freetype_characters(c.font);
			if (has.empty()) {
				missing_fonts.push_back(c.font);
				continue;
			}
		}
		std::vector<std::string> args = {"import", "--force", c.font, "t.pf"};
		if (!c.slots.empty())
			args.insert(args.end(), {"--slots", c.slots});
		program_result r = run(args);
		ASSERT_EQ(r.status, 0) << c.font << ": " << r.err;
		bytes table = get("t.pf");
		slots_codepage page;
		std::string error;
		ASSERT_TRUE(menu_codepage(c.slots, &page, &error)) << error;

		std::vector<unsigned> lacked;
		for (unsigned slot = 1; slot < 256; slot++) {
			auto found = has.find(page.chars[slot]);
			if (page.chars[slot] != 0 && found == has.end()) {
				lacked.push_back(slot);
			} else if (found != has.end() && !found->second.empty()) {
				EXPECT_EQ(bytes(table.begin() + slot * 8, table.begin() + slot * 8 + 8),
				          found->second) << c.font << " " << c.slots << " slot " << slot;
			}
		}
		std::vector<std::uint32_t> left_out;
		for (const auto& character : has)
			if (character.first >= 0x20 && !(character.first >= 0x7F && character.first <= 0x9F) &&
			    slot_of(page.chars, character.first) < 0)
				left_out.push_back(character.first);

		std::string what = c.font + " " + c.slots;
		std::string lacks = "os64-font: warning: " + c.font + " lacks " +
		                    std::to_string(lacked.size()) + " of the " +
		                    std::to_string(page.size) + " characters of " + page.title + ": ";
		for (std::size_t i = 0; i < lacked.size() && i < 6; i++) {
			char slot[16];
			std::snprintf(slot, sizeof slot, " (0x%02X)", lacked[i]);
			lacks += (i > 0 ? ", " : "") + describe_character(page.chars[lacked[i]]) + slot;
		}
		std::string leaves = "os64-font: warning: " + c.font + " has " +
		                     std::to_string(left_out.size()) + " characters that " + page.title +
		                     " has no slot for, which were left out: ";
		for (std::size_t i = 0; i < left_out.size() && i < 6; i++)
			leaves += (i > 0 ? ", " : "") + describe_character(left_out[i]);
		if (left_out.size() > 6)
			leaves += ", ...";
		if (!c.suggestion.empty()) {
			slots_codepage better;
			ASSERT_TRUE(menu_codepage(c.suggestion, &better, &error)) << error;
			std::size_t places = std::count_if(left_out.begin(), left_out.end(),
			        [&](std::uint32_t ch) { return slot_of(better.chars, ch) >= 0; });
			leaves += "; --slots " + c.suggestion + " would place " + std::to_string(places) +
			          " of them";
		}
		std::vector<std::string> warnings;
		for (std::size_t start = 0, end; (end = r.err.find('\n', start)) != std::string::npos;
		     start = end + 1)
			warnings.push_back(r.err.substr(start, end - start));
		ASSERT_EQ(warnings.size(), (lacked.empty() ? 0u : 1u) + (left_out.empty() ? 0u : 1u))
		        << what << ": " << r.err;
		if (!lacked.empty()) {
			EXPECT_EQ(warnings[0].substr(0, lacks.size()), lacks) << what;
		}
		if (!left_out.empty()) {
			EXPECT_EQ(warnings.back(), leaves) << what;
		}
	}
	if (!missing_fonts.empty())
		GTEST_SKIP() << "not installed: " << testing::PrintToString(missing_fonts);
}

TEST_F(FontTool, ImportsAPaletteSheet)
{
	bytes table = pattern(2048, 5);
	unsigned size = 0;
	std::vector<bool> dark = sheet_dark_pixels(table.data(), 2, true, true, &size);
	png_picture picture = sheet_picture(dark, size, PNG_COLOR_TYPE_PALETTE, 8, {{0}}, {{1}});
	picture.palette = {20, 20, 90, 250, 250, 240};
	put("drawn.png", encode_png(picture));
	program_result r = run({"import", "drawn.png", "drawn.pf"});
	EXPECT_EQ(r.out, "drawn.png: PNG glyph sheet at scale 2 with grid lines, in slot order\n"
	                 "wrote drawn.pf (2048 bytes)\n");
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(get("drawn.pf"), table);
}

// The languages of the catalogs

// What gettext's own programs make of a message in the catalogs beside
// os64-font: its translation, or with many its form for n.
std::string catalog_text(const std::string& language, const std::string& one,
                         const std::string& many = "", unsigned long n = 0)
{
	std::string program = many.empty() ? "/usr/bin/gettext" : "/usr/bin/ngettext";
	std::vector<std::string> command = {program, "-d", "os64-font", one};
	if (!many.empty())
		command.insert(command.end(), {many, std::to_string(n)});
	run_options options;
	std::string tool = OS64_FONT_PATH;
	options.environment = {"LC_ALL=C.UTF-8", "LANGUAGE=" + language,
	                       "TEXTDOMAINDIR=" + tool.substr(0, tool.rfind('/')) + "/locale"};
	return run_program("/", command, options).out;
}

// os64-font speaks the language the environment asks for, through the
// catalogs: an error, a warning in the plural form the count takes, and the
// help.  Each text is the catalog's translation, formatted as os64-font
// formats it, and not the English.
TEST_F(FontTool, SpeaksTheLanguageOfTheEnvironment)
{
	NEED_CONSOLE_FONT("iso01.f08.psf.gz");
	std::string tool = OS64_FONT_PATH;
	std::vector<std::string> untranslated;
	for (const char* language : {"de", "ja", "ru"}) {
		std::string catalog = tool.substr(0, tool.rfind('/')) + "/locale/" + language +
		                      "/LC_MESSAGES/os64-font.mo";
		if (!file_exists(catalog)) {
			untranslated.push_back(language);
			continue;
		}
		// The error, up to the system's own text of ENOENT.
		program_result r = run({"import", "nosuch.psf", "x.pf"}, language);
		std::string expected = format(catalog_text(language, "cannot open %s: %s"),
		                              {"nosuch.psf", "\x01"});
		expected = "os64-font: " + expected.substr(0, expected.find('\x01'));
		EXPECT_EQ(r.err.substr(0, expected.size()), expected) << language;
		EXPECT_EQ(r.status, 1);

		// The warning: 75 of the 255 characters, the list as in English.
		r = run({"import", "iso01.f08.psf.gz", "iso.pf"}, language);
		bytes table = get("iso.pf");
		program_result english = run({"import", "--force", "iso01.f08.psf.gz", "iso.pf"});
		EXPECT_EQ(get("iso.pf"), table) << language << ": the language changes the table";
		std::string first = english.err.substr(0, english.err.find('\n'));
		std::size_t list_at = first.find("437: ") + 5;
		std::string list = first.substr(list_at, first.find("; their slots") - list_at);
		std::string lacks = format(catalog_text(language, "%s of the %s character of %s: %s",
		                                        "%s of the %s characters of %s: %s", 255),
		                           {"75", "255", format(catalog_text(language, "code page %s"),
		                                                {"437"}),
		                            list});
		std::string warning =
		        "os64-font: " +
		        format(catalog_text(language, "warning: %s"),
		               {format(catalog_text(language, "%s lacks %s; their slots are empty",
		                                    "%s lacks %s; their slots are empty", 75),
		                       {"iso01.f08.psf.gz", lacks})});
		EXPECT_EQ(r.err.substr(0, r.err.find('\n')), warning) << language;
		EXPECT_NE(warning, first) << language;
		std::remove(path("iso.pf").c_str());

		// The help's first line.
		r = run({"--help"}, language);
		std::string usage = catalog_text(language, "usage: os64-font COMMAND [OPTION...] "
		                                           "ARGUMENT...\n\n");
		EXPECT_EQ(r.out.substr(0, usage.size()), usage) << language;
		EXPECT_NE(usage.substr(0, 6), "usage:") << language;
	}
	if (!untranslated.empty())
		GTEST_SKIP() << "no catalog built for " << testing::PrintToString(untranslated);
}

// Outputs and --force

TEST_F(FontTool, ExistingOutputsAreReplacedOnlyWithForce)
{
	bytes table = pattern(2048, 6);
	put("font.pf", table);
	bytes sheet;
	ASSERT_EQ(run({"export", "font.pf", "sheet.png"}).status, 0);
	sheet = get("sheet.png");
	bytes other = pattern(2048, 7);
	put("other.pf", other);

	// Every command that writes refuses to replace a file and leaves it as
	// it was, with no temporary file behind.
	expect_refused({"export", "other.pf", "sheet.png"},
	               "sheet.png already exists; use --force to replace it",
	               {"font.pf", "other.pf", "sheet.png"});
	EXPECT_EQ(get("sheet.png"), sheet);
	expect_refused({"import", "sheet.png", "other.pf"},
	               "other.pf already exists; use --force to replace it",
	               {"font.pf", "other.pf", "sheet.png"});
	EXPECT_EQ(get("other.pf"), other);

	bytes image = sample_filler(0x3000, 8);
	std::copy(table.begin(), table.end(), image.begin() + 0x1001);
	std::copy(sample_signature, sample_signature + 32, image.begin() + 0x1001);
	put("OS64.bak", image);
	expect_refused({"extract", "OS64.bak", "other.pf"},
	               "other.pf already exists; use --force to replace it",
	               {"OS64.bak", "font.pf", "other.pf", "sheet.png"});
	EXPECT_EQ(get("other.pf"), other);

	// With --force, anywhere among the arguments, they are replaced.
	program_result r = run({"export", "other.pf", "sheet.png", "--force"});
	EXPECT_EQ(r.status, 0) << r.err;
	EXPECT_NE(get("sheet.png"), sheet);
	r = run({"import", "--force", "sheet.png", "font.pf"});
	EXPECT_EQ(r.status, 0) << r.err;
	EXPECT_EQ(get("font.pf"), other);
	r = run({"extract", "OS64.bak", "--force", "other.pf"});
	EXPECT_EQ(r.status, 0) << r.err;
	bytes extracted = table;
	std::copy(sample_signature, sample_signature + 32, extracted.begin());
	EXPECT_EQ(get("other.pf"), extracted);
	EXPECT_EQ(files(), (std::vector<std::string>{"OS64.bak", "font.pf", "other.pf", "sheet.png"}));
}

TEST_F(FontTool, FailedConversionsWriteNothing)
{
	put("font.pf", pattern(2048, 9));
	put("bad.png", bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0});
	expect_refused({"import", "bad.png", "font.pf", "--force"},
	               "bad.png: damaged PNG image: the file ends in the middle of the image",
	               {"bad.png", "font.pf"});
	EXPECT_EQ(get("font.pf"), pattern(2048, 9));
	expect_refused({"export", "font.pf", "no/such/folder/sheet.png"},
	               "cannot write no/such/folder/sheet.png: No such file or directory",
	               {"bad.png", "font.pf"});
}

// export

TEST_F(FontTool, ExportDrawsTheSheetAndImportReadsItBack)
{
	bytes table = pattern(2048, 10);
	put("font.pf", table);
	program_result r = run({"export", "font.pf", "sheet.png"});
	EXPECT_EQ(r.out, "wrote sheet.png (128x128 pixels, scale 1)\n");
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 0);
	unsigned width = 0;
	unsigned height = 0;
	bytes pixels = decode_grey_png(get("sheet.png"), &width, &height);
	ASSERT_EQ(width, 128u);
	ASSERT_EQ(height, 128u);
	// Glyph g's row y, column x is at (g % 16 * 8 + x, g / 16 * 8 + y).
	for (unsigned glyph = 0; glyph < 256; glyph++)
		for (unsigned y = 0; y < 8; y++)
			for (unsigned x = 0; x < 8; x++) {
				bool set = (table[glyph * 8 + y] >> (7 - x)) & 1;
				std::uint8_t pixel = pixels[(glyph / 16 * 8 + y) * 128 + glyph % 16 * 8 + x];
				ASSERT_EQ(pixel, set ? 0 : 255) << glyph << " " << x << " " << y;
			}

	r = run({"import", "sheet.png", "back.pf"});
	EXPECT_EQ(r.out, "sheet.png: PNG glyph sheet at scale 1, in slot order\nwrote back.pf "
	                 "(2048 bytes)\n");
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(get("back.pf"), table);

	r = run({"export", "--grid", "--scale", "4", "font.pf", "big.png"});
	EXPECT_EQ(r.out, "wrote big.png (529x529 pixels, scale 4, with grid lines)\n");
	EXPECT_EQ(r.status, 0);
	decode_grey_png(get("big.png"), &width, &height);
	EXPECT_EQ(width, 529u);
	r = run({"import", "big.png", "back4.pf"});
	EXPECT_EQ(r.out, "big.png: PNG glyph sheet at scale 4 with grid lines, in slot order\n"
	                 "wrote back4.pf (2048 bytes)\n");
	EXPECT_EQ(get("back4.pf"), table);
	EXPECT_EQ(files(), (std::vector<std::string>{"back.pf", "back4.pf", "big.png", "font.pf",
	                                             "sheet.png"}));
}

TEST_F(FontTool, ExportAndShowNeedACompleteTable)
{
	put("short.pf", pattern(2047, 11));
	expect_refused({"export", "short.pf", "s.png"},
	               "short.pf: 2047 bytes, but a font table has exactly 2048 (256 glyphs of 8 "
	               "bytes)",
	               {"short.pf"});
	put("long.pf", pattern(2049, 11));
	expect_refused({"show", "long.pf"},
	               "long.pf: 2049 bytes, but a font table has exactly 2048 (256 glyphs of 8 "
	               "bytes)",
	               {"long.pf", "short.pf"});
}

TEST_F(FontTool, ConsoleFontToTableToSheetToTable)
{
	NEED_CONSOLE_FONT("cp850-8x8.psf.gz");
	ASSERT_EQ(run({"import", "cp850-8x8.psf.gz", "a.pf"}).status, 0);
	ASSERT_EQ(run({"export", "--scale=3", "a.pf", "a.png"}).status, 0);
	ASSERT_EQ(run({"import", "a.png", "b.pf"}).status, 0);
	bytes psf;
	ASSERT_TRUE(read_console_font("cp850-8x8.psf.gz", &psf));
	EXPECT_EQ(get("a.pf"), bytes(psf.begin() + 4, psf.begin() + 4 + 2048));
	EXPECT_EQ(get("b.pf"), get("a.pf"));
}

// show

TEST_F(FontTool, ShowDrawsTextAndTheTable)
{
	bytes table(2048, 0);
	std::copy(sample_signature, sample_signature + 32, table.begin());
	const std::uint8_t h[8] = {0x66, 0x66, 0x66, 0x7E, 0x66, 0x66, 0x66, 0x00};
	const std::uint8_t i[8] = {0x3C, 0x18, 0x18, 0x18, 0x18, 0x18, 0x3C, 0x00};
	std::copy(h, h + 8, table.begin() + 'H' * 8);
	std::copy(i, i + 8, table.begin() + 'i' * 8);
	put("f.pf", table);
	program_result r = run({"show", "f.pf", "Hi"});
	EXPECT_EQ(r.out, " ██  ██   ▀██▀\n"
	                 " ██▄▄██    ██\n"
	                 " ██  ██    ██\n"
	                 " ▀▀  ▀▀   ▀▀▀▀\n");
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 0);
	// Text is UTF-8; what code page 437 lacks is a box, with a warning.
	std::copy(h, h + 8, table.begin() + 0x82 * 8);
	put("f.pf", table);
	r = run({"show", "f.pf", "é€"});
	EXPECT_EQ(r.out.substr(0, r.out.find('\n')), " ██  ██ █▀▀▀▀▀█");
	EXPECT_EQ(r.err, "os64-font: warning: 1 character of the text is not in code page 437 "
	                 "and is drawn as a box: U+20AC €\n");
	EXPECT_EQ(r.status, 0);
	// A text that starts with '-' follows "--".
	r = run({"show", "f.pf", "--", "-"});
	EXPECT_EQ(r.out, "\n\n\n\n");
	EXPECT_EQ(r.status, 0);

	r = run({"show", "f.pf"});
	EXPECT_EQ(r.status, 0);
	std::size_t lines = 0;
	for (char c : r.out)
		lines += c == '\n';
	EXPECT_EQ(lines, 81u);
	EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
	          "   0        1        2        3        4        5        6        7        8    "
	          "    9        A        B        C        D        E        F");
	EXPECT_NE(r.out.find("\n00          ▄▀▀▀▀▀▀▄ ▄██████▄ ▄██▄██▄\n"), std::string::npos);
	// Row 0x50 is empty; row 0x40 holds 'H' in its ninth cell.
	EXPECT_NE(r.out.find("\n50\n"), std::string::npos);
	EXPECT_NE(r.out.find("\n40" + std::string(1 + 8 * 9 + 1, ' ') + "██  ██\n"),
	          std::string::npos);
	r = run({"show", "--columns", "8", "f.pf"});
	EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
	          "   0        1        2        3        4        5        6        7");
	EXPECT_NE(r.out.find("\n48  ██  ██\n"), std::string::npos);
	EXPECT_EQ(files(), std::vector<std::string>{"f.pf"});
}

// Runs os64-font show on a terminal of the given width and returns its
// first line, the column heads of the table.
static std::string first_line_on_terminal(const std::string& folder, unsigned short columns)
{
	struct winsize size = {24, columns, 0, 0};
	int terminal = -1;
	pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
	if (pid == 0) {
		if (chdir(folder.c_str()) == 0)
			execl(OS64_FONT_PATH, OS64_FONT_PATH, "show", "f.pf", (char*)nullptr);
		_exit(127);
	}
	std::string out;
	char chunk[4096];
	ssize_t n = 0;
	// The terminal reports EIO once the program has ended.
	while (pid > 0 && (n = read(terminal, chunk, sizeof chunk)) > 0)
		out.append(chunk, (std::size_t)n);
	if (terminal >= 0)
		close(terminal);
	int status = 0;
	if (pid > 0)
		waitpid(pid, &status, 0);
	return out.substr(0, out.find_first_of("\r\n"));
}

TEST_F(FontTool, ShowFitsTheTableToTheTerminal)
{
	if (running_under_emulator())
		GTEST_SKIP() << "the terminal test runs the native program";
	put("f.pf", pattern(2048, 30));
	std::string heads = "   0        1        2        3";
	struct width_case {
		unsigned short columns;
		std::string heads;
	};
	for (width_case c : {width_case{146, heads + "        4        5        6        7        8"
	                                             "        9        A        B        C        D"
	                                             "        E        F"},
	                     width_case{145, heads + "        4        5        6        7"},
	                     width_case{74, heads + "        4        5        6        7"},
	                     width_case{73, heads}, width_case{20, heads}})
		EXPECT_EQ(first_line_on_terminal(folder, c.columns), c.heads) << c.columns;
}

// extract

TEST_F(FontTool, ExtractsTheBuiltInFontOfTheDemoImage)
{
	make_demo();
	bytes image = get("OS64.v64");
	program_result r = run({"extract", "OS64.v64", "builtin.pf"});
	EXPECT_EQ(r.out, "OS64.v64: built-in font at 0x2f3d1\nwrote builtin.pf (2048 bytes)\n");
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(get("builtin.pf"), bytes(image.begin() + 0x2F3D1, image.begin() + 0x2F3D1 + 2048));
	EXPECT_EQ(get("OS64.v64"), image);
}

TEST_F(FontTool, ExtractRefusesImagesWithoutACompleteTable)
{
	put("patched.v64", sample_filler(0x3000, 12));
	expect_refused({"extract", "patched.v64", "out.pf"},
	               "patched.v64: the built-in font is not in it (already patched?)",
	               {"patched.v64"});
	// The signature ends at the last byte: the table would run past it.
	bytes image = sample_filler(0x3000, 13);
	std::copy(sample_signature, sample_signature + 32, image.end() - 32);
	put("cut.v64", image);
	expect_refused({"extract", "cut.v64", "out.pf"},
	               "cut.v64: the built-in font starts at 0x2fe0, but its 2048 bytes would run "
	               "past the end of the image (12288 bytes)",
	               {"cut.v64", "patched.v64"});
	// Exactly 2048 bytes from the signature to the end are enough.
	image = sample_filler(0x3000, 13);
	std::copy(sample_signature, sample_signature + 32, image.end() - 2048);
	put("fits.v64", image);
	program_result r = run({"extract", "fits.v64", "out.pf"});
	EXPECT_EQ(r.status, 0) << r.err;
	EXPECT_EQ(get("out.pf"), bytes(image.end() - 2048, image.end()));
	put("empty.v64", bytes());
	expect_refused({"extract", "empty.v64", "e.pf"},
	               "empty.v64: the built-in font is not in it (already patched?)",
	               {"cut.v64", "empty.v64", "fits.v64", "out.pf", "patched.v64"});
}

// check

namespace {

std::string check_output(std::uint32_t stored_1, std::uint32_t stored_2, const bytes& image,
                         const std::string& verdict)
{
	reference_words computed = reference_checksum(image);
	std::uint32_t crc = boot_code_crc(image);
	return "stored checksum:   " + spaced_checksum(stored_1, stored_2) +
	       "\ncomputed checksum: " + spaced_checksum(computed.word_1, computed.word_2) + "\n" +
	       verdict + "\nboot code CRC-32:  " + hex32(crc) + ", " +
	       (crc == 0x90BB6CB5 ? "the 6102 boot code" : "not the 6102 boot code (90BB6CB5)") +
	       "\n";
}

const std::string not_6102_warning =
        "os64-font: warning: OS64.v64: the boot code is not the 6102 one, and the boot checksum "
        "computed here is only valid for that one\n";

} // namespace

TEST_F(FontTool, CheckAcceptsAGoodChecksum)
{
	bytes image = with_checksum(sample_filler(0x2000, 14));
	reference_words words = reference_checksum(image);
	put("OS64.v64", image);
	program_result r = run({"check", "OS64.v64"});
	EXPECT_EQ(r.out, check_output(words.word_1, words.word_2, image, "checksum matches"));
	EXPECT_EQ(r.err, not_6102_warning);
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(get("OS64.v64"), image);
	EXPECT_EQ(files(), std::vector<std::string>{"OS64.v64"});
}

TEST_F(FontTool, CheckRecognisesThe6102BootCode)
{
	bytes image = sample_filler(0x101000, 15);
	force_boot_code_crc(&image, 0x90BB6CB5);
	ASSERT_EQ(boot_code_crc(image), 0x90BB6CB5u);
	image = with_checksum(image);
	reference_words words = reference_checksum(image);
	put("OS64.v64", image);
	program_result r = run({"check", "OS64.v64"});
	EXPECT_EQ(r.out, check_output(words.word_1, words.word_2, image, "checksum matches"));
	EXPECT_NE(r.out.find(", the 6102 boot code\n"), std::string::npos);
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 0);
}

TEST_F(FontTool, CheckReportsABadChecksum)
{
	bytes image = with_checksum(sample_filler(0x101004, 16));
	reference_words good = reference_checksum(image);
	// One bit of the data region changes; the header keeps the old words.
	image[0x80000] ^= 0x10;
	put("OS64.v64", image);
	program_result r = run({"check", "OS64.v64"});
	EXPECT_EQ(r.out, check_output(good.word_1, good.word_2, image, "checksum does not match"));
	reference_words bad = reference_checksum(image);
	EXPECT_TRUE(bad.word_1 != good.word_1 || bad.word_2 != good.word_2);
	EXPECT_EQ(r.err, not_6102_warning);
	EXPECT_EQ(r.status, 1);
	// Bytes past the data region do not count.
	image[0x80000] ^= 0x10;
	image[0x101002] ^= 0xFF;
	put("OS64.v64", image);
	EXPECT_EQ(run({"check", "OS64.v64"}).status, 0);
}

TEST_F(FontTool, CheckReportsAMissingChecksum)
{
	bytes image = sample_filler(0x1000 + 64, 17);
	std::fill(image.begin() + 0x10, image.begin() + 0x18, 0);
	put("OS64.v64", image);
	program_result r = run({"check", "OS64.v64"});
	EXPECT_EQ(r.out, check_output(0, 0, image,
	                              "checksum missing: the header holds zeros where it belongs"));
	EXPECT_EQ(r.err, not_6102_warning);
	EXPECT_EQ(r.status, 1);
}

TEST_F(FontTool, CheckRefusesImagesWithoutAChecksum)
{
	put("tiny.v64", sample_filler(0xFFC, 18));
	expect_refused({"check", "tiny.v64"},
	               "tiny.v64: 4092 bytes, fewer than the 4096 bytes of a header and boot "
	               "code, so it has no boot checksum",
	               {"tiny.v64"});
	put("odd.v64", sample_filler(0x1002, 18));
	expect_refused({"check", "odd.v64"},
	               "odd.v64: 4098 bytes, which is not a whole number of 4-byte words, as an "
	               "image shorter than 1052672 bytes must be",
	               {"odd.v64", "tiny.v64"});
	put("empty.v64", bytes());
	expect_refused({"check", "empty.v64"},
	               "empty.v64: 0 bytes, fewer than the 4096 bytes of a header and boot code, "
	               "so it has no boot checksum",
	               {"empty.v64", "odd.v64", "tiny.v64"});
	expect_refused({"check", "none.v64"}, "cannot open none.v64: No such file or directory",
	               {"empty.v64", "odd.v64", "tiny.v64"});
}

// An image stored in another byte order is named as such: check computes
// nothing over it, and extract does not guess that it was patched.
TEST_F(FontTool, CheckAndExtractNameAnImageInAnotherByteOrder)
{
	make_demo();
	const bytes image = get("OS64.v64");
	const struct {
		std::size_t group; // the bytes of each group of this many are reversed
		const char* stored;
	} orders[] = {
		{2, "byte-swapped (it begins 37 80 40 12)"},
		{4, "little-endian (it begins 40 12 37 80)"},
	};
	for (const auto& order : orders) {
		SCOPED_TRACE(order.stored);
		bytes stored = image;
		for (std::size_t i = 0; i + order.group <= stored.size(); i += order.group)
			std::reverse(stored.begin() + (std::ptrdiff_t)i,
			             stored.begin() + (std::ptrdiff_t)(i + order.group));
		put("OS64.v64", stored);
		std::string needs = std::string(" is stored ") + order.stored +
		                    " and must be in big-endian (80 37 12 40) order to be ";
		expect_refused({"check", "OS64.v64"}, "OS64.v64" + needs + "checked",
		               {"OS64.v64", "demo.pf"});
		expect_refused({"extract", "OS64.v64", "out.pf"},
		               "OS64.v64: the built-in font is not found: it" + needs + "searched",
		               {"OS64.v64", "demo.pf"});
		EXPECT_EQ(get("OS64.v64"), stored);
	}
}

// The whole workflow, as the README shows it

TEST_F(FontTool, FromConsoleFontToCheckedImage)
{
	NEED_CONSOLE_FONT("lat0-08.psf.gz");
	make_demo();
	bytes original = get("OS64.v64");
	bytes lat0;
	ASSERT_TRUE(read_console_font("lat0-08.psf.gz", &lat0));

	ASSERT_EQ(run({"extract", "OS64.v64", "original.pf"}).status, 0);
	bytes builtin(original.begin() + 0x2F3D1, original.begin() + 0x2F3D1 + 2048);
	EXPECT_EQ(get("original.pf"), builtin);
	program_result r = run({"import", "--fill", "original.pf", "lat0-08.psf.gz", "my.pf"});
	ASSERT_EQ(r.status, 0) << r.err;
	EXPECT_NE(r.err.find(" lacks 67 of the 255 characters of code page 437: U+263A ☺ (0x01)"),
	          std::string::npos) << r.err;
	EXPECT_NE(r.err.find("; they were taken from original.pf\n"), std::string::npos);
	bytes mine = get("my.pf");
	// ☺ comes from the built-in font, é from lat0-08's glyph 233.
	EXPECT_EQ(bytes(mine.begin() + 8, mine.begin() + 16), bytes(builtin.begin() + 8, builtin.begin() + 16));
	EXPECT_EQ(bytes(mine.begin() + 0x82 * 8, mine.begin() + 0x83 * 8),
	          bytes(lat0.begin() + 4 + 233 * 8, lat0.begin() + 4 + 234 * 8));

	ASSERT_EQ(run({"export", "my.pf", "my.png", "--scale", "4"}).status, 0);
	ASSERT_EQ(run({"import", "my.png", "my.pf", "--force"}).status, 0);
	EXPECT_EQ(get("my.pf"), mine);
	r = run({"show", "my.pf", "Grüße, señor!"});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
	r = patch("my.pf");
	ASSERT_EQ(r.status, 0) << r.out << r.err;
	r = run({"check", "OS64.v64"});
	EXPECT_EQ(r.status, 0) << r.out;
	EXPECT_NE(r.out.find("\nchecksum matches\n"), std::string::npos);

	bytes patched = get("OS64.v64");
	EXPECT_EQ(bytes(patched.begin() + 0x2F3D1, patched.begin() + 0x2F3D1 + 2048), mine);
	EXPECT_EQ(get("OS64.bak"), original);
	EXPECT_EQ(files(), (std::vector<std::string>{"OS64.bak", "OS64.v64", "demo.pf",
	                                             "lat0-08.psf.gz", "my.pf", "my.png",
	                                             "original.pf"}));
}

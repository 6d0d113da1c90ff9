// End-to-end tests of the patch run: each runs the built program in a fresh
// folder and checks its output, its exit status and every file it leaves.
#include "reference_checksum.h"
#include "run_program.h"
#include "sample_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// An image of the given size with a 2048-byte built-in font table at
// font_offset (cut short by the end of the image if need be).
bytes make_image(std::size_t size, std::size_t font_offset)
{
	bytes image = sample_filler(size, (std::uint32_t)size);
	bytes table = sample_filler(2048, 99);
	std::copy(sample_signature, sample_signature + 32, table.begin());
	for (std::size_t i = 0; i < table.size() && font_offset + i < size; i++)
		image[font_offset + i] = table[i];
	return image;
}

std::string hex(std::size_t value)
{
	char text[32];
	std::snprintf(text, sizeof text, "%zx", value);
	return text;
}

// What the patch phase prints up to the position of the font.
std::string run_start(std::size_t image_size, const std::string& font_path, std::size_t font_size)
{
	return banner() + "OS64.v64 found\nOS size: " + std::to_string(image_size) + "\n" +
	       font_path + " found\nnew font size: " + std::to_string(font_size) + "... ok!\n";
}

// Everything a complete run prints, given the patched image it leaves.
std::string complete_run(const bytes& patched, const std::string& font_path,
                         std::size_t font_size, std::size_t offset, bool backup_exists = false)
{
	return run_start(patched.size(), font_path, font_size) + "internal font at pos: 0x" +
	       hex(offset) + "\n" + (backup_exists ? "error: backup error\n" : "") +
	       "file patched!\n" + checksum_line(patched) +
	       "New checksum successfully written.\ndone...\n";
}

class PatchRun : public ::testing::Test {
protected:
	void SetUp() override { folder = make_scratch_folder(); }
	void TearDown() override
	{
		chmod(folder.c_str(), 0700);
		remove_folder(folder);
	}

	std::string path(const std::string& name) const { return folder + "/" + name; }
	void put(const std::string& name, const bytes& data) const { write_file(path(name), data); }
	bytes get(const std::string& name) const { return read_file(path(name)); }
	program_result run(const std::vector<std::string>& args,
	                   const run_options& options = run_options()) const
	{
		return run_fontpatch(folder, args, options);
	}
	std::vector<std::string> files() const { return list_folder(folder); }

	// Runs a complete patch of image with font and checks everything it
	// leaves behind.
	void expect_complete_patch(const bytes& image, const bytes& font, std::size_t offset,
	                           const run_options& options = run_options())
	{
		put("OS64.v64", image);
		put("f.pf", font);
		program_result r = run({"f.pf"}, options);
		bytes patched = with_checksum(with_font(image, offset, font));
		EXPECT_EQ(r.out, complete_run(patched, "f.pf", font.size(), offset));
		EXPECT_EQ(r.err, "");
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(get("OS64.bak"), image);
		EXPECT_EQ(get("OS64.v64"), patched);
		EXPECT_EQ(files(), (std::vector<std::string>{"OS64.bak", "OS64.v64", "f.pf"}));
	}

	std::string folder;
};

TEST_F(PatchRun, MissingImageIsReportedBeforeMissingArgument)
{
	program_result r = run({});
	EXPECT_EQ(r.out, banner() + "error: Faild to open OS64.v64: No such file or directory\n");
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 1);
	EXPECT_TRUE(files().empty());
}

TEST_F(PatchRun, MissingArgumentStopsAfterTheImageSize)
{
	bytes image = make_image(0x3000, 0x1234);
	put("OS64.v64", image);
	program_result r = run({});
	EXPECT_EQ(r.out, banner() + "OS64.v64 found\nOS size: 12288\n"
	                            "error: Supply fontname.pf as parameter\n");
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(get("OS64.v64"), image);
	EXPECT_EQ(files(), std::vector<std::string>{"OS64.v64"});
}

TEST_F(PatchRun, MissingFontFile)
{
	bytes image = make_image(0x3000, 0x1234);
	put("OS64.v64", image);
	program_result r = run({"nofont.pf"});
	EXPECT_EQ(r.out, banner() + "OS64.v64 found\nOS size: 12288\n"
	                            "error: Faild to open nofont.pf: No such file or directory\n");
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(get("OS64.v64"), image);
	EXPECT_EQ(files(), std::vector<std::string>{"OS64.v64"});
}

// The patcher's lines are its fixed output, which scripts read: a language
// the environment asks for changes none of them, nor the system's own
// error text in them.
TEST_F(PatchRun, LinesStayTheSameInEveryLanguage)
{
	run_options options;
	options.environment = {"LC_ALL=C.UTF-8", "LANG=de_DE.UTF-8", "LANGUAGE=de:ja:ru"};
	bytes image = make_image(0x3000, 0x1234);
	put("OS64.v64", image);
	program_result r = run({"nofont.pf"}, options);
	EXPECT_EQ(r.out, banner() + "OS64.v64 found\nOS size: 12288\n"
	                            "error: Faild to open nofont.pf: No such file or directory\n");
	EXPECT_EQ(r.err, "");
	expect_complete_patch(image, sample_filler(2048, 4), 0x1234, options);
}

TEST_F(PatchRun, FontSizeLimitIs2048Bytes)
{
	bytes image = make_image(0x3000, 0x1235);
	put("OS64.v64", image);
	put("big.pf", sample_filler(2049, 5));
	program_result r = run({"big.pf"});
	EXPECT_EQ(r.out, banner() + "OS64.v64 found\nOS size: 12288\nbig.pf found\n"
	                            "new font size: 2049... error: new font is too large!\n");
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(get("OS64.v64"), image);
	EXPECT_EQ(files(), (std::vector<std::string>{"OS64.v64", "big.pf"}));

	remove_folder(folder);
	SetUp();
	expect_complete_patch(image, sample_filler(2048, 5), 0x1235);
}

TEST_F(PatchRun, PatchesAFullSizedImage)
{
	// Further arguments are ignored.
	bytes image = make_image(0x180000, 0x2F3D1);
	bytes font = sample_filler(2048, 7);
	put("OS64.v64", image);
	put("f.pf", font);
	program_result r = run({"f.pf", "ignored.pf"});
	bytes patched = with_checksum(with_font(image, 0x2F3D1, font));
	EXPECT_EQ(r.out, complete_run(patched, "f.pf", 2048, 0x2F3D1));
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(get("OS64.bak"), image);
	EXPECT_EQ(get("OS64.v64"), patched);
	EXPECT_EQ(files(), (std::vector<std::string>{"OS64.bak", "OS64.v64", "f.pf"}));
}

TEST_F(PatchRun, SignatureAtOffsetZero)
{
	expect_complete_patch(make_image(0x2000, 0), sample_filler(2048, 8), 0);
}

TEST_F(PatchRun, SignatureEndingAtTheLastByte)
{
	expect_complete_patch(make_image(0x2000, 0x2000 - 32), sample_filler(32, 8), 0x2000 - 32);
}

TEST_F(PatchRun, FontRunningPastTheEndOfTheImageIsRefused)
{
	bytes image = make_image(0x2000, 0x2000 - 32);
	put("OS64.v64", image);
	put("f.pf", sample_filler(33, 8));
	program_result r = run({"f.pf"});
	EXPECT_EQ(r.out, run_start(0x2000, "f.pf", 33) + "internal font at pos: 0x1fe0\n"
	                 "error: the new font does not fit: at 0x1fe0 its 33 bytes would run past "
	                 "the end of OS64.v64 (8192 bytes)\n");
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(get("OS64.v64"), image);
	EXPECT_EQ(files(), (std::vector<std::string>{"OS64.v64", "f.pf"}));
}

TEST_F(PatchRun, LowestOfTwoSignaturesIsReplaced)
{
	bytes image = make_image(0x4000, 0x3001);
	std::copy(sample_signature, sample_signature + 32, image.begin() + 0x1803);
	expect_complete_patch(image, sample_filler(2048, 9), 0x1803);
}

TEST_F(PatchRun, NearMissesAreNotMatches)
{
	// Each candidate differs from the signature in one byte.
	bytes image = sample_filler(0x3000, 3);
	for (int k = 0; k < 32; k++) {
		std::size_t at = 0x100 + (std::size_t)k * 64;
		std::copy(sample_signature, sample_signature + 32, image.begin() + (std::ptrdiff_t)at);
		image[at + (std::size_t)k] ^= 0x01;
	}
	put("OS64.v64", image);
	put("f.pf", sample_filler(64, 1));
	program_result r = run({"f.pf"});
	EXPECT_EQ(r.out, run_start(0x3000, "f.pf", 64) +
	                     "error: internal font not found (already patched?)\n");
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(get("OS64.v64"), image);
	EXPECT_EQ(files(), (std::vector<std::string>{"OS64.v64", "f.pf"}));
}

TEST_F(PatchRun, ShortAndEmptyFonts)
{
	// A short font replaces only its own bytes; the rest of the table stays.
	expect_complete_patch(make_image(0x2000, 0x1111), sample_filler(5, 2), 0x1111);
	remove_folder(folder);
	SetUp();
	// An empty font changes nothing but the checksum, and a later run still
	// finds the signature.
	bytes image = make_image(0x2000, 0x1111);
	expect_complete_patch(image, bytes(), 0x1111);
	remove_folder(path("OS64.bak"));
	program_result again = run({"f.pf"});
	EXPECT_EQ(again.status, 0);
	EXPECT_EQ(get("OS64.bak"), with_checksum(image));
	// The second checksum of the same contents gives the same bytes.
	EXPECT_EQ(get("OS64.v64"), with_checksum(image));
}

TEST_F(PatchRun, ExistingBackupIsKeptAndTheRunGoesOn)
{
	bytes image = make_image(0x2000, 0x1001);
	bytes old_backup = sample_filler(100, 77);
	bytes font = sample_filler(2048, 4);
	put("OS64.v64", image);
	put("OS64.bak", old_backup);
	put("f.pf", font);
	program_result r = run({"f.pf"});
	bytes patched = with_checksum(with_font(image, 0x1001, font));
	EXPECT_EQ(r.out, complete_run(patched, "f.pf", 2048, 0x1001, true));
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(get("OS64.bak"), old_backup);
	EXPECT_EQ(get("OS64.v64"), patched);
	EXPECT_EQ(files(), (std::vector<std::string>{"OS64.bak", "OS64.v64", "f.pf"}));
}

TEST_F(PatchRun, SecondRunFindsNothingAndChangesNothing)
{
	bytes image = make_image(0x2000, 0x1001);
	expect_complete_patch(image, sample_filler(2048, 4), 0x1001);
	bytes patched = get("OS64.v64");
	program_result r = run({"f.pf"});
	EXPECT_EQ(r.out, run_start(0x2000, "f.pf", 2048) +
	                     "error: internal font not found (already patched?)\n");
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(get("OS64.v64"), patched);
	EXPECT_EQ(get("OS64.bak"), image);
}

TEST_F(PatchRun, FoldersInPlaceOfFiles)
{
	mkdir(path("OS64.v64").c_str(), 0755);
	program_result r = run({"f.pf"});
	EXPECT_EQ(r.out, banner() + "error: Faild to open OS64.v64: Is a directory\n");
	EXPECT_EQ(r.status, 1);

	rmdir(path("OS64.v64").c_str());
	bytes image = make_image(0x2000, 0x1001);
	put("OS64.v64", image);
	mkdir(path("dir.pf").c_str(), 0755);
	r = run({"dir.pf"});
	EXPECT_EQ(r.out, banner() + "OS64.v64 found\nOS size: 8192\n"
	                            "error: Faild to open dir.pf: Is a directory\n");
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(get("OS64.v64"), image);
	EXPECT_EQ(files(), (std::vector<std::string>{"OS64.v64", "dir.pf"}));
}

// A write that fails part way, as one on a full memory card does: a lowered
// file size limit with SIGXFSZ ignored.  Windows has no such limit, but Wine
// hands the limit of the Linux process it runs in on to the Windows program
// as a failed write, with an error text of its own.
TEST_F(PatchRun, FailedWriteLeavesTheOriginalAndNoStrayFile)
{
	bool windows = running_windows_program();
	if (running_under_emulator() && !windows)
		GTEST_SKIP() << "a file size limit reaches only a native program or one under Wine";
	bytes image = make_image(0x40000, 0x2001);
	put("OS64.v64", image);
	put("f.pf", sample_filler(2048, 4));
	run_options options;
	options.file_size_limit = 0x10000;
	program_result r = run({"f.pf"}, options);
	std::string start = run_start(0x40000, "f.pf", 2048) + "internal font at pos: 0x2001\n"
	                    "error: could not write the patched image OS64.v64.tmp-";
	EXPECT_EQ(r.out.compare(0, start.size(), start), 0) << r.out;
	EXPECT_EQ(r.out.find('\n', start.size()), r.out.size() - 1) << r.out;
	if (!windows) {
		EXPECT_NE(r.out.find(": File too large\n"), std::string::npos) << r.out;
	}
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(get("OS64.v64"), image);
	EXPECT_EQ(files(), (std::vector<std::string>{"OS64.v64", "f.pf"}));
}

TEST_F(PatchRun, HugeImageIsRefusedWithoutLoadingIt)
{
	put("OS64.v64", bytes());
	ASSERT_EQ(truncate(path("OS64.v64").c_str(), 0x80000000LL), 0);
	put("f.pf", sample_filler(2048, 4));
	auto start = std::chrono::steady_clock::now();
	program_result r = run({"f.pf"});
	auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
	EXPECT_EQ(r.out, banner() + "OS64.v64 found\nerror: OS64.v64 is too large: 2147483648 "
	                            "bytes, but an image can have at most 2147483647\n");
	EXPECT_EQ(r.status, 1);
	EXPECT_LT(seconds, 5.0);
	EXPECT_EQ(std::filesystem::file_size(path("OS64.v64")), 0x80000000u);
	EXPECT_EQ(files(), (std::vector<std::string>{"OS64.v64", "f.pf"}));
}

TEST_F(PatchRun, DemoImageIsPatched)
{
	// The demo generator's image and font, as the README's demo uses them.
	program_result made = run_program(folder, {OS64_MAKE_DEMO_PATH, "OS64.v64", "demo.pf"});
	ASSERT_EQ(made.status, 0) << made.err;
	bytes image = get("OS64.v64");
	ASSERT_EQ(reference_checksum(image).word_1,
	          (std::uint32_t)(image[0x10] << 24 | image[0x11] << 16 | image[0x12] << 8 | image[0x13]));
	std::rename(path("demo.pf").c_str(), path("f.pf").c_str());
	expect_complete_patch(image, get("f.pf"), 0x2F3D1);
}

// ---- Images stored in another byte order ----------------------------------

// An image stored in another byte order, and the line the run adds to the
// usual one when it finds no font in it.
struct stored_order {
	const char* name;
	std::size_t group; // the bytes of each group of this many are reversed
	const char* explanation;
};

// Test names and failures show the order by its name.
void PrintTo(const stored_order& order, std::ostream* out)
{
	*out << order.name;
}

class StoredOrder : public PatchRun, public ::testing::WithParamInterface<stored_order> {};

// The demo image holds the built-in font, but with its bytes moved the
// search cannot find it.  The run says so as always, names the order and
// changes nothing.
TEST_P(StoredOrder, ImageIsNamedAndLeftAlone)
{
	program_result made = run_program(folder, {OS64_MAKE_DEMO_PATH, "OS64.v64", "demo.pf"});
	ASSERT_EQ(made.status, 0) << made.err;
	bytes stored = get("OS64.v64");
	ASSERT_EQ(stored.size() % 4, 0u);
	for (std::size_t i = 0; i < stored.size(); i += GetParam().group)
		std::reverse(stored.begin() + (std::ptrdiff_t)i,
		             stored.begin() + (std::ptrdiff_t)(i + GetParam().group));
	put("OS64.v64", stored);
	program_result r = run({"demo.pf"});
	EXPECT_EQ(r.out, run_start(stored.size(), "demo.pf", 2048) +
	                     "error: internal font not found (already patched?)\n" +
	                     GetParam().explanation);
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(get("OS64.v64"), stored);
	EXPECT_EQ(files(), (std::vector<std::string>{"OS64.v64", "demo.pf"}));
}

INSTANTIATE_TEST_SUITE_P(
        Patcher, StoredOrder,
        ::testing::Values(
                stored_order{"byte_swapped", 2,
                             "error: OS64.v64 is stored byte-swapped (it begins 37 80 40 12) "
                             "and must be in big-endian (80 37 12 40) order to be patched\n"},
                stored_order{"little_endian", 4,
                             "error: OS64.v64 is stored little-endian (it begins 40 12 37 80) "
                             "and must be in big-endian (80 37 12 40) order to be patched\n"}),
        [](const ::testing::TestParamInfo<stored_order>& info) { return std::string(info.param.name); });


// ---- Arguments as cmd.exe and a POSIX shell hand them over ----------------

class ArgumentRun : public PatchRun {
protected:
	// Runs a complete patch of image with font, named font_name in the
	// folder, given arg, and checks what it prints and leaves.
	void expect_patched_through(const std::string& arg, const std::string& font_name,
	                            const bytes& image, const bytes& font, std::size_t offset)
	{
		program_result r = run({arg});
		bytes patched = with_checksum(with_font(image, offset, font));
		EXPECT_EQ(r.out, complete_run(patched, font_name, font.size(), offset)) << arg;
		EXPECT_EQ(r.err, "") << arg;
		EXPECT_EQ(r.status, 0) << arg;
		EXPECT_EQ(get("OS64.bak"), image) << arg;
		EXPECT_EQ(get("OS64.v64"), patched) << arg;
	}

	// Runs the program given a font path that names no file, and checks
	// that it says so and changes nothing.
	void expect_no_such_font(const std::string& arg, const bytes& image)
	{
		std::vector<std::string> before = files();
		program_result r = run({arg});
		EXPECT_EQ(r.out, banner() + "OS64.v64 found\nOS size: " + std::to_string(image.size()) +
		                     "\nerror: Faild to open " + arg + ": No such file or directory\n");
		EXPECT_EQ(r.err, "");
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(get("OS64.v64"), image);
		EXPECT_EQ(files(), before);
	}
};

// cmd.exe hands a pattern to the program as it is, and the Windows program
// expands it at start-up as its runtime does, keeping the folder part as it
// was typed.  A POSIX shell expands patterns itself: one that reaches the
// Linux program was quoted on purpose and names a file literally.
TEST_F(ArgumentRun, WildcardPatternNamesTheOneFontInTheFolder)
{
	bytes image = make_image(0x2000, 0x1001);
	bytes font = sample_filler(2048, 4);
	put("OS64.v64", image);
	put("f.pf", font);
	if (running_windows_program())
		expect_patched_through("*.pf", "f.pf", image, font, 0x1001);
	else
		expect_no_such_font("*.pf", image);

	remove_folder(folder);
	SetUp();
	put("OS64.v64", image);
	mkdir(path("fonts").c_str(), 0755);
	put("fonts/f.pf", font);
	if (running_windows_program())
		expect_patched_through("fonts/*.p?", "fonts/f.pf", image, font, 0x1001);
	else
		expect_no_such_font("fonts/*.p?", image);
}

TEST_F(ArgumentRun, PatternMatchingNothingIsTakenAsAName)
{
	bytes image = make_image(0x2000, 0x1001);
	put("OS64.v64", image);
	put("f.pf", sample_filler(2048, 4));
	expect_no_such_font("*.fnt", image);
}

// Names reach the program and come back on the console in UTF-8 on every
// system; the Windows program opens them by their UTF-16 form.
TEST_F(ArgumentRun, NonAsciiFontPathIsOpenedAndEchoedInUtf8)
{
	const std::string name = "schrift-\xC3\xA4.pf"; // "schrift-ä.pf"
	bytes image = make_image(0x2000, 0x1001);
	bytes font = sample_filler(2048, 6);
	put("OS64.v64", image);
	put(name, font);
	expect_patched_through(name, name, image, font, 0x1001);
	EXPECT_EQ(files(), (std::vector<std::string>{"OS64.bak", "OS64.v64", name}));

	remove_folder(folder);
	SetUp();
	put("OS64.v64", image);
	expect_no_such_font("gr\xC3\xBC\xC3\x9F" "e.pf", image); // "grüße.pf"
}

TEST_F(ArgumentRun, WildcardPatternMatchingANonAsciiName)
{
	const std::string name = "schrift-\xC3\xA4.pf";
	bytes image = make_image(0x2000, 0x1001);
	bytes font = sample_filler(2048, 6);
	put("OS64.v64", image);
	put(name, font);
	if (running_windows_program())
		expect_patched_through("schrift-*.pf", name, image, font, 0x1001);
	else
		expect_no_such_font("schrift-*.pf", image);
}

} // namespace

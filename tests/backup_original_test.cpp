// Unit tests of the comparison that tells whether OS64.bak is the original
// of a patched OS64.v64: the bytes at each edge of the regions a patch may
// change, and each condition that can fail.
#include "demo_image.h"
#include "font_patch.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const std::uint32_t demo_font_at = 0x2F3D1;

struct backup_case {
	const char* name;
	std::vector<std::uint32_t> changed; // offsets of OS64.v64 whose byte is flipped
	const char* problem;                // the start of the message, "" for none
};

TEST(BackupOriginal, DifferencesInsideAndOutsideWhatAPatchChanges)
{
	const backup_case cases[] = {
		{"the same bytes", {}, ""},
		{"the edges of the checksum words and the font",
		 {0x10, 0x17, demo_font_at, demo_font_at + 2047}, ""},
		{"the byte before the checksum", {0x0F},
		 "OS64.bak and OS64.v64 differ at 0xf, outside the built-in font (0x2f3d1-0x2fbd0)"},
		{"the byte after the checksum", {0x10, 0x18}, "OS64.bak and OS64.v64 differ at 0x18,"},
		{"the byte before the font", {demo_font_at - 1}, "OS64.bak and OS64.v64 differ at 0x2f3d0,"},
		{"the byte after the font", {demo_font_at, demo_font_at + 2048},
		 "OS64.bak and OS64.v64 differ at 0x2fbd1,"},
		{"the last byte", {0x17FFFF}, "OS64.bak and OS64.v64 differ at 0x17ffff,"},
	};
	std::vector<std::uint8_t> backup;
	std::vector<std::uint8_t> font;
	make_demo(&backup, &font);
	for (const backup_case& c : cases) {
		std::vector<std::uint8_t> image = backup;
		for (std::uint32_t at : c.changed)
			image[at] ^= 0x5A;
		std::uint32_t offset = 0;
		std::string problem = backup_original_problem(image.data(), image.size(), backup.data(),
		                                              backup.size(), &offset);
		EXPECT_EQ(problem.substr(0, std::string(c.problem).size()), c.problem) << c.name;
		EXPECT_EQ(problem.empty(), *c.problem == '\0') << c.name << ": " << problem;
		EXPECT_EQ(offset, demo_font_at) << c.name;
	}
}

TEST(BackupOriginal, ABackupThatIsPatchedOrOfAnotherLength)
{
	std::vector<std::uint8_t> backup;
	std::vector<std::uint8_t> font;
	make_demo(&backup, &font);
	std::uint32_t offset = 0;
	std::vector<std::uint8_t> longer = backup;
	longer.resize(backup.size() + 4);
	EXPECT_EQ(backup_original_problem(longer.data(), longer.size(), backup.data(), backup.size(),
	                                  &offset),
	          "OS64.bak has 1572864 bytes and OS64.v64 1572868, but a patch keeps the length of "
	          "the image");
	// The demo font starts with the signature, which would leave the
	// patched image patchable; this one does not.
	std::vector<std::uint8_t> patched = backup;
	std::vector<std::uint8_t> other_font(2048, 0x3C);
	image_patch patch{};
	ASSERT_EQ(patch_image(patched.data(), patched.size(), other_font.data(), other_font.size(),
	                      &patch),
	          "");
	EXPECT_EQ(backup_original_problem(backup.data(), backup.size(), patched.data(),
	                                  patched.size(), &offset),
	          "OS64.bak is no unpatched image: the built-in font is not in it (already patched?)");
	EXPECT_EQ(backup_original_problem(patched.data(), patched.size(), backup.data(),
	                                  backup.size(), &offset),
	          "");
}

} // namespace

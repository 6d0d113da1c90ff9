// End-to-end tests of the checksum phase: complete runs over images of the
// sizes that matter, checked against the plain reference computation.
#include "reference_checksum.h"
#include "run_program.h"
#include "sample_images.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {

const std::size_t font_offset = 0x803;

// A random image whose only signature stands at font_offset, and a font.
bytes random_image(std::size_t size, std::mt19937* random)
{
	bytes image(size);
	for (std::uint8_t& b : image) {
		b = (std::uint8_t)(*random)();
		if (b == 0x7E)
			b = 0;
	}
	std::copy(sample_signature, sample_signature + 32, image.begin() + font_offset);
	return image;
}

class ChecksumRun : public ::testing::Test {
protected:
	void SetUp() override { folder = make_scratch_folder(); }
	void TearDown() override { remove_folder(folder); }

	// Patches image with font and returns the result; the image written
	// before the checksum phase is image with the font in place.
	program_result patch(const bytes& image, const bytes& font)
	{
		write_file(folder + "/OS64.v64", image);
		write_file(folder + "/f.pf", font);
		return run_fontpatch(folder, {"f.pf"});
	}

	std::string expected_start(const bytes& image, std::size_t font_size)
	{
		char offset[32];
		std::snprintf(offset, sizeof offset, "%zx", font_offset);
		return banner() + "OS64.v64 found\nOS size: " + std::to_string(image.size()) +
		       "\nf.pf found\nnew font size: " + std::to_string(font_size) +
		       "... ok!\ninternal font at pos: 0x" + offset + "\nfile patched!\n";
	}

	// Checks a complete run: its output, and that the image differs from the
	// original only in the font bytes and the eight checksum bytes.
	void expect_checksum_written(const bytes& image, const bytes& font)
	{
		program_result r = patch(image, font);
		bytes patched = with_checksum(with_font(image, font_offset, font));
		EXPECT_EQ(r.out, expected_start(image, font.size()) + checksum_line(patched) +
		                     "New checksum successfully written.\ndone...\n")
		    << "image of " << image.size() << " bytes";
		EXPECT_EQ(r.err, "");
		EXPECT_EQ(r.status, 0);
		EXPECT_TRUE(read_file(folder + "/OS64.v64") == patched)
		    << "image of " << image.size() << " bytes";
		EXPECT_TRUE(read_file(folder + "/OS64.bak") == image);
		remove_folder(folder);
		SetUp();
	}

	std::string folder;
};

TEST_F(ChecksumRun, HeaderOnlyImageGetsTheZeroRegionChecksum)
{
	std::mt19937 random(1);
	bytes image = random_image(0x1000, &random);
	program_result r = patch(image, bytes(32, 0x11));
	EXPECT_EQ(r.out, expected_start(image, 32) +
	                     "Calculated Checksum: F8 CA 4D DC  30 3A 4D DC\n"
	                     "New checksum successfully written.\ndone...\n");
	EXPECT_EQ(r.status, 0);
	bytes after = read_file(folder + "/OS64.v64");
	EXPECT_EQ(bytes(after.begin() + 0x10, after.begin() + 0x18),
	          (bytes{0xF8, 0xCA, 0x4D, 0xDC, 0x30, 0x3A, 0x4D, 0xDC}));
}

TEST_F(ChecksumRun, SizesTheChecksumCannotBeComputedFor)
{
	// Patched and written, then refused with exit status 1: nothing more on
	// standard output, one error line on standard error.
	std::mt19937 random(2);
	for (std::size_t size : {std::size_t(0x1002), std::size_t(0xFFC), std::size_t(0x100FFF)}) {
		bytes image = random_image(size, &random);
		bytes font(40, 0x22);
		program_result r = patch(image, font);
		EXPECT_EQ(r.out, expected_start(image, font.size()));
		std::string reason = size < 0x1000 ? ", fewer than the 4096 bytes of its header\n"
		                                    : "; an image shorter than 1052672 bytes must be a "
		                                      "whole number of 4-byte words\n";
		EXPECT_EQ(r.err, "error: cannot compute the boot checksum: OS64.v64 has " +
		                     std::to_string(size) + " bytes" + reason);
		EXPECT_EQ(r.status, 1);
		bytes patched = with_font(image, font_offset, font);
		EXPECT_TRUE(read_file(folder + "/OS64.v64") == patched);
		EXPECT_TRUE(read_file(folder + "/OS64.bak") == image);
		remove_folder(folder);
		SetUp();
	}
}

TEST_F(ChecksumRun, ImagesAroundTheRegionBoundaries)
{
	std::mt19937 random(3);
	for (std::size_t size : {std::size_t(0x1004), std::size_t(0x2000), std::size_t(0x100FFC),
	                         std::size_t(0x101000), std::size_t(0x101001), std::size_t(0x101003),
	                         std::size_t(0x300000)})
		expect_checksum_written(random_image(size, &random), bytes(2048, 0x5A));
}

TEST_F(ChecksumRun, RandomImagesOfManySizes)
{
	std::mt19937 random(4);
	for (int round = 0; round < 12; round++) {
		std::size_t size = 0x1000 + 4 * (random() % 0x48000);
		if (round % 3 == 0)
			size = 0x101000 + random() % 0x20000;
		std::size_t font_size = random() % 2049;
		expect_checksum_written(random_image(size, &random), bytes(font_size, (std::uint8_t)round));
	}
}

} // namespace

// Unit tests of the patched copy made piece by piece: the search across the
// pieces' edges, and the bytes the copy ends with, font and checksum over
// it, whether the kernel copies the image or the pieces are written.
#include "font_table.h"
#include "image_copy.h"
#include "platform.h"
#include "reference_checksum.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <unistd.h>

namespace {

typedef std::vector<std::uint8_t> bytes;
const std::size_t piece = image_piece_size;

void write_at(const std::string& path, const bytes& data, long at)
{
	std::FILE* f = std::fopen(path.c_str(), at == 0 ? "wb" : "r+b");
	ASSERT_NE(f, nullptr);
	EXPECT_EQ(std::fseek(f, at, SEEK_SET), 0);
	EXPECT_EQ(std::fwrite(data.data(), 1, data.size(), f), data.size());
	std::fclose(f);
}

// Random bytes without the signature's anchor byte, with the signature at
// each of the offsets.
bytes image_with_signatures(std::size_t size, std::vector<std::size_t> offsets)
{
	std::mt19937 random((unsigned)size);
	bytes image(size);
	for (std::uint8_t& b : image)
		b = (std::uint8_t)(random() % 0x7E);
	for (std::size_t at : offsets)
		std::memcpy(&image[at], __font_data_libdragon, font_signature_size);
	return image;
}

// What the patcher leaves: the font over the image, then the checksum
// words over that where the size allows a checksum.
bytes expected_copy(bytes image, std::size_t at, const bytes& font)
{
	std::copy(font.begin(), font.end(), image.begin() + (std::ptrdiff_t)at);
	std::size_t n = image.size();
	reference_words words = reference_checksum(image);
	for (int k = 0; k < 4 && n >= 0x1000 && (n >= 0x101000 || n % 4 == 0); k++) {
		image[0x10 + k] = (std::uint8_t)(words.word_1 >> (24 - 8 * k));
		image[0x14 + k] = (std::uint8_t)(words.word_2 >> (24 - 8 * k));
	}
	return image;
}

// Runs the steps of the patcher on image with font and returns what the
// copy holds.  Without by_kernel the kernel's copy, if any, is emptied and
// the pieces are written instead, as where the platform has none.  change
// is written over the image at change_at once the kernel has copied it.
bytes make_copy(const bytes& image, const bytes& font, bool by_kernel, font_search* search,
                const bytes& change = {}, long change_at = 0)
{
	std::string path = testing::TempDir() + "OS64-" + std::to_string(getpid()) + ".v64";
	write_at(path, image, 0);
	std::FILE* in = nullptr;
	std::uint64_t size = 0;
	EXPECT_EQ(open_regular_file(path.c_str(), false, &in, &size), 0);
	image_copy copy;
	EXPECT_EQ(start_image_copy(path.c_str(), in, (std::uint32_t)size, &copy), 0);
	EXPECT_EQ(copy.error, 0);
	EXPECT_TRUE(copy.by_kernel || !by_kernel) << "no kernel copy on this file system";
	if (!by_kernel && copy.by_kernel) {
		copy.by_kernel = false;
		std::filesystem::resize_file(copy.temp_path, 0);
	}
	if (!change.empty())
		write_at(path, change, change_at);
	EXPECT_EQ(find_font_signature(in, (std::uint32_t)size, &copy, search), 0);
	bytes copied;
	if (search->found) {
		EXPECT_EQ(finish_image_copy(&copy, in, (std::uint32_t)size,
		                            byte_patch{search->offset, font.data(),
		                                       (std::uint32_t)font.size()}),
		          0);
		std::ifstream copy_file(copy.temp_path, std::ios::binary);
		copied.assign(std::istreambuf_iterator<char>(copy_file), {});
	}
	discard_image_copy(&copy);
	std::fclose(in);
	std::remove(path.c_str());
	return copied;
}

TEST(ImageCopy, FindsTheFirstSignatureAndLeavesThePatchedImage)
{
	struct {
		std::size_t size;
		std::vector<std::size_t> signatures;
		std::size_t font_size;
	} cases[] = {
		// Across, before and after the edges of the pieces, and at the end.
		{3 * piece + 100, {piece - 31}, 2048},
		{3 * piece + 100, {piece - 32}, 2048},
		{3 * piece + 100, {piece}, 2048},
		{3 * piece + 100, {2 * piece + 5, piece - 1}, 2048},
		{2 * piece + 33, {2 * piece + 1}, 32},
		// Across the 8 MiB parts the kernel copies one by one.
		{0x900003, {0x800000 - 13}, 2048},
		// Over the start and the end of the checksum's region, and over the
		// checksum words themselves.
		{0x140000, {0x1000 - 100}, 2048},
		{0x140000, {0x101000 - 100}, 2048},
		{0x3000, {0x8}, 2048},
		// A size no checksum is computed for: the font alone.
		{0x1002, {0x20}, 40},
		// Too short to search, and no signature at all.
		{31, {}, 0},
		{piece + 7, {}, 0},
	};
	for (bool by_kernel : {true, false}) {
		for (const auto& c : cases) {
			SCOPED_TRACE(testing::Message() << "size " << c.size << ", font at "
			                                << (c.signatures.empty() ? 0 : c.signatures.back())
			                                << (by_kernel ? ", kernel copy" : ", written"));
			bytes image = image_with_signatures(c.size, c.signatures);
			bytes font(c.font_size);
			for (std::size_t k = 0; k < font.size(); k++)
				font[k] = (std::uint8_t)(k * 7 + 1);
			font_search search;
			bytes copied = make_copy(image, font, by_kernel, &search);
			ASSERT_EQ(search.found, !c.signatures.empty());
			EXPECT_EQ(search.head_length, c.size < 4 ? c.size : 4);
			if (search.found) {
				EXPECT_EQ(search.offset, c.signatures.back());
				EXPECT_TRUE(copied == expected_copy(image, search.offset, font));
			}
		}
	}
}

// A copy that does not hold what the image holds around a change, here
// because the image changed after the kernel copied it, is written again
// from the image.
TEST(ImageCopy, CopyThatDiffersAroundAChangeIsWrittenAgain)
{
	const std::size_t font_at = 0x2F7F1;
	bytes image = image_with_signatures(0x140000, {font_at});
	bytes font(2048, 0x5A);
	for (long change_at : {0x20L, (long)font_at - 0x500, (long)font_at + 2048}) {
		SCOPED_TRACE("changed at " + std::to_string(change_at));
		bytes change(16, 0x33);
		font_search search;
		bytes copied = make_copy(image, font, true, &search, change, change_at);
		bytes changed = image;
		std::copy(change.begin(), change.end(), changed.begin() + change_at);
		EXPECT_TRUE(copied == expected_copy(changed, font_at, font));
	}
}

} // namespace

// Unit tests of the streaming checksum on real files: the known vectors, the
// rules for data missing at the end, and the words that must not matter.
#include "boot_checksum.h"
#include "reference_checksum.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

typedef std::vector<std::uint8_t> bytes;

struct words {
	std::uint32_t word_1;
	std::uint32_t word_2;
};

// Computes the checksum of image through a temporary file, as the tool
// does: the stream positioned at 0x1000, file_left the bytes after it.
words stream_checksum(const bytes& image)
{
	std::FILE* f = std::tmpfile();
	EXPECT_NE(f, nullptr);
	EXPECT_EQ(std::fwrite(image.data(), 1, image.size(), f), image.size());
	EXPECT_EQ(std::fseek(f, 0x1000, SEEK_SET), 0);
	std::uint32_t file_left = image.size() > 0x1000 ? (std::uint32_t)(image.size() - 0x1000) : 0;
	words result{0, 0};
	EXPECT_EQ(compute_boot_checksum(f, file_left, &result.word_1, &result.word_2), 0);
	std::fclose(f);
	return result;
}

void expect_words(const bytes& image, std::uint32_t word_1, std::uint32_t word_2)
{
	words got = stream_checksum(image);
	EXPECT_EQ(got.word_1, word_1) << std::hex << "image of 0x" << image.size() << " bytes";
	EXPECT_EQ(got.word_2, word_2) << std::hex << "image of 0x" << image.size() << " bytes";
}

TEST(BootChecksum, KnownVectors)
{
	expect_words(bytes(0x101000, 0x00), 0xF8CA4DDC, 0x303A4DDC);
	expect_words(bytes(0x101000, 0xFF), 0xF8C24DDC, 0xC1544DDC);
	bytes counting(0x101000);
	for (std::size_t k = 0; k < 0x100000; k++)
		counting[0x1000 + k] = (std::uint8_t)k;
	expect_words(counting, 0xFAC847DA, 0xB2DEA121);
}

TEST(BootChecksum, MissingDataCountsAsZeros)
{
	expect_words(bytes(0x1000, 0x00), 0xF8CA4DDC, 0x303A4DDC);
	expect_words(bytes(0x2000, 0x00), 0xF8CA4DDC, 0x303A4DDC);
	// A file ending inside a chunk, after a few whole chunks.
	std::mt19937 random(5);
	bytes image(0x1000 + 3 * 0x8000 + 0x1234);
	for (std::uint8_t& b : image)
		b = (std::uint8_t)random();
	reference_words expected = reference_checksum(image);
	expect_words(image, expected.word_1, expected.word_2);
}

TEST(BootChecksum, OnlyTheDataRegionMatters)
{
	std::mt19937 random(6);
	bytes image(0x101000 + 0x5003);
	for (std::uint8_t& b : image)
		b = (std::uint8_t)random();
	words base = stream_checksum(image);
	reference_words expected = reference_checksum(image);
	EXPECT_EQ(base.word_1, expected.word_1);
	EXPECT_EQ(base.word_2, expected.word_2);

	bytes changed = image;
	for (std::size_t i = 0; i < 0x1000; i++)
		changed[i] ^= 0xA5;
	for (std::size_t i = 0x101000; i < changed.size(); i++)
		changed[i] ^= 0x5A;
	expect_words(changed, base.word_1, base.word_2);

	// A size that is not a whole number of words beyond the region is fine.
	changed.resize(0x101001);
	expect_words(changed, base.word_1, base.word_2);

	// One byte inside the region does change it.
	changed[0x100FFF] ^= 1;
	words moved = stream_checksum(changed);
	EXPECT_TRUE(moved.word_1 != base.word_1 || moved.word_2 != base.word_2);
}

TEST(BootChecksum, WordsWithAShiftOfZeroAreNotRotated)
{
	// Words whose low five bits are zero, then words with every rotation.
	bytes image(0x101000, 0);
	for (std::size_t i = 0; i < 0x400; i++) {
		std::uint32_t w = i < 0x200 ? (std::uint32_t)(0x80000000u | (i << 5)) : (std::uint32_t)(0x12345600u | i);
		for (int k = 0; k < 4; k++)
			image[0x1000 + i * 4 + k] = (std::uint8_t)(w >> (24 - 8 * k));
	}
	reference_words expected = reference_checksum(image);
	expect_words(image, expected.word_1, expected.word_2);
}

TEST(BootChecksum, FeedingInPiecesEqualsFeedingAtOnce)
{
	std::mt19937 random(7);
	bytes data(4096);
	for (std::uint8_t& b : data)
		b = (std::uint8_t)random();
	boot_checksum_state whole;
	boot_checksum_start(&whole);
	boot_checksum_feed(&whole, data.data(), 1024);
	boot_checksum_state pieces;
	boot_checksum_start(&pieces);
	std::size_t done = 0;
	for (std::size_t step : {1u, 7u, 100u, 916u})
		boot_checksum_feed(&pieces, data.data() + 4 * done, step), done += step;
	ASSERT_EQ(done, 1024u);
	EXPECT_EQ(std::memcmp(&whole, &pieces, sizeof whole), 0);
}

TEST(BootChecksum, FileShorterThanPromisedIsAnError)
{
	// The file holds 0x2000 bytes after the header, but the caller says
	// 0x10000: the file shrank after its size was taken.
	bytes image(0x3000, 0x42);
	std::FILE* f = std::tmpfile();
	ASSERT_NE(f, nullptr);
	ASSERT_EQ(std::fwrite(image.data(), 1, image.size(), f), image.size());
	ASSERT_EQ(std::fseek(f, 0x1000, SEEK_SET), 0);
	std::uint32_t w1 = 0;
	std::uint32_t w2 = 0;
	EXPECT_NE(compute_boot_checksum(f, 0x10000, &w1, &w2), 0);
	std::fclose(f);
}

// A stream that hands out bytes from memory a few at a time and then, if
// asked to, fails with EIO, as a failing disk would.
struct failing_source {
	const std::uint8_t* data;
	std::size_t left;
	bool fail_at_end;
};

ssize_t read_failing_source(void* cookie, char* out, size_t size)
{
	failing_source* source = static_cast<failing_source*>(cookie);
	if (source->left == 0) {
		if (!source->fail_at_end)
			return 0;
		errno = EIO;
		return -1;
	}
	size_t n = size < 1000 ? size : 1000;
	n = n < source->left ? n : source->left;
	std::memcpy(out, source->data, n);
	source->data += n;
	source->left -= n;
	return (ssize_t)n;
}

TEST(BootChecksum, ReadErrorIsReportedNotTurnedIntoAChecksum)
{
	bytes region(0x20000, 0x33);
	cookie_io_functions_t functions = {read_failing_source, nullptr, nullptr, nullptr};
	std::uint32_t w1 = 0;
	std::uint32_t w2 = 0;

	// The stream fails after 0x10003 bytes although 0x20000 were promised.
	failing_source failing{region.data(), 0x10003, true};
	std::FILE* f = fopencookie(&failing, "rb", functions);
	ASSERT_NE(f, nullptr);
	EXPECT_EQ(compute_boot_checksum(f, 0x20000, &w1, &w2), EIO);
	std::fclose(f);

	// Short reads that still deliver every byte are fine, even when they
	// split words.
	failing_source whole{region.data(), region.size(), false};
	f = fopencookie(&whole, "rb", functions);
	ASSERT_NE(f, nullptr);
	ASSERT_EQ(compute_boot_checksum(f, 0x20000, &w1, &w2), 0);
	std::fclose(f);
	// The header bytes do not take part; the region follows them.
	bytes image(0x1000 + region.size(), 0x33);
	reference_words expected = reference_checksum(image);
	EXPECT_EQ(w1, expected.word_1);
	EXPECT_EQ(w2, expected.word_2);
}

// The in-memory computation agrees with the plain reference at every kind
// of size: a bare header, a short region, a whole one and more, and one
// that is not a whole number of words; sizes the rules refuse compute
// nothing.
TEST(BootChecksum, ImageInMemory)
{
	struct {
		std::size_t size;
		bool accepted;
	} cases[] = {
		{0x1000, true},     {0x1004, true},   {0x9008, true},    {0x100FFC, true},
		{0x101000, true},   {0x101001, true}, {0x180003, true},  {0xFFC, false},
		{0x1002, false},    {0x100FFF, false}, {0, false},
	};
	std::mt19937 random(12);
	for (const auto& c : cases) {
		bytes image(c.size);
		for (auto& b : image)
			b = (std::uint8_t)random();
		std::uint32_t w1 = 1;
		std::uint32_t w2 = 2;
		EXPECT_EQ(boot_checksum_of_image(image.data(), image.size(), &w1, &w2), c.accepted)
		        << std::hex << c.size;
		EXPECT_EQ(boot_checksum_size_problem(c.size).empty(), c.accepted) << std::hex << c.size;
		if (!c.accepted) {
			EXPECT_EQ(w1, 1u);
			continue;
		}
		reference_words expected = reference_checksum(image);
		EXPECT_EQ(w1, expected.word_1) << std::hex << c.size;
		EXPECT_EQ(w2, expected.word_2) << std::hex << c.size;
	}
}

TEST(BootChecksum, SizeRules)
{
	EXPECT_FALSE(boot_checksum_size_ok(0));
	EXPECT_FALSE(boot_checksum_size_ok(0xFFC));
	EXPECT_TRUE(boot_checksum_size_ok(0x1000));
	EXPECT_FALSE(boot_checksum_size_ok(0x1002));
	EXPECT_TRUE(boot_checksum_size_ok(0x100FFC));
	EXPECT_FALSE(boot_checksum_size_ok(0x100FFF));
	EXPECT_TRUE(boot_checksum_size_ok(0x101000));
	EXPECT_TRUE(boot_checksum_size_ok(0x101001));
	EXPECT_TRUE(boot_checksum_size_ok(0x80000001));
}

} // namespace

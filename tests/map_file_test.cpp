// Unit tests of map_file_copy, which brings large images into memory: the
// mapping must hold exactly the file's bytes, keep changes to itself, and
// refuse what it cannot bring in whole so that the caller reads the file.
// And of write_changed_copy, which copies such a file and writes only what
// changed over it.
#include "font_files.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

typedef std::vector<std::uint8_t> bytes;

// A new file in the temporary folder holding data; removed when the test
// ends.
class temp_file {
public:
	explicit temp_file(const bytes& data)
	{
		std::string pattern = (std::filesystem::temp_directory_path() / "os64-map-XXXXXX").string();
		std::vector<char> name(pattern.begin(), pattern.end());
		name.push_back('\0');
		int fd = mkstemp(name.data());
		EXPECT_GE(fd, 0);
		path = name.data();
		EXPECT_EQ(write(fd, data.data(), data.size()), (ssize_t)data.size());
		close(fd);
	}
	~temp_file() { std::remove(path.c_str()); }

	bytes contents() const
	{
		std::ifstream in(path, std::ios::binary);
		return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
	}

	std::string path;
};

bytes random_bytes(std::size_t size, unsigned seed)
{
	std::mt19937 random(seed);
	bytes data(size);
	for (std::uint8_t& b : data)
		b = (std::uint8_t)random();
	return data;
}

// Opens the file as the tool opens an image and maps size bytes of it.
int map(const temp_file& file, std::uint64_t size, std::uint8_t** bytes)
{
	std::FILE* stream = nullptr;
	std::uint64_t file_size = 0;
	EXPECT_EQ(open_regular_file(file.path.c_str(), false, &stream, &file_size), 0);
	if (stream == nullptr)
		return EBADF;
	int error = map_file_copy(stream, size, bytes);
	std::fclose(stream);
	return error;
}

TEST(MapFileCopy, HoldsTheWholeFileAndKeepsChangesToItself)
{
	// Not a whole number of pages, so the last page is a partial one.
	bytes data = random_bytes(0x300005, 1);
	temp_file file(data);
	std::uint8_t* mapped = nullptr;
	int error = map(file, data.size(), &mapped);
	if (error == ENOTSUP)
		GTEST_SKIP() << "this platform reads images instead of mapping them";
	ASSERT_EQ(error, 0);
	ASSERT_NE(mapped, nullptr);
	// The stream is closed by now; the mapping outlives it.
	EXPECT_EQ(std::memcmp(mapped, data.data(), data.size()), 0);

	for (std::size_t at : {std::size_t(0), data.size() / 2 + 3, data.size() - 1})
		mapped[at] = (std::uint8_t)~data[at];
	EXPECT_EQ(mapped[0], (std::uint8_t)~data[0]);
	EXPECT_EQ(mapped[data.size() - 1], (std::uint8_t)~data[data.size() - 1]);
	EXPECT_EQ(file.contents(), data);
}

TEST(MapFileCopy, EmptyFileIsNotMapped)
{
	temp_file file(bytes{});
	std::uint8_t* mapped = nullptr;
	EXPECT_NE(map(file, 0, &mapped), 0);
	EXPECT_EQ(mapped, nullptr);
}

TEST(MapFileCopy, SizeBeyondTheEndOfTheFileIsRefused)
{
	// The file has shrunk since its size was taken: the pages past its end
	// cannot be brought in, and touching them would raise SIGBUS.
	bytes data = random_bytes(0x3000, 2);
	temp_file file(data);
	std::uint8_t* mapped = nullptr;
	int error = map(file, 0x8000, &mapped);
	if (error == ENOTSUP)
		GTEST_SKIP() << "this platform reads images instead of mapping them";
	EXPECT_NE(error, 0);
	EXPECT_EQ(mapped, nullptr);
}

// Where the file differs from the bytes given in the pages of the change,
// or is shorter, the copy must not stand: the bytes given are written.
TEST(WriteChangedCopy, LeavesExactlyTheBytesGiven)
{
	const std::size_t size = 0x50000, offset = 0x2F7F1, count = 2048;
	// Where the file differs from the bytes given (0 for nowhere), and its size.
	const std::size_t cases[][2] = {
		{0, size}, {0x2F000, size}, {offset - 1, size}, {0x2FFFF, size}, {0, size - 100}};
	for (const auto& c : cases) {
		SCOPED_TRACE("differs at " + std::to_string(c[0]) + ", size " + std::to_string(c[1]));
		bytes data = random_bytes(size, 3);
		temp_file file(bytes(data.begin(), data.begin() + (std::ptrdiff_t)c[1]));
		for (std::size_t i = offset; i < offset + count; i++)
			data[i] ^= 0x5A;
		data[c[0]] ^= c[0] != 0 ? 0xFF : 0;
		std::FILE* original = std::fopen(file.path.c_str(), "rb");
		ASSERT_NE(original, nullptr);
		std::string temp_path;
		const char* step = "";
		EXPECT_EQ(write_changed_copy(file.path.c_str(), original, data.data(), size, offset,
		                             count, &temp_path, &step),
		          0);
		std::fclose(original);
		std::ifstream in(temp_path, std::ios::binary);
		EXPECT_TRUE(bytes(std::istreambuf_iterator<char>(in), {}) == data);
		std::remove(temp_path.c_str());
	}
}

} // namespace

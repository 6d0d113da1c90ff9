// Unit tests of the CRC-32 that tells the boot code apart.
#include "crc32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Crc32, KnownValues)
{
	const char* check = "123456789";
	EXPECT_EQ(crc32_of(reinterpret_cast<const std::uint8_t*>(check), std::strlen(check)),
	          0xCBF43926u);
	EXPECT_EQ(crc32_of(nullptr, 0), 0u);
	const std::uint8_t zeros[32] = {};
	EXPECT_EQ(crc32_of(zeros, sizeof zeros), 0x190A55ADu);
}

} // namespace

// A bit-at-a-time CRC-32.  It only ever covers the 4032 bytes of boot code
// and the few kilobytes of a glyph sheet's PNG chunks, where a table would
// buy nothing that can be noticed.
#include "crc32.h"

std::uint32_t crc32_of(const std::uint8_t* bytes, std::size_t length)
{
	std::uint32_t crc = 0xFFFFFFFFu;
	for (std::size_t i = 0; i < length; i++) {
		crc ^= bytes[i];
		for (int bit = 0; bit < 8; bit++)
			crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
	}
	return crc ^ 0xFFFFFFFFu;
}

// The common CRC-32 (the one of zip, gzip and PNG), which tells the boot
// code of an image apart.
#ifndef OS64_CRC32_H
#define OS64_CRC32_H

#include <cstddef>
#include <cstdint>

// The CRC-32 of length bytes: the reflected polynomial 0xEDB88320, started
// from and finished with all bits set.  The CRC of "123456789" is
// CBF43926.
std::uint32_t crc32_of(const std::uint8_t* bytes, std::size_t length);

#endif

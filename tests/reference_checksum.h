// A deliberately plain computation of the boot checksum over a whole image
// held in memory, written apart from the tool's own streaming code so the
// two can be checked against each other.
#ifndef OS64_REFERENCE_CHECKSUM_H
#define OS64_REFERENCE_CHECKSUM_H

#include <cstdint>
#include <vector>

struct reference_words {
	std::uint32_t word_1;
	std::uint32_t word_2;
};

reference_words reference_checksum(const std::vector<std::uint8_t>& image);

#endif

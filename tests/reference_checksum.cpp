#include "reference_checksum.h"

reference_words reference_checksum(const std::vector<std::uint8_t>& image)
{
	std::uint32_t a[6];
	for (int k = 0; k < 6; k++)
		a[k] = 0xF8CA4DDC;
	// a[0] sum, a[1] carries, a[2] xor of words, a[3] sum of rotated words,
	// a[4] the conditional xor, a[5] the mixed sum.
	for (std::uint64_t pos = 0x1000; pos < 0x101000; pos += 4) {
		std::uint32_t w = 0;
		for (std::uint64_t k = 0; k < 4; k++) {
			std::uint32_t byte = pos + k < image.size() ? image[pos + k] : 0;
			w = w * 256 + byte;
		}
		std::uint64_t wide_sum = (std::uint64_t)a[0] + w;
		if (wide_sum > 0xFFFFFFFFu)
			a[1] = a[1] + 1;
		a[0] = (std::uint32_t)wide_sum;
		a[2] = a[2] ^ w;
		std::uint32_t r = w;
		for (std::uint32_t turn = 0; turn < w % 32; turn++)
			r = (r << 1) | (r >> 31);
		a[3] = a[3] + r;
		if (w < a[4])
			a[4] = a[4] ^ r;
		else
			a[4] = a[4] ^ (a[0] ^ w);
		a[5] = a[5] + (a[3] ^ w);
	}
	return reference_words{a[0] ^ a[1] ^ a[2], a[3] ^ a[4] ^ a[5]};
}

// The sample image and font that let a newcomer see the whole patch without
// a cartridge.
#ifndef OS64_DEMO_IMAGE_H
#define OS64_DEMO_IMAGE_H

#include <cstdint>
#include <vector>

// Makes the sample menu image, 1.5 MiB with a correct boot checksum and
// its built-in font at 0x2F3D1, and a complete 2048-byte font to patch it
// with.  The same bytes every time.
void make_demo(std::vector<std::uint8_t>* image, std::vector<std::uint8_t>* font);

#endif

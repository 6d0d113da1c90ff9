// Whole-file reads and safe writes for os64-font.  Like the platform layer,
// each function returns 0 on success and an error number otherwise, which
// platform_error_text turns into text.
#ifndef OS64_FONT_FILES_H
#define OS64_FONT_FILES_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Reads size bytes from an open stream into data, then closes the stream,
// whatever happened.
int read_and_close(std::FILE* stream, std::uint64_t size, std::vector<std::uint8_t>* data);

// Writes data to path the safe way: into a new temporary file beside it,
// synced to disk, then renamed to path in one step.  Without replace an
// existing path is left alone and the result is EEXIST; with replace it is
// replaced atomically.  On failure no temporary file is left behind.
int write_output_file(const char* path, const std::vector<std::uint8_t>& data, bool replace);

#endif

// Whole-file reads and safe writes.  Like the platform layer,
// each function returns 0 on success and an error number otherwise, which
// platform_error_text turns into text.
#ifndef OS64_FONT_FILES_H
#define OS64_FONT_FILES_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Reads exactly size bytes from an open stream into data.  A stream that
// ends sooner gives error_unexpected_end.
int read_exactly(std::FILE* stream, std::uint8_t* data, std::size_t size);

// Reads size bytes from an open stream into data, then closes the stream,
// whatever happened.
int read_and_close(std::FILE* stream, std::uint64_t size, std::vector<std::uint8_t>* data);

// Writes length bytes to a new temporary file beside target and syncs it
// to disk, reporting the temporary file's name.  On failure the temporary
// file is gone again and *failed_step says which step failed ("create" or
// "write").
int write_temp_file(const char* target, const std::uint8_t* data, std::size_t length,
                    std::string* temp_path, const char** failed_step);

// Writes data to path the safe way: into a new temporary file beside it,
// synced to disk, then renamed to path in one step.  Without replace an
// existing path is left alone and the result is EEXIST; with replace it is
// replaced atomically.  On failure no temporary file is left behind.
int write_output_file(const char* path, const std::vector<std::uint8_t>& data, bool replace);

#endif

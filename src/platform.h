// The few things the patcher needs from the operating system, behind plain
// functions.  Every function that can fail returns 0 on success and an error
// number otherwise; platform_error_text turns that number into the
// platform's own message.
#ifndef OS64_PLATFORM_H
#define OS64_PLATFORM_H

#include <cstdint>
#include <cstdio>
#include <string>

// Returned when a path names something other than a regular file (a FIFO or
// a device, say).  Folders are reported with the platform's own "is a
// directory" error instead.
constexpr int error_not_regular_file = -1;

// Returned when a file holds fewer bytes than its size promised: it shrank
// while it was being read.
constexpr int error_unexpected_end = -2;

// Returned by copy_file_contents when the platform or the file system
// cannot copy between the two files inside the kernel.
constexpr int error_no_kernel_copy = -3;

// Called first thing in main.  On Windows it puts standard output and
// standard error in binary mode, switches a console to UTF-8 output, and
// replaces the arguments with their UTF-8 form, wildcard patterns expanded
// as the runtime expands them; elsewhere it does nothing.
void platform_start(int* argc, char*** argv);

// Text for an error number returned by the functions below or left in errno.
std::string platform_error_text(int error);

// Opens an existing regular file in binary mode, for reading or, with
// update set, for reading and writing without emptying it.  It never
// blocks on a FIFO and refuses anything that is not a regular file.  On
// success *size holds the file's size.
int open_regular_file(const char* path, bool update, std::FILE** stream,
                      std::uint64_t* size);

// Creates a new, empty file for writing and reading back beside target (in
// the same folder), under a name no other file has, and reports that name.
int create_temp_file(const char* target, std::string* temp_path,
                     std::FILE** stream);

// Copies the length bytes from offset on of the file open as from to the
// same place in the file open as to, inside the kernel, so that the bytes
// never pass through the program's memory.  Neither stream's position
// moves.  Returns 0 once all of them are copied, error_no_kernel_copy when
// the platform or the file system offers no such copy between these files
// (whatever it copied is then to be written over), or the error that
// stopped the copy.
int copy_file_contents(std::FILE* from, std::FILE* to, std::uint64_t offset,
                       std::uint64_t length);

// Pushes everything written to the stream through to the disk.
int sync_stream(std::FILE* stream);

// Closes the stream and reports whether its last buffered data was written.
int close_stream(std::FILE* stream);

// Gives from the name to, failing with EEXIST, and touching nothing, when to
// already exists.  This holds on every file system, including those without
// hard links such as FAT.
int rename_no_replace(const char* from, const char* to);

// Gives from the name to in one step, replacing any file called to, so that
// a reader sees either the old or the new file and never neither.
int replace_file(const char* from, const char* to);

// Deletes a file.
int remove_file(const char* path);

// Starts writing the length bytes from offset on of the file to the disk,
// without waiting for them, so that a later sync_stream finds less left to
// do.  It does nothing where the platform offers no such call, and never
// fails.
void start_writeback(std::FILE* stream, std::uint64_t offset, std::uint64_t length);

// Makes the latest renames in the folder holding path survive a power
// loss.  It does nothing where the platform keeps no such separate record.
int sync_folder_of(const char* path);

// The width in columns of the terminal the stream writes to, or 0 when it
// does not write to a terminal.
unsigned terminal_columns(std::FILE* stream);

// The folder that holds the running program, or an empty string when the
// platform does not say.
std::string program_folder();

#endif

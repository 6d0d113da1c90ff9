// Support for the end-to-end tests: scratch folders, whole-file reads and
// writes, and running the built patcher as a user would.
#ifndef OS64_RUN_PROGRAM_H
#define OS64_RUN_PROGRAM_H

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<std::uint8_t> bytes;

struct program_result {
	int status; // the exit status, or 128 + the signal that ended it
	std::string out;
	std::string err;
};

struct run_options {
	// When not zero, the largest file the program may write (RLIMIT_FSIZE),
	// with SIGXFSZ ignored so that a write past it fails like a full disk.
	std::uint64_t file_size_limit = 0;
	// Changes to the program's environment: "NAME=VALUE" sets NAME, "NAME"
	// takes it out.
	std::vector<std::string> environment;
};

// The command that runs the patcher: the emulator, if any, then the program.
// OS64_FONTPATCH and OS64_FONTPATCH_EMULATOR in the environment override the
// ones the build names.
std::vector<std::string> fontpatch_command();

// True when the patcher runs through an emulator (a Windows build under
// Wine, say), where POSIX process limits do not reach it.
bool running_under_emulator();

// True when the patcher under test is a Windows program (its name ends in
// ".exe"), which expands wildcard patterns in its argument itself.
bool running_windows_program();

program_result run_program(const std::string& folder, const std::vector<std::string>& command,
                           const run_options& options = run_options());

program_result run_fontpatch(const std::string& folder, const std::vector<std::string>& args,
                             const run_options& options = run_options());

// A new empty folder under the system's temporary folder.
std::string make_scratch_folder();
void remove_folder(const std::string& folder);

bytes read_file(const std::string& path);
void write_file(const std::string& path, const bytes& data);
bool file_exists(const std::string& path);

// The names in a folder, sorted.
std::vector<std::string> list_folder(const std::string& folder);

// The banner line and the empty line after it.
std::string banner();

// The command that runs another built program the way fontpatch_command
// runs the patcher: through the emulator, if there is one.
std::vector<std::string> emulated_command(const std::string& program);

#endif

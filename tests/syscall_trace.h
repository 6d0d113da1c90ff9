// Reading the log that `strace -f -o LOG` writes, to find every system
// call a run makes on the files it works with.
#ifndef OS64_SYSCALL_TRACE_H
#define OS64_SYSCALL_TRACE_H

#include <string>
#include <vector>

struct syscall_record {
	std::string name;       // as strace names it, for example "openat"
	unsigned occurrence;    // 1 for the first call of this name in the run, and so on
	std::string target;     // the watched files it touches, empty for none
	std::string arguments;  // the argument list as strace printed it
	std::string result;     // what follows " = ", "?" when the call never returned
	bool injected;          // strace made this call fail or stop the run
};

// The files whose calls count.  A name ending in '*' stands for every name
// that begins with the part before it; such names show as the pattern in
// syscall_record::target, so that runs with different process ids compare
// equal.
typedef std::vector<std::string> watched_names;

// Every system call in the log, in order, with the files each one touches.
// A call touches a file when it names the file as a path, works on a file
// descriptor that a call on that path returned (copy_file_range on two,
// shown as "from -> to"), maps that descriptor (mmap's fifth argument), or
// names an address inside such a mapping (as mincore, mprotect and munmap
// do), until the mapping is unmapped or replaced.
std::vector<syscall_record> parse_strace_log(const std::string& log, const watched_names& watched);

// Looks for strace along PATH, or takes OS64_STRACE from the environment.
// Returns an empty string when there is none.
std::string find_strace();

#endif

// Operating-system specific pieces of the patcher: opening files safely,
// creating a temporary file beside the image, syncing data to disk, and the
// two kinds of rename the run needs.  Everything that differs between
// POSIX systems and Windows lives in this file.
#include "platform.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdlib>

// The runtime's own start-up routine for wide-character programs.  It splits
// the command line into arguments and, when asked, expands the wildcard
// patterns in them just as it does for the narrow arguments of any console
// program.  Microsoft documents it; the MinGW headers do not declare it.
struct runtime_startup_info {
	int new_mode;
};
extern "C" int __cdecl __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env,
                                      int expand_wildcards, runtime_startup_info* info);

// Win32 error codes without a C library counterpart are kept apart from
// errno values by this offset, so that one int carries either kind and
// platform_error_text can tell them apart.
static const int win32_error_base = 0x10000;

// Turns a Win32 error code into the errno value that means the same, so
// that the message is the runtime's strerror text, worded as on other
// systems.  Codes that have no such counterpart, a sharing violation for
// one, keep the more telling text that Windows has for them.
static int error_from_win32(DWORD code)
{
	switch (code) {
	case ERROR_FILE_NOT_FOUND:
	case ERROR_PATH_NOT_FOUND:
	case ERROR_INVALID_DRIVE:
	case ERROR_BAD_NETPATH:
	case ERROR_BAD_NET_NAME:
	case ERROR_BAD_PATHNAME:
	case ERROR_NO_MORE_FILES:
	// A name with characters Windows forbids (a "*", say) names no file.
	case ERROR_INVALID_NAME:
		return ENOENT;
	case ERROR_FILENAME_EXCED_RANGE:
		return ENAMETOOLONG;
	case ERROR_ACCESS_DENIED:
	case ERROR_NETWORK_ACCESS_DENIED:
	case ERROR_WRITE_PROTECT:
		return EACCES;
	case ERROR_ALREADY_EXISTS:
	case ERROR_FILE_EXISTS:
		return EEXIST;
	case ERROR_DISK_FULL:
	case ERROR_HANDLE_DISK_FULL:
		return ENOSPC;
	case ERROR_NOT_SAME_DEVICE:
		return EXDEV;
	case ERROR_NOT_ENOUGH_MEMORY:
	case ERROR_OUTOFMEMORY:
		return ENOMEM;
	case ERROR_TOO_MANY_OPEN_FILES:
		return EMFILE;
	}
	return win32_error_base + (int)code;
}

static int last_win32_error()
{
	return error_from_win32(GetLastError());
}

// Paths travel through the program in UTF-8 and reach Windows as UTF-16.
static std::wstring widen(const char* utf8)
{
	int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
	if (n <= 0)
		return std::wstring();
	std::wstring wide((size_t)n, L'\0');
	MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], n);
	wide.resize((size_t)n - 1);
	return wide;
}

static std::string narrow(const wchar_t* wide)
{
	int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
	if (n <= 0)
		return std::string();
	std::string utf8((size_t)n, '\0');
	WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], n, nullptr, nullptr);
	utf8.resize((size_t)n - 1);
	return utf8;
}

static bool is_console(DWORD which)
{
	DWORD mode = 0;
	return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// The console's output code page when the program started.  It is set once,
// before anything is printed, and only read again at exit.
static UINT console_code_page_at_start = 0;

// Runs at exit, before the runtime flushes the streams: what they still
// hold must reach the console while it is still in UTF-8.
static void restore_console_code_page()
{
	std::fflush(stdout);
	std::fflush(stderr);
	SetConsoleOutputCP(console_code_page_at_start);
}

void platform_start(int* argc, char*** argv)
{
	// The tool's messages are bytes, each line ending in a bare line feed,
	// just as on other systems; no "\r\n" translation.
	_setmode(_fileno(stdout), _O_BINARY);
	_setmode(_fileno(stderr), _O_BINARY);

	// Paths are printed in UTF-8.  A console shows them right only in its
	// UTF-8 code page; the one it had is given back when the program ends.
	// The runtime writes to a console byte by byte, which can split a
	// character, so a console gets whole buffers instead; every message on
	// standard error flushes standard output first.
	bool out_console = is_console(STD_OUTPUT_HANDLE);
	bool err_console = is_console(STD_ERROR_HANDLE);
	if (out_console)
		std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
	if (err_console)
		std::setvbuf(stderr, nullptr, _IOFBF, BUFSIZ);
	if (out_console || err_console) {
		console_code_page_at_start = GetConsoleOutputCP();
		if (console_code_page_at_start != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
			std::atexit(restore_console_code_page);
	}

	// The narrow arguments are in the ANSI code page, which cannot hold
	// every name a user's files can have.  Take the wide ones, with their
	// wildcard patterns expanded, and hand them on in UTF-8.  They live
	// until the process ends.
	int count = 0;
	wchar_t** wide = nullptr;
	wchar_t** env = nullptr;
	runtime_startup_info info = {0};
	if (__wgetmainargs(&count, &wide, &env, 1, &info) != 0 || wide == nullptr)
		return;
	char** utf8 = new char*[(size_t)count + 1];
	for (int i = 0; i < count; i++) {
		std::string arg = narrow(wide[i]);
		utf8[i] = new char[arg.size() + 1];
		std::memcpy(utf8[i], arg.c_str(), arg.size() + 1);
	}
	utf8[count] = nullptr;
	*argc = count;
	*argv = utf8;
}

std::string platform_error_text(int error)
{
	if (error == error_not_regular_file)
		return "Not a regular file";
	if (error == error_unexpected_end)
		return "Unexpected end of file";
	if (error < win32_error_base)
		return std::strerror(error);
	DWORD code = (DWORD)(error - win32_error_base);
	wchar_t* text = nullptr;
	DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
	                         FORMAT_MESSAGE_IGNORE_INSERTS,
	                         nullptr, code, 0, (LPWSTR)&text, 0, nullptr);
	if (n == 0)
		return "Windows error " + std::to_string(code);
	std::string result = narrow(text);
	LocalFree(text);
	// The system's texts are sentences ending in a full stop and a line
	// break; the messages that quote them add their own line feed.
	while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
	                           result.back() == '.' || result.back() == ' '))
		result.pop_back();
	return result;
}

int open_regular_file(const char* path, bool update, std::FILE** stream, std::uint64_t* size)
{
	// The runtime cannot open a folder and would say "Permission denied";
	// look first so that a folder is reported as such.
	std::wstring wide = widen(path);
	DWORD attributes = GetFileAttributesW(wide.c_str());
	if (attributes == INVALID_FILE_ATTRIBUTES)
		return last_win32_error();
	if (attributes & FILE_ATTRIBUTE_DIRECTORY)
		return EISDIR;
	std::FILE* f = _wfopen(wide.c_str(), update ? L"r+b" : L"rb");
	if (f == nullptr)
		return errno;
	// A device or a pipe opens like a file; only a file on a disk is one.
	HANDLE handle = (HANDLE)_get_osfhandle(_fileno(f));
	BY_HANDLE_FILE_INFORMATION info;
	int error = 0;
	if (GetFileType(handle) != FILE_TYPE_DISK)
		error = error_not_regular_file;
	else if (!GetFileInformationByHandle(handle, &info))
		error = last_win32_error();
	else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
		error = EISDIR;
	if (error != 0) {
		std::fclose(f);
		return error;
	}
	*stream = f;
	*size = (std::uint64_t)info.nFileSizeHigh << 32 | info.nFileSizeLow;
	return 0;
}

int create_temp_file(const char* target, std::string* temp_path, std::FILE** stream)
{
	for (unsigned attempt = 0; attempt < 100; attempt++) {
		char suffix[32];
		std::snprintf(suffix, sizeof suffix, ".tmp-%lu-%u",
		              (unsigned long)GetCurrentProcessId(), attempt);
		std::string name = std::string(target) + suffix;
		std::wstring wide = widen(name.c_str());
		int fd = _wopen(wide.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY,
		                _S_IREAD | _S_IWRITE);
		if (fd < 0 && errno == EEXIST)
			continue;
		if (fd < 0)
			return errno;
		std::FILE* f = _fdopen(fd, "w+b");
		if (f == nullptr) {
			int error = errno;
			_close(fd);
			_wremove(wide.c_str());
			return error;
		}
		*temp_path = name;
		*stream = f;
		return 0;
	}
	return EEXIST;
}

int copy_file_contents(std::FILE*, std::FILE*, std::uint64_t, std::uint64_t)
{
	// Windows builds write files as they always have.
	return error_no_kernel_copy;
}

int sync_stream(std::FILE* stream)
{
	if (std::fflush(stream) != 0)
		return errno;
	if (!FlushFileBuffers((HANDLE)_get_osfhandle(_fileno(stream))))
		return last_win32_error();
	return 0;
}

int rename_no_replace(const char* from, const char* to)
{
	// Without MOVEFILE_REPLACE_EXISTING the move fails with
	// ERROR_ALREADY_EXISTS when to exists, whatever the file system.
	if (!MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_WRITE_THROUGH))
		return last_win32_error();
	return 0;
}

int replace_file(const char* from, const char* to)
{
	// Within one volume this is a rename that swaps the names in one step.
	// No MOVEFILE_COPY_ALLOWED: a copy could leave half a file behind.
	if (!MoveFileExW(widen(from).c_str(), widen(to).c_str(),
	                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
		return last_win32_error();
	return 0;
}

int remove_file(const char* path)
{
	if (!DeleteFileW(widen(path).c_str()))
		return last_win32_error();
	return 0;
}

void start_writeback(std::FILE*, std::uint64_t, std::uint64_t)
{
	// Windows writes back on its own schedule; the sync that follows waits
	// for all of it.
}

int sync_folder_of(const char*)
{
	// Windows offers a program no way to sync a folder.  The moves were
	// asked to be written through, and NTFS keeps them in its journal.
	return 0;
}

unsigned terminal_columns(std::FILE* stream)
{
	HANDLE handle = (HANDLE)_get_osfhandle(_fileno(stream));
	CONSOLE_SCREEN_BUFFER_INFO info;
	if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info))
		return 0;
	return (unsigned)(info.srWindow.Right - info.srWindow.Left + 1);
}

std::string program_folder()
{
	wchar_t path[32768];
	DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
	if (length == 0 || length >= sizeof path / sizeof path[0])
		return std::string();
	path[length] = L'\0';
	std::string name = narrow(path);
	std::size_t slash = name.find_last_of("\\/");
	return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

#else

#include <fcntl.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

void platform_start(int*, char***)
{
}

std::string platform_error_text(int error)
{
	if (error == error_not_regular_file)
		return "Not a regular file";
	if (error == error_unexpected_end)
		return "Unexpected end of file";
	return std::strerror(error);
}

int open_regular_file(const char* path, bool update, std::FILE** stream, std::uint64_t* size)
{
	// Look before opening so that a device is never opened at all, then
	// check again on the open file in case the name changed in between.
	// O_NONBLOCK keeps a FIFO from stalling the open.
	struct stat st;
	if (stat(path, &st) != 0)
		return errno;
	if (S_ISDIR(st.st_mode))
		return EISDIR;
	if (!S_ISREG(st.st_mode))
		return error_not_regular_file;
	int fd = open(path, (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	if (fd < 0)
		return errno;
	int error = 0;
	int flags = 0;
	if (fstat(fd, &st) != 0)
		error = errno;
	else if (S_ISDIR(st.st_mode))
		error = EISDIR;
	else if (!S_ISREG(st.st_mode))
		error = error_not_regular_file;
	else if ((flags = fcntl(fd, F_GETFL)) < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
		error = errno;
	std::FILE* f = nullptr;
	if (error == 0 && (f = fdopen(fd, update ? "r+b" : "rb")) == nullptr)
		error = errno;
	if (error != 0) {
		close(fd);
		return error;
	}
	*stream = f;
	*size = (std::uint64_t)st.st_size;
	return 0;
}

int create_temp_file(const char* target, std::string* temp_path, std::FILE** stream)
{
	// The mode 0666 lets the umask decide the permissions, as it would for
	// any new file the user creates.
	for (unsigned attempt = 0; attempt < 100; attempt++) {
		char suffix[48];
		std::snprintf(suffix, sizeof suffix, ".tmp-%ld-%u", (long)getpid(), attempt);
		std::string name = std::string(target) + suffix;
		int fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
		if (fd < 0 && errno == EEXIST)
			continue;
		if (fd < 0)
			return errno;
		std::FILE* f = fdopen(fd, "w+b");
		if (f == nullptr) {
			int error = errno;
			close(fd);
			unlink(name.c_str());
			return error;
		}
		*temp_path = name;
		*stream = f;
		return 0;
	}
	return EEXIST;
}

int copy_file_contents(std::FILE* from, std::FILE* to, std::uint64_t offset,
                       std::uint64_t length)
{
#if defined(__linux__)
	// Explicit offsets leave the file positions alone, so that a caller
	// falling back to writing starts where it would have anyway.
	off64_t from_offset = (off64_t)offset;
	off64_t to_offset = (off64_t)offset;
	std::uint64_t end = offset + length;
	while ((std::uint64_t)to_offset < end) {
		std::uint64_t left = end - (std::uint64_t)to_offset;
		size_t chunk = left < 0x40000000 ? (size_t)left : 0x40000000;
		ssize_t n = copy_file_range(fileno(from), &from_offset, fileno(to), &to_offset, chunk, 0);
		// An old kernel, two file systems, or one that cannot copy these
		// files: the caller writes instead.  So it does when a copy makes
		// no progress, as at the end of a source that has shrunk.
		if (n < 0 && (errno == ENOSYS || errno == EXDEV || errno == EOPNOTSUPP || errno == EINVAL))
			return error_no_kernel_copy;
		if (n < 0)
			return errno;
		if (n == 0)
			return error_no_kernel_copy;
	}
	return 0;
#else
	(void)from;
	(void)to;
	(void)offset;
	(void)length;
	return error_no_kernel_copy;
#endif
}

int sync_stream(std::FILE* stream)
{
	if (std::fflush(stream) != 0)
		return errno;
	if (fsync(fileno(stream)) != 0)
		return errno;
	return 0;
}

// The last resort of rename_no_replace, for file systems that can neither
// rename without replacing nor make hard links: claim the name by creating
// it exclusively, then rename over the placeholder that only this run made.
static int rename_over_placeholder(const char* from, const char* to)
{
	int fd = open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
	if (fd < 0)
		return errno;
	close(fd);
	if (rename(from, to) != 0) {
		int error = errno;
		unlink(to);
		return error;
	}
	return 0;
}

int rename_no_replace(const char* from, const char* to)
{
#if defined(__linux__) && defined(RENAME_NOREPLACE)
	if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
		return 0;
	// EINVAL and ENOSYS mean the kernel or the file system cannot do it.
	if (errno != EINVAL && errno != ENOSYS)
		return errno;
#endif
	if (link(from, to) == 0) {
		// Both names now lead to the file.  Should the unlink fail, the old
		// name stays behind; the caller replaces it next in any case.
		unlink(from);
		return 0;
	}
	if (errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP || errno == ENOSYS ||
	    errno == EMLINK)
		return rename_over_placeholder(from, to);
	return errno;
}

int replace_file(const char* from, const char* to)
{
	if (rename(from, to) != 0)
		return errno;
	return 0;
}

int remove_file(const char* path)
{
	if (unlink(path) != 0)
		return errno;
	return 0;
}

void start_writeback(std::FILE* stream, std::uint64_t offset, std::uint64_t length)
{
#if defined(__linux__)
	// Only a hint: whatever it fails to start, the sync writes.
	sync_file_range(fileno(stream), (off64_t)offset, (off64_t)length, SYNC_FILE_RANGE_WRITE);
#else
	(void)stream;
	(void)offset;
	(void)length;
#endif
}

int sync_folder_of(const char* path)
{
	std::string folder(path);
	size_t slash = folder.find_last_of('/');
	folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
	int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (fd < 0)
		return errno;
	int error = 0;
	// Some file systems cannot sync a folder and say so with EINVAL; their
	// renames are as durable as they get.
	if (fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP)
		error = errno;
	close(fd);
	return error;
}

unsigned terminal_columns(std::FILE* stream)
{
	struct winsize size;
	int fd = fileno(stream);
	if (fd < 0 || !isatty(fd) || ioctl(fd, TIOCGWINSZ, &size) != 0)
		return 0;
	// A terminal that does not know its width says 0; take the usual 80.
	return size.ws_col != 0 ? size.ws_col : 80;
}

std::string program_folder()
{
	// Linux names the program's file in /proc; elsewhere there is none.
	char path[4096];
	ssize_t length = readlink("/proc/self/exe", path, sizeof path);
	if (length <= 0 || (std::size_t)length >= sizeof path)
		return std::string();
	std::string name(path, (std::size_t)length);
	std::size_t slash = name.rfind('/');
	return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

#endif

int close_stream(std::FILE* stream)
{
	if (std::fclose(stream) != 0)
		return errno;
	return 0;
}

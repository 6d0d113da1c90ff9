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

#include <algorithm>
#include <vector>

// Win32 error codes are kept apart from errno values by this offset, so one
// int carries either kind and platform_error_text can tell them apart.
static const int win32_error_base = 0x10000;

static int last_win32_error()
{
	DWORD code = GetLastError();
	if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
		return EEXIST;
	if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
		return ENOENT;
	return win32_error_base + (int)code;
}

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

// Expands one argument holding * or ? into the names it matches, in the
// order the folder lists them, keeping the folder part of the pattern.  An
// argument that matches nothing is kept as it was.
static void expand_argument(const std::wstring& arg, std::vector<std::string>* out)
{
	if (arg.find_first_of(L"*?") == std::wstring::npos) {
		out->push_back(narrow(arg.c_str()));
		return;
	}
	size_t slash = arg.find_last_of(L"\\/:");
	std::wstring folder = slash == std::wstring::npos ? L"" : arg.substr(0, slash + 1);
	WIN32_FIND_DATAW found;
	HANDLE search = FindFirstFileW(arg.c_str(), &found);
	if (search == INVALID_HANDLE_VALUE) {
		out->push_back(narrow(arg.c_str()));
		return;
	}
	std::vector<std::string> names;
	do {
		if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
			continue;
		names.push_back(narrow((folder + found.cFileName).c_str()));
	} while (FindNextFileW(search, &found));
	FindClose(search);
	if (names.empty())
		out->push_back(narrow(arg.c_str()));
	std::sort(names.begin(), names.end());
	out->insert(out->end(), names.begin(), names.end());
}

void platform_start(int* argc, char*** argv)
{
	if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR)
		SetConsoleOutputCP(CP_UTF8);

	int count = 0;
	wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
	if (wide == nullptr)
		return;
	// The arguments must live until the process ends; they are never freed.
	static std::vector<std::string> args;
	static std::vector<char*> pointers;
	for (int i = 0; i < count; i++) {
		if (i == 0)
			args.push_back(narrow(wide[i]));
		else
			expand_argument(wide[i], &args);
	}
	LocalFree(wide);
	for (std::string& arg : args)
		pointers.push_back(&arg[0]);
	pointers.push_back(nullptr);
	*argc = (int)args.size();
	*argv = pointers.data();
}

std::string platform_error_text(int error)
{
	if (error == error_not_regular_file)
		return "Not a regular file";
	if (error == error_unexpected_end)
		return "Unexpected end of file";
	if (error < win32_error_base)
		return std::strerror(error);
	wchar_t* text = nullptr;
	DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
	                         FORMAT_MESSAGE_IGNORE_INSERTS,
	                         nullptr, (DWORD)(error - win32_error_base), 0,
	                         (LPWSTR)&text, 0, nullptr);
	if (n == 0)
		return "Windows error " + std::to_string(error - win32_error_base);
	std::string result = narrow(text);
	LocalFree(text);
	while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
	                           result.back() == '.' || result.back() == ' '))
		result.pop_back();
	return result;
}

int open_regular_file(const char* path, bool update, std::FILE** stream, std::uint64_t* size)
{
	std::wstring wide = widen(path);
	DWORD attributes = GetFileAttributesW(wide.c_str());
	if (attributes == INVALID_FILE_ATTRIBUTES)
		return last_win32_error();
	if (attributes & FILE_ATTRIBUTE_DIRECTORY)
		return EISDIR;
	std::FILE* f = _wfopen(wide.c_str(), update ? L"r+b" : L"rb");
	if (f == nullptr)
		return errno;
	HANDLE handle = (HANDLE)_get_osfhandle(_fileno(f));
	LARGE_INTEGER length;
	if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &length)) {
		std::fclose(f);
		return error_not_regular_file;
	}
	*stream = f;
	*size = (std::uint64_t)length.QuadPart;
	return 0;
}

int create_temp_file(const char* target, std::string* temp_path, std::FILE** stream)
{
	for (unsigned attempt = 0; attempt < 100; attempt++) {
		char suffix[32];
		std::snprintf(suffix, sizeof suffix, ".tmp-%lu-%u",
		              (unsigned long)GetCurrentProcessId(), attempt);
		std::string name = std::string(target) + suffix;
		int fd = -1;
		errno_t e = _wsopen_s(&fd, widen(name.c_str()).c_str(),
		                      _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY,
		                      _SH_DENYNO, _S_IREAD | _S_IWRITE);
		if (e == EEXIST)
			continue;
		if (e != 0)
			return e;
		std::FILE* f = _fdopen(fd, "wb");
		if (f == nullptr) {
			int error = errno;
			_close(fd);
			_wremove(widen(name.c_str()).c_str());
			return error;
		}
		*temp_path = name;
		*stream = f;
		return 0;
	}
	return EEXIST;
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
	// Without MOVEFILE_REPLACE_EXISTING the move fails when to exists.
	if (!MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_WRITE_THROUGH))
		return last_win32_error();
	return 0;
}

int replace_file(const char* from, const char* to)
{
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

int map_file_copy(std::FILE*, std::uint64_t, std::uint8_t**)
{
	// Windows builds read images as they always have.
	return ENOTSUP;
}

int sync_folder_of(const char*)
{
	// MOVEFILE_WRITE_THROUGH has already made the renames durable.
	return 0;
}

#else

#include <fcntl.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

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
	if (fstat(fd, &st) != 0)
		error = errno;
	else if (S_ISDIR(st.st_mode))
		error = EISDIR;
	else if (!S_ISREG(st.st_mode))
		error = error_not_regular_file;
	else if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
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
		int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
		if (fd < 0 && errno == EEXIST)
			continue;
		if (fd < 0)
			return errno;
		std::FILE* f = fdopen(fd, "wb");
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

int map_file_copy(std::FILE* stream, std::uint64_t size, std::uint8_t** bytes)
{
#if defined(__linux__) && defined(MAP_POPULATE)
	if (size == 0 || (std::uint64_t)(size_t)size != size)
		return EINVAL;
	// The pages come in read-only, so that bringing them in copies nothing;
	// a page is copied only once the run writes to it.
	void* map = mmap(nullptr, (size_t)size, PROT_READ, MAP_PRIVATE | MAP_POPULATE,
	                 fileno(stream), 0);
	if (map == MAP_FAILED)
		return errno;
	// MAP_POPULATE does not report a page it failed to read, and touching
	// such a page later would raise SIGBUS instead of an error message.  So
	// every page must be in memory now, or the caller reads the file.
	size_t page = (size_t)sysconf(_SC_PAGESIZE);
	std::vector<unsigned char> resident(((size_t)size + page - 1) / page);
	int error = 0;
	if (mincore(map, (size_t)size, resident.data()) != 0)
		error = errno;
	for (size_t i = 0; error == 0 && i < resident.size(); i++)
		if ((resident[i] & 1) == 0)
			error = EIO;
	if (error == 0 && mprotect(map, (size_t)size, PROT_READ | PROT_WRITE) != 0)
		error = errno;
	if (error != 0) {
		munmap(map, (size_t)size);
		return error;
	}
	*bytes = static_cast<std::uint8_t*>(map);
	return 0;
#else
	(void)stream;
	(void)size;
	(void)bytes;
	return ENOTSUP;
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

#endif

int close_stream(std::FILE* stream)
{
	if (std::fclose(stream) != 0)
		return errno;
	return 0;
}

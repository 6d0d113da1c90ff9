// Whole-file reads and safe writes, for the patcher and os64-font.
#include "font_files.h"

#include "platform.h"

#include <cerrno>
#include <cstring>
#include <new>

int read_exactly(std::FILE* stream, std::uint8_t* data, std::size_t size)
{
	if (size == 0)
		return 0;
	errno = 0;
	std::size_t n = std::fread(data, 1, size, stream);
	if (std::ferror(stream))
		return errno != 0 ? errno : EIO;
	if (n != size)
		return error_unexpected_end;
	return 0;
}

int read_and_close(std::FILE* stream, std::uint64_t size, std::vector<std::uint8_t>* data)
{
	int error = 0;
	try {
		data->resize((std::size_t)size);
	} catch (const std::bad_alloc&) {
		error = ENOMEM;
	}
	if (error == 0)
		error = read_exactly(stream, data->data(), (std::size_t)size);
	std::fclose(stream);
	return error;
}

// A private mapping shows the file's own bytes except in the pages the run
// wrote to, and no platform has pages larger than this.
static const std::size_t largest_page = 0x10000;

// Copies the original file into out inside the kernel and writes the count
// changed bytes at offset over the copy.  Then checks that out is as long
// as data and holds its bytes in the pages around the change, the only
// place where the mapping can differ from the file.  Returns 0,
// error_no_kernel_copy when the copy cannot be made or does not hold data,
// or the error that stopped it.
static int copy_and_change(std::FILE* out, std::FILE* original, const std::uint8_t* data,
                           std::size_t length, std::size_t offset, std::size_t count)
{
	int error = copy_file_contents(original, out, length);
	if (error != 0)
		return error;
	std::size_t start = offset / largest_page * largest_page;
	std::size_t end = (offset + count + largest_page - 1) / largest_page * largest_page;
	std::vector<std::uint8_t> copy;
	try {
		copy.resize((end < length ? end : length) - start);
	} catch (const std::bad_alloc&) {
		return ENOMEM;
	}
	errno = 0;
	long copy_length = 0;
	if (std::fseek(out, (long)offset, SEEK_SET) != 0 ||
	    std::fwrite(data + offset, 1, count, out) != count ||
	    std::fseek(out, 0, SEEK_END) != 0 || (copy_length = std::ftell(out)) < 0 ||
	    std::fseek(out, (long)start, SEEK_SET) != 0)
		return errno != 0 ? errno : EIO;
	if ((std::size_t)copy_length != length)
		return error_no_kernel_copy;
	error = read_exactly(out, copy.data(), copy.size());
	if (error == error_unexpected_end ||
	    (error == 0 && !copy.empty() && std::memcmp(copy.data(), data + start, copy.size()) != 0))
		return error_no_kernel_copy;
	return error;
}

int write_changed_copy(const char* target, std::FILE* original, const std::uint8_t* data,
                       std::size_t length, std::size_t offset, std::size_t count,
                       std::string* temp_path, const char** failed_step)
{
	std::FILE* out = nullptr;
	int error = create_temp_file(target, temp_path, &out);
	if (error != 0) {
		*failed_step = "create";
		return error;
	}
	*failed_step = "write";
	error = original != nullptr ? copy_and_change(out, original, data, length, offset, count)
	                            : error_no_kernel_copy;
	// Without a copy, data is written whole, over whatever a copy left.
	if (error == error_no_kernel_copy) {
		errno = 0;
		error = 0;
		if ((original != nullptr && std::fseek(out, 0, SEEK_SET) != 0) ||
		    (length > 0 && std::fwrite(data, 1, length, out) != length))
			error = errno != 0 ? errno : EIO;
	}
	if (error == 0)
		error = sync_stream(out);
	int close_error = close_stream(out);
	if (error == 0)
		error = close_error;
	if (error != 0)
		remove_file(temp_path->c_str());
	return error;
}

int write_temp_file(const char* target, const std::uint8_t* data, std::size_t length,
                    std::string* temp_path, const char** failed_step)
{
	return write_changed_copy(target, nullptr, data, length, 0, 0, temp_path, failed_step);
}

int write_output_file(const char* path, const std::vector<std::uint8_t>& data, bool replace)
{
	std::string temp_path;
	const char* failed_step = "";
	int error = write_temp_file(path, data.data(), data.size(), &temp_path, &failed_step);
	if (error != 0)
		return error;
	// The rename is the single step that makes the new file appear under
	// its name; until then the old one, if any, is untouched.
	error = replace ? replace_file(temp_path.c_str(), path)
	                : rename_no_replace(temp_path.c_str(), path);
	if (error != 0) {
		remove_file(temp_path.c_str());
		return error;
	}
	return sync_folder_of(path);
}

// Whole-file reads and safe writes, for the patcher and os64-font.
#include "font_files.h"

#include "platform.h"

#include <cerrno>
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

int write_temp_file(const char* target, const std::uint8_t* data, std::size_t length,
                    std::string* temp_path, const char** failed_step)
{
	std::FILE* out = nullptr;
	int error = create_temp_file(target, temp_path, &out);
	if (error != 0) {
		*failed_step = "create";
		return error;
	}
	*failed_step = "write";
	errno = 0;
	if (length > 0 && std::fwrite(data, 1, length, out) != length)
		error = errno != 0 ? errno : EIO;
	if (error == 0)
		error = sync_stream(out);
	int close_error = close_stream(out);
	if (error == 0)
		error = close_error;
	if (error != 0)
		remove_file(temp_path->c_str());
	return error;
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

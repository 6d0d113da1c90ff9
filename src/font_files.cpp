// Whole-file reads and safe writes for os64-font.
#include "font_files.h"

#include "platform.h"

#include <cerrno>
#include <new>

int read_and_close(std::FILE* stream, std::uint64_t size, std::vector<std::uint8_t>* data)
{
	int error = 0;
	try {
		data->resize((std::size_t)size);
	} catch (const std::bad_alloc&) {
		error = ENOMEM;
	}
	if (error == 0 && size > 0) {
		errno = 0;
		std::size_t n = std::fread(data->data(), 1, (std::size_t)size, stream);
		if (std::ferror(stream))
			error = errno != 0 ? errno : EIO;
		else if (n != size)
			error = error_unexpected_end;
	}
	std::fclose(stream);
	return error;
}

int write_output_file(const char* path, const std::vector<std::uint8_t>& data, bool replace)
{
	std::string temp_path;
	std::FILE* out = nullptr;
	int error = create_temp_file(path, &temp_path, &out);
	if (error != 0)
		return error;
	errno = 0;
	if (!data.empty() && std::fwrite(data.data(), 1, data.size(), out) != data.size())
		error = errno != 0 ? errno : EIO;
	if (error == 0)
		error = sync_stream(out);
	int close_error = close_stream(out);
	if (error == 0)
		error = close_error;
	// The rename is the single step that makes the new file appear under
	// its name; until then the old one, if any, is untouched.
	if (error == 0)
		error = replace ? replace_file(temp_path.c_str(), path)
		                : rename_no_replace(temp_path.c_str(), path);
	if (error != 0) {
		remove_file(temp_path.c_str());
		return error;
	}
	return sync_folder_of(path);
}

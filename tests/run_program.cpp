#include "run_program.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

static std::vector<std::string> split_words(const std::string& text)
{
	std::istringstream in(text);
	return std::vector<std::string>(std::istream_iterator<std::string>(in),
	                                std::istream_iterator<std::string>());
}

std::vector<std::string> fontpatch_command()
{
	const char* emulator = std::getenv("OS64_FONTPATCH_EMULATOR");
	const char* program = std::getenv("OS64_FONTPATCH");
	std::vector<std::string> command = split_words(emulator ? emulator : "");
	command.push_back(program && *program ? program : OS64_FONTPATCH_PATH);
	return command;
}

bool running_under_emulator()
{
	return fontpatch_command().size() > 1;
}

bool running_windows_program()
{
	std::string program = fontpatch_command().back();
	return program.size() >= 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
}

program_result run_program(const std::string& folder, const std::vector<std::string>& command,
                           const run_options& options)
{
	int out_pipe[2];
	int err_pipe[2];
	if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0)
		throw std::runtime_error("pipe failed");
	pid_t pid = fork();
	if (pid < 0)
		throw std::runtime_error("fork failed");
	if (pid == 0) {
		dup2(out_pipe[1], 1);
		dup2(err_pipe[1], 2);
		close(out_pipe[0]);
		close(err_pipe[0]);
		close(out_pipe[1]);
		close(err_pipe[1]);
		if (chdir(folder.c_str()) != 0)
			_exit(126);
		for (const std::string& change : options.environment) {
			std::size_t equals = change.find('=');
			if (equals == std::string::npos)
				unsetenv(change.c_str());
			else
				setenv(change.substr(0, equals).c_str(), change.c_str() + equals + 1, 1);
		}
		if (options.file_size_limit != 0) {
			signal(SIGXFSZ, SIG_IGN);
			struct rlimit limit;
			limit.rlim_cur = limit.rlim_max = options.file_size_limit;
			setrlimit(RLIMIT_FSIZE, &limit);
		}
		std::vector<char*> argv;
		for (const std::string& word : command)
			argv.push_back(const_cast<char*>(word.c_str()));
		argv.push_back(nullptr);
		execv(argv[0], argv.data());
		_exit(127);
	}
	close(out_pipe[1]);
	close(err_pipe[1]);

	program_result result{0, "", ""};
	struct pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
	std::string* sinks[2] = {&result.out, &result.err};
	int open_count = 2;
	while (open_count > 0) {
		if (poll(fds, 2, -1) < 0) {
			if (errno == EINTR)
				continue;
			break;
		}
		for (int k = 0; k < 2; k++) {
			if (fds[k].fd < 0 || fds[k].revents == 0)
				continue;
			char chunk[4096];
			ssize_t n = read(fds[k].fd, chunk, sizeof chunk);
			if (n > 0) {
				sinks[k]->append(chunk, (size_t)n);
			} else {
				close(fds[k].fd);
				fds[k].fd = -1;
				open_count--;
			}
		}
	}
	int status = 0;
	while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
	}
	result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
	return result;
}

program_result run_fontpatch(const std::string& folder, const std::vector<std::string>& args,
                             const run_options& options)
{
	std::vector<std::string> command = fontpatch_command();
	command.insert(command.end(), args.begin(), args.end());
	return run_program(folder, command, options);
}

std::string make_scratch_folder()
{
	std::string pattern = (std::filesystem::temp_directory_path() / "os64-test-XXXXXX").string();
	if (mkdtemp(&pattern[0]) == nullptr)
		throw std::runtime_error("mkdtemp failed");
	return pattern;
}

void remove_folder(const std::string& folder)
{
	std::error_code ignored;
	std::filesystem::remove_all(folder, ignored);
}

bytes read_file(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	if (!in)
		throw std::runtime_error("cannot read " + path);
	// Whole blocks rather than a character at a time: the fault injection
	// tests read thousands of images, which a sanitizer build makes slow.
	bytes data;
	char block[65536];
	while (in.read(block, sizeof block) || in.gcount() > 0)
		data.insert(data.end(), block, block + in.gcount());
	if (in.bad())
		throw std::runtime_error("cannot read " + path);
	return data;
}

void write_file(const std::string& path, const bytes& data)
{
	std::ofstream out(path, std::ios::binary | std::ios::trunc);
	out.write(reinterpret_cast<const char*>(data.data()), (std::streamsize)data.size());
	if (!out)
		throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string& path)
{
	std::error_code ignored;
	return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

std::vector<std::string> list_folder(const std::string& folder)
{
	std::vector<std::string> names;
	for (const auto& entry : std::filesystem::directory_iterator(folder))
		names.push_back(entry.path().filename().string());
	std::sort(names.begin(), names.end());
	return names;
}

std::string banner()
{
	return std::string("OS64 font patcher ") + OS64_FONTPATCH_VERSION + "\n\n";
}

std::vector<std::string> emulated_command(const std::string& program)
{
	const char* emulator = std::getenv("OS64_FONTPATCH_EMULATOR");
	std::vector<std::string> command = split_words(emulator ? emulator : "");
	command.push_back(program);
	return command;
}

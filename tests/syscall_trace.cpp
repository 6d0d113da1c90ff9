#include "syscall_trace.h"

#include <cstdlib>
#include <map>
#include <sstream>

#include <unistd.h>

// A call whose first argument is a plain number works on that file
// descriptor.  strace prints AT_FDCWD by name, so the calls that take a
// folder and a path, like openat, are not mistaken for such calls.
static bool is_number(const std::string& text)
{
	if (text.empty())
		return false;
	for (char c : text)
		if (c < '0' || c > '9')
			return false;
	return true;
}

static std::string watched_as(const std::string& path, const watched_names& watched)
{
	for (const std::string& name : watched) {
		if (!name.empty() && name.back() == '*') {
			if (path.compare(0, name.size() - 1, name, 0, name.size() - 1) == 0)
				return name;
		} else if (path == name) {
			return name;
		}
	}
	return "";
}

// Splits an argument list at its top-level commas, keeping quoted strings
// whole and undoing nothing but their quotes.  Quoted arguments keep a
// leading '"' so that they can be told from the rest.
static std::vector<std::string> split_arguments(const std::string& text)
{
	std::vector<std::string> arguments;
	std::string current;
	int depth = 0;
	bool quoted = false;
	for (std::size_t i = 0; i < text.size(); i++) {
		char c = text[i];
		if (quoted) {
			if (c == '\\' && i + 1 < text.size()) {
				current += text[++i];
				continue;
			}
			if (c == '"') {
				quoted = false;
				continue;
			}
			current += c;
			continue;
		}
		if (c == '"') {
			quoted = true;
			if (current.find_first_not_of(' ') == std::string::npos)
				current = "\"";
			continue;
		}
		if (c == '(' || c == '{' || c == '[')
			depth++;
		else if (c == ')' || c == '}' || c == ']')
			depth--;
		if (c == ',' && depth == 0) {
			arguments.push_back(current);
			current.clear();
			continue;
		}
		if (c == ' ' && current.empty())
			continue;
		current += c;
	}
	if (!current.empty())
		arguments.push_back(current);
	return arguments;
}

// Finds the parenthesis that closes the argument list opened at open,
// skipping quoted strings, which may hold any character.
static std::size_t closing_parenthesis(const std::string& line, std::size_t open)
{
	int depth = 0;
	bool quoted = false;
	for (std::size_t i = open; i < line.size(); i++) {
		char c = line[i];
		if (quoted) {
			if (c == '\\')
				i++;
			else if (c == '"')
				quoted = false;
			continue;
		}
		if (c == '"')
			quoted = true;
		else if (c == '(')
			depth++;
		else if (c == ')' && --depth == 0)
			return i;
	}
	return std::string::npos;
}

static bool opens_a_file(const std::string& name)
{
	return name == "openat" || name == "open" || name == "creat" || name == "openat2";
}

// mmap takes its file descriptor as the fifth argument, after the address,
// the length, the protection and the flags.
static bool maps_a_file(const std::string& name)
{
	return name == "mmap" || name == "mmap2";
}

// Calls that work on memory a mapping covers, named by an address in their
// first argument.
static bool works_on_a_mapping(const std::string& name)
{
	return name == "mincore" || name == "mprotect" || name == "munmap" || name == "madvise" ||
	       name == "msync";
}

// Reads an address or a length as strace prints it, in hexadecimal with
// "0x" or in decimal.  "NULL" and anything else that is no number give
// false.
static bool read_number(const std::string& text, unsigned long long* value)
{
	if (text.empty() || text[0] < '0' || text[0] > '9')
		return false;
	char* end = nullptr;
	*value = std::strtoull(text.c_str(), &end, 0);
	return *end == '\0';
}

// The memory that a mapping of a watched file covers, from start up to but
// not including end.
struct mapped_file {
	unsigned long long start;
	unsigned long long end;
	std::string target;
};

// Forgets the part of every mapping that lies in the given range: it was
// unmapped, or a new mapping took its place.  What lies on either side of
// the range stays mapped.
static void forget_mappings(std::vector<mapped_file>* mappings, unsigned long long start,
                            unsigned long long length)
{
	unsigned long long end = start + length;
	std::vector<mapped_file> kept;
	for (const mapped_file& m : *mappings) {
		if (m.end <= start || m.start >= end) {
			kept.push_back(m);
			continue;
		}
		if (m.start < start)
			kept.push_back({m.start, start, m.target});
		if (m.end > end)
			kept.push_back({end, m.end, m.target});
	}
	*mappings = kept;
}

std::vector<syscall_record> parse_strace_log(const std::string& log, const watched_names& watched)
{
	std::vector<syscall_record> records;
	std::map<std::string, unsigned> counts;
	std::map<long, std::string> open_files;
	std::vector<mapped_file> mappings;
	std::istringstream in(log);
	std::string line;
	while (std::getline(in, line)) {
		// Each line starts with the process id under -f.
		std::size_t start = line.find(' ');
		if (start == std::string::npos)
			continue;
		start = line.find_first_not_of(' ', start);
		std::size_t open = line.find('(', start);
		if (start == std::string::npos || open == std::string::npos)
			continue;
		std::string name = line.substr(start, open - start);
		if (name.empty() || name.find_first_of(" +-<") != std::string::npos)
			continue;
		std::size_t close = closing_parenthesis(line, open);
		if (close == std::string::npos)
			continue;

		syscall_record record;
		record.name = name;
		record.occurrence = ++counts[name];
		record.arguments = line.substr(open + 1, close - open - 1);
		std::size_t equals = line.find(" = ", close);
		record.result = equals == std::string::npos ? "?" : line.substr(equals + 3);
		record.injected = line.find("(INJECTED)", close) != std::string::npos;

		std::vector<std::string> arguments = split_arguments(record.arguments);
		unsigned long long address = 0;
		unsigned long long length = 0;
		bool has_range = arguments.size() >= 2 && read_number(arguments[0], &address) &&
		                 read_number(arguments[1], &length);
		if (maps_a_file(name)) {
			if (arguments.size() >= 5 && is_number(arguments[4])) {
				auto found = open_files.find(std::stol(arguments[4]));
				if (found != open_files.end())
					record.target = found->second;
			}
		} else if (works_on_a_mapping(name)) {
			if (has_range)
				for (const mapped_file& m : mappings)
					if (address >= m.start && address < m.end)
						record.target = m.target;
		} else if (!arguments.empty() && is_number(arguments[0]) && !opens_a_file(name)) {
			auto found = open_files.find(std::stol(arguments[0]));
			if (found != open_files.end())
				record.target = found->second;
			// copy_file_range names the file it copies to third.
			if (name == "copy_file_range" && arguments.size() >= 3 && is_number(arguments[2]) &&
			    (found = open_files.find(std::stol(arguments[2]))) != open_files.end())
				record.target += record.target.empty() ? found->second : " -> " + found->second;
		} else {
			for (const std::string& argument : arguments) {
				if (argument.empty() || argument[0] != '"')
					continue;
				std::string as = watched_as(argument.substr(1), watched);
				if (as.empty())
					continue;
				record.target += record.target.empty() ? as : " -> " + as;
			}
		}

		long result = std::atol(record.result.c_str());
		if (opens_a_file(name) && !record.injected && result >= 0 && record.result != "?") {
			if (record.target.empty())
				open_files.erase(result);
			else
				open_files[result] = record.target;
		}
		if (name == "close" && !arguments.empty() && is_number(arguments[0]))
			open_files.erase(std::stol(arguments[0]));
		// A mapping stays after its file descriptor is closed, until it is
		// unmapped or another mapping takes its addresses.
		unsigned long long mapped_at = 0;
		if (maps_a_file(name) && arguments.size() >= 2 && read_number(arguments[1], &length) &&
		    read_number(record.result.substr(0, record.result.find(' ')), &mapped_at)) {
			forget_mappings(&mappings, mapped_at, length);
			if (!record.target.empty())
				mappings.push_back({mapped_at, mapped_at + length, record.target});
		}
		if (name == "munmap" && has_range && record.result == "0")
			forget_mappings(&mappings, address, length);
		records.push_back(record);
	}
	return records;
}

std::string find_strace()
{
	const char* given = std::getenv("OS64_STRACE");
	if (given != nullptr)
		return given;
	const char* path = std::getenv("PATH");
	std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
	std::string folder;
	while (std::getline(folders, folder, ':')) {
		std::string candidate = (folder.empty() ? "." : folder) + "/strace";
		if (access(candidate.c_str(), X_OK) == 0)
			return candidate;
	}
	return "";
}

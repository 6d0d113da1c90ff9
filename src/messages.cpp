// Formatting messages: what every host of the messages shares.
#include "messages.h"

std::string format(const std::string& pattern, std::initializer_list<std::string> args)
{
	return format(pattern, std::vector<std::string>(args));
}

std::string format(const std::string& pattern, const std::vector<std::string>& list)
{
	std::string out;
	std::size_t next = 0;
	for (std::size_t i = 0; i < pattern.size(); i++) {
		if (pattern[i] != '%' || i + 1 == pattern.size()) {
			out += pattern[i];
			continue;
		}
		if (pattern[i + 1] == '%') {
			out += '%';
			i++;
			continue;
		}
		// %s takes the next argument, %N$s the Nth.
		std::size_t at = i + 1;
		std::size_t index = 0;
		while (at < pattern.size() && pattern[at] >= '0' && pattern[at] <= '9')
			index = index * 10 + (std::size_t)(pattern[at++] - '0');
		bool positional = at > i + 1 && at + 1 < pattern.size() && pattern[at] == '$' &&
		                  pattern[at + 1] == 's' && index >= 1;
		if (!positional && pattern[i + 1] != 's') {
			out += pattern[i];
			continue;
		}
		std::size_t which = positional ? index - 1 : next++;
		if (which < list.size())
			out += list[which];
		i = positional ? at + 1 : i + 1;
	}
	return out;
}

// Messages as they are written, in English, for os64-fontpatch, whose lines
// are fixed whatever the locale, and for the tools and tests built beside
// it.
#include "messages.h"

std::string tr(const char* message)
{
	return message;
}

std::string tr_n(const char* one, const char* many, unsigned long n)
{
	return n == 1 ? one : many;
}

std::string number_text(unsigned long long n)
{
	return std::to_string(n);
}

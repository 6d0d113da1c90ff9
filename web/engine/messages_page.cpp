// Messages for the browser's engine: the page's catalog of the language
// chosen there, through the functions os64.js hands the engine when it
// starts it (os64_translate, os64_translate_plural and os64_number).
#include "messages.h"

#include <emscripten.h>

#include <cstdlib>

// The text of a message of one of three kinds, in a block from malloc
// that the caller frees: the translation of one (kind 0), the form of
// one or many for n (kind 1), or the number n as the language writes it
// (kind 2).
EM_JS(char*, page_message, (int kind, const char* one, const char* many, double n), {
	var text = kind === 0 ? Module.os64_translate(UTF8ToString(one))
	         : kind === 1 ? Module.os64_translate_plural(UTF8ToString(one), UTF8ToString(many), n)
	                      : Module.os64_number(n);
	var size = lengthBytesUTF8(text) + 1;
	var block = _malloc(size);
	if (block !== 0)
		stringToUTF8(text, block, size);
	return block;
});

static std::string taken(char* block)
{
	if (block == nullptr)
		return std::string();
	std::string text(block);
	std::free(block);
	return text;
}

std::string tr(const char* message)
{
	return taken(page_message(0, message, nullptr, 0));
}

std::string tr_n(const char* one, const char* many, unsigned long n)
{
	return taken(page_message(1, one, many, (double)n));
}

std::string number_text(unsigned long long n)
{
	return taken(page_message(2, nullptr, nullptr, (double)n));
}

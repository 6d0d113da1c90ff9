// Code pages through the C library's iconv, for os64-font.  The browser's
// engine has no iconv and links a table of its own instead
// (web/engine/codepage_table.cpp).
#include "font_codepage.h"
#include "messages.h"

#include <cerrno>
#include <iconv.h>

// Converts one byte.  Returns the code point, 0 when the code page leaves
// the byte undefined, or invalid_utf8 when the byte only begins a longer
// sequence, which a single-byte code page never does.
static std::uint32_t convert_byte(iconv_t cd, unsigned byte)
{
	char in[1] = {(char)byte};
	unsigned char out[16];
	char* in_p = in;
	char* out_p = reinterpret_cast<char*>(out);
	std::size_t in_left = 1;
	std::size_t out_left = sizeof out;
	iconv(cd, nullptr, nullptr, nullptr, nullptr);
	std::size_t n = iconv(cd, &in_p, &in_left, &out_p, &out_left);
	int error = errno;
	if (n == (std::size_t)-1)
		return error == EINVAL ? invalid_utf8 : 0;
	// Flush whatever a stateful conversion holds back.
	iconv(cd, nullptr, nullptr, &out_p, &out_left);
	if (sizeof out - out_left != 4)
		return 0;
	return (std::uint32_t)out[0] << 24 | (std::uint32_t)out[1] << 16 |
	       (std::uint32_t)out[2] << 8 | (std::uint32_t)out[3];
}

bool converter_characters(const std::string& name, codepage_chars chars, std::string* error)
{
	iconv_t cd = iconv_open("UTF-32BE", name.c_str());
	if (cd == (iconv_t)-1) {
		*error = format(tr("unknown code page '%s' (the names 'iconv -l' lists can be used)"),
		                {name});
		return false;
	}
	bool single_byte = true;
	for (unsigned byte = 0; byte < 256; byte++) {
		std::uint32_t c = convert_byte(cd, byte);
		if (c == invalid_utf8)
			single_byte = false;
		chars[byte] = c == invalid_utf8 || c > 0x10FFFF ? 0 : c;
	}
	iconv_close(cd);
	if (!single_byte) {
		*error = format(tr("'%s' is not a single-byte code page"), {name});
		return false;
	}
	return true;
}

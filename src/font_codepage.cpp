// Code pages through iconv, code page 437's graphic characters, and UTF-8.
#include "font_codepage.h"

#include <cerrno>
#include <cstdio>
#include <iconv.h>

// What code page 437 draws in the slots that other code pages give to
// control codes: 0x01-0x1F, and DEL at 0x7F.  iconv maps these slots to
// the control codes themselves, so they are the one part of the layout
// written out here.
static const std::uint32_t graphic_controls[32] = {
	0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
	0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
	0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
	0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
};
static const std::uint32_t graphic_delete = 0x2302;

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

bool codepage_characters(const std::string& name, codepage_chars chars, std::string* error)
{
	iconv_t cd = iconv_open("UTF-32BE", name.c_str());
	if (cd == (iconv_t)-1) {
		*error = "unknown code page '" + name + "' (the names 'iconv -l' lists can be used)";
		return false;
	}
	bool single_byte = true;
	for (unsigned byte = 0; byte < 256; byte++) {
		std::uint32_t c = convert_byte(cd, byte);
		if (c == invalid_utf8)
			single_byte = false;
		if (byte == 0 || c == invalid_utf8 || c > 0x10FFFF)
			c = 0;
		else if (c < 0x20)
			c = graphic_controls[c];
		else if (c == 0x7F)
			c = graphic_delete;
		chars[byte] = c;
	}
	iconv_close(cd);
	if (!single_byte) {
		*error = "'" + name + "' is not a single-byte code page";
		return false;
	}
	return true;
}

bool cp437_characters(codepage_chars chars, std::string* error)
{
	if (codepage_characters("CP437", chars, error))
		return true;
	*error = "this system's iconv lacks code page 437: " + *error;
	return false;
}

int slot_of(const codepage_chars chars, std::uint32_t c)
{
	if (c == 0)
		return -1;
	for (unsigned slot = 0; slot < 256; slot++)
		if (chars[slot] == c)
			return (int)slot;
	return -1;
}

// The length of the sequence a UTF-8 lead byte begins, or 0 for a byte
// that begins none.
static unsigned sequence_length(unsigned char lead)
{
	if (lead < 0x80)
		return 1;
	if (lead >= 0xC2 && lead <= 0xDF)
		return 2;
	if (lead >= 0xE0 && lead <= 0xEF)
		return 3;
	if (lead >= 0xF0 && lead <= 0xF4)
		return 4;
	return 0;
}

std::vector<std::uint32_t> decode_utf8(const std::string& text)
{
	static const std::uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
	std::vector<std::uint32_t> out;
	std::size_t i = 0;
	while (i < text.size()) {
		unsigned char lead = (unsigned char)text[i];
		unsigned length = sequence_length(lead);
		std::uint32_t c = length == 1 ? lead : lead & (0x7Fu >> length);
		bool ok = length > 0 && i + length <= text.size();
		for (unsigned k = 1; ok && k < length; k++) {
			unsigned char next = (unsigned char)text[i + k];
			ok = (next & 0xC0) == 0x80;
			c = c << 6 | (next & 0x3Fu);
		}
		// Overlong forms, surrogates and values past U+10FFFF are invalid.
		if (ok && (c < smallest[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF))
			ok = false;
		out.push_back(ok ? c : invalid_utf8);
		i += ok ? length : 1;
	}
	return out;
}

std::string encode_utf8(std::uint32_t c)
{
	std::string out;
	if (c < 0x80) {
		out += (char)c;
	} else if (c < 0x800) {
		out += (char)(0xC0 | c >> 6);
		out += (char)(0x80 | (c & 0x3F));
	} else if (c < 0x10000) {
		out += (char)(0xE0 | c >> 12);
		out += (char)(0x80 | ((c >> 6) & 0x3F));
		out += (char)(0x80 | (c & 0x3F));
	} else {
		out += (char)(0xF0 | c >> 18);
		out += (char)(0x80 | ((c >> 12) & 0x3F));
		out += (char)(0x80 | ((c >> 6) & 0x3F));
		out += (char)(0x80 | (c & 0x3F));
	}
	return out;
}

std::string describe_character(std::uint32_t c)
{
	char number[16];
	std::snprintf(number, sizeof number, "U+%04X", (unsigned)c);
	bool shows = c > 0x20 && !(c >= 0x7F && c <= 0xA0) && c != 0xAD && c <= 0x10FFFF &&
	             !(c >= 0x2000 && c <= 0x200F) && !(c >= 0xD800 && c <= 0xDFFF);
	return shows ? std::string(number) + " " + encode_utf8(c) : std::string(number);
}

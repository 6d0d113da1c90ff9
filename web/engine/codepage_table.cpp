// Code pages for the browser's engine, which has no iconv: the table that
// tools/make_codepage_table.cpp makes from the iconv os64-font uses, so
// that the page lays out every font as os64-font does.  A name is looked
// up as iconv looks it up, whatever its case and punctuation, and under
// the other names iconv knows for the same code page.
#include "font_codepage.h"
#include "messages.h"

#include <cctype>
#include <cstring>

namespace {

struct table_page {
	const char* name;
	std::uint16_t chars[256];
};

const table_page pages[] = {
#include "codepage_table.inc"
};

// Other names of the code pages in the table, with case and punctuation
// taken out.
const char* const aliases[][2] = {
	{"latin1", "iso-8859-1"},   {"latin2", "iso-8859-2"},  {"latin3", "iso-8859-3"},
	{"latin4", "iso-8859-4"},   {"latin5", "iso-8859-9"},  {"latin6", "iso-8859-10"},
	{"latin7", "iso-8859-13"},  {"latin8", "iso-8859-14"}, {"latin9", "iso-8859-15"},
	{"latin10", "iso-8859-16"}, {"cyrillic", "iso-8859-5"}, {"greek", "iso-8859-7"},
	{"hebrew", "iso-8859-8"},   {"arabic", "iso-8859-6"},  {"windows874", "cp874"},
};

// Encodings of more than one byte a character, which a font table never is.
const char* const multi_byte[] = {
	"utf8", "utf16", "utf16be", "utf16le", "utf32", "utf32be", "utf32le", "ucs2", "ucs4",
	"utf7", "eucjp", "shiftjis", "sjis", "iso2022jp", "gb2312", "gbk", "gb18030", "big5",
	"big5hkscs", "euckr", "euctw", "cp932", "cp936", "cp949", "cp950",
};

std::string key_of(const std::string& name)
{
	std::string key;
	for (char c : name)
		if (std::isalnum((unsigned char)c))
			key += (char)std::tolower((unsigned char)c);
	return key;
}

// The key under which the table holds the code page iconv would take for
// key: ibm850 and 850 are cp850, cp1251 is windows-1251.
std::string table_key(const std::string& key)
{
	for (const auto& alias : aliases)
		if (key == alias[0])
			return key_of(alias[1]);
	std::size_t digits = key.find_first_of("0123456789");
	if (digits == std::string::npos ||
	    key.find_first_not_of("0123456789", digits) != std::string::npos)
		return key;
	std::string prefix = key.substr(0, digits);
	std::string number = key.substr(digits);
	if (prefix == "cp" || prefix == "ibm" || prefix.empty())
		return (number.size() == 4 && number.rfind("125", 0) == 0 ? "windows" : "cp") + number;
	return key;
}

} // namespace

bool converter_characters(const std::string& name, codepage_chars chars, std::string* error)
{
	std::string key = table_key(key_of(name));
	for (const table_page& page : pages) {
		if (key_of(page.name) != key)
			continue;
		for (unsigned byte = 0; byte < 256; byte++)
			chars[byte] = page.chars[byte];
		return true;
	}
	for (const char* multi : multi_byte) {
		if (key == multi) {
			*error = format(tr("'%s' is not a single-byte code page"), {name});
			return false;
		}
	}
	*error = format(tr("unknown code page '%s' (the page knows the code pages its lists name)"),
	                {name});
	return false;
}

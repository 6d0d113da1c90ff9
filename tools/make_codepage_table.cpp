// Writes the browser engine's table of code pages, web/engine/codepage_table.inc,
// from this machine's iconv, the converter os64-font uses: the characters of
// every byte of each code page the tool offers for the menu, and of a few
// more that fonts name.  The engine has no iconv, and reads the code pages
// from that table, so it lays out every font exactly as os64-font does.  A
// test compares the table with iconv on every build.
//
// usage: os64-make-codepage-table > web/engine/codepage_table.inc
#include "font_codepage.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// Code pages fonts name beside those offered for the menu.
static const char* const more_codepages[] = {"tis-620"};

int main()
{
	std::vector<std::string> names;
	for (std::size_t i = 0; i < offered_codepage_count; i++)
		if (std::strcmp(offered_codepages[i].name, "jis-x0201") != 0)
			names.push_back(offered_codepages[i].name);
	names.insert(names.end(), std::begin(more_codepages), std::end(more_codepages));

	std::printf("// The characters of every byte of the code pages the browser's engine\n"
	            "// knows, as iconv gives them: 0 for a byte it leaves undefined.  Made by\n"
	            "// os64-make-codepage-table (tools/make_codepage_table.cpp); do not edit.\n");
	for (const std::string& name : names) {
		codepage_chars chars;
		std::string error;
		if (!converter_characters(name, chars, &error)) {
			std::fprintf(stderr, "os64-make-codepage-table: %s\n", error.c_str());
			return 1;
		}
		std::printf("{\"%s\", {", name.c_str());
		for (unsigned byte = 0; byte < 256; byte++) {
			if (chars[byte] > 0xFFFF) {
				std::fprintf(stderr, "os64-make-codepage-table: %s has U+%X, beyond the "
				             "16 bits the table holds\n", name.c_str(), (unsigned)chars[byte]);
				return 1;
			}
			std::printf("%s0x%04X%s", byte % 8 == 0 ? "\n\t" : " ", (unsigned)chars[byte],
			            byte < 255 ? "," : "");
		}
		std::printf("\n}},\n");
	}
	return 0;
}

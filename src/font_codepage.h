// Which character each slot of a font table stands for.  The menu draws
// byte c of its text with glyph c, so the table's 256 slots stand for the
// characters of one single-byte code page.  Its built-in font is laid out
// in IBM code page 437: slot 0x82 is é, slot 0xB0 is ░, and slots 0x01-0x1F
// and 0x7F are the graphic characters ☺ ☻ ♥ ... ⌂ rather than control codes.
// A font for another script is laid out in that script's code page.
//
// The code pages come from the C library's converter (iconv), so that any
// name it knows (cp850, iso-8859-1, koi8-r, ...) can describe the layout of
// a font or of the menu's slots.  JIS X 0201, which the C library does not
// convert, is defined here.  Nothing here reads a file.
#ifndef OS64_FONT_CODEPAGE_H
#define OS64_FONT_CODEPAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The characters of the 256 slots of a single-byte code page, as Unicode
// code points.  0 marks a slot without a character: slot 0, and bytes the
// code page leaves undefined.
typedef std::uint32_t codepage_chars[256];

// Fills chars with the characters of the code page named name.  A slot
// that the code page gives a C0 control code or DEL holds the graphic
// character that code page 437 draws there, as DOS fonts do in every code
// page.  Returns false, with *error set, for a name the converter does not
// know or a code page that is not single-byte.
bool codepage_characters(const std::string& name, codepage_chars chars, std::string* error);

// The layout of a font table: code page 437 with its graphic characters.
// Fails only when the C library lacks code page 437.
bool cp437_characters(codepage_chars chars, std::string* error);

// The characters of code page name as the C library's converter gives
// them, byte by byte, before any control code is replaced: 0 for a byte
// it leaves undefined.  os64-font asks iconv; the browser's engine, which
// has no iconv, looks the name up in a table made from iconv's.  Returns
// false, with *error set, as codepage_characters does.
bool converter_characters(const std::string& name, codepage_chars chars, std::string* error);

// The code page of the menu's slots.
struct slots_codepage {
	std::string name;     // as the user gave it: "cp866"
	std::string title;    // as the messages name it: "code page 866"
	codepage_chars chars; // the character of each slot, 0 for none
	unsigned size = 0;    // the slots 1 to 255 that hold a character
};

// The code page the menu's slots are in, named name, or code page 437 when
// name is empty.  Beyond what codepage_characters gives, a slot that the
// code page gives a C1 control code (as ISO 8859 does at 0x80-0x9F) holds
// the character code page 437 has there, so that every control slot keeps
// the glyph the menu may draw in it.
bool menu_codepage(const std::string& name, slots_codepage* menu, std::string* error);

// How the messages name a code page: "code page 866" for cp866, ibm866 or
// windows-1251's "code page 1251", "ISO 8859-5", "KOI8-R", "JIS X 0201";
// any other name as it is.
std::string codepage_title(const std::string& name);

// The code pages the tool offers for the menu, by script: the ones the
// browser page lists and import chooses from when it suggests another.
// Scripts are "latin", "latin-central", "latin-baltic", "latin-southern",
// "vietnamese", "cyrillic", "greek", "hebrew", "arabic", "thai" and
// "japanese".
struct offered_codepage {
	const char* name;
	const char* script;
};
extern const offered_codepage offered_codepages[];
extern const std::size_t offered_codepage_count;

// The name of a script of the code pages offered, in English, to be
// translated where it is shown: "Latin: Western Europe", "Cyrillic".
const char* script_title(const std::string& script);

// Of the code pages offered, the one whose characters the font, which has
// the characters font_chars (sorted), has the largest share of, the one
// with more of them first where two have the same share.  Returns its name
// when that share is larger than the share of current's characters the
// font has, and otherwise an empty string.
std::string best_codepage(const std::vector<std::uint32_t>& font_chars,
                          const slots_codepage& current);

// The slot of code point c in chars, or -1 when no slot holds it.  Where
// several slots hold it, the lowest counts.
int slot_of(const codepage_chars chars, std::uint32_t c);

// A code point that marks bytes of text that are not valid UTF-8.
constexpr std::uint32_t invalid_utf8 = 0xFFFFFFFF;

// Splits UTF-8 text into code points.  Every byte that does not begin a
// valid sequence gives one invalid_utf8.
std::vector<std::uint32_t> decode_utf8(const std::string& text);

// The UTF-8 form of code point c.
std::string encode_utf8(std::uint32_t c);

// "U+00E9 é": a code point as the messages name it.  Characters that
// would not show (controls, spaces) are given by number alone.
std::string describe_character(std::uint32_t c);

#endif

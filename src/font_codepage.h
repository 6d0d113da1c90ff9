// Which character each slot of a font table stands for.  The menu draws
// character c with glyph c, and its built-in font is laid out in IBM code
// page 437: slot 0x82 is é, slot 0xB0 is ░, and slots 0x01-0x1F and 0x7F are
// the graphic characters ☺ ☻ ♥ ... ⌂ rather than control codes.
//
// Code pages other than 437 come from the C library's iconv, so that any
// name it knows (cp850, iso-8859-1, koi8-r, ...) can describe the layout of
// a font.  Nothing here reads a file.
#ifndef OS64_FONT_CODEPAGE_H
#define OS64_FONT_CODEPAGE_H

#include <cstdint>
#include <string>
#include <vector>

// The characters of the 256 slots of a single-byte code page, as Unicode
// code points.  0 marks a slot without a character: slot 0, and bytes the
// code page leaves undefined.
typedef std::uint32_t codepage_chars[256];

// Fills chars with the characters of the code page iconv knows as name.  A
// slot that the code page gives a C0 control code or DEL holds the graphic
// character that code page 437 draws there, as DOS fonts do in every code
// page.  Returns false, with *error set, for a name iconv does not know or a
// code page that is not single-byte.
bool codepage_characters(const std::string& name, codepage_chars chars, std::string* error);

// The layout of a font table: code page 437 with its graphic characters.
// Fails only when the C library lacks code page 437.
bool cp437_characters(codepage_chars chars, std::string* error);

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

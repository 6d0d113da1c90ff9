// Code pages, code page 437's graphic characters, the code pages offered
// for the menu, and UTF-8.
#include "font_codepage.h"
#include "messages.h"

#include <algorithm>
#include <cstdio>

// What code page 437 draws in the slots that other code pages give to
// control codes: 0x01-0x1F, and DEL at 0x7F.  The converter maps these
// slots to the control codes themselves, so they are the one part of the
// layout written out here.
static const std::uint32_t graphic_controls[32] = {
	0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
	0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
	0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
	0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
};
static const std::uint32_t graphic_delete = 0x2302;

const offered_codepage offered_codepages[] = {
	{"cp437", "latin"},           {"cp850", "latin"},
	{"cp860", "latin"},           {"cp861", "latin"},
	{"cp863", "latin"},           {"cp865", "latin"},
	{"iso-8859-1", "latin"},      {"iso-8859-15", "latin"},
	{"windows-1252", "latin"},    {"iso-8859-14", "latin"},
	{"cp852", "latin-central"},   {"iso-8859-2", "latin-central"},
	{"windows-1250", "latin-central"}, {"iso-8859-16", "latin-central"},
	{"cp775", "latin-baltic"},    {"iso-8859-13", "latin-baltic"},
	{"windows-1257", "latin-baltic"}, {"iso-8859-4", "latin-baltic"},
	{"iso-8859-10", "latin-baltic"},
	{"cp857", "latin-southern"},  {"iso-8859-9", "latin-southern"},
	{"windows-1254", "latin-southern"}, {"iso-8859-3", "latin-southern"},
	{"windows-1258", "vietnamese"},
	{"cp866", "cyrillic"},        {"koi8-r", "cyrillic"},
	{"koi8-u", "cyrillic"},       {"windows-1251", "cyrillic"},
	{"iso-8859-5", "cyrillic"},   {"cp855", "cyrillic"},
	{"cp737", "greek"},           {"cp869", "greek"},
	{"iso-8859-7", "greek"},      {"windows-1253", "greek"},
	{"cp862", "hebrew"},          {"iso-8859-8", "hebrew"},
	{"windows-1255", "hebrew"},
	{"cp864", "arabic"},          {"iso-8859-6", "arabic"},
	{"windows-1256", "arabic"},
	{"cp874", "thai"},            {"iso-8859-11", "thai"},
	{"jis-x0201", "japanese"},
};
const std::size_t offered_codepage_count = sizeof offered_codepages / sizeof offered_codepages[0];

const char* script_title(const std::string& script)
{
	static const char* const titles[][2] = {
		{"latin", N_("Latin: Western Europe")},
		{"latin-central", N_("Latin: Central and Eastern Europe")},
		{"latin-baltic", N_("Latin: Baltic and Nordic")},
		{"latin-southern", N_("Latin: Turkish, Maltese and Esperanto")},
		{"vietnamese", N_("Vietnamese")},
		{"cyrillic", N_("Cyrillic")},
		{"greek", N_("Greek")},
		{"hebrew", N_("Hebrew")},
		{"arabic", N_("Arabic")},
		{"thai", N_("Thai")},
		{"japanese", N_("Japanese")},
	};
	for (const auto& title : titles)
		if (script == title[0])
			return title[1];
	return script.c_str();
}

// A name with case and punctuation taken out, so that "JIS_X0201",
// "jis-x0201" and "jisx0201" are one name.  Only ASCII letters and digits
// count, whatever the locale: in a Turkish one, the C library would lower
// the I of "KOI8-R" to a dotless i.
static std::string name_key(const std::string& name)
{
	std::string key;
	for (char c : name)
		if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))
			key += c;
		else if (c >= 'A' && c <= 'Z')
			key += (char)(c - 'A' + 'a');
	return key;
}

// JIS X 0201 as the menu takes it: ASCII in 0x20-0x7E, and the half-width
// katakana U+FF61-U+FF9F in 0xA1-0xDF.  The C0 controls and DEL are there
// as in ASCII, for the graphic characters to take their slots.
static void jis_x0201_characters(codepage_chars chars)
{
	for (unsigned byte = 0; byte < 256; byte++)
		chars[byte] = byte < 0x80 ? byte : byte >= 0xA1 && byte <= 0xDF ? 0xFF61 + (byte - 0xA1) : 0;
}

bool codepage_characters(const std::string& name, codepage_chars chars, std::string* error)
{
	if (name_key(name) == "jisx0201")
		jis_x0201_characters(chars);
	else if (!converter_characters(name, chars, error))
		return false;
	chars[0] = 0;
	for (unsigned byte = 1; byte < 256; byte++) {
		if (chars[byte] < 0x20)
			chars[byte] = graphic_controls[chars[byte]];
		else if (chars[byte] == 0x7F)
			chars[byte] = graphic_delete;
	}
	return true;
}

bool cp437_characters(codepage_chars chars, std::string* error)
{
	if (codepage_characters("CP437", chars, error))
		return true;
	*error = format(tr("this system's iconv lacks code page 437: %s"), {*error});
	return false;
}

bool menu_codepage(const std::string& name, slots_codepage* menu, std::string* error)
{
	codepage_chars cp437;
	if (!cp437_characters(cp437, error))
		return false;
	menu->name = name.empty() ? "cp437" : name;
	if (name.empty())
		std::copy(cp437, cp437 + 256, menu->chars);
	else if (!codepage_characters(name, menu->chars, error))
		return false;
	menu->size = 0;
	for (unsigned slot = 1; slot < 256; slot++) {
		if (menu->chars[slot] >= 0x80 && menu->chars[slot] <= 0x9F)
			menu->chars[slot] = cp437[slot];
		if (menu->chars[slot] != 0)
			menu->size++;
	}
	menu->title = codepage_title(menu->name);
	return true;
}

std::string codepage_title(const std::string& name)
{
	std::string key = name_key(name);
	std::size_t digits = key.find_first_of("0123456789");
	std::string prefix = digits == std::string::npos ? key : key.substr(0, digits);
	std::string number = digits == std::string::npos ? "" : key.substr(digits);
	bool numeric = !number.empty() &&
	               number.find_first_not_of("0123456789") == std::string::npos;
	if (numeric && (prefix == "cp" || prefix == "ibm" || prefix == "windows" || prefix.empty()))
		// TRANSLATORS: how the messages name a code page, as in "67 of
		// the 255 characters of %s" and "%s has no slot for", "not in %s".
		return format(tr("code page %s"), {number});
	if (key.rfind("iso8859", 0) == 0 && key.size() > 7)
		return format(tr("ISO 8859-%s"), {key.substr(7)});
	if (key == "koi8r" || key == "koi8u")
		return std::string("KOI8-") + (char)(key[4] - 'a' + 'A');
	if (key == "jisx0201")
		return "JIS X 0201";
	return name;
}

// The number of slots 1 to 255 of chars whose character the font has.
static unsigned characters_had(const std::vector<std::uint32_t>& font_chars,
                               const codepage_chars chars)
{
	unsigned had = 0;
	for (unsigned slot = 1; slot < 256; slot++)
		if (chars[slot] != 0 &&
		    std::binary_search(font_chars.begin(), font_chars.end(), chars[slot]))
			had++;
	return had;
}

std::string best_codepage(const std::vector<std::uint32_t>& font_chars,
                          const slots_codepage& current)
{
	// Shares are compared as fractions had/size, cross-multiplied.
	unsigned best_had = characters_had(font_chars, current.chars);
	unsigned best_size = current.size;
	std::string best;
	for (std::size_t i = 0; i < offered_codepage_count; i++) {
		slots_codepage candidate;
		std::string ignored;
		if (!menu_codepage(offered_codepages[i].name, &candidate, &ignored) ||
		    candidate.size == 0 ||
		    std::equal(candidate.chars, candidate.chars + 256, current.chars))
			continue;
		unsigned had = characters_had(font_chars, candidate.chars);
		std::uint64_t share = (std::uint64_t)had * best_size;
		std::uint64_t best_share = (std::uint64_t)best_had * candidate.size;
		if (share > best_share || (!best.empty() && share == best_share && had > best_had)) {
			best = offered_codepages[i].name;
			best_had = had;
			best_size = candidate.size;
		}
	}
	return best;
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

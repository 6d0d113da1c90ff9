// os64-font: the companion of os64-fontpatch.  It makes raw font tables
// from console, X11, OpenType, TrueType and Windows fonts and from PNG
// glyph sheets, turns them back into sheets,
// draws them in the terminal, copies the built-in font out of an image and
// checks an image's boot checksum.
//
// This file holds the command line: the help texts, the parsing of options
// and operands, and the dispatch to the commands.
#include "font_codepage.h"
#include "font_commands.h"
#include "font_freetype.h"
#include "messages.h"
#include "messages_gettext.h"
#include "platform.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifndef OS64_FONT_VERSION
#define OS64_FONT_VERSION "unknown"
#endif
#ifndef OS64_LOCALEDIR
#define OS64_LOCALEDIR "/usr/share/locale"
#endif

static const char* const main_help[] = {
	N_("usage: os64-font COMMAND [OPTION...] ARGUMENT...\n"
	   "\n"),
	N_("Makes, shows and extracts fonts for os64-fontpatch, and checks menu images.\n"
	   "\n"),
	N_("Commands:\n"
	   "  import INPUT OUTPUT.pf      make a font table from a font file or a PNG sheet\n"
	   "  export FONT.pf OUTPUT.png   draw a font table as a PNG glyph sheet\n"
	   "  show FONT.pf [TEXT]         draw a font table, or TEXT set in it, in the terminal\n"
	   "  extract IMAGE OUTPUT.pf     copy the built-in font out of an unpatched image\n"
	   "  check IMAGE                 verify the boot checksum and boot code of an image\n"
	   "\n"),
	N_("A font table (.pf) is 2048 bytes: 256 glyphs of 8x8 pixels, 8 bytes a glyph,\n"
	   "one byte a pixel row from the top, the most significant bit the leftmost\n"
	   "pixel.  The menu draws byte n of its text with glyph n, so the slots stand\n"
	   "for the characters of one code page: by default code page 437, where 0x82\n"
	   "is é, 0xB0 is ░, and 0x01-0x1F and 0x7F are its graphic characters\n"
	   "☺ ☻ ♥ ... ⌂; with --slots, another one, for another script.\n"
	   "\n"),
	N_("No command replaces an existing output file unless it is given --force.\n"
	   "Errors are reported on standard error and give exit status 1.\n"
	   "\n"),
	N_("Run 'os64-font COMMAND --help' for the details of a command, and\n"
	   "'os64-font --version' for the version.\n"),
};

static const char* const import_help[] = {
	N_("usage: os64-font import [--force] [--slots NAME] [--codepage NAME] [--size PX]\n"
	   "                        [--fill FONT.pf] INPUT OUTPUT.pf\n"
	   "\n"),
	N_("Makes the font table OUTPUT.pf from INPUT, gzip-compressed or not, which is\n"
	   "one of:\n"
	   "\n"),
	N_("- a PSF console font, PSF1 or PSF2 (such as the *8x8*, *.f08* and *-08*\n"
	   "  fonts in /usr/share/consolefonts);\n"
	   "- an X11 bitmap font (BDF, PCF), an OpenType bitmap font (OTB), a Windows\n"
	   "  raster font (FON, FNT), or a TrueType or OpenType font, read through\n"
	   "  FreeType: its bitmaps of the size --size asks for, or else its own, or\n"
	   "  its outlines rendered in black and white at --size pixels (default 8);\n"
	   "- a PNG glyph sheet: 16x16 cells of 8x8 pixels, glyph 0 at the top left, row\n"
	   "  by row, 128x128 pixels in all.  A sheet may be scaled by a whole number up\n"
	   "  to 32 (256x256, 384x384, ...) when every font pixel is a square block that\n"
	   "  is all dark or all light.  A sheet with one-pixel grid lines around the\n"
	   "  cells, as 'os64-font export --grid' draws it, is 17 pixels larger (145x145\n"
	   "  at scale 1); the grid lines are not looked at;\n"
	   "- a raw font table of 2048 bytes.\n"
	   "\n"),
	N_("Every glyph goes to the slot of its character in the menu's code page, code\n"
	   "page 437 unless --slots names another: by the Unicode table of a PSF font,\n"
	   "the character map of a font FreeType reads, or the code page a font states\n"
	   "for its slots.  A font that says nothing about its characters (a PSF font\n"
	   "without a Unicode table, a sheet, a raw table) keeps its slot order, unless\n"
	   "--codepage names its layout.  Glyphs of up to 8x8 pixels are placed on one\n"
	   "baseline, left-aligned; larger glyphs are refused.  The characters of the\n"
	   "code page that the font lacks are listed in a warning, and their slots stay\n"
	   "empty unless --fill gives a table to take them from.  The characters of the\n"
	   "font that the code page has no slot for are listed in another, which names\n"
	   "the code page of the list below that would place the most of the font.\n"
	   "\n"),
	N_("A pixel of a sheet is set when it is dark: when its luminance\n"
	   "0.299 R + 0.587 G + 0.114 B, taken from the stored values after blending the\n"
	   "pixel over white by its alpha, is below 128 on a scale of 0 to 255.  Grey,\n"
	   "RGB and palette images, with or without alpha, are all read.\n"
	   "\n"),
	N_("Options:\n"
	   "  --slots NAME     the code page of the menu's slots (default cp437): any\n"
	   "                   single-byte name that 'iconv -l' lists, or jis-x0201 for\n"
	   "                   ASCII with the half-width katakana in 0xA1-0xDF.  Slots\n"
	   "                   it gives a control code keep code page 437's characters.\n"
	   "  --codepage NAME  the code page INPUT's slots are in, for a font that does\n"
	   "                   not say (cp850, iso-8859-1, koi8-r, ...: any name that\n"
	   "                   'iconv -l' lists)\n"
	   "  --size PX        the pixel size to read, from 1 to 64\n"
	   "  --fill FONT.pf   take the characters INPUT lacks from this font table in\n"
	   "                   code page 437, such as the built-in font ('os64-font\n"
	   "                   extract OS64.bak original.pf'), each from where code page\n"
	   "                   437 keeps it\n"
	   "  --force          replace OUTPUT.pf if it exists\n"
	   "\n"),
	N_("The code pages offered for --slots, by script:\n"
	   "%s"),
};

static const char* const export_help[] = {
	N_("usage: os64-font export [--force] [--scale N] [--grid] FONT.pf OUTPUT.png\n"
	   "\n"),
	N_("Draws the font table FONT.pf as a PNG glyph sheet to edit in an image editor:\n"
	   "16x16 cells of 8x8 pixels, glyph 0 at the top left, row by row, black glyph\n"
	   "pixels on white, in greyscale.  'os64-font import' reads the sheet back into\n"
	   "the same bytes.\n"
	   "\n"),
	N_("Options:\n"
	   "  --scale N  draw every font pixel as an N x N block, N from 1 to 32\n"
	   "             (default 1: a sheet of 128x128 pixels)\n"
	   "  --grid     draw light grey one-pixel lines around the cells (17 pixels more)\n"
	   "  --force    replace OUTPUT.png if it exists\n"),
};

static const char* const show_help[] = {
	N_("usage: os64-font show [--columns N] [--slots NAME] FONT.pf [TEXT]\n"
	   "\n"),
	N_("Draws the font table FONT.pf in the terminal with Unicode block characters,\n"
	   "two pixel rows a line: the whole table of 256 glyphs, each row headed by the\n"
	   "code of its first glyph in hexadecimal, or TEXT set in the font as the menu\n"
	   "will show it.  TEXT is UTF-8: every character is drawn with the glyph of its\n"
	   "slot in the menu's code page, and one that code page lacks is drawn as an\n"
	   "empty box, with a warning.  A line feed starts a new line; put -- before a\n"
	   "TEXT that begins with '-'.  The terminal must show UTF-8.\n"
	   "\n"),
	N_("Options:\n"
	   "  --slots NAME  the code page of the menu's slots, as for import (default\n"
	   "                cp437)\n"
	   "  --columns N  glyphs a row of the table, from 1 to 16; without it, 16, 8 or\n"
	   "               4, whichever fits the terminal (16 takes 146 columns, 8 takes\n"
	   "               74), and 16 when the output is not a terminal\n"),
};

static const char* const extract_help[] = {
	N_("usage: os64-font extract [--force] IMAGE OUTPUT.pf\n"
	   "\n"),
	N_("Copies the 2048-byte built-in font table out of IMAGE, an unpatched menu image\n"
	   "such as OS64.bak, as the starting point for a new font.  The table is found\n"
	   "as os64-fontpatch finds it: by its first 32 bytes.\n"
	   "\n"),
	N_("Options:\n"
	   "  --force    replace OUTPUT.pf if it exists\n"),
};

static const char* const check_help[] = {
	N_("usage: os64-font check IMAGE\n"
	   "\n"),
	N_("Computes the boot checksum of IMAGE over its data region (bytes 0x1000 to\n"
	   "0x100FFF; missing bytes count as zeros), prints it under the one stored in\n"
	   "the header at 0x10 and 0x14, and says whether the two match.  It also says\n"
	   "whether the boot code (bytes 0x40 to 0xFFF) is the 6102 one, by its CRC-32\n"
	   "90BB6CB5, and warns when it is not: this checksum is only valid for that\n"
	   "boot code.\n"
	   "\n"),
	N_("IMAGE must be stored in the big-endian order the console reads, beginning\n"
	   "80 37 12 40.  An image stored byte-swapped (37 80 40 12) or little-endian\n"
	   "(40 12 37 80) is named as such, and nothing is computed over it.\n"
	   "\n"),
	N_("Exit status: 0 when the checksums match, 1 when they do not or on an error.\n"),
};

// The code pages offered for --slots, as import's help lists them: each
// script's name, and under it its code pages, wrapped at 79 columns.
static std::string offered_list()
{
	const std::string indent(6, ' ');
	std::string list;
	std::string line;
	for (std::size_t i = 0; i < offered_codepage_count; i++) {
		const offered_codepage& page = offered_codepages[i];
		bool new_script = i == 0 || std::strcmp(page.script, offered_codepages[i - 1].script) != 0;
		if (new_script) {
			if (!line.empty())
				list += line + "\n";
			list += "  " + tr(script_title(page.script)) + "\n";
			line = indent;
		} else if (line.size() + 2 + std::strlen(page.name) > 79) {
			list += line + ",\n";
			line = indent;
		} else {
			line += ", ";
		}
		line += page.name;
	}
	return list + line + "\n";
}

// The options a command takes.
enum {
	takes_force = 1,
	takes_scale = 2,
	takes_grid = 4,
	takes_columns = 8,
	takes_import = 16, // --codepage, --size and --fill
	takes_slots = 32,
};

struct arguments {
	std::vector<const char*> operands;
	bool help = false;
	bool force = false;
	bool grid = false;
	unsigned scale = 1;
	unsigned columns = 0;
	import_request import;
};

// Prints a help text, a message a paragraph, with args for its %s.
static void print_help(const char* const* paragraphs, std::size_t count,
                       std::initializer_list<std::string> args = {})
{
	for (std::size_t i = 0; i < count; i++)
		std::fputs(format(tr(paragraphs[i]), args).c_str(), stdout);
}

static void usage_error(const char* command, const std::string& message)
{
	report_error(format(tr("%1$s: %2$s; see 'os64-font %1$s --help'"), {command, message}));
}

// Reads a decimal number from low to high, digits only.
static bool parse_number(const char* text, unsigned low, unsigned high, unsigned* value)
{
	if (*text == '\0' || std::strlen(text) > 6)
		return false;
	unsigned n = 0;
	for (const char* p = text; *p != '\0'; p++) {
		if (*p < '0' || *p > '9')
			return false;
		n = n * 10 + (unsigned)(*p - '0');
	}
	if (n < low || n > high)
		return false;
	*value = n;
	return true;
}

// Handles an option that takes a number, as "--name N" or "--name=N".
static bool number_option(const char* command, const char* name, unsigned low, unsigned high,
                          int argc, char** argv, int* i, unsigned* value)
{
	const char* arg = argv[*i];
	std::size_t length = std::strlen(name);
	const char* text = nullptr;
	if (arg[length] == '=')
		text = arg + length + 1;
	else if (*i + 1 < argc)
		text = argv[++*i];
	if (text == nullptr || !parse_number(text, low, high, value)) {
		usage_error(command,
		            text != nullptr
		                    ? format(tr("%s needs a whole number from %s to %s, not '%s'"),
		                             {name, number_text(low), number_text(high), text})
		                    : format(tr("%s needs a whole number from %s to %s"),
		                             {name, number_text(low), number_text(high)}));
		return false;
	}
	return true;
}

// Handles an option that takes a word, as "--name WORD" or "--name=WORD".
static bool word_option(const char* command, const char* name, const char* what, int argc,
                        char** argv, int* i, const char** value)
{
	const char* arg = argv[*i];
	std::size_t length = std::strlen(name);
	if (arg[length] == '=')
		*value = arg + length + 1;
	else if (*i + 1 < argc)
		*value = argv[++*i];
	else
		*value = nullptr;
	if (*value == nullptr || **value == '\0') {
		usage_error(command, format(tr("%s needs %s"), {name, tr(what)}));
		return false;
	}
	return true;
}

static bool is_option(const char* arg, const char* name)
{
	std::size_t length = std::strlen(name);
	return std::strncmp(arg, name, length) == 0 && (arg[length] == '\0' || arg[length] == '=');
}

// Splits the arguments after the command name into options and operands.
// Options may stand anywhere; "--" ends them, and a lone "-" is an operand.
static bool parse_arguments(const char* command, int accepted, int argc, char** argv,
                            arguments* args)
{
	bool options_ended = false;
	for (int i = 2; i < argc; i++) {
		const char* arg = argv[i];
		if (options_ended || arg[0] != '-' || arg[1] == '\0') {
			args->operands.push_back(arg);
		} else if (std::strcmp(arg, "--") == 0) {
			options_ended = true;
		} else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
			args->help = true;
		} else if ((accepted & takes_force) && std::strcmp(arg, "--force") == 0) {
			args->force = true;
		} else if ((accepted & takes_grid) && std::strcmp(arg, "--grid") == 0) {
			args->grid = true;
		} else if ((accepted & takes_scale) && is_option(arg, "--scale")) {
			if (!number_option(command, "--scale", 1, 32, argc, argv, &i, &args->scale))
				return false;
		} else if ((accepted & takes_columns) && is_option(arg, "--columns")) {
			if (!number_option(command, "--columns", 1, 16, argc, argv, &i, &args->columns))
				return false;
		} else if ((accepted & takes_slots) && is_option(arg, "--slots")) {
			if (!word_option(command, "--slots", N_("a code page NAME"), argc, argv, &i,
			                 &args->import.slots))
				return false;
		} else if ((accepted & takes_import) && is_option(arg, "--codepage")) {
			if (!word_option(command, "--codepage", N_("a code page NAME"), argc, argv, &i,
			                 &args->import.codepage))
				return false;
		} else if ((accepted & takes_import) && is_option(arg, "--fill")) {
			if (!word_option(command, "--fill", N_("a FONT.pf"), argc, argv, &i,
			                 &args->import.fill))
				return false;
		} else if ((accepted & takes_import) && is_option(arg, "--size")) {
			if (!number_option(command, "--size", 1, freetype_max_size, argc, argv, &i,
			                   &args->import.size))
				return false;
		} else {
			usage_error(command, format(tr("unknown option '%s'"), {arg}));
			return false;
		}
	}
	return true;
}

// Checks the number of operands: needed names those that must be given,
// allowed all that may be.
static bool operand_count_ok(const char* command, const arguments& args, std::size_t low,
                             std::size_t high, const char* needed, const char* allowed)
{
	if (args.operands.size() < low) {
		usage_error(command, format(tr("needs %s"), {tr(needed)}));
		return false;
	}
	if (args.operands.size() > high) {
		usage_error(command, format(tr("takes only %s, but was also given '%s'"),
		                            {tr(allowed), args.operands[high]}));
		return false;
	}
	return true;
}

// The catalogs of the messages: beside the program in a build tree, where
// the build puts them into a folder called locale, and otherwise where
// they are installed.
static std::string locale_folder()
{
	std::string beside = program_folder() + "/locale";
	struct stat info;
	if (!program_folder().empty() && stat(beside.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
		return beside;
	return OS64_LOCALEDIR;
}

int main(int argc, char** argv)
{
	platform_start(&argc, &argv);
	start_messages(locale_folder());
	if (argc < 2) {
		report_error(tr("no command given; see 'os64-font --help'"));
		return 1;
	}
	const char* command = argv[1];
	if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0) {
		print_help(main_help, std::size(main_help));
		return 0;
	}
	if (std::strcmp(command, "--version") == 0) {
		std::printf("os64-font %s\n", OS64_FONT_VERSION);
		return 0;
	}

	const char* const* help = nullptr;
	std::size_t help_count = 0;
	int accepted = 0;
	if (std::strcmp(command, "import") == 0) {
		help = import_help;
		help_count = std::size(import_help);
		accepted = takes_force | takes_import | takes_slots;
	} else if (std::strcmp(command, "export") == 0) {
		help = export_help;
		help_count = std::size(export_help);
		accepted = takes_force | takes_scale | takes_grid;
	} else if (std::strcmp(command, "show") == 0) {
		help = show_help;
		help_count = std::size(show_help);
		accepted = takes_columns | takes_slots;
	} else if (std::strcmp(command, "extract") == 0) {
		help = extract_help;
		help_count = std::size(extract_help);
		accepted = takes_force;
	} else if (std::strcmp(command, "check") == 0) {
		help = check_help;
		help_count = std::size(check_help);
	} else {
		report_error(format(tr("unknown command '%s'; see 'os64-font --help'"), {command}));
		return 1;
	}

	arguments args;
	if (!parse_arguments(command, accepted, argc, argv, &args))
		return 1;
	if (args.help) {
		print_help(help, help_count, {offered_list()});
		return 0;
	}
	const std::vector<const char*>& op = args.operands;
	if (std::strcmp(command, "import") == 0) {
		if (!operand_count_ok(command, args, 2, 2, N_("INPUT and OUTPUT.pf"),
		                      N_("INPUT and OUTPUT.pf")))
			return 1;
		args.import.force = args.force;
		return import_command(op[0], op[1], args.import);
	}
	if (std::strcmp(command, "export") == 0) {
		if (!operand_count_ok(command, args, 2, 2, N_("FONT.pf and OUTPUT.png"),
		                      N_("FONT.pf and OUTPUT.png")))
			return 1;
		return export_command(op[0], op[1], args.scale, args.grid, args.force);
	}
	if (std::strcmp(command, "show") == 0) {
		if (!operand_count_ok(command, args, 1, 2, N_("FONT.pf"), N_("FONT.pf and one TEXT")))
			return 1;
		std::string text = op.size() > 1 ? op[1] : "";
		return show_command(op[0], op.size() > 1 ? &text : nullptr, args.columns,
		                    args.import.slots);
	}
	if (std::strcmp(command, "extract") == 0) {
		if (!operand_count_ok(command, args, 2, 2, N_("IMAGE and OUTPUT.pf"),
		                      N_("IMAGE and OUTPUT.pf")))
			return 1;
		return extract_command(op[0], op[1], args.force);
	}
	if (!operand_count_ok(command, args, 1, 1, N_("IMAGE"), N_("IMAGE")))
		return 1;
	return check_command(op[0]);
}

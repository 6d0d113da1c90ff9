// The five commands of os64-font.  Each takes its checked arguments, does
// its work, prints what it has to say and returns the exit status: 0 on
// success, 1 after a failure, which it reports as one line on standard
// error beginning with "os64-font: ".
#ifndef OS64_FONT_COMMANDS_H
#define OS64_FONT_COMMANDS_H

#include <string>

// What import was asked to do beyond its input and output: null or 0 for
// options not given.
struct import_request {
	bool force = false;
	const char* codepage = nullptr; // the layout of a font that states none
	const char* slots = nullptr;    // the code page of the menu's slots
	unsigned size = 0;              // the pixel size to read
	const char* fill = nullptr;     // the table to take missing characters from
};

int import_command(const char* input, const char* output, const import_request& request);
int export_command(const char* font, const char* output, unsigned scale, bool grid, bool force);
// columns 0 fits the table to the terminal; slots names the code page the
// text is drawn through, or is null for code page 437.
int show_command(const char* font, const std::string* text, unsigned columns,
                 const char* slots);
int extract_command(const char* image, const char* output, bool force);
int check_command(const char* image);

// Reports a failure: "os64-font: " and the message, on standard error.
void report_error(const std::string& message);

#endif

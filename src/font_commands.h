// The five commands of os64-font.  Each takes its checked arguments, does
// its work, prints what it has to say and returns the exit status: 0 on
// success, 1 after a failure, which it reports as one line on standard
// error beginning with "os64-font: ".
#ifndef OS64_FONT_COMMANDS_H
#define OS64_FONT_COMMANDS_H

#include <string>

int import_command(const char* input, const char* output, bool force);
int export_command(const char* font, const char* output, unsigned scale, bool grid, bool force);
int show_command(const char* font, const std::string* text, unsigned columns);
int extract_command(const char* image, const char* output, bool force);
int check_command(const char* image);

// Reports a failure: "os64-font: " and the message, on standard error.
void report_error(const std::string& message);

#endif

// Starting gettext for os64-font.
#ifndef OS64_MESSAGES_GETTEXT_H
#define OS64_MESSAGES_GETTEXT_H

#include <string>

// Takes the locale from the environment and the catalogs from locale_dir,
// which holds LANGUAGE/LC_MESSAGES/os64-font.mo for each language.
void start_messages(const std::string& locale_dir);

#endif

// The words people read, in their own language.  Every message is written
// in English where it is made, looked up in the catalog of the reader's
// language and formatted there.  os64-font asks gettext, which follows
// LANGUAGE, LC_ALL, LC_MESSAGES and LANG; the browser's engine asks the
// page, which follows the language chosen there.  os64-fontpatch
// translates nothing: its lines are fixed, and scripts read them.
//
// The catalogs are the PO files in po/, one a language, which the build
// checks and compiles for both.
#ifndef OS64_MESSAGES_H
#define OS64_MESSAGES_H

#include <initializer_list>
#include <string>
#include <vector>

// Marks a message that is looked up later, where it is used.
#define N_(message) message

// The translation of message, or message itself where there is none.
std::string tr(const char* message);

// The translation of the form a message takes for the number n, of the
// English forms one (for 1) and many; the form itself where there is no
// translation.
std::string tr_n(const char* one, const char* many, unsigned long n);

// n as the reader's language writes a count.
std::string number_text(unsigned long long n);

// pattern with each %s replaced by the next of args, each %N$s by the Nth
// (counting from 1), and %% by %.  Translations may change the order of
// the arguments with %N$s.
std::string format(const std::string& pattern, std::initializer_list<std::string> args);
std::string format(const std::string& pattern, const std::vector<std::string>& args);

#endif

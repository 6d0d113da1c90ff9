// Messages through gettext, for os64-font: the catalog of the language
// that LANGUAGE, LC_ALL, LC_MESSAGES and LANG ask for.
#include "messages.h"
#include "messages_gettext.h"

#include <clocale>
#include <libintl.h>

static const char domain[] = "os64-font";

void start_messages(const std::string& locale_dir)
{
	std::setlocale(LC_ALL, "");
	bindtextdomain(domain, locale_dir.c_str());
	// Output is written in the locale's character set, as gettext
	// converts the catalogs into it.
}

std::string tr(const char* message)
{
	return dgettext(domain, message);
}

std::string tr_n(const char* one, const char* many, unsigned long n)
{
	return dngettext(domain, one, many, n);
}

std::string number_text(unsigned long long n)
{
	return std::to_string(n);
}

// The encoding of text a person reads on this Linux machine (terminal,
// journal): the character set of the locale named by LC_ALL, LC_CTYPE or
// LANG (the part after "." and before "@"), UTF-8 when none names one.
// Record texts (Windows-1252) are turned into it with iconv; a character the
// set cannot hold is transliterated or becomes "?".
#pragma once

#include <string>
#include <string_view>

namespace quorvane::platform::linux_backend {

// The character set named by the first non-empty of the three locale
// values ("de_DE.UTF-8@euro" -> "UTF-8"); "UTF-8" when that names none
// ("C", "POSIX", "de_DE", nothing).
std::string localeCharset(std::string_view lcAll, std::string_view lcCtype, std::string_view lang);

// The charset of this process's environment.
std::string environmentCharset();

// Windows-1252 bytes in `charset`.
std::string windows1252ToCharset(std::string_view bytes, const std::string& charset);

}  // namespace quorvane::platform::linux_backend

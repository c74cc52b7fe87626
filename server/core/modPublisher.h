// modPublisher: the publisher shown for an installed application that
// recorded none, inferred from the start of its display name.
//
// `startsWith` is the case-insensitive prefix test the lookup rests on; the
// report runner uses it too. Texts are 8-bit (Windows-1252); letter case is
// folded for ASCII and for the accented letters of that code page. Nothing
// is trimmed: a leading blank in the text matches no prefix, and blanks in a
// prefix count. Both functions are pure and accept any text.
#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// True when `text` begins with `prefix`, letter case ignored. A text shorter
// than the prefix never matches; an empty prefix matches every text.
bool startsWith(std::string_view text, std::string_view prefix);

// The publisher of the first row of the lookup table with a prefix that
// `displayName` starts with, or empty text when no row matches. The results
// end in "*" ("**" for Microsoft) to mark them as inferred.
std::string strGetPublisher(std::string_view displayName);

}  // namespace quorvane

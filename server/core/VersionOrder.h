// VersionOrder: one order for the version texts that applications report.
//
// compareVersions(a, b) < 0 when a is older than b, 0 when they are equal in
// order, > 0 when a is newer. It gives the order of Debian package versions
// ([epoch:]upstream[-revision]: the epoch compared as a number first, then
// the upstream part, then the revision after the last "-"), of rpm versions
// (the same parts; "~" sorts before anything, even the end of the text, and
// "^" after the end but before anything else) and of dotted Windows versions
// ("10.0.19041.1", "7.00", "2.1 Beta"): runs of digits compare as numbers
// (leading zeros ignored), other runs character by character with letters
// before other characters. Surrounding blanks are ignored; an empty text is
// the oldest version. Pure.
#pragma once

#include <string_view>

namespace quorvane {

int compareVersions(std::string_view a, std::string_view b);

// Comparison operators of a version query.
enum class VersionOp { Any, Less, LessEqual, Equal, GreaterEqual, Greater };

// Whether `version` satisfies `op` against `bound`.
bool versionMatches(std::string_view version, VersionOp op, std::string_view bound);

}  // namespace quorvane

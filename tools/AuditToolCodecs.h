// The he3 and b64 filters of quorvane-audit.
//
// Each reads all of `in` as bytes, encodes or decodes it, and writes the
// result to `out` as bytes, nothing added. `mode` is "encode" or "decode".
// On failure one line (ending in a line feed) goes to `err`, nothing to `out`,
// and the result is 1; on success the result is 0. The b64 decoder ignores
// line breaks at the very end of its input (as left by echo or an editor);
// anything else outside the Base64 alphabet is an error.
#pragma once

#include <iosfwd>
#include <string_view>

// Program-level functions of quorvane-audit (global namespace).
int runHe3(std::string_view mode, std::istream& in, std::ostream& out, std::ostream& err);
int runB64(std::string_view mode, std::istream& in, std::ostream& out, std::ostream& err);

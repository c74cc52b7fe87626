// LanguageNames: the language names the system gives for language
// identifiers (VerLanguageNameA), for the backends that have no such call.
//
// A keyboard layout identifier carries its language in the low 16 bits
// (0x00010409, US Dvorak, is English (United States)); the name is looked up
// by that language. Pure table, no state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvane::platform {

// nullopt for a language the table does not know.
std::optional<std::string> windowsLanguageName(std::uint32_t languageId);

}  // namespace quorvane::platform

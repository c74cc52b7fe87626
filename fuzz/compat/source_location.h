// Forced into every source of the fuzz build (-include). Debian's clang 14
// lacks __builtin_source_location, so the standard library it uses leaves
// std::source_location undefined; this stand-in rests on the older builtins
// and offers the same members. Never used by the gcc build.
#pragma once

#include <source_location>
#include <version>

#if !defined(__cpp_lib_source_location)
#include <cstdint>

namespace std {
struct source_location {
  static constexpr source_location current(const char* file = __builtin_FILE(),
                                           const char* function = __builtin_FUNCTION(),
                                           uint_least32_t line = __builtin_LINE(),
                                           uint_least32_t column = __builtin_COLUMN()) noexcept {
    source_location at;
    at.file_ = file;
    at.function_ = function;
    at.line_ = line;
    at.column_ = column;
    return at;
  }
  constexpr source_location() noexcept = default;
  constexpr uint_least32_t line() const noexcept { return line_; }
  constexpr uint_least32_t column() const noexcept { return column_; }
  constexpr const char* file_name() const noexcept { return file_; }
  constexpr const char* function_name() const noexcept { return function_; }

 private:
  const char* file_ = "";
  const char* function_ = "";
  uint_least32_t line_ = 0;
  uint_least32_t column_ = 0;
};
}  // namespace std
#endif

// The libFuzzer driver of one entry of fuzz/FuzzEntries.h, chosen at build
// time by QUORVANE_FUZZ_TARGET (the entry's name). A broken rule aborts, so
// that libFuzzer keeps the input as a crash.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/FuzzEntries.h"

namespace {

quorvane::fuzz::EntryFunction findEntry() {
  constexpr std::string_view wanted = QUORVANE_FUZZ_TARGET;
  for (const auto* list : {&quorvane::fuzz::commonEntries(),
#ifdef QUORVANE_FUZZ_SERVER_ENTRIES
                           &quorvane::fuzz::serverEntries(),
#endif
#ifdef QUORVANE_FUZZ_AGENT_ENTRIES
                           &quorvane::fuzz::agentEntries(),
#endif
                          }) {
    for (const auto& entry : *list) {
      if (entry.name == wanted) return entry.run;
    }
  }
  std::fprintf(stderr, "no fuzz entry named %s\n", QUORVANE_FUZZ_TARGET);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const quorvane::fuzz::EntryFunction run = findEntry();
  const quorvane::fuzz::Verdict verdict = run(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!verdict.violation.empty()) {
    std::fprintf(stderr, "fuzz rule broken: %s\n", verdict.violation.c_str());
    std::abort();
  }
  return 0;
}

// FuzzEntries: the hostile-input entry points shared by the libFuzzer targets
// (fuzz_<name>, clang build with QUORVANE_FUZZ) and the regression test
// (fuzz_regressions_test, every build with tests).
//
// Each entry takes arbitrary bytes, drives one parser or decoder with them and
// checks what must hold for any input: a refused input carries an error
// number and a description; an accepted one survives the way back (encode
// again, decode again, same result), or matches a simple model of the logic.
// A broken rule comes back as a non-empty `violation` text; the fuzzer then
// aborts, the regression test fails. Memory errors, undefined behaviour,
// leaks and hangs are left to the sanitizers and libFuzzer to catch.
//
// The entries hold no state between calls.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvane::fuzz {

struct Verdict {
  bool accepted = false;   // the input was read as valid
  std::string violation;   // empty when every rule held
};

using EntryFunction = Verdict (*)(std::string_view input);

struct Entry {
  std::string_view name;  // also the folder name under fuzz/corpus and fuzz/regressions
  EntryFunction run;
};

// Always present: readAuditRecord, the stored-file reader, HE3, Base64, the
// signed-command envelope.
Verdict auditRecord(std::string_view input);
Verdict storedForm(std::string_view input);
Verdict he3(std::string_view input);
Verdict b64(std::string_view input);
Verdict commandEnvelope(std::string_view input);
const std::vector<Entry>& commonEntries();

// Present where the server's core sources are compiled in
// (ServerFuzzEntries.cpp): serverSettings.txt, the upload assembly of one
// connection, the report-library catalog texts.
Verdict serverSettings(std::string_view input);
Verdict uploadAssembly(std::string_view input);
Verdict reportCatalog(std::string_view input);
const std::vector<Entry>& serverEntries();

// Present where the agent's sources are compiled in (AgentFuzzEntries.cpp):
// clientSettings.txt.
Verdict agentSettings(std::string_view input);
const std::vector<Entry>& agentEntries();

// The text of a failed rule, for violations.
std::string describeViolation(std::string_view entry, std::string_view rule);

// A verdict for input that broke `rule` (accepted or refused as given).
Verdict broken(std::string_view entry, std::string_view rule, bool wasAccepted = true);

// `text` with every CR LF turned into LF (settings files read either way).
std::string lfOnly(std::string_view text);

}  // namespace quorvane::fuzz

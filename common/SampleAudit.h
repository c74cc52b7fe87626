// SampleAudit: a realistic, deterministic AuditRecord for tests, benchmarks
// and demos (library quorvane_sample_audit; production programs don't link it).
//
// The record is filled the way the agent fills it: `applications` installed
// applications followed by the closing element with an empty DisplayName
// (absent when `applications` is 0), one or two printers, three drives and the
// closing empty drive, one wave device in each direction after the mapper,
// one video card and a list of video modes. The same seed gives the same
// record on every platform. The machine's address is a loopback address
// derived from the seed (seed 0 gives 127.0.0.1), its name "PC-" + the seed.
#pragma once

#include <cstdint>
#include <string>

#include "common/AuditRecord.h"

namespace quorvane {

AuditRecord makeSampleAudit(int applications, std::uint32_t seed);

// A hostile record as a sender would make it: the serialised empty audit
// whose Applications array declares `count` empty elements (12 bytes each),
// written straight into the stream without building them in memory.
std::string serialisedRecordWithEmptyApplications(std::uint32_t count);

}  // namespace quorvane

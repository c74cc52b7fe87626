// dovrel_sample_datastore DIR COUNT: writes COUNT sample audits as the
// server's DataStore files (DIR/DataStore/<IP>.dat), for the browser test.
// Test support only; never installed.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "common/AuditRecordIO.h"
#include "common/SampleAudit.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: dovrel_sample_datastore DIR COUNT\n";
    return 2;
  }
  const int count = std::atoi(argv[2]);
  const std::filesystem::path store = std::filesystem::path(argv[1]) / "DataStore";
  std::filesystem::create_directories(store);
  for (int i = 0; i < count; ++i) {
    const quorvane::AuditRecord record = quorvane::makeSampleAudit(4 + i, static_cast<std::uint32_t>(i));
    std::ofstream out(store / (record.Hardware.Network.IP + ".dat"), std::ios::binary | std::ios::trunc);
    out << quorvane::encodeStoredAudit(record) << "\r\n";
    if (!out) {
      std::cerr << "cannot write " << store.string() << "\n";
      return 1;
    }
  }
  return 0;
}

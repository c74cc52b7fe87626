#include <gtest/gtest.h>

#include <string>

#include "common/AuditRecordIO.h"
#include "common/SampleAudit.h"
#include "common/modCompression.h"

namespace quorvane {
namespace {

TEST(AuditStoredForm, EncodesTheLengthNulAndStreamAndDecodesBack) {
  const AuditRecord r = makeSampleAudit(40, 11);
  const std::string raw = writeAuditRecord(r);
  const std::string stored = encodeStoredAudit(r);
  const std::string prefix = std::to_string(raw.size()) + std::string(1, '\0');
  ASSERT_EQ(stored.compare(0, prefix.size(), prefix), 0);
  EXPECT_LT(stored.size(), raw.size());

  for (const std::string& file : {stored, stored + "\r\n"}) {
    auto back = decodeStoredAudit(file);
    ASSERT_TRUE(back.ok()) << back.status().description();
    EXPECT_EQ(*back, r);
  }
  auto viaWrapper = readStoredForm(stored);
  ASSERT_TRUE(viaWrapper.ok());
  EXPECT_EQ(*viaWrapper, raw);
}

TEST(AuditStoredForm, FailuresOfEitherLayerReachTheCaller) {
  const std::string raw = writeAuditRecord(makeSampleAudit(3, 2));
  std::string damaged = encodeStoredAudit(makeSampleAudit(3, 2));
  damaged[damaged.size() - 6] = static_cast<char>(damaged[damaged.size() - 6] ^ 0xFF);

  const struct {
    const char* name;
    std::string file;
  } rows[] = {
      {"empty", ""},
      {"no length", std::string(1, '\0') + "x"},
      {"damaged stream", damaged},
      {"only the length", std::to_string(raw.size()) + std::string(1, '\0')},
  };
  for (const auto& row : rows) {
    auto r = decodeStoredAudit(row.file);
    EXPECT_FALSE(r.ok()) << row.name;
    EXPECT_FALSE(r.status().description().empty()) << row.name;
  }

  auto shortRecord = decodeStoredAudit(makeStoredForm(raw.substr(0, 100)));
  ASSERT_FALSE(shortRecord.ok());
  EXPECT_EQ(shortRecord.status().number(), kRecordEndsEarly);
  EXPECT_NE(shortRecord.status().description().find(": stream ends early"), std::string::npos);
}

}  // namespace
}  // namespace quorvane

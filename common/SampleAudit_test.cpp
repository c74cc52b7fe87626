// The sample record: the array conventions the agent follows (closing
// elements, the sound mapper first), a loopback address, the same record for
// the same seed, a round trip through the record's stream form; and the
// hostile stream of empty applications, which must be byte for byte what the
// writer makes of that many empty applications.
#include "common/SampleAudit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/AuditRecordIO.h"

namespace quorvane {
namespace {

TEST(AuditRecordIO, SampleAuditRoundTripsAndFollowsTheArrayConventions) {
  const AuditRecord r = makeSampleAudit(300, 42);
  EXPECT_EQ(r.Software.Applications.size(), 301u);
  EXPECT_TRUE(r.Software.Applications.items.back().DisplayName.empty());
  EXPECT_EQ(r.Hardware.Drives.items.back(), DriveInfo{});
  EXPECT_EQ(r.Hardware.Sound.WaveOutDevices[0].DeviceName, "Microsoft Sound Mapper");
  EXPECT_EQ(r.Hardware.Network.IP.rfind("127.", 0), 0u);
  EXPECT_EQ(makeSampleAudit(0, 0).Hardware.Network.IP, "127.0.0.1");
  EXPECT_FALSE(makeSampleAudit(0, 0).Software.Applications.present);
  EXPECT_EQ(makeSampleAudit(300, 42), r) << "same seed, same record";
  EXPECT_NE(makeSampleAudit(300, 43), r);
  auto back = readAuditRecord(writeAuditRecord(r));
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(*back, r);
}

struct ApplicationsCase {
  const char* name;
  int applications;
  bool present;
  std::size_t elements;  // with the closing element
};

class SampleApplicationsTest : public ::testing::TestWithParam<ApplicationsCase> {};

TEST_P(SampleApplicationsTest, ListEndsInTheClosingElement) {
  const ApplicationsCase& c = GetParam();
  const AuditRecord r = makeSampleAudit(c.applications, 7);
  EXPECT_EQ(r.Software.Applications.present, c.present);
  ASSERT_EQ(r.Software.Applications.size(), c.elements);
  for (std::size_t i = 0; i + 1 < c.elements; ++i) {
    EXPECT_FALSE(r.Software.Applications.items[i].DisplayName.empty()) << i;
  }
  if (c.present) {
    EXPECT_TRUE(r.Software.Applications.items.back().DisplayName.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Counts, SampleApplicationsTest,
                         ::testing::Values(ApplicationsCase{"None", 0, false, 0},
                                           ApplicationsCase{"One", 1, true, 2},
                                           ApplicationsCase{"Forty", 40, true, 41}),
                         [](const auto& info) { return std::string(info.param.name); });

struct EmptyApplicationsCase {
  const char* name;
  std::uint32_t count;
};

class EmptyApplicationsStreamTest : public ::testing::TestWithParam<EmptyApplicationsCase> {};

TEST_P(EmptyApplicationsStreamTest, IsWhatTheWriterMakes) {
  const std::uint32_t n = GetParam().count;
  AuditRecord r;
  r.Software.Applications = Array<ApplicationInfo>(std::vector<ApplicationInfo>(n));
  const std::string stream = serialisedRecordWithEmptyApplications(n);
  EXPECT_EQ(stream, writeAuditRecord(r));
  auto back = readAuditRecord(stream);
  ASSERT_TRUE(back.ok()) << back.status().description();
  EXPECT_EQ(back->Software.Applications.size(), std::size_t{n});
}

INSTANTIATE_TEST_SUITE_P(Counts, EmptyApplicationsStreamTest,
                         ::testing::Values(EmptyApplicationsCase{"One", 1}, EmptyApplicationsCase{"Two", 2},
                                           EmptyApplicationsCase{"ByteBoundary", 256},
                                           EmptyApplicationsCase{"Thousand", 1000}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane

#include "common/AuditRecordIO.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "common/SampleAudit.h"
#include "common/modCompression.h"

namespace quorvane {
namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

std::string hex(std::string_view s) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// Size of the empty record, counted from the field tables: every text, flag
// and absent array takes 2 bytes, every Int32 4.
constexpr std::size_t kWindowsInfoEmpty = 14 * 2 /*texts*/ + 14 * 2 /*flags*/ + 1 * 4 /*WindowsBoot*/;
constexpr std::size_t kSoftwareEmpty = kWindowsInfoEmpty + 2 /*Applications*/;
constexpr std::size_t kHardwareEmpty = 2 /*Printers*/ + 2 /*PrintersPresent*/ + 17 * 2 /*Keyboard*/ +
                                       (10 * 2 + 2) /*Processor*/ + 7 * 2 /*Memory*/ +
                                       (2 + 3 * 2 + 2) /*Video*/ + (2 + 3 * 2 + 2 + 2) /*Sound*/ +
                                       2 /*Drives*/ + (4 * 2 + 2 * 2) /*Network*/;
constexpr std::size_t kRecordEmpty = kSoftwareEmpty + kHardwareEmpty + 2 /*AuditDate*/ + 4 /*port*/;
static_assert(kRecordEmpty == 178);

// Offsets inside the empty record.
constexpr std::size_t kApplicationsAt = kWindowsInfoEmpty;
constexpr std::size_t kPrintersAt = kSoftwareEmpty;

TEST(AuditRecordIO, EmptyRecordIsTheFixedMinimumOfZeroBytes) {
  const std::string out = writeAuditRecord(AuditRecord{});
  EXPECT_EQ(out.size(), kRecordEmpty);
  EXPECT_EQ(out, std::string(kRecordEmpty, '\0'));
  auto back = readAuditRecord(out);
  ASSERT_TRUE(back.ok()) << back.status().description();
  EXPECT_EQ(*back, AuditRecord{});
  EXPECT_FALSE(back->Software.Applications.present);
}

TEST(AuditRecordIO, SinglePrinterLayout) {
  AuditRecord r;
  PrinterInfo p;
  p.DisplayName = "P";
  p.Colour = true;
  p.Duplex = 1;
  p.Orientation = 2;
  p.PaperBin = 7;
  p.PaperSize = 256;
  p.PrintQuality = -4;
  r.Hardware.Printers.push_back(p);
  r.Hardware.PrintersPresent = true;
  const std::string out = writeAuditRecord(r);

  const std::string expected = bytes({0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // header
                                      0x01, 0x00, 'P', 0x00, 0x00, 0x00, 0x00,  // three texts
                                      0xFF, 0xFF,                               // Colour
                                      0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00,
                                      0x00, 0x01, 0x00, 0x00, 0xFC, 0xFF, 0xFF, 0xFF,  // Int32 codes
                                      0xFF, 0xFF});                                    // PrintersPresent
  ASSERT_GE(out.size(), kPrintersAt + expected.size());
  EXPECT_EQ(hex(out.substr(kPrintersAt, expected.size())), hex(expected));
  EXPECT_EQ(out.size(), kRecordEmpty - 2 - 2 + expected.size());
}

TEST(AuditRecordIO, WaveArraysKeepTheMapperFirst) {
  AuditRecord r;
  r.Hardware.Sound.boolPresent = true;
  WaveDeviceCaps mapper, device;
  mapper.DeviceName = "Microsoft Sound Mapper";
  device.DeviceName = "SB16 Wave Out";
  device.Features = 0x20000 | 0x2000 | 0x800;
  r.Hardware.Sound.WaveOutDevices = Array<WaveDeviceCaps>({mapper, device});
  r.Hardware.Sound.WaveInDevices = Array<WaveDeviceCaps>({mapper, device});
  const std::string out = writeAuditRecord(r);
  const auto firstMapper = out.find("Microsoft Sound Mapper");
  const auto firstDevice = out.find("SB16 Wave Out");
  ASSERT_NE(firstMapper, std::string::npos);
  EXPECT_LT(firstMapper, firstDevice);
  EXPECT_NE(out.find(bytes({0x00, 0x28, 0x02, 0x00})), std::string::npos) << "Features little-endian";

  auto back = readAuditRecord(out);
  ASSERT_TRUE(back.ok());
  ASSERT_EQ(back->Hardware.Sound.WaveOutDevices.size(), 2u);
  EXPECT_EQ(back->Hardware.Sound.WaveOutDevices[0].DeviceName, "Microsoft Sound Mapper");
  EXPECT_EQ(back->Hardware.Sound.WaveInDevices[1].Features, 0x22800);
}

TEST(AuditRecordIO, DrivesWithClosingEmptyElement) {
  AuditRecord r;
  DriveInfo a, c;
  a.DriveName = "A:\\";
  c.DriveName = "C:\\";
  r.Hardware.Drives = Array<DriveInfo>({a, c, DriveInfo{}});
  const std::string out = writeAuditRecord(r);
  const std::string network(12, '\0');
  const std::string tail = bytes({0x01, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}) +
                           bytes({0x03, 0x00, 'A', ':', '\\'}) + std::string(14, '\0') +
                           bytes({0x03, 0x00, 'C', ':', '\\'}) + std::string(14, '\0') +
                           std::string(16, '\0') /*closing element*/ + network +
                           std::string(2 + 4, '\0') /*AuditDate, port*/;
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(hex(out.substr(out.size() - tail.size())), hex(tail));
  auto back = readAuditRecord(out);
  ASSERT_TRUE(back.ok());
  ASSERT_EQ(back->Hardware.Drives.size(), 3u);
  EXPECT_EQ(back->Hardware.Drives[2], DriveInfo{});
}

TEST(AuditRecordIO, TextLengthIsLittleEndian) {
  AuditRecord r;
  r.Software.Windows.RegisteredOwner = std::string(300, 'x');
  const std::string out = writeAuditRecord(r);
  EXPECT_EQ(hex(out.substr(0, 3)), "2C 01 78");
  EXPECT_EQ(out.size(), kRecordEmpty + 300);
}

TEST(AuditRecordIO, OverlongTextIsTruncatedAndTheStreamStaysReadable) {
  AuditRecord r;
  r.Software.Windows.ProgramsPath = std::string(70000, 'p');
  r.Software.Windows.Prompt = "$p$g";
  r.ListenPortNumber = 5001;
  const std::string out = writeAuditRecord(r);
  EXPECT_EQ(out.size(), kRecordEmpty + kMaxTextBytes + 4);
  auto back = readAuditRecord(out);
  ASSERT_TRUE(back.ok()) << back.status().description();
  EXPECT_EQ(back->Software.Windows.ProgramsPath, std::string(kMaxTextBytes, 'p'));
  EXPECT_EQ(back->Software.Windows.Prompt, "$p$g");
  EXPECT_EQ(back->ListenPortNumber, 5001);
}

TEST(AuditRecordIO, RawFlagsAndLowerBoundsRoundTripByteForByte) {
  AuditRecord r;
  r.Software.Windows.ScreenReviewer = Flag::fromRaw(1);
  r.Software.Windows.Security = Flag::fromRaw(0x1234);
  r.Hardware.Video.VideoModes = Array<Text>({"640*480 4bit colour (16 Colors)"});
  r.Hardware.Video.VideoModes.lowerBound = -3;
  r.Hardware.Video.VideoCards.present = true;  // present but empty: d = 1, count 0
  const std::string out = writeAuditRecord(r);
  auto back = readAuditRecord(out);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(*back, r);
  EXPECT_TRUE(back->Software.Windows.ScreenReviewer.isTrue());
  EXPECT_EQ(back->Software.Windows.ScreenReviewer.raw, 1);
  EXPECT_EQ(back->Hardware.Video.VideoModes.lowerBound, -3);
  EXPECT_TRUE(back->Hardware.Video.VideoCards.present);
  EXPECT_EQ(writeAuditRecord(*back), out);
}

TEST(AuditRecordIO, ElementsOfAnArrayNeverMarkedPresentAreStillWritten) {
  AuditRecord r;
  r.Hardware.Drives.items.push_back(DriveInfo{});
  auto back = readAuditRecord(writeAuditRecord(r));
  ASSERT_TRUE(back.ok());
  EXPECT_TRUE(back->Hardware.Drives.present);
  EXPECT_EQ(back->Hardware.Drives.size(), 1u);
}

TEST(AuditRecordIO, WriterAppendsToExistingBytes) {
  std::string out = "prefix";
  writeAuditRecord(out, AuditRecord{});
  EXPECT_EQ(out.size(), 6 + kRecordEmpty);
  EXPECT_EQ(out.substr(0, 6), "prefix");
}

TEST(AuditRecordIO, ExtraBytesAfterTheRecordAreIgnored) {
  const AuditRecord r = makeSampleAudit(7, 3);
  const std::string record = writeAuditRecord(r);
  std::size_t consumed = 0;
  auto back = readAuditRecord(record + "\r\n" + std::string(100, '\xFF'), &consumed);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(*back, r);
  EXPECT_EQ(consumed, record.size());
}

// --- random round trips -----------------------------------------------------

class RandomFiller {
 public:
  explicit RandomFiller(std::uint32_t seed) : rng_(seed) {}

  template <class T>
  void fill(T& v) {
    if constexpr (std::is_same_v<T, Text>) {
      const std::size_t n = pick(8) == 0 ? pick(400) : pick(12);
      v.resize(n);
      for (auto& c : v) c = static_cast<char>(pick(256));
    } else if constexpr (std::is_same_v<T, Flag>) {
      const std::int16_t choices[] = {0, -1, 1, static_cast<std::int16_t>(rng_())};
      v = Flag::fromRaw(choices[pick(4)]);
    } else if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>) {
      v = static_cast<T>(rng_());
    } else if constexpr (requires { v.items; v.lowerBound; }) {
      v = T();
      if (pick(4) == 0) return;  // absent
      v.present = true;
      v.lowerBound = pick(5) == 0 ? static_cast<std::int32_t>(pick(2000)) - 1000 : 0;
      v.items.resize(pick(5));
      for (auto& item : v.items) fill(item);
    } else {
      forEachField(v, [this](std::string_view, auto& member) { this->fill(member); });
    }
  }

 private:
  std::uint32_t pick(std::uint32_t n) { return rng_() % n; }
  std::mt19937 rng_;
};

TEST(AuditRecordIO, RandomRecordsRoundTrip) {
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    RandomFiller filler(seed);
    AuditRecord r;
    filler.fill(r);
    const std::string out = writeAuditRecord(r);
    std::size_t consumed = 0;
    auto back = readAuditRecord(out, &consumed);
    ASSERT_TRUE(back.ok()) << "seed " << seed << ": " << back.status().description();
    ASSERT_EQ(*back, r) << "seed " << seed;
    ASSERT_EQ(consumed, out.size()) << "seed " << seed;
    ASSERT_EQ(writeAuditRecord(*back), out) << "seed " << seed;
  }
}

// --- hostile input ----------------------------------------------------------

TEST(AuditRecordIO, EveryTruncationOfARealRecordFailsCleanly) {
  const std::string full = writeAuditRecord(makeSampleAudit(4, 9));
  for (std::size_t len = 0; len < full.size(); ++len) {
    auto r = readAuditRecord(std::string_view(full).substr(0, len));
    ASSERT_FALSE(r.ok()) << "length " << len;
    ASSERT_EQ(r.status().number(), kRecordEndsEarly) << "length " << len;
    const std::string& d = r.status().description();
    ASSERT_NE(d.find(": stream ends early"), std::string::npos) << d;
    ASSERT_TRUE(d.rfind("Software", 0) == 0 || d.rfind("Hardware", 0) == 0 ||
                d.rfind("AuditDate", 0) == 0 || d.rfind("ListenPortNumber", 0) == 0)
        << d;
  }
  EXPECT_TRUE(readAuditRecord(full).ok());
}

TEST(AuditRecordIO, ShortStreamNamesTheFieldPath) {
  AuditRecord r = makeSampleAudit(2, 1);
  r.Hardware.Drives[2].DriveLabel = "UNIQUE-LABEL";
  const std::string full = writeAuditRecord(r);
  const auto at = full.find("UNIQUE-LABEL");
  ASSERT_NE(at, std::string::npos);
  auto cut = readAuditRecord(std::string_view(full).substr(0, at + 3));
  ASSERT_FALSE(cut.ok());
  EXPECT_EQ(cut.status().description(), "Hardware.Drives[2].DriveLabel: stream ends early");

  auto empty = readAuditRecord("");
  ASSERT_FALSE(empty.ok());
  EXPECT_EQ(empty.status().description(), "Software.Windows.RegisteredOwner: stream ends early");

  auto port = readAuditRecord(std::string(kRecordEmpty - 1, '\0'));
  ASSERT_FALSE(port.ok());
  EXPECT_EQ(port.status().description(), "ListenPortNumber: stream ends early");
}

struct HostileHeader {
  const char* name;
  std::string header;  // replaces the absent Applications array of an empty record
  long number;
  const char* message;
};

class AuditRecordHostile : public testing::TestWithParam<HostileHeader> {};

TEST_P(AuditRecordHostile, IsRejectedWithAClearMessage) {
  const HostileHeader& row = GetParam();
  std::string stream(kRecordEmpty, '\0');
  stream.replace(kApplicationsAt, 2, row.header);
  auto r = readAuditRecord(stream);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.status().number(), row.number);
  EXPECT_EQ(r.status().description(), row.message);
}

const HostileHeader kHostileRows[] = {
    {"TwoDimensions", bytes({0x02, 0x00}), kRecordMalformed,
     "Software.Applications: dimension count 2 (only 0 or 1 allowed)"},
    {"NegativeDimensions", bytes({0xFF, 0xFF}), kRecordMalformed,
     "Software.Applications: dimension count -1 (only 0 or 1 allowed)"},
    {"NegativeCount", bytes({0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00}), kRecordMalformed,
     "Software.Applications: negative element count -1"},
    {"HugeCount", bytes({0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x00, 0x00}), kRecordPastLimits,
     "Software.Applications: 2147483647 elements past the limit of 65536"},
    {"OneApplicationPastTheLimit", bytes({0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}),
     kRecordPastLimits, "Software.Applications: 65537 elements past the limit of 65536"},
    {"ApplicationsAtTheLimitButNoBytes", bytes({0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}),
     kRecordEndsEarly,
     "Software.Applications: stream ends early (65536 elements need at least 786432 bytes, 116 left)"},
    {"CountJustTooLarge", bytes({0x01, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), kRecordEndsEarly,
     "Software.Applications: stream ends early (10 elements need at least 120 bytes, 116 left)"},
    {"BoundsOverflow", bytes({0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x7F}), kRecordMalformed,
     "Software.Applications: array bounds overflow (lower bound 2147483647, 2 elements)"},
    {"CountFitsButElementsRunOut", bytes({0x01, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00}),
     kRecordEndsEarly, "Software.Applications[0].DisplayName: stream ends early"},
};

INSTANTIATE_TEST_SUITE_P(Rows, AuditRecordHostile, testing::ValuesIn(kHostileRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AuditRecordIO, HugeCountInANestedTextArrayIsRejectedBeforeAllocating) {
  // VideoModes is an array of texts deep inside Hardware; claim 2^31-1 of them.
  AuditRecord r;
  r.Hardware.Video.VideoModes = Array<Text>({"x"});
  std::string out = writeAuditRecord(r);
  const auto at = out.find(bytes({0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 'x'}));
  ASSERT_NE(at, std::string::npos);
  out.replace(at + 2, 4, bytes({0xFF, 0xFF, 0xFF, 0x7F}));
  auto back = readAuditRecord(out);
  ASSERT_FALSE(back.ok());
  EXPECT_EQ(back.status().number(), kRecordPastLimits);
  EXPECT_EQ(back.status().description(), "Hardware.Video.VideoModes: 2147483647 elements past the limit of 4096");
}

// Records as hostile senders build them: whole streams that are well formed
// but far larger than any machine's audit. Each must be refused with the
// limits error before its elements are allocated; the ones at the limit read.
TEST(AuditRecordLimits, ArraysAndRecordSizeAreBounded) {
  const auto withApplications = [](std::uint32_t n) { return serialisedRecordWithEmptyApplications(n); };
  const auto withDrives = [](std::size_t n) {
    AuditRecord r;
    r.Hardware.Drives = Array<DriveInfo>(std::vector<DriveInfo>(n));
    return writeAuditRecord(r);
  };
  const auto withModes = [](std::size_t n, std::size_t textBytes) {
    AuditRecord r;
    r.Hardware.Video.VideoModes = Array<Text>(std::vector<Text>(n, Text(textBytes, 'm')));
    return writeAuditRecord(r);
  };
  const auto withWaveOut = [](std::size_t n) {
    AuditRecord r;
    r.Hardware.Sound.WaveOutDevices = Array<WaveDeviceCaps>(std::vector<WaveDeviceCaps>(n));
    return writeAuditRecord(r);
  };
  const struct {
    const char* name;
    std::string stream;
    long number;  // 0: reads
    const char* path;
  } rows[] = {
      // 64 MiB raw: the hostile upload that cost the server 1 GiB each.
      {"5,592,278 empty applications", withApplications(5592278), kRecordPastLimits, "Software.Applications"},
      {"65,537 applications", withApplications(65537), kRecordPastLimits, "Software.Applications"},
      {"65,536 applications", withApplications(65536), 0, ""},
      {"4,097 drives", withDrives(4097), kRecordPastLimits, "Hardware.Drives"},
      {"4,096 drives", withDrives(4096), 0, ""},
      {"4,097 video modes", withModes(4097, 1), kRecordPastLimits, "Hardware.Video.VideoModes"},
      {"4,097 wave output devices", withWaveOut(4097), kRecordPastLimits, "Hardware.Sound.WaveOutDevices"},
      {"257 modes of 64 KiB: a record past 16 MiB", withModes(257, 65535), kRecordPastLimits,
       "Hardware.Video.VideoModes[255]"},
      {"255 modes of 64 KiB", withModes(255, 65535), 0, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto r = readAuditRecord(row.stream);
    if (row.number == 0) {
      EXPECT_TRUE(r.ok()) << r.status().description();
      continue;
    }
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().number(), row.number);
    EXPECT_EQ(r.status().description().rfind(std::string(row.path) + ": ", 0), 0u) << r.status().description();
  }
}

TEST(AuditRecordLimits, AStoredAuditDeclaringMoreThanARecordMayHoldIsNotInflated) {
  const std::string raw = writeAuditRecord(AuditRecord{});
  const std::string stored = makeStoredForm(raw);
  const std::string zlibStream = stored.substr(stored.find('\0') + 1);
  const struct {
    const char* name;
    std::string file;
    long number;
  } rows[] = {
      {"declared 16 MiB + 1", std::to_string(kMaxRecordBytes + 1) + std::string(1, '\0') + zlibStream,
       kRecordPastLimits},
      {"declared 64 MiB", std::to_string(64u * 1024 * 1024) + std::string(1, '\0') + zlibStream, kRecordPastLimits},
      {"the true length", stored, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto r = decodeStoredAudit(row.file);
    if (row.number == 0) {
      EXPECT_TRUE(r.ok()) << r.status().description();
    } else {
      ASSERT_FALSE(r.ok());
      EXPECT_EQ(r.status().number(), row.number) << r.status().description();
    }
  }
}

}  // namespace
}  // namespace quorvane

#include "common/modCompression.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/ErrorReport.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

std::string randomText(std::size_t size, unsigned seed) {
  // Text-like bytes with repeats, as an audit has.
  static const std::vector<std::string> words = {"Microsoft", " Office", "Adobe", " Reader ", "7-Zip",
                                                 "9.20", "\r\n", "Unknown or None", " KBytes", "C:\\"};
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::size_t> pick(0, words.size());
  std::uniform_int_distribution<int> byte(0, 255);
  std::string s;
  while (s.size() < size) {
    const std::size_t i = pick(rng);
    if (i == words.size()) {
      s.push_back(static_cast<char>(byte(rng)));
    } else {
      s += words[i];
    }
  }
  s.resize(size);
  return s;
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& p, std::string_view bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("KVXcompression_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

TEST(modCompression, EmptyDataStoredForm) {
  const std::string stored = makeStoredForm("");
  ASSERT_GE(stored.size(), 2u);
  EXPECT_EQ(stored.substr(0, 2), std::string("0\0", 2));
  Expected<std::string> stream = compressString("", 9);
  ASSERT_TRUE(stream.ok());
  EXPECT_EQ(stored.substr(2), *stream);
  Expected<std::string> back = readStoredForm(stored);
  ASSERT_TRUE(back.ok()) << back.status().description();
  EXPECT_EQ(*back, "");
}

TEST(modCompression, StoredFormStartsWithTheDecimalLength) {
  const std::string data = randomText(3000, 1);
  const std::string stored = makeStoredForm(data);
  EXPECT_EQ(stored.substr(0, 5), std::string("3000\0", 5));
  // The rest is exactly what compress2 at level 9 gives.
  Expected<std::string> stream = compressString(data, 9);
  ASSERT_TRUE(stream.ok());
  EXPECT_EQ(stored.substr(5), *stream);
}

TEST(modCompression, RoundTripsWithWhatFollowsTheStream) {
  struct Row {
    const char* name;
    std::string trailer;
  };
  const std::vector<Row> rows = {
      {"agent's file, nothing after", ""},
      {"server's copy, CR LF after", "\r\n"},
      {"other bytes after", std::string("\0junk\xff", 6)},
  };
  for (std::size_t size : {1u, 100u, 3000u, 65536u, 1u << 20}) {
    const std::string data = randomText(size, static_cast<unsigned>(size));
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.name) + ", " + std::to_string(size) + " bytes");
      Expected<std::string> back = readStoredForm(makeStoredForm(data) + row.trailer);
      ASSERT_TRUE(back.ok()) << back.status().description();
      EXPECT_EQ(*back, data);
    }
  }
}

TEST(modCompression, EveryLevelRoundTrips) {
  const std::string data = randomText(20000, 5);
  for (int level = -1; level <= 9; ++level) {
    SCOPED_TRACE(level);
    Expected<std::string> stream = compressString(data, level);
    ASSERT_TRUE(stream.ok());
    Expected<std::string> back = decompressString(*stream, data.size());
    ASSERT_TRUE(back.ok()) << back.status().description();
    EXPECT_EQ(*back, data);
  }
  for (int level : {-2, 10, 1000}) {
    Expected<std::string> r = compressString(data, level);
    ASSERT_FALSE(r.ok()) << level;
    EXPECT_EQ(r.status().number(), kErrCompressFailed);
  }
}

TEST(modCompression, DeclaredLength) {
  struct Row {
    const char* name;
    std::string digits;
    bool ok;
    std::uint64_t value;
  };
  const std::vector<Row> rows = {
      {"zero", "0", true, 0},
      {"one", "1", true, 1},
      {"typical", "3000", true, 3000},
      {"the limit", "67108864", true, kMaxDeclaredLength},
      {"one past the limit", "67108865", false, 0},
      {"overflows 64 bits", "99999999999999999999999999", false, 0},
      {"empty", "", false, 0},
      {"leading zero", "0100", false, 0},
      {"two zeros", "00", false, 0},
      {"plus sign", "+5", false, 0},
      {"minus sign", "-5", false, 0},
      {"leading blank", " 5", false, 0},
      {"trailing blank", "5 ", false, 0},
      {"hex", "0x10", false, 0},
      {"letters", "12a", false, 0},
      {"decimal point", "1.5", false, 0},
      {"high byte", "1\xb2", false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Expected<std::uint64_t> r = parseDeclaredLength(row.digits);
    ASSERT_EQ(r.ok(), row.ok);
    if (row.ok) {
      EXPECT_EQ(*r, row.value);
    } else {
      EXPECT_EQ(r.status().number(), kErrCompressedData);
    }
  }
}

std::string withDictionary(std::string_view data) {
  z_stream s{};
  EXPECT_EQ(deflateInit(&s, 9), Z_OK);
  const std::string dict = "Microsoft Office";
  deflateSetDictionary(&s, reinterpret_cast<const Bytef*>(dict.data()), static_cast<uInt>(dict.size()));
  std::string out(deflateBound(&s, static_cast<uLong>(data.size())), '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

TEST(modCompression, HostileStoredFiles) {
  const std::string data = randomText(5000, 9);
  const std::string stored = makeStoredForm(data);
  const std::size_t nul = stored.find('\0');
  const std::string stream = stored.substr(nul + 1);
  std::string flipped = stored;
  flipped[nul + 1 + stream.size() / 2] ^= 0x55;
  std::string badChecksum = stored;
  badChecksum.back() ^= 0x01;
  struct Row {
    const char* name;
    std::string bytes;
  };
  const std::vector<Row> rows = {
      {"empty file", ""},
      {"no NUL", "5000"},
      {"only the length", std::string("5000\0", 5)},
      {"declared one more", "5001" + stored.substr(nul)},
      {"declared one less", "4999" + stored.substr(nul)},
      {"declared zero", "0" + stored.substr(nul)},
      {"declared the limit, tiny stream", "67108864" + stored.substr(nul)},
      {"declared past the limit", "67108865" + stored.substr(nul)},
      {"negative length", "-5000" + stored.substr(nul)},
      {"length with a leading zero", "05000" + stored.substr(nul)},
      {"stream cut in half", stored.substr(0, nul + 1 + stream.size() / 2)},
      {"stream without its last byte", stored.substr(0, stored.size() - 1)},
      {"stream byte flipped", flipped},
      {"checksum damaged", badChecksum},
      {"not a zlib stream", std::string("5\0hello", 7)},
      {"gzip header", std::string("5\0\x1f\x8b\x08\x00\x00\x00\x00\x00", 10)},
      {"stream needs a dictionary", "5000" + std::string(1, '\0') + withDictionary(data)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Expected<std::string> r = readStoredForm(row.bytes);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().number(), kErrCompressedData) << r.status().description();
  }
}

TEST(modCompression, DecompressRefusesLengthsOverTheLimitBeforeInflating) {
  Expected<std::string> stream = compressString("abc", 9);
  ASSERT_TRUE(stream.ok());
  Expected<std::string> r = decompressString(*stream, kMaxDeclaredLength + 1);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.status().number(), kErrCompressedData);
  r = decompressString(*stream, ~0ull);
  EXPECT_FALSE(r.ok());
}

TEST(modCompression, DataUpToTheLimitIsAccepted) {
  const std::string data(kMaxDeclaredLength, 'x');
  Expected<std::string> back = readStoredForm(makeStoredForm(data));
  ASSERT_TRUE(back.ok()) << back.status().description();
  EXPECT_EQ(back->size(), data.size());
}

TEST(modCompression, CompressFileRewritesInStoredForm) {
  TempDir dir;
  struct Row {
    const char* name;
    std::string content;
  };
  const std::vector<Row> rows = {
      {"empty file", ""},
      {"audit-sized file", randomText(3000, 3)},
      {"every byte value", [] {
         std::string s;
         for (int i = 0; i < 1024; ++i) s.push_back(static_cast<char>(i & 0xFF));
         return s;
       }()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path file = dir.path() / "192.0.2.7.dat";
    writeFile(file, row.content);
    ASSERT_TRUE(compressFile(file).ok());
    const std::string stored = readFile(file);
    EXPECT_EQ(stored, makeStoredForm(row.content));
    EXPECT_EQ(stored.substr(0, stored.find('\0')), std::to_string(row.content.size()));
    Expected<std::string> back = readStoredForm(stored);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back, row.content);
    // Only the file itself is left in the folder.
    std::vector<fs::path> entries;
    for (const auto& e : fs::directory_iterator(dir.path())) entries.push_back(e.path().filename());
    EXPECT_EQ(entries, std::vector<fs::path>{"192.0.2.7.dat"});
  }
}

TEST(modCompression, CompressFileErrors) {
  TempDir dir;
  Status missing = compressFile(dir.path() / "absent.dat");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.number(), kErrFileNotFound);

  Status folder = compressFile(dir.path());
  EXPECT_FALSE(folder.ok());
}

}  // namespace
}  // namespace quorvane

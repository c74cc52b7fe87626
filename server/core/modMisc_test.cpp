// modMisc: path texts, the DataStore listing (".dat" exactly, sorted, the
// rejected and temporary files left out), lower case and address checks.
#include "server/core/modMisc.h"

#include <gtest/gtest.h>

#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

using testing::TempFolder;

TEST(ModMiscTest, AppPathEndsInOneSlash) {
  EXPECT_EQ(getAppPath("/srv/q"), "/srv/q/");
  EXPECT_EQ(getAppPath("/srv/q/"), "/srv/q/");
  EXPECT_EQ(getAppPath(""), "/");
}

TEST(ModMiscTest, NameOfFileAndExtension) {
  EXPECT_EQ(returnNameOfFile("/a/b/127.0.0.1.dat"), "127.0.0.1.dat");
  EXPECT_EQ(returnNameOfFile("C:\\x\\y.dat"), "y.dat");
  EXPECT_EQ(returnNameOfFile("plain"), "plain");
  EXPECT_EQ(stripExtension("127.0.0.1.dat"), "127.0.0.1");
  EXPECT_EQ(stripExtension("noext"), "noext");
  EXPECT_EQ(clientKeyOfDataFile("/d/DataStore/10.1.2.3.dat"), "10.1.2.3");
}

struct NameCase {
  const char* name;
  bool isData;
};

class DataFileNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(DataFileNameTest, ExtensionIsExactAndCaseSensitive) {
  EXPECT_EQ(isDataFileName(GetParam().name), GetParam().isData) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, DataFileNameTest,
                         ::testing::Values(NameCase{"x.dat", true}, NameCase{".dat", true},
                                           NameCase{"AUDIT.DAT", false}, NameCase{"a.Dat", false},
                                           NameCase{"127.0.0.1.dat.rejected", false},
                                           NameCase{"127.0.0.1.dat.Ab12Cd", false}, NameCase{"dat", false},
                                           NameCase{"x.dat ", false}));

TEST(ModMiscTest, ListingKeepsDataFilesSortedByName) {
  TempFolder dir;
  for (const char* name : {"127.0.0.9.dat", "AUDIT.DAT", "127.0.0.10.dat", "x.dat", "notes.txt",
                           "127.0.0.2.dat.rejected"}) {
    dir.write(std::string("DataStore/") + name, "x");
  }
  dir.write("DataStore/sub.dat/inner", "x");  // a folder named like a data file
  const DataFileListing listing = getFileCount(dir.path());
  EXPECT_FALSE(listing.noDataFiles);
  const std::string ds = dir.dataStore();
  EXPECT_EQ(listing.paths,
            (std::vector<std::string>{ds + "127.0.0.10.dat", ds + "127.0.0.9.dat", ds + "x.dat"}));
}

TEST(ModMiscTest, EmptyOrMissingDataStoreGivesOneEmptyEntry) {
  TempFolder dir;
  DataFileListing missing = getFileCount(dir.path());
  EXPECT_TRUE(missing.noDataFiles);
  EXPECT_EQ(missing.paths, std::vector<std::string>{""});

  dir.write("DataStore/readme.txt", "x");
  dir.write("DataStore/OLD.DAT", "x");
  DataFileListing others = getFileCount(dir.path());
  EXPECT_TRUE(others.noDataFiles);
  EXPECT_EQ(others.paths, std::vector<std::string>{""});
}

TEST(ModMiscTest, LowerCaseCoversTheCodePage) {
  EXPECT_EQ(lowerCase1252("WORKGROUP"), "workgroup");
  EXPECT_EQ(lowerCase1252("Corp-2.Example"), "corp-2.example");
  EXPECT_EQ(lowerCase1252("\xC4\xD6\xDC\xD7\xDF"), "\xE4\xF6\xFC\xD7\xDF");  // umlauts; x and sharp s stay
  EXPECT_EQ(lowerCase1252("\x8A\x8C\x8E\x9F"), "\x9A\x9C\x9E\xFF");
}

struct AddressCase {
  const char* text;
  bool valid;
};

class DottedAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(DottedAddressTest, OnlyFourDecimalParts) { EXPECT_EQ(isDottedIPv4(GetParam().text), GetParam().valid); }

INSTANTIATE_TEST_SUITE_P(Addresses, DottedAddressTest,
                         ::testing::Values(AddressCase{"127.0.0.1", true}, AddressCase{"255.255.255.255", true},
                                           AddressCase{"256.0.0.1", false}, AddressCase{"1.2.3", false},
                                           AddressCase{"1.2.3.4.5", false}, AddressCase{"x", false},
                                           AddressCase{"::ffff:127.0.0.1", false}, AddressCase{"1..2.3", false},
                                           AddressCase{"1.2.3.4 ", false}, AddressCase{"", false},
                                           AddressCase{"0001.2.3.4", false}));

}  // namespace
}  // namespace quorvane

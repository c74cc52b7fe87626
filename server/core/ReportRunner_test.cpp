// Report discovery and the runner: library names, catalog parsing,
// retreiveInfo's failures, two libraries offering the same report, the
// messages of "Go !", and whole runs of the real Dovrel library.
#include "server/core/ReportRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/SampleAudit.h"
#include "server/core/ReportComponent.h"
#include "server/core/ServerTexts.h"
#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using testing::RecordingSink;
using testing::TempFolder;

const std::string kDovrel = std::string(QUORVANE_BINARY_DIR) + "/bin/Dovrel.so";
const std::string kFake = std::string(QUORVANE_BINARY_DIR) + "/testlibs/dovrelFake.so";
const std::string kNoReg = std::string(QUORVANE_BINARY_DIR) + "/testlibs/dovrelNoReg.so";

void copyInto(const TempFolder& folder, const std::string& from, const std::string& name) {
  ASSERT_TRUE(fs::exists(from)) << from << " is not built";
  fs::copy_file(from, folder.path() + name, fs::copy_options::overwrite_existing);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

struct NameCase {
  const char* name;
  bool library;
};

TEST(ReportLibraryNameTest, NameRules) {
  const NameCase cases[] = {
      {"Dovrel.so", true},   {"dovrelX.so", true},  {"DOVRELreports.so", true}, {"dovrel.so", true},
      {"dov.so", false},     {"mydovrel.so", false}, {"Dovrel.dll", false},      {"dovrel", false},
      {"dovre.so", false},   {".", false},           {"..", false},              {"dovrel.so.1", false},
      {"Dovrel.SO", false},  {"dovrelso", false},    {"xdovrel.so", false},      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(isReportLibraryName(c.name), c.library) << c.name;
  EXPECT_EQ(reportLibrarySuffix(), ".so");
}

TEST(ReportLibraryNameTest, ListingKeepsFilesOnlySortedByName) {
  TempFolder folder;
  for (const char* name : {"dovrelX.so", "Dovrel.so", "dov.so", "mydovrel.so", "notes.txt", "dovrelB.so"}) {
    folder.write(name, "x");
  }
  fs::create_directories(folder.path() + "dovrelDir.so");
  EXPECT_EQ(listReportLibraries(folder.path()),
            (std::vector<std::string>{"Dovrel.so", "dovrelB.so", "dovrelX.so"}));
  EXPECT_TRUE(listReportLibraries(folder.path() + "missing/").empty());
}

TEST(CatalogParserTest, Entries) {
  auto html = parseCatalogEntry("Report Software Assets::clsReportSoftware::{Output to HTML,.html}");
  ASSERT_TRUE(html);
  EXPECT_EQ(html->reportName, "Report Software Assets");
  EXPECT_EQ(html->className, "clsReportSoftware");
  ASSERT_EQ(html->formats.size(), 1u);
  EXPECT_EQ(html->formats[0], (std::pair<std::string, std::string>{"Output to HTML", ".html"}));

  auto many = parseCatalogEntry("A::cls::{One,.1;Two,.2;Three,.three}");
  ASSERT_TRUE(many);
  ASSERT_EQ(many->formats.size(), 3u);
  EXPECT_EQ(many->formats[2].first, "Three");
  EXPECT_EQ(many->formats[2].second, ".three");

  // The name ends at the first "::", the class at the second; the list runs
  // from the first "{" to the last character.
  auto nested = parseCatalogEntry("R::c::x::{F,.e}");
  ASSERT_TRUE(nested);
  EXPECT_EQ(nested->className, "c");

  for (const char* bad : {"", "no separators", "Name::cls", "Name::cls::Output,.x}", "Name::cls::{Output,.x",
                          "::cls::{F,.x}", "Name::::{F,.x}", "Name::cls::{F}", "Name::cls::{,.x}",
                          "N::c::{F,.x;}", "N{::c::{F,.x}"}) {
    EXPECT_FALSE(parseCatalogEntry(bad)) << bad;
  }
}

TEST(CatalogParserTest, CatalogHasOneRowPerFormatInDiscoveryOrder) {
  std::vector<ReportLibraryEntry> libs = {
      {"/p/Dovrel.so", {"A::c1::{X,.x;Y,.y}", "B::c2::{Z,.z}"}, "Me"},
      {"/p/dovrelX.so", {"broken", "A::c3::{X,.x}"}, "You"},
  };
  const auto catalog = buildReportCatalog(libs);
  ASSERT_EQ(catalog.size(), 4u);
  EXPECT_EQ(catalog[0].libraryPath, "/p/Dovrel.so");
  EXPECT_EQ(catalog[1].caption, "Y");
  EXPECT_EQ(catalog[1].formatNumber, 1);
  EXPECT_EQ(catalog[2].reportName, "B");
  EXPECT_EQ(catalog[2].className, "c2");
  EXPECT_EQ(catalog[2].formatNumber, 0);
  EXPECT_EQ(catalog[3].libraryPath, "/p/dovrelX.so");
  EXPECT_EQ(catalog[3].className, "c3");
}

TEST(RetreiveInfoTest, ReadsTheRealLibrary) {
  TempFolder folder;
  copyInto(folder, kDovrel, "Dovrel.so");
  auto entry = retreiveInfo(folder.path() + "Dovrel.so");
  ASSERT_TRUE(entry) << entry.status().description();
  EXPECT_EQ(entry->path, folder.path() + "Dovrel.so");
  EXPECT_EQ(entry->author, "Ostervale Technologies Ltd.");
  EXPECT_EQ(entry->catalog,
            (std::vector<std::string>{
                "Report Software Assets::clsReportSoftware::{Output to HTML,.html}",
                "XML Data Export::clsXMLExport::{Output to XML,.xml}",
                "Software by Version and Computer::clsSoftwareByVersion::{Output to HTML,.html}",
                "Software Inventory::clsSoftwareInventory::{Output to CSV,.csv}",
                "Computer Summary::clsComputerSummary::{Output to CSV,.csv}",
                "Fleet Export::clsFleetExport::{Output to JSON,.json}"}));
}

TEST(RetreiveInfoTest, FailuresCarryTheMessage) {
  TempFolder folder;
  folder.write("dovrelJunk.so", "this is not a library");
  copyInto(folder, kNoReg, "dovrelNoReg.so");
  auto junk = retreiveInfo(folder.path() + "dovrelJunk.so");
  ASSERT_FALSE(junk);
  EXPECT_EQ(junk.status().description(),
            "QuorvaneServer.modMisc.retreiveInfo()\r\n\r\nLoadLibrary() Failed on : \r\n" + folder.path() +
                "dovrelJunk.so");
  auto noReg = retreiveInfo(folder.path() + "dovrelNoReg.so");
  ASSERT_FALSE(noReg);
  EXPECT_EQ(noReg.status().description(),
            "QuorvaneServer.modMisc.retreiveInfo()\r\n\r\nGetProcAddress() Failed on : \r\n" + folder.path() +
                "dovrelNoReg.so");
}

TEST(DiscoveryTest, StrayFilesAreReportedAndSkipped) {
  TempFolder folder;
  copyInto(folder, kDovrel, "Dovrel.so");
  copyInto(folder, kDovrel, "dovrelX.so");
  copyInto(folder, kNoReg, "dovrelNoReg.so");
  folder.write("dovrelJunk.so", "junk");
  copyInto(folder, kDovrel, "dov.so");
  copyInto(folder, kDovrel, "mydovrel.so");
  RecordingSink sink;
  LibraryReportCatalog catalog(sink);
  auto found = catalog.discover(folder.path());
  ASSERT_TRUE(found);
  ASSERT_EQ(found->size(), 2u);
  EXPECT_EQ((*found)[0].path, folder.path() + "Dovrel.so");
  EXPECT_EQ((*found)[1].path, folder.path() + "dovrelX.so");
  ASSERT_EQ(sink.messages.size(), 2u);
  EXPECT_EQ(sink.messages[0].title, kServerTitle);
  EXPECT_EQ(sink.messages[0].style, kStyleCritical);
  EXPECT_NE(sink.messages[0].text.find("LoadLibrary() Failed on : \r\n" + folder.path() + "dovrelJunk.so"),
            std::string::npos);
  EXPECT_NE(sink.messages[1].text.find("GetProcAddress() Failed on : \r\n" + folder.path() + "dovrelNoReg.so"),
            std::string::npos);
}

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureCoreApplication(); }

  // Discovers the libraries of the folder into a runner.
  void discover() {
    LibraryReportCatalog catalog(sink_);
    auto found = catalog.discover(folder_.path());
    ASSERT_TRUE(found);
    runner_.setLibraries(std::move(*found));
  }
  std::size_t rowOf(const std::string& text, int tag) const {
    for (std::size_t r = 0; r < runner_.typeRows().size(); ++r) {
      if (runner_.typeRows()[r].text == text && runner_.typeRows()[r].tag == tag) return r;
    }
    ADD_FAILURE() << "no row " << text << " of library " << tag;
    return 0;
  }
  std::vector<std::string> storeAudits(int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
      const std::string ip = "127.0.0." + std::to_string(i + 1);
      const std::string name = "DataStore/" + ip + ".dat";
      folder_.write(name, testing::storedForm(testing::sampleRecord(static_cast<std::uint32_t>(i + 1), ip)));
      paths.push_back(folder_.path() + name);
    }
    return paths;
  }

  TempFolder folder_;
  RecordingSink sink_;
  ReportRunner runner_{sink_, QV_HOST_QUIET};
};

TEST_F(RunnerTest, RowsCarryAuthorFileNameAndTag) {
  copyInto(folder_, kDovrel, "Dovrel.so");
  copyInto(folder_, kFake, "dovrelFake.so");
  discover();
  const auto& rows = runner_.typeRows();
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[0].text, "Report Software Assets");
  EXPECT_EQ(rows[0].author, "(Ostervale Technologies Ltd.)");
  EXPECT_EQ(rows[0].fileName, "(Dovrel)");
  EXPECT_EQ(rows[0].tag, 0);
  EXPECT_EQ(rows[1].text, "XML Data Export");
  EXPECT_EQ(rows[5].text, "Fleet Export");
  EXPECT_EQ(rows[5].tag, 0);
  EXPECT_EQ(rows[6].text, "XML Data Export");
  EXPECT_EQ(rows[6].author, "(Fake Author)");
  EXPECT_EQ(rows[6].fileName, "(dovrelFake)");
  EXPECT_EQ(rows[6].tag, 1);
  EXPECT_EQ(rows[7].text, "Fake Report");
  EXPECT_TRUE(sink_.messages.empty());
}

TEST_F(RunnerTest, FormatsOfTheClickedRowAndTheDefaultFileName) {
  copyInto(folder_, kDovrel, "Dovrel.so");
  copyInto(folder_, kFake, "dovrelFake.so");
  discover();
  runner_.clickReportType(rowOf("XML Data Export", 1));
  ASSERT_EQ(runner_.formatRows().size(), 2u);
  EXPECT_EQ(runner_.formatRows()[1].caption, "Output to Text");
  EXPECT_EQ(runner_.formatRows()[1].extension, ".txt");
  runner_.clickReportType(rowOf("Report Software Assets", 0));
  ASSERT_EQ(runner_.formatRows().size(), 1u);
  runner_.clickFormat(0);
  EXPECT_EQ(runner_.chosenCaption(), "Output to HTML");
  EXPECT_EQ(runner_.defaultFileName(), "My Report.html");
}

TEST_F(RunnerTest, TypeClickTakesTheLastEntryBeginningWithTheName) {
  runner_.setLibraries({{"/p/dovrelA.so", {"Report::c::{A,.a}", "REPORT extended::c::{B,.b}"}, "x"}});
  runner_.clickReportType(0);
  ASSERT_EQ(runner_.formatRows().size(), 1u);
  EXPECT_EQ(runner_.formatRows()[0].caption, "B");
}

struct GoCase {
  const char* name;
  bool clickType;
  bool clickFormat;
  const char* path;
  ReportRunner::Outcome outcome;
  const char* message;
  int style;
};

class GoTest : public RunnerTest, public ::testing::WithParamInterface<GoCase> {};

TEST_P(GoTest, Messages) {
  const GoCase& c = GetParam();
  runner_.setLibraries({{"/nonexistent/dovrelA.so", {"Rep::cls::{Fmt,.f}"}, "x"}});
  if (c.clickType) runner_.clickReportType(0);
  if (c.clickFormat) runner_.clickFormat(0);
  EXPECT_EQ(runner_.go(c.path, {""}), c.outcome);
  ASSERT_EQ(sink_.messages.size(), 1u);
  EXPECT_EQ(sink_.messages[0].title, kServerTitle);
  EXPECT_EQ(sink_.messages[0].style, c.style);
  if (std::string(c.message).empty()) {
    EXPECT_EQ(sink_.messages[0].text.rfind("Error in : QuorvaneServer.modReport.doReport\r\n", 0), 0u)
        << sink_.messages[0].text;
  } else {
    EXPECT_EQ(sink_.messages[0].text, c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Choices, GoTest,
    ::testing::Values(
        GoCase{"PathButNoChoices", false, false, "/tmp/out.x", ReportRunner::Outcome::NoMatch,
               "Could not determine which report dll to call.\r\n\r\nPlease re-select the Report DLL & Report Name",
               kStyleCritical},
        GoCase{"NoPathOnlyType", true, false, "", ReportRunner::Outcome::AskedChoices,
               "Please selected both a Report DLL and a Report Type", kStyleInformation},
        GoCase{"NoPathNothing", false, false, "", ReportRunner::Outcome::AskedChoices,
               "Please selected both a Report DLL and a Report Type", kStyleInformation},
        GoCase{"NoPathBothChosen", true, true, "", ReportRunner::Outcome::AskedFileName,
               "Please select a report filename", kStyleInformation},
        GoCase{"BlanksOnlyCountAsEmpty", true, true, "   ", ReportRunner::Outcome::AskedFileName,
               "Please select a report filename", kStyleInformation},
        GoCase{"LibraryGoneSinceDiscovery", true, true, "/tmp/out.f", ReportRunner::Outcome::Failed, "",
               kStyleCritical}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunnerTest, TwoLibrariesOfferingTheSameReportTheFirstFoundIsUsed) {
  copyInto(folder_, kFake, "dovrelA.so");
  copyInto(folder_, kDovrel, "dovrelB.so");
  discover();
  const auto data = storeAudits(2);
  // The row of the second library is clicked; the run still takes the first.
  runner_.clickReportType(rowOf("XML Data Export", 1));
  runner_.clickFormat(0);
  const std::string out = folder_.path() + "out.xml";
  EXPECT_EQ(runner_.go(out, data), ReportRunner::Outcome::Written);
  EXPECT_EQ(readFile(out), "fake 0 2\n");
  EXPECT_TRUE(sink_.messages.empty());
}

TEST_F(RunnerTest, TheFormatNumberIsThePositionInTheList) {
  copyInto(folder_, kFake, "dovrelFake.so");
  discover();
  runner_.clickReportType(rowOf("XML Data Export", 0));
  runner_.clickFormat(1);
  const std::string out = folder_.path() + "out.txt";
  EXPECT_EQ(runner_.go(out, {""}), ReportRunner::Outcome::Written);
  EXPECT_EQ(readFile(out), "fake 1 1\n");
}

TEST_F(RunnerTest, InitFailureAndIncompleteReport) {
  copyInto(folder_, kFake, "dovrelFake.so");
  discover();
  runner_.clickReportType(0);
  runner_.clickFormat(0);
  EXPECT_EQ(runner_.go(folder_.path() + "out.xml", {"/x/fail-init"}), ReportRunner::Outcome::Failed);
  ASSERT_EQ(sink_.messages.size(), 1u);
  EXPECT_EQ(sink_.messages[0].text,
            "Dovrel could not initialize.\r\nPlease report any error messages to support@quorvane.example");
  EXPECT_EQ(sink_.messages[0].style, kStyleCritical);
  EXPECT_EQ(runner_.go(folder_.path() + "fail-report", {""}), ReportRunner::Outcome::NotWritten);
}

TEST_F(RunnerTest, RealXmlExportOverADataStore) {
  copyInto(folder_, kDovrel, "Dovrel.so");
  discover();
  const auto data = storeAudits(3);
  runner_.clickReportType(rowOf("XML Data Export", 0));
  runner_.clickFormat(0);
  const std::string out = folder_.path() + "export.xml";
  ASSERT_EQ(runner_.go(out, data), ReportRunner::Outcome::Written);
  const std::string xml = readFile(out);
  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>\r\n", 0), 0u);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_NE(xml.find("\t<computerInformation ip=\"127.0.0." + std::to_string(i) + "\">\r\n"), std::string::npos);
  }
  EXPECT_TRUE(sink_.messages.empty());
}

TEST_F(RunnerTest, LibraryMessagesReachTheSinkUnderItsTitle) {
  copyInto(folder_, kDovrel, "Dovrel.so");
  discover();
  folder_.write("DataStore/127.0.0.9.dat", "17\0not zlib at all");
  runner_.clickReportType(rowOf("Report Software Assets", 0));
  runner_.clickFormat(0);
  const std::string out = folder_.path() + "page.html";
  EXPECT_EQ(runner_.go(out, {folder_.path() + "DataStore/127.0.0.9.dat"}), ReportRunner::Outcome::Written);
  ASSERT_EQ(sink_.messages.size(), 1u);
  EXPECT_EQ(sink_.messages[0].title, "Dovrel");
  EXPECT_EQ(sink_.messages[0].text.rfind("Error in : Dovrel.clsReportSoftware.init\r\n", 0), 0u);
  EXPECT_NE(readFile(out).find("Report on 0 computers"), std::string::npos);
  EXPECT_TRUE(fs::exists(folder_.path() + "Template/Template0.htm"));
}

}  // namespace
}  // namespace quorvane

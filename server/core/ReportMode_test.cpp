// The command-line report run, as a separate QuorvaneServer process over a
// program folder of its own: exit status, stderr, and the written files
// checked line by line.
#include "server/core/ReportMode.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/AuditRecordIO.h"
#include "server/core/ReportComponent.h"
#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

const std::string kServer = std::string(QUORVANE_BINARY_DIR) + "/bin/QuorvaneServer";
const std::string kDovrel = std::string(QUORVANE_BINARY_DIR) + "/bin/Dovrel.so";

struct ServerRun {
  int exitCode = -1;
  std::string err;
};

ServerRun runServer(const QStringList& args) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  p.setProcessEnvironment(env);
  p.start(QString::fromStdString(kServer), args);
  if (!p.waitForFinished(120000)) {
    p.kill();
    p.waitForFinished();
    return {};
  }
  ServerRun r;
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
  r.err = p.readAllStandardError().toStdString();
  return r;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

std::vector<std::string> crlfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2) {
    lines.push_back(text.substr(from, at - from));
  }
  lines.push_back(text.substr(from));
  return lines;
}

// What the report library writes for `files` when it is called in this
// process through its plug-in interface, the way the console's runner calls
// it: Init with the file list, then doReport to `out`.
std::string exportThroughLibrary(const char* className, const std::vector<std::string>& files,
                                 const std::string& out) {
  auto lib = ComponentLibrary::load(kDovrel);
  if (!lib) return "(load: " + lib.status().description() + ")";
  if (Status st = (*lib)->registerServer(); !st) return "(register: " + st.description() + ")";
  const QvHost quiet{sizeof(QvHost), QV_HOST_QUIET, nullptr, nullptr};
  auto object = (*lib)->createObject(className, &quiet);
  if (!object) return "(create: " + object.status().description() + ")";
  auto init = object->invoke("Init", {ReportValue{files}});
  if (!init || init->asBool() == nullptr || !*init->asBool()) return "(Init failed)";
  auto done = object->invoke("doReport", {ReportValue{std::int32_t{0}}, ReportValue{out}});
  if (!done) return "(doReport: " + done.status().description() + ")";
  return readFile(out);
}

AuditRecord machine(const std::string& ip, const std::string& host, const std::string& domain,
                    const std::vector<std::string>& apps) {
  AuditRecord r = testing::sampleRecord(7, ip, domain, 0, 0);
  r.Hardware.Network.Hostname = host;
  Array<ApplicationInfo> list;
  for (const auto& a : apps) {
    ApplicationInfo info;
    info.DisplayName = a;
    list.push_back(info);
  }
  list.push_back(ApplicationInfo{});
  r.Software.Applications = list;
  return r;
}

class ReportModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kServer)) << "QuorvaneServer is not built";
    ASSERT_TRUE(fs::exists(kDovrel)) << "Dovrel.so is not built";
    fs::copy_file(kDovrel, folder.path() + "Dovrel.so");
    records = {machine("127.0.0.1", "PC1", "CORP", {"Word", "Zip", "<script>x</script>"}),
               machine("127.0.0.2", "pc1", "corp", {" word ", "Acrobat"}),
               machine("127.0.0.3", "PC3", "Home", {"WORD", "zip"})};
    for (const auto& r : records) {
      folder.write("DataStore/" + r.Hardware.Network.IP + ".dat", testing::storedForm(r));
    }
  }
  ServerRun report(const char* name, const char* format, const std::string& out) {
    return runServer({"--dir", QString::fromStdString(folder.path()), "--report", name, "--format", format,
                      "--out", QString::fromStdString(out)});
  }

  TempFolder folder;
  std::vector<AuditRecord> records;
};

TEST_F(ReportModeTest, XmlExportOverTheDataStore) {
  const std::string out = folder.path() + "export.xml";
  const ServerRun r = report("XML Data Export", "Output to XML", out);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string xml = readFile(out);
  const auto lines = crlfLines(xml);
  ASSERT_GT(lines.size(), 10u);
  EXPECT_EQ(lines[0], "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>");
  EXPECT_EQ(lines[1], "<!--" + std::string(68, ' ') + "-->");
  EXPECT_EQ(lines[2], "<!--             This file was generated by Quorvane Pro                -->");
  EXPECT_EQ(lines[3], lines[1]);
  EXPECT_EQ(lines[4], "<report>");
  EXPECT_EQ(lines[5], "\t<computerInformation ip=\"127.0.0.1\">");
  EXPECT_EQ(lines[lines.size() - 2], "</report>");
  EXPECT_EQ(lines.back(), "");
  // The export of the files the server stored, in the order of its data file list.
  std::vector<std::string> stored;
  for (const auto& rec : records) stored.push_back(folder.path() + "DataStore/" + rec.Hardware.Network.IP + ".dat");
  const std::string expected = exportThroughLibrary("clsXMLExport", stored, folder.path() + "direct.xml");
  EXPECT_EQ(xml, expected);
  EXPECT_NE(xml.find("\t\t\t\t<appInfo displayName=\"&#60;script>x&#60;/script>\">\r\n"), std::string::npos);
  if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
    EXPECT_EQ(std::system(("xmllint --noout '" + out + "'").c_str()), 0);
  }
}

TEST_F(ReportModeTest, HtmlReportWithTheBuiltInTemplate) {
  const std::string out = folder.path() + "My Report.html";
  const ServerRun r = report("Report Software Assets", "Output to HTML", out);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(folder.path() + "Template/Template0.htm"));
  const std::string page = readFile(out);
  const auto lines = crlfLines(page);
  auto lineWith = [&](const std::string& needle) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].find(needle) != std::string::npos) return static_cast<long>(i);
    }
    return -1L;
  };
  EXPECT_GE(lineWith("<p>Report on 3 computers on "), 0);
  EXPECT_GE(lineWith("<ul class=\"none\"><li>127.0.0.1, 127.0.0.2, 127.0.0.3</li></ul>"), 0);
  EXPECT_GE(lineWith("<ul class=\"none\"><li>PC1, PC3</li></ul>"), 0);
  EXPECT_GE(lineWith("<ul class=\"none\"><li>CORP, Home</li></ul>"), 0);
  // The rows: sorted by lower-cased name, alternating colours, own counts.
  const long first = lineWith("<tr bgcolor=\"#CCCCCC\">");
  ASSERT_GE(first, 0);
  const std::vector<std::string> rows = {
      "  <tr bgcolor=\"#CCCCCC\">", "    <td>&lt;script&gt;x&lt;/script&gt;</td>", "    <td align=\"right\">1</td>",
      "  </tr>", "", "",
      "  <tr bgcolor=\"#999999\">", "    <td>Acrobat</td>", "    <td align=\"right\">1</td>", "  </tr>", "", "",
      "  <tr bgcolor=\"#CCCCCC\">", "    <td>Word</td>", "    <td align=\"right\">3</td>", "  </tr>", "", "",
      "  <tr bgcolor=\"#999999\">", "    <td>Zip</td>", "    <td align=\"right\">2</td>", "  </tr>", "", "",
      "</table>"};
  ASSERT_GE(lines.size(), static_cast<std::size_t>(first) + rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(lines[first + i], rows[i]) << "row line " << i;
  EXPECT_EQ(page.find("<script>"), std::string::npos);
}

TEST_F(ReportModeTest, FailuresExitNonZeroWithTheMessage) {
  struct Case {
    const char* name;
    QStringList args;
    int exitCode;
    const char* stderrHas;
  };
  const QString dir = QString::fromStdString(folder.path());
  const Case cases[] = {
      {"UnknownReport", {"--dir", dir, "--report", "No Such", "--format", "Output to XML", "--out", dir + "x"}, 1,
       "no report type \"No Such\""},
      {"UnknownFormat", {"--dir", dir, "--report", "XML Data Export", "--format", "Output to PDF", "--out", dir + "x"},
       1, "has no format \"Output to PDF\""},
      {"MissingOut", {"--dir", dir, "--report", "XML Data Export", "--format", "Output to XML"}, 64,
       "--report needs --format and --out"},
      {"UnwritablePath",
       {"--dir", dir, "--report", "XML Data Export", "--format", "Output to XML", "--out", dir + "no/such/x.xml"}, 1,
       "Error in : Dovrel.clsXMLExport.doReport"},
  };
  for (const auto& c : cases) {
    const ServerRun r = runServer(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.name << "\n" << r.err;
    EXPECT_NE(r.err.find(c.stderrHas), std::string::npos) << c.name << "\n" << r.err;
  }
}

TEST_F(ReportModeTest, AStrayLibraryIsReportedAndTheReportStillRuns) {
  folder.write("dovrelBroken.so", "not a library");
  const std::string out = folder.path() + "x.xml";
  const ServerRun r = report("XML Data Export", "Output to XML", out);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("LoadLibrary() Failed on : "), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(out));
}

TEST_F(ReportModeTest, EmptyDataStoreCoversNoComputer) {
  fs::remove_all(folder.path() + "DataStore");
  const std::string out = folder.path() + "empty.html";
  const ServerRun r = report("Report Software Assets", "Output to HTML", out);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(readFile(out).find("Report on 0 computers"), std::string::npos);
}

TEST(ReportCommandLineTest, Parsing) {
  EXPECT_FALSE(isReportCommandLine({"--headless"}));
  EXPECT_TRUE(isReportCommandLine({"--dir", "x", "--report", "R"}));
  auto ok = parseReportCommandLine({"--dir", "D", "--report", "R", "--format", "F", "--out", "O"});
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->dir, "D");
  EXPECT_EQ(ok->reportName, "R");
  EXPECT_EQ(ok->formatCaption, "F");
  EXPECT_EQ(ok->outPath, "O");
  EXPECT_FALSE(parseReportCommandLine({"--report", "R", "--format", "F", "--out"}));
  EXPECT_FALSE(parseReportCommandLine({"--report", "R", "--format", "F", "--out", "O", "--headless"}));
  EXPECT_FALSE(parseReportCommandLine({"--report", "", "--format", "F", "--out", "O"}));
  EXPECT_FALSE(parseReportCommandLine({"--dir", "", "--report", "R", "--format", "F", "--out", "O"}));
}

}  // namespace
}  // namespace quorvane

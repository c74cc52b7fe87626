// The desktop's opener for a finished report: what counts as opened and what
// is reported when it is not (a stand-in opener script plays the desktop).
#include "reportlib/modMain.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <fstream>

#include "common/ScratchFolders.h"

namespace dovrel {
namespace {

void ensureApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "modmain_test";
  static char* argv[] = {name, nullptr};
  new QCoreApplication(argc, argv);
}

struct OpenerCase {
  const char* name;
  const char* script;  // body of the stand-in opener; nullptr: none exists
  bool opened;
  const char* why;     // the start of the reason when not opened
};

class RunOpenerTest : public ::testing::TestWithParam<OpenerCase> {};

TEST_P(RunOpenerTest, Verdict) {
  ensureApplication();
  const OpenerCase& c = GetParam();
  const std::filesystem::path dir = quorvane::testing::scratchFolder("qv-opener", c.name);
  std::string opener = (dir / "no-such-opener").string();
  if (c.script != nullptr) {
    opener = (dir / "opener").string();
    std::ofstream(opener) << "#!/bin/sh\n" << c.script << "\n";
    ::chmod(opener.c_str(), 0755);
  }
  QElapsedTimer clock;
  clock.start();
  const OpenerVerdict verdict = runOpener(opener, (dir / "report.html").string(), 1500);
  EXPECT_EQ(verdict.opened, c.opened);
  EXPECT_NE(verdict.why.find(c.why), std::string::npos) << verdict.why;
  EXPECT_LT(clock.elapsed(), 5000);  // never waits on a viewer for long
}

INSTANTIATE_TEST_SUITE_P(
    Openers, RunOpenerTest,
    ::testing::Values(
        OpenerCase{"HandedOver", "exit 0", true, ""},
        OpenerCase{"NoViewer", "echo 'xdg-open: no method available for opening' >&2; exit 3", false,
                   "ended with code 3: xdg-open: no method available for opening"},
        OpenerCase{"ViewerRefused", "echo 'browser: cannot open display' >&2; exit 1", false,
                   "ended with code 1: browser: cannot open display"},
        OpenerCase{"Crashed", "kill -SEGV $$", false, " crashed"},
        OpenerCase{"BecameTheViewer", "sleep 3", true, ""},
        OpenerCase{"Missing", nullptr, false, "no program"}),
    [](const ::testing::TestParamInfo<OpenerCase>& info) { return std::string(info.param.name); });

TEST(OpenFailedMessage, SaysWhereTheReportIsAndWhy) {
  EXPECT_EQ(openFailedMessage("/srv/r.html", "xdg-open ended with code 3"),
            "The report was written to /srv/r.html, but it could not be opened (xdg-open ended with code 3). "
            "Open the file with a web browser.");
}

}  // namespace
}  // namespace dovrel

// QuorvaneServer: the server and console. See server/core/CommandLine.h for
// the command line.
#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "server/core/CommandLine.h"
#include "server/core/ConsoleModes.h"
#include "server/core/IndexMode.h"
#include "server/core/IndexService.h"
#include "server/core/ReportMode.h"
#include "server/core/ResourceLimits.h"
#include "server/core/ServerCore.h"
#include "server/gui/GuiMessageSink.h"
#include "server/gui/frmMain.h"

using namespace quorvane;

namespace {

ServerFolders programFolder(const ServerOptions& options) {
  return serverFolders(options, QCoreApplication::applicationDirPath().toStdString());
}

int runWindow(const ServerOptions& options) {
  const bool screenshot = options.mode == ServerOptions::Mode::Screenshot;
  GuiMessageSink sink(screenshot);
  ServerCore core(programFolder(options), sink);
  std::unique_ptr<IndexWriter> index = screenshot ? nullptr : attachIndexWriter(core);
  frmMain window(core);
  sink.setParent(&window);
  window.show();
  const Status started = window.startUp();
  if (!screenshot) return QApplication::exec();

  window.selectFirstMachine();
  const Status saved = window.saveScreenshots(QString::fromStdString(options.screenshotDir));
  if (!saved.ok()) {
    std::fprintf(stderr, "QuorvaneServer: %s\n", saved.description().c_str());
    return 1;
  }
  return started.ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (isReportCommandLine(args)) {
    Expected<ReportOptions> report = parseReportCommandLine(args);
    if (!report) {
      std::fprintf(stderr, "QuorvaneServer: %s\n%s", report.status().description().c_str(), reportUsage().c_str());
      return kExitUsage;
    }
    QCoreApplication app(argc, argv);
    return runReportMode(*report, QCoreApplication::applicationDirPath().toStdString());
  }
  if (isIndexCommandLine(args)) {
    Expected<IndexQueryOptions> query = parseIndexCommandLine(args);
    if (!query) {
      std::fprintf(stderr, "QuorvaneServer: %s\n%s", query.status().description().c_str(), indexUsage().c_str());
      return kExitUsage;
    }
    QCoreApplication app(argc, argv);
    return runIndexMode(*query, QCoreApplication::applicationDirPath().toStdString());
  }
  Expected<ServerOptions> parsed = parseServerCommandLine(args);
  if (!parsed) {
    std::fprintf(stderr, "QuorvaneServer: %s\n%s", parsed.status().description().c_str(), serverUsage().c_str());
    return kExitUsage;
  }
  const ServerOptions& options = *parsed;
  switch (options.mode) {
    case ServerOptions::Mode::Help:
      std::fputs(serverUsage().c_str(), stdout);
      return 0;
    case ServerOptions::Mode::Headless: {
      preferOwnEventLoop();
      QCoreApplication app(argc, argv);
      return runHeadless(options, programFolder(options));
    }
    case ServerOptions::Mode::NewCommandKey: {
      QCoreApplication app(argc, argv);
      return runNewCommandKey(programFolder(options).program);
    }
    case ServerOptions::Mode::Send: {
      QCoreApplication app(argc, argv);
      return runSend(options, programFolder(options));
    }
    case ServerOptions::Mode::Window:
    case ServerOptions::Mode::Screenshot: {
      QApplication app(argc, argv);
      return runWindow(options);
    }
  }
  return 0;
}

#include "server/core/ConsoleModes.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "common/Text8.h"
#include "server/core/IndexService.h"
#include "server/core/ServerCore.h"
#include "server/core/ServerTexts.h"
#include "server/core/modMisc.h"
#include "server/key/CommandKey.h"

namespace quorvane {

namespace {

int gSignalPipe[2] = {-1, -1};
bool gTerminationRequested = false;  // set on the event loop's thread

void onTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto n = ::write(gSignalPipe[1], &byte, 1);
}

}  // namespace

bool terminationRequested() { return gTerminationRequested; }

void quitEventLoopOnTermination() {
  if (gSignalPipe[0] >= 0) return;
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, [] {
    char byte = 0;
    [[maybe_unused]] const auto n = ::read(gSignalPipe[0], &byte, 1);
    gTerminationRequested = true;
    QCoreApplication::quit();
  });
  struct sigaction sa {};
  sa.sa_handler = onTerminationSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}

int runHeadless(const ServerOptions&, const ServerFolders& folders) {
  StderrMessageSink sink;
  ServerCore core(folders, sink);
  const std::unique_ptr<IndexWriter> index = attachIndexWriter(core);
  quitEventLoopOnTermination();
  // A signal during start-up (quit() before the loop runs does nothing) ends
  // it at the next step or data file.
  core.setStopRequested(terminationRequested);
  StartupView view;
  const Status started = core.start(view);
  if (terminationRequested()) return 0;
  if (!started.ok()) return 1;
  QCoreApplication::exec();
  return 0;
}

int runSend(const ServerOptions& options, const ServerFolders& folders, std::FILE* out) {
  StderrMessageSink sink;
  ServerCore core(folders, sink);
  const std::unique_ptr<IndexWriter> index = attachIndexWriter(core);  // the command log
  StartupView view;
  StartupOptions startup;
  startup.listen = false;
  if (!core.start(view, startup).ok()) return 1;

  ClientListModel& list = core.state().clientList();
  bool unknown = false;
  for (const std::string& ip : options.sendTo) {
    if (list.rowOfIp(QString::fromStdString(ip)) < 0) {
      std::fprintf(stderr, "%s: no client with this address in %s\n", ip.c_str(),
                   dataStorePath(core.appPath()).c_str());
      unknown = true;
    }
  }
  if (unknown) return 1;

  list.selectNone();
  for (const std::string& ip : options.sendTo) list.setChecked(list.rowOfIp(QString::fromStdString(ip)), true);

  QObject::connect(&list, &ClientListModel::statusWritten, [out](const QString& ip, const QString& status) {
    std::fprintf(out, "%s: %s\n", ip.toUtf8().constData(), status.toUtf8().constData());
    std::fflush(out);
  });
  CommandDispatcher& dispatcher = *core.dispatcher();
  if (options.sendCode == CommandCode::Message) dispatcher.setMessageText(utf8ToWindows1252(options.message));

  QEventLoop loop;
  QObject::connect(&dispatcher, &CommandDispatcher::allSettled, &loop, &QEventLoop::quit);
  if (dispatcher.cmdDo(options.sendCode) > 0 && dispatcher.pending() > 0) loop.exec();

  const QString timedOut = QString::fromLatin1(kStatusTimedOut.data(), kStatusTimedOut.size());
  const QString sent = QString::fromLatin1(kStatusRequestSent.data(), kStatusRequestSent.size());
  const QString running = QString::fromLatin1(kStatusClientRunning.data(), kStatusClientRunning.size());
  const QString refused = QString::fromLatin1(kStatusRefused.data(), kStatusRefused.size());
  int result = 0;
  for (int r : list.checkedRows()) {
    const QString& status = list.row(r).status;
    if (status == timedOut) {
      result = 2;
    } else if (status == refused) {
      if (result == 0) result = 3;
    } else if (status != sent && status != running && result == 0) {
      result = 2;
    }
  }
  // Let the graceful closes go out before the process ends, and the command
  // log rows reach the index (bounded: a long first catch-up goes on later).
  QCoreApplication::processEvents();
  if (index) index->waitIdle(10000);
  return result;
}

int runNewCommandKey(const std::string& programFolder, std::FILE* out) {
  const std::string path = commandKeyPath(programFolder);
  Expected<CommandKey> key = CommandKey::create(path);
  if (!key) {
    std::fprintf(stderr, "QuorvaneServer: %s\n", key.status().description().c_str());
    return 1;
  }
  std::fprintf(out, "%s\n", key->publicKeyLine().c_str());
  std::fflush(out);
  return 0;
}

}  // namespace quorvane

#include "server/testsupport/QtTestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <unistd.h>
#include <algorithm>

#include "common/AuditRecordIO.h"
#include "common/SampleAudit.h"

namespace quorvane::testing {

void ensureCoreApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "server_test";
  static char* argv[] = {name, nullptr};
  new QCoreApplication(argc, argv);
}

std::string readBack(std::FILE* stream) {
  std::fflush(stream);
  std::rewind(stream);
  std::string text;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, stream)) text.append(buffer, n);
  return text;
}

int freePortBelowEphemeral() {
  static unsigned next = 20000u + static_cast<unsigned>(::getpid()) % 12000u;
  for (int attempt = 0; attempt < 12000; ++attempt) {
    const auto port = static_cast<quint16>(20000u + (next++ - 20000u) % 12000u);
    QTcpServer probe;
    if (probe.listen(QHostAddress::AnyIPv4, port)) return port;
  }
  return 0;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
  }
  return true;
}

TempFolder::TempFolder() : path_(dir_.path().toStdString() + "/") {}

void TempFolder::write(const std::string& relative, std::string_view bytes) const {
  const QString full = QString::fromStdString(path_ + relative);
  QDir().mkpath(QFileInfo(full).path());
  QFile f(full);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string TempFolder::read(const std::string& relative) const {
  QFile f(QString::fromStdString(path_ + relative));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

bool TempFolder::exists(const std::string& relative) const {
  return QFile::exists(QString::fromStdString(path_ + relative));
}

std::vector<std::string> TempFolder::list(const std::string& relativeFolder) const {
  std::vector<std::string> out;
  const QDir d(QString::fromStdString(path_ + relativeFolder));
  for (const QString& n : d.entryList(QDir::Files | QDir::Hidden | QDir::System)) out.push_back(n.toStdString());
  std::sort(out.begin(), out.end());
  return out;
}

AuditRecord sampleRecord(std::uint32_t seed, const std::string& ip, const std::string& domain, int listenPort,
                         int applications) {
  AuditRecord r = makeSampleAudit(applications, seed);
  r.Hardware.Network.IP = ip;
  r.Hardware.Network.DomainName = domain;
  r.ListenPortNumber = listenPort;
  return r;
}

std::string storedForm(const AuditRecord& record) { return encodeStoredAudit(record); }

Uploader::Uploader(const std::string& fromAddress, int serverPort) {
  socket_.bind(QHostAddress(QString::fromStdString(fromAddress)), 0);
  socket_.connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), static_cast<quint16>(serverPort));
  waitUntil([this] { return socket_.state() == QAbstractSocket::ConnectedState ||
                            socket_.state() == QAbstractSocket::UnconnectedState; });
}

bool Uploader::send(std::string_view bytes) {
  socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
  return waitUntil([this] { return socket_.bytesToWrite() == 0; });
}

void Uploader::finish() { socket_.disconnectFromHost(); }

}  // namespace quorvane::testing

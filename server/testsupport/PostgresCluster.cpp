#include "server/testsupport/PostgresCluster.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>

namespace quorvane::testing {
namespace {

constexpr const char* kUser = "quorvane";

std::string newestPostgresBin() {
  std::string best;
  int bestVersion = -1;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
    const std::string name = entry.path().filename().string();
    const int version = std::atoi(name.c_str());
    if (version > bestVersion && std::filesystem::exists(entry.path() / "bin" / "initdb")) {
      bestVersion = version;
      best = (entry.path() / "bin").string();
    }
  }
  return best;
}

Status problem(const std::string& text) { return Status::Error(kErrIndexDatabase, "PostgreSQL test cluster: " + text); }

}  // namespace

Status PostgresCluster::runTool(const std::string& tool, const QStringList& args) const {
  QProcess p;
  QString program = QString::fromStdString(binDir_ + "/" + tool);
  QStringList all = args;
  if (asOtherUser_) {
    all.prepend(program);
    all.prepend("--clear-groups");
    all.prepend(QString("--regid=%1").arg(gid_));
    all.prepend(QString("--reuid=%1").arg(uid_));
    program = "setpriv";
  }
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.setWorkingDirectory(QString::fromStdString(folder_));
  p.start(program, all);
  if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    return problem(tool + " failed: " + p.readAll().toStdString() + p.errorString().toStdString());
  }
  return Status::Ok();
}

Status PostgresCluster::start() {
  binDir_ = newestPostgresBin();
  if (binDir_.empty()) return problem("no /usr/lib/postgresql/N/bin/initdb (Debian package postgresql)");
  char pattern[] = "/tmp/qvpg-XXXXXX";
  if (!::mkdtemp(pattern)) return problem("no temporary folder");
  folder_ = pattern;
  if (::geteuid() == 0) {
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) return problem("running as root and there is no user \"nobody\" to run the server");
    uid_ = nobody->pw_uid, gid_ = nobody->pw_gid, asOtherUser_ = true;
    if (::chown(folder_.c_str(), uid_, gid_) != 0) return problem("cannot hand the folder to nobody");
  }
  const QString data = QString::fromStdString(folder_ + "/data");
  if (Status st = runTool("initdb", {"-D", data, "-A", "trust", "-U", kUser, "-E", "UTF8", "--locale=C", "-N"}); !st) {
    return st;
  }
  const QString options = QString("-k %1 -c listen_addresses='' -F").arg(QString::fromStdString(folder_));
  if (Status st = runTool("pg_ctl", {"-D", data, "-o", options, "-l", data + "/../server.log", "-w", "start"}); !st) {
    return st;
  }
  running_ = true;
  return Status::Ok();
}

Expected<IndexDatabase> PostgresCluster::createDatabase() {
  IndexDatabase where;
  where.kind = IndexDatabase::Kind::PostgreSQL;
  where.host = folder_, where.user = kUser;
  where.name = "quorvane_" + std::to_string(++databases_);
  const QString connection = QString("postgres-cluster-admin-%1").arg(databases_);
  Status result;
  {
    QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", connection);
    admin.setHostName(QString::fromStdString(folder_));
    admin.setUserName(kUser);
    admin.setDatabaseName("postgres");
    if (!admin.open()) {
      result = problem("cannot connect: " + admin.lastError().text().toStdString());
    } else {
      QSqlQuery create(admin);
      if (!create.exec(QString::fromStdString("CREATE DATABASE " + where.name))) {
        result = problem("CREATE DATABASE failed: " + create.lastError().text().toStdString());
      }
    }
    admin.close();
  }
  QSqlDatabase::removeDatabase(connection);
  if (!result.ok()) return result;
  return where;
}

PostgresCluster::~PostgresCluster() {
  if (running_) {
    (void)runTool("pg_ctl", {"-D", QString::fromStdString(folder_ + "/data"), "-m", "immediate", "-w", "stop"});
  }
  if (!folder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
}

}  // namespace quorvane::testing

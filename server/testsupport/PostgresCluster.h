// PostgresCluster: a throw-away PostgreSQL server for tests.
//
// start() makes a cluster in a temporary folder (initdb, trust logins, UTF-8),
// starts it listening on a Unix socket in that folder only (no TCP port) and
// waits until it accepts connections; the destructor stops it and removes
// the folder. The server refuses to run as root, so under root the cluster
// belongs to the unprivileged user "nobody" and its programs run under that
// user (setpriv). Debian's binaries: the newest /usr/lib/postgresql/N/bin.
#pragma once

#include <QStringList>
#include <string>

#include "common/Status.h"
#include "server/core/AuditIndex.h"

namespace quorvane::testing {

class PostgresCluster {
 public:
  PostgresCluster() = default;
  ~PostgresCluster();
  PostgresCluster(const PostgresCluster&) = delete;
  PostgresCluster& operator=(const PostgresCluster&) = delete;

  Status start();
  bool running() const { return running_; }
  // A new, empty database on the cluster.
  Expected<IndexDatabase> createDatabase();
  const std::string& socketFolder() const { return folder_; }

 private:
  Status runTool(const std::string& tool, const QStringList& args) const;
  std::string binDir_, folder_;
  unsigned uid_ = 0, gid_ = 0;
  bool asOtherUser_ = false;
  bool running_ = false;
  int databases_ = 0;
};

}  // namespace quorvane::testing

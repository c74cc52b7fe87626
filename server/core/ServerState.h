// ServerState: the server's shared tables, kept for the whole run.
//
//   DataFileList        full paths of the stored audit files; entry i belongs
//                       to record i. With no data file it holds one empty
//                       entry (replaced by the first client that arrives).
//   ClientTable         one AuditRecord per data file, same index; the
//                       record's DomainName is lower-cased on entry.
//   ClientAddressTable  (address, record index) per record: the address is
//                       the client's key, the peer address its file is named
//                       after.
//   DomainTable         (lower-case name, tree node) per domain seen, with
//                       one spare entry at its end.
//   the client list rows (ClientListModel) and the tree (ClientTreeModel).
//
// Written by start-up and intake, read by the browser and the report runner.
// Single-threaded: everything runs on the event loop's thread.
#pragma once

#include <QObject>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/AuditRecord.h"
#include "server/core/ClientListModel.h"
#include "server/core/ClientTreeModel.h"

namespace quorvane {

struct ClientAddressEntry {
  std::string ip;
  int index = -1;
};

struct DomainEntry {
  std::string name;
  ClientTreeModel::Node* node = nullptr;
};

class ServerState : public QObject {
  Q_OBJECT

 public:
  explicit ServerState(QObject* parent = nullptr);
  ServerState(const ServerState&) = delete;
  ServerState& operator=(const ServerState&) = delete;

  // Start-up step 5: empty tables, the domain table with its spare entry.
  void createTables();
  // Start-up step 12 with no data file: the one empty entry and the
  // "(no data files)" node.
  void showNoDataFiles();

  // A client seen for the first time: appends its record (domain lower-cased),
  // its data file path, address entry, list row and tree node. Returns the
  // record index.
  int addClient(const std::string& key, AuditRecord record, const std::string& dataFilePath);
  // A known client's new audit: replaces the record (domain lower-cased) and
  // refreshes its row's host name and audit time.
  void replaceClient(int index, AuditRecord record);

  std::optional<int> findClient(const std::string& key) const;

  const std::vector<std::string>& dataFileList() const { return dataFileList_; }
  const std::vector<AuditRecord>& clientTable() const { return clientTable_; }
  const std::vector<ClientAddressEntry>& clientAddressTable() const { return clientAddressTable_; }
  const std::vector<DomainEntry>& domainTable() const { return domainTable_; }
  const std::set<std::string>& knownAddresses() const { return knownAddresses_; }
  bool noDataFiles() const { return noDataFiles_; }
  int clientCount() const { return static_cast<int>(clientTable_.size()); }
  // Room for `n` clients in every table (start-up knows how many files come).
  void reserveClients(std::size_t n) {
    clientTable_.reserve(n);
    dataFileList_.reserve(n);
    clientAddressTable_.reserve(n);
    indexOfAddress_.reserve(n);
    addressOfIndex_.reserve(n);
  }

  ClientListModel& clientList() { return clientList_; }
  ClientTreeModel& clientTree() { return clientTree_; }

 signals:
  void clientAdded(int index);
  void clientUpdated(int index);

 private:
  ClientTreeModel::Node* domainNode(const std::string& domain);

  std::vector<std::string> dataFileList_;
  std::vector<AuditRecord> clientTable_;
  std::vector<ClientAddressEntry> clientAddressTable_;
  // Lookups of the table both ways, so that no socket event scans it.
  std::unordered_map<std::string, int> indexOfAddress_;
  std::unordered_map<int, std::string> addressOfIndex_;
  std::vector<DomainEntry> domainTable_;
  std::set<std::string> knownAddresses_;
  bool noDataFiles_ = false;
  ClientListModel clientList_;
  ClientTreeModel clientTree_;
};

// Record text (Windows-1252) as display text.
QString displayText(const std::string& text1252);

}  // namespace quorvane

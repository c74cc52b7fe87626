#include "server/core/ServerState.h"

#include "common/Text8.h"
#include "server/core/modMisc.h"

namespace quorvane {

QString displayText(const std::string& text1252) {
  return QString::fromStdString(windows1252ToUtf8(text1252));
}

ServerState::ServerState(QObject* parent) : QObject(parent) {}

void ServerState::createTables() {
  domainTable_.assign(1, DomainEntry{});
  clientAddressTable_.clear();
  indexOfAddress_.clear();
  addressOfIndex_.clear();
}

void ServerState::showNoDataFiles() {
  noDataFiles_ = true;
  if (clientTable_.empty()) {
    dataFileList_.assign(1, std::string());
    clientTree_.addPlaceholder();
  }
}

ClientTreeModel::Node* ServerState::domainNode(const std::string& domain) {
  if (domainTable_.empty()) domainTable_.push_back(DomainEntry{});
  // The last entry is the spare; it never matches.
  for (std::size_t i = 0; i + 1 < domainTable_.size(); ++i) {
    if (domainTable_[i].name == domain) return domainTable_[i].node;
  }
  const QString text = displayText(domain);
  DomainEntry& spare = domainTable_.back();
  spare.name = domain;
  spare.node = clientTree_.addNode(nullptr, text, text, QVariant(-1));
  ClientTreeModel::Node* node = spare.node;
  domainTable_.push_back(DomainEntry{});
  return node;
}

int ServerState::addClient(const std::string& key, AuditRecord record, const std::string& dataFilePath) {
  record.Hardware.Network.DomainName = lowerCase1252(record.Hardware.Network.DomainName);
  const int index = static_cast<int>(clientTable_.size());

  // The first client replaces the one empty entry of an empty DataStore.
  if (clientTable_.empty() && dataFileList_.size() == 1 && dataFileList_.front().empty()) {
    dataFileList_.clear();
    clientTree_.removePlaceholder();
  }
  clientTable_.push_back(std::move(record));
  dataFileList_.push_back(dataFilePath);
  const AuditRecord& stored = clientTable_.back();

  const QString ip = QString::fromStdString(key);
  ClientRow row;
  row.ip = ip;
  row.hostname = displayText(stored.Hardware.Network.Hostname);
  row.auditDate = displayText(stored.AuditDate);
  row.tag = index;
  clientList_.addRow(std::move(row));

  knownAddresses_.insert(key);
  clientAddressTable_.push_back(ClientAddressEntry{key, index});
  indexOfAddress_.emplace(key, index);  // the first entry of an address wins, as in a scan
  addressOfIndex_.emplace(index, key);

  ClientTreeModel::Node* domain = domainNode(stored.Hardware.Network.DomainName);
  ClientTreeModel::Node* client = clientTree_.addNode(domain, ip, ip, QVariant(index));
  clientTree_.makeVisible(client);
  emit clientAdded(index);
  return index;
}

void ServerState::replaceClient(int index, AuditRecord record) {
  record.Hardware.Network.DomainName = lowerCase1252(record.Hardware.Network.DomainName);
  AuditRecord& slot = clientTable_.at(static_cast<std::size_t>(index));
  slot = std::move(record);
  if (auto e = addressOfIndex_.find(index); e != addressOfIndex_.end()) {
    clientList_.refreshClient(QString::fromStdString(e->second), displayText(slot.Hardware.Network.Hostname),
                              displayText(slot.AuditDate));
  }
  emit clientUpdated(index);
}

std::optional<int> ServerState::findClient(const std::string& key) const {
  if (auto e = indexOfAddress_.find(key); e != indexOfAddress_.end()) return e->second;
  return std::nullopt;
}

}  // namespace quorvane

#include "server/core/ClientListModel.h"

#include <algorithm>

namespace quorvane {
namespace {

QString columnText(const ClientRow& r, int column) {
  switch (column) {
    case ClientListModel::ColIp: return r.ip;
    case ClientListModel::ColHostname: return r.hostname;
    case ClientListModel::ColPing: return r.ping;
    case ClientListModel::ColAuditTime: return r.auditDate;
    case ClientListModel::ColStatus: return r.status;
    default: return {};
  }
}

// Orders rows by the text of one column, letter case ignored.
struct ByColumn {
  int column;
  bool operator()(const ClientRow& a, const ClientRow& b) const {
    return QString::compare(columnText(a, column), columnText(b, column), Qt::CaseInsensitive) < 0;
  }
};

}  // namespace

ClientListModel::ClientListModel(QObject* parent) : QAbstractTableModel(parent) {}

QString ClientListModel::headerText(int column) {
  switch (column) {
    case ColSelected: return QStringLiteral(" Selected ");
    case ColIp: return QStringLiteral(" IP Address ");
    case ColHostname: return QStringLiteral(" Hostname ");
    case ColPing: return QStringLiteral(" Ping ? ");
    case ColAuditTime: return QStringLiteral(" Audit Time & Date ");
    case ColStatus: return QStringLiteral(" Status ");
    default: return {};
  }
}

int ClientListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ClientListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QString ClientListModel::cellText(int r, int column) const { return columnText(row(r), column); }

QVariant ClientListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (index.column() == ColSelected) {
    if (role == Qt::CheckStateRole) return row(index.row()).checked ? Qt::Checked : Qt::Unchecked;
    return {};
  }
  if (role == Qt::DisplayRole) return cellText(index.row(), index.column());
  if (role == Qt::UserRole) return row(index.row()).tag;
  return {};
}

QVariant ClientListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return headerText(section);
  return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ClientListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (index.isValid() && index.column() == ColSelected) f |= Qt::ItemIsUserCheckable;
  return f;
}

bool ClientListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.column() != ColSelected || role != Qt::CheckStateRole) return false;
  setChecked(index.row(), value.toInt() == Qt::Checked);
  return true;
}

int ClientListModel::addRow(ClientRow newRow) {
  auto at = rows_.end();
  if (sortColumn_ >= 0) at = std::upper_bound(rows_.begin(), rows_.end(), newRow, ByColumn{sortColumn_});
  const int r = static_cast<int>(at - rows_.begin());
  beginInsertRows(QModelIndex(), r, r);
  rows_.insert(at, std::move(newRow));
  if (r + 1 == static_cast<int>(rows_.size())) {
    // Appended: the others keep their rows; an address already listed keeps its first row.
    if (!rowOfStale_ && !rowOf_.contains(rows_.back().ip)) rowOf_.insert(rows_.back().ip, r);
  } else {
    rowOfStale_ = true;
  }
  endInsertRows();
  return r;
}

int ClientListModel::rowOfIp(const QString& ip) const {
  if (rowOfStale_) {
    rowOf_.clear();
    for (std::size_t i = rows_.size(); i-- > 0;) rowOf_.insert(rows_[i].ip, static_cast<int>(i));
    rowOfStale_ = false;
  }
  return rowOf_.value(ip, -1);
}

void ClientListModel::setStatus(const QString& ip, const QString& text) {
  const int r = rowOfIp(ip);
  if (r < 0) return;
  rows_[static_cast<std::size_t>(r)].status = text;
  emit dataChanged(index(r, ColStatus), index(r, ColStatus));
  emit statusWritten(ip, text);
}

void ClientListModel::refreshClient(const QString& ip, const QString& hostname, const QString& auditDate) {
  const int r = rowOfIp(ip);
  if (r < 0) return;
  ClientRow& cr = rows_[static_cast<std::size_t>(r)];
  cr.hostname = hostname;
  cr.auditDate = auditDate;
  emit dataChanged(index(r, ColHostname), index(r, ColAuditTime));
}

void ClientListModel::setChecked(int r, bool checked) {
  ClientRow& cr = rows_.at(static_cast<std::size_t>(r));
  if (cr.checked == checked) return;
  cr.checked = checked;
  emit dataChanged(index(r, ColSelected), index(r, ColSelected), {Qt::CheckStateRole});
}

void ClientListModel::setAllChecks(int mode) {
  if (rows_.empty()) return;
  for (ClientRow& cr : rows_) cr.checked = mode == 2 ? !cr.checked : mode == 1;
  emit dataChanged(index(0, ColSelected), index(rowCount() - 1, ColSelected), {Qt::CheckStateRole});
}

void ClientListModel::selectAll() { setAllChecks(1); }
void ClientListModel::selectNone() { setAllChecks(0); }
void ClientListModel::invertSelection() { setAllChecks(2); }

std::vector<int> ClientListModel::checkedRows() const {
  std::vector<int> out;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].checked) out.push_back(static_cast<int>(i));
  }
  return out;
}

void ClientListModel::sortByColumn(int column) {
  if (column < 0 || column >= ColumnCount) return;
  sortColumn_ = column;
  beginResetModel();
  std::stable_sort(rows_.begin(), rows_.end(), ByColumn{column});
  rowOfStale_ = true;
  endResetModel();
}

}  // namespace quorvane

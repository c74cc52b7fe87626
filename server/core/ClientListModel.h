// ClientListModel: the rows of the client list lstvGlobal (one per client
// record), as a table model with a check box in column " Selected ".
//
// Columns: " Selected " (check box only), " IP Address " (the client's key
// address), " Hostname ", " Ping ? " (stays empty), " Audit Time & Date ",
// " Status ". A row's tag is the index of its record in ClientTable. Rows are
// found by their address (first match). Clicking a header makes that column
// the sort key: the list re-sorts by the column's text (letter case ignored,
// equal texts keep their order) and later rows are inserted in order.
// Lives on the thread of the event loop; not copyable.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <vector>

namespace quorvane {

struct ClientRow {
  bool checked = false;
  QString ip;
  QString hostname;
  QString ping;
  QString auditDate;
  QString status;
  int tag = -1;
};

class ClientListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { ColSelected = 0, ColIp, ColHostname, ColPing, ColAuditTime, ColStatus, ColumnCount };

  explicit ClientListModel(QObject* parent = nullptr);

  static QString headerText(int column);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  // Adds a row (at its sorted place once a sort key is set); returns its row.
  int addRow(ClientRow row);
  const ClientRow& row(int r) const { return rows_.at(static_cast<std::size_t>(r)); }
  const std::vector<ClientRow>& rows() const { return rows_; }
  int rowOfIp(const QString& ip) const;

  // Writes the " Status " of the first row with this address (no row: nothing).
  void setStatus(const QString& ip, const QString& text);
  // Refreshes host name and audit time of the first row with this address.
  void refreshClient(const QString& ip, const QString& hostname, const QString& auditDate);

  void setChecked(int r, bool checked);
  bool isChecked(int r) const { return row(r).checked; }
  void selectAll();
  void selectNone();
  void invertSelection();
  std::vector<int> checkedRows() const;

  void sortByColumn(int column);
  int sortColumn() const { return sortColumn_; }
  QString cellText(int r, int column) const;

 signals:
  // Every status text written, with the row's address.
  void statusWritten(const QString& ip, const QString& status);

 private:
  void setAllChecks(int mode);  // 0 clear, 1 set, 2 invert

  std::vector<ClientRow> rows_;
  int sortColumn_ = -1;
  // Row of each address (the first row when one repeats), rebuilt after
  // rows were inserted or sorted: status texts arrive per piece of upload.
  mutable QHash<QString, int> rowOf_;
  mutable bool rowOfStale_ = false;
};

}  // namespace quorvane

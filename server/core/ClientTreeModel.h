// ClientTreeModel: the client tree TreeView1 as an item model.
//
// Two levels: one top-level node per domain (text: the lower-case domain
// name, tag -1) and under it one node per client (text: the client's
// address, tag: the index of its record in ClientTable). An empty DataStore
// shows the single top-level placeholder node (key "root", text "(no data
// files)", no tag). Nodes are owned by the model and keep their address
// while they exist, so DomainTable entries may point at them.
// Roles: Qt::DisplayRole the text, Qt::UserRole the tag (invalid QVariant
// for the placeholder), kKeyRole the node's key.
#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace quorvane {

class ClientTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  static constexpr int kKeyRole = Qt::UserRole + 1;

  struct Node {
    QString key;
    QString text;
    QVariant tag;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
  };

  explicit ClientTreeModel(QObject* parent = nullptr);

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // Adds a node under `parentNode` (nullptr: top level) and returns it.
  Node* addNode(Node* parentNode, const QString& key, const QString& text, const QVariant& tag);
  // The "(no data files)" node; removed again when the first client arrives.
  void addPlaceholder();
  void removePlaceholder();
  bool hasPlaceholder() const;

  QModelIndex indexOf(const Node* node) const;
  const Node* nodeAt(const QModelIndex& index) const;
  QVariant tagOf(const QModelIndex& index) const;
  const std::vector<std::unique_ptr<Node>>& topLevel() const { return root_.children; }
  // The first client node (first child of the first domain), if any.
  QModelIndex firstClientIndex() const;
  // The client node whose tag is `recordIndex`.
  QModelIndex clientIndex(int recordIndex) const;

  // Asks the view to expand the tree down to `index` (a new client node).
  void makeVisible(const Node* node);

 signals:
  void nodeMadeVisible(const QModelIndex& index);

 private:
  Node root_;
};

}  // namespace quorvane

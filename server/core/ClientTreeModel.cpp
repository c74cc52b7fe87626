#include "server/core/ClientTreeModel.h"

#include "server/core/ServerTexts.h"

namespace quorvane {

ClientTreeModel::ClientTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

QModelIndex ClientTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  const Node* p = parent.isValid() ? nodeAt(parent) : &root_;
  if (!p || row >= static_cast<int>(p->children.size())) return {};
  return createIndex(row, 0, p->children[static_cast<std::size_t>(row)].get());
}

QModelIndex ClientTreeModel::parent(const QModelIndex& child) const {
  const Node* n = nodeAt(child);
  if (!n || !n->parent || n->parent == &root_) return {};
  return indexOf(n->parent);
}

int ClientTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  const Node* p = parent.isValid() ? nodeAt(parent) : &root_;
  return p ? static_cast<int>(p->children.size()) : 0;
}

int ClientTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant ClientTreeModel::data(const QModelIndex& index, int role) const {
  const Node* n = nodeAt(index);
  if (!n) return {};
  switch (role) {
    case Qt::DisplayRole: return n->text;
    case Qt::UserRole: return n->tag;
    case kKeyRole: return n->key;
    default: return {};
  }
}

ClientTreeModel::Node* ClientTreeModel::addNode(Node* parentNode, const QString& key, const QString& text,
                                                const QVariant& tag) {
  Node* p = parentNode ? parentNode : &root_;
  const int row = static_cast<int>(p->children.size());
  beginInsertRows(p == &root_ ? QModelIndex() : indexOf(p), row, row);
  auto node = std::make_unique<Node>();
  node->key = key;
  node->text = text;
  node->tag = tag;
  node->parent = p;
  Node* raw = node.get();
  p->children.push_back(std::move(node));
  endInsertRows();
  return raw;
}

void ClientTreeModel::addPlaceholder() {
  if (hasPlaceholder()) return;
  addNode(nullptr, QString::fromLatin1(kNoDataFilesKey.data(), kNoDataFilesKey.size()),
          QString::fromLatin1(kNoDataFilesText.data(), kNoDataFilesText.size()), QVariant());
}

bool ClientTreeModel::hasPlaceholder() const {
  for (const auto& n : root_.children) {
    if (n->key == QLatin1String(kNoDataFilesKey.data(), kNoDataFilesKey.size()) && !n->tag.isValid()) return true;
  }
  return false;
}

void ClientTreeModel::removePlaceholder() {
  for (std::size_t i = 0; i < root_.children.size(); ++i) {
    const Node& n = *root_.children[i];
    if (n.key == QLatin1String(kNoDataFilesKey.data(), kNoDataFilesKey.size()) && !n.tag.isValid()) {
      beginRemoveRows(QModelIndex(), static_cast<int>(i), static_cast<int>(i));
      root_.children.erase(root_.children.begin() + static_cast<std::ptrdiff_t>(i));
      endRemoveRows();
      return;
    }
  }
}

QModelIndex ClientTreeModel::indexOf(const Node* node) const {
  if (!node || node == &root_ || !node->parent) return {};
  const auto& siblings = node->parent->children;
  // From the end: the node asked for is most often the one just added.
  for (std::size_t i = siblings.size(); i-- > 0;) {
    if (siblings[i].get() == node) return createIndex(static_cast<int>(i), 0, const_cast<Node*>(node));
  }
  return {};
}

const ClientTreeModel::Node* ClientTreeModel::nodeAt(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return nullptr;
  return static_cast<const Node*>(index.internalPointer());
}

QVariant ClientTreeModel::tagOf(const QModelIndex& index) const {
  const Node* n = nodeAt(index);
  return n ? n->tag : QVariant();
}

QModelIndex ClientTreeModel::firstClientIndex() const {
  for (const auto& domain : root_.children) {
    if (!domain->children.empty()) return indexOf(domain->children.front().get());
  }
  return {};
}

QModelIndex ClientTreeModel::clientIndex(int recordIndex) const {
  for (const auto& domain : root_.children) {
    for (const auto& client : domain->children) {
      if (client->tag.isValid() && client->tag.toInt() == recordIndex) return indexOf(client.get());
    }
  }
  return {};
}

void ClientTreeModel::makeVisible(const Node* node) {
  const QModelIndex i = indexOf(node);
  if (i.isValid()) emit nodeMadeVisible(i);
}

}  // namespace quorvane

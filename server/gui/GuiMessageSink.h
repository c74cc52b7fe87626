// GuiMessageSink: the server's message boxes as windows. They are shown
// without blocking (a socket or timer handler never waits on the user), with
// the icon of their style; optionally also written to standard error.
//
// At most kMostOpenMessageBoxes are open at once. A flood of reports (a
// hostile client's rejected uploads come by the thousand) would otherwise
// open a window each, bury the console and hold memory for every one. Past
// the bound a message is written to `overflow` (standard error) instead, and
// one more box counts the messages not shown since it opened; closing boxes
// makes room again.
#pragma once

#include <QPointer>
#include <QString>
#include <cstdio>
#include <memory>

#include "server/core/MessageSink.h"

class QMessageBox;
class QWidget;

namespace quorvane {

inline constexpr int kMostOpenMessageBoxes = 20;

class GuiMessageSink final : public MessageSink {
 public:
  explicit GuiMessageSink(bool alsoToStderr = false, std::FILE* overflow = stderr)
      : alsoToStderr_(alsoToStderr), stderr_(overflow) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  void showMessage(std::string_view title, std::string_view text, int style) override;
  // Message boxes open now (the count of messages not shown aside).
  int openBoxes() const { return *open_; }

 private:
  void countUnshown(const QString& title);

  QWidget* parent_ = nullptr;
  bool alsoToStderr_;
  StderrMessageSink stderr_;
  // Shared with the boxes, which may outlive the sink.
  std::shared_ptr<int> open_ = std::make_shared<int>(0);
  QPointer<QMessageBox> unshownBox_;
  int unshown_ = 0;
};

// Asks a question in a modal message box with "Yes" and "No"; "No" is the
// default button and Escape answers "No". True only for "Yes".
bool askYesNo(QWidget* parent, const QString& title, const QString& question);

}  // namespace quorvane

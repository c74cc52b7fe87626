// GuiMessageSink: the server's message boxes as windows. They are shown
// without blocking (a socket or timer handler never waits on the user), with
// the icon of their style; optionally also written to standard error.
#pragma once

#include <QString>

#include "server/core/MessageSink.h"

class QWidget;

namespace quorvane {

class GuiMessageSink final : public MessageSink {
 public:
  explicit GuiMessageSink(bool alsoToStderr = false) : alsoToStderr_(alsoToStderr) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  void showMessage(std::string_view title, std::string_view text, int style) override;

 private:
  QWidget* parent_ = nullptr;
  bool alsoToStderr_;
  StderrMessageSink stderr_;
};

// Asks a question in a modal message box with "Yes" and "No"; "No" is the
// default button and Escape answers "No". True only for "Yes".
bool askYesNo(QWidget* parent, const QString& title, const QString& question);

}  // namespace quorvane

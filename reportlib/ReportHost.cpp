#include "reportlib/ReportHost.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include "common/ErrorReport.h"
#include "common/Text8.h"

namespace dovrel {

bool hasDisplay() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return false;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

void doEvents() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
}

ReportHost::ReportHost() : flags_(hasDisplay() ? QV_HOST_INTERACTIVE : 0u) {}

ReportHost::ReportHost(const QvHost* host) : ReportHost() {
  if (host == nullptr || host->size < sizeof(std::uint32_t) * 2) return;
  flags_ = host->flags;
  if (!hasDisplay()) flags_ &= ~QV_HOST_INTERACTIVE;
  if (host->size >= sizeof(QvHost) && host->showMessage != nullptr) {
    auto fn = host->showMessage;
    void* context = host->context;
    sink_ = [fn, context](std::int32_t icon, const std::string& text) {
      fn(context, icon, text.data(), text.size());
    };
  }
}

ReportHost::ReportHost(std::uint32_t flags, Sink sink) : flags_(flags), sink_(std::move(sink)) {}

void ReportHost::showMessage(std::int32_t icon, const std::string& text) {
  if (sink_) {
    sink_(icon, text);
    return;
  }
  if (interactive()) {
    const QString body = QString::fromStdString(quorvane::windows1252ToUtf8(text));
    QMessageBox box(icon == QV_ICON_CRITICAL      ? QMessageBox::Critical
                    : icon == QV_ICON_EXCLAMATION ? QMessageBox::Warning
                                                  : QMessageBox::Information,
                    QStringLiteral("Dovrel"), body);
    box.exec();
    return;
  }
  std::string line = quorvane::windows1252ToUtf8(text);
  std::erase(line, '\r');
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

void ReportHost::reportError(std::string_view where, long number, std::string_view description,
                             long line) {
  failed_ = true;
  showMessage(QV_ICON_CRITICAL, quorvane::formatErrorReport(where, number, description, line));
}

}  // namespace dovrel

#include "app/application.h"

#include <cstdio>

#include "app/main_window.h"
#include "app/message_box.h"

namespace kc {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) { SetIdentity(); }

void Application::SetIdentity() {
  setApplicationName(QStringLiteral("karaoke-controller"));
  setApplicationVersion(QStringLiteral("1.0.8"));
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    Report(QString::fromUtf8(error.what()));
  } catch (...) {
    Report(QStringLiteral("Unknown error"));
  }
  return false;
}

void Application::Report(const QString& text) {
  ++errors_reported_;
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  // The report box runs its own event loop, in which timers keep firing; a handler that fails
  // on every tick would otherwise open boxes inside boxes until the stack runs out. Errors while
  // a report is open go to the standard error stream only.
  if (boxes_ == nullptr || reporting_) return;
  reporting_ = true;
  try {
    boxes_->Information(kShownCaption, text);
  } catch (...) {
  }
  reporting_ = false;
}

}  // namespace kc

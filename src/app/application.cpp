#include "app/application.h"

#include <QLibraryInfo>
#include <cstdio>

#include "app/main_window.h"
#include "app/message_box.h"
#include "kc_version.h"
#include "link/qt/diagnostic_log.h"

namespace kc {

namespace {

// The program's texts are Chinese whatever the desktop's language, so Qt's are too.
constexpr char kQtTranslation[] = "qtbase_zh_CN";

// The error itself is on the standard error stream already; this says why no box showed it.
void ReportUnshown(const QString& why) {
  const QString line = QStringLiteral("the error report box could not be shown: ") + why;
  std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
  LogLine(line);
}

}  // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  SetIdentity();
  qt_texts_translated_ = qt_translator_.load(QLatin1String(kQtTranslation),
                                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                         installTranslator(&qt_translator_);
}

void Application::SetIdentity() {
  setApplicationName(QStringLiteral("karaoke-controller"));
  setApplicationVersion(QLatin1String(kVersion));
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
  LogLine(QStringLiteral("error: ") + text);
  // The report box runs its own event loop, in which timers keep firing; a handler that fails
  // on every tick would otherwise open boxes inside boxes until the stack runs out. Errors while
  // a report is open go to the standard error stream and the log only.
  if (boxes_ == nullptr || reporting_) return;
  reporting_ = true;
  try {
    boxes_->Information(kShownCaption, text);
  } catch (const std::exception& error) {
    ReportUnshown(QString::fromUtf8(error.what()));
  } catch (...) {
    ReportUnshown(QStringLiteral("unknown error"));
  }
  reporting_ = false;
}

}  // namespace kc

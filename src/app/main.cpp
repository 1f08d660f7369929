// karaoke-controller: the four windows, the port list and the start-up connection.
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <functional>

#include "app/application.h"
#include "app/program.h"
#include "app/resident_memory.h"
#include "link/qt/qt_serial_port.h"

namespace {

// Calls back on the first paint of the watched widget.
class FirstPaintProbe : public QObject {
 public:
  explicit FirstPaintProbe(std::function<void()> painted) : painted_(std::move(painted)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && painted_) {
      painted_();
      painted_ = nullptr;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> painted_;
};

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer since_start;
  since_start.start();
  kc::Application app(argc, argv);

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Controller of the karaoke effects box on a serial line (57600 baud, 8N1)."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption port_option(
      QStringLiteral("port"),
      QStringLiteral("Probe this serial port as well (repeatable); pseudo-terminals are not "
                     "listed by the system."),
      QStringLiteral("NAME"));
  const QCommandLineOption measure_option(
      QStringLiteral("measure"),
      QStringLiteral("Print start-up, download and memory figures after the first download, "
                     "then quit."));
  parser.addOption(port_option);
  parser.addOption(measure_option);
  parser.process(app);

  std::vector<std::string> extra_ports;
  for (const QString& name : parser.values(port_option)) extra_ports.push_back(name.toStdString());
  const bool measure = parser.isSet(measure_option);

  const qint64 before_windows_ms = since_start.elapsed();
  kc::Program program(
      nullptr, [extra_ports] { return kc::MergePortNames(kc::SystemPortNames(), extra_ports); });
  app.SetErrorReport(&program.message_boxes());
  const qint64 main_window_ms = before_windows_ms + program.times().main_window_shown_ms;

  // The first paint of the main window comes once the event loop runs, after all four windows
  // have been created.
  qint64 first_paint_ms = -1;
  FirstPaintProbe probe([&] {
    if (first_paint_ms < 0) first_paint_ms = since_start.elapsed();
  });
  if (QWidget* client = program.Form4().centralWidget()) client->installEventFilter(&probe);

  if (measure) {
    std::printf("main window shown (maximised): %lld ms after start\n",
                static_cast<long long>(main_window_ms));
    std::printf("editor window built: %lld ms\n",
                static_cast<long long>(program.times().editor_built_ms));
    std::fflush(stdout);
    auto* poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, &app, [&program, &app, &first_paint_ms] {
      if (program.Form3().transfers_done() == 0) return;
      std::printf("main window first painted: %lld ms after start\n",
                  static_cast<long long>(first_paint_ms));
      std::printf("download: %lld ms\n",
                  static_cast<long long>(program.Form3().last_transfer_ms()));
      std::printf("resident memory after download: %ld KB\n", kc::ResidentKilobytes());
      std::fflush(stdout);
      app.quit();
    });
    poll->start(50);
    QTimer::singleShot(60000, &app, [&app] {
      std::printf("no download within 60 s\n");
      app.exit(1);
    });
  }

  const int result = app.exec();
  app.SetErrorReport(nullptr);
  return result;
}

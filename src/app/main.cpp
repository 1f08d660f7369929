// karaoke-controller: the four windows, the port list and the start-up connection.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "app/application.h"
#include "app/program.h"
#include "app/resident_memory.h"
#include "cli/local_files.h"
#include "link/port_address.h"
#include "link/qt/diagnostic_log.h"
#include "link/qt/qt_serial_port.h"
#include "venue/venue_file.h"

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

struct Options {
  std::vector<std::string> extra_ports;
  std::string venue_path;
  bool measure = false;
  QString record_path;
  QString log_path;
};

// Reads the command line; --help, --version and unknown options end the program here.
Options ParseCommandLine(const QCoreApplication& app) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Controller of the karaoke effects box on a serial line (57600 baud, 8N1)."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption port_option(
      QStringLiteral("port"),
      QStringLiteral("Probe this port first (repeatable): a serial port (pseudo-terminals are "
                     "not listed by the system), or a serial device server on the network as "
                     "tcp://HOST:PORT (raw TCP) or rfc2217://HOST:PORT (Telnet with COM Port "
                     "Control; IPv6 hosts in brackets)."),
      QStringLiteral("NAME"));
  const QCommandLineOption measure_option(
      QStringLiteral("measure"),
      QStringLiteral("Print start-up, download and memory figures after the first download, "
                     "then quit."));
  const QCommandLineOption record_option(
      QStringLiteral("record"),
      QStringLiteral("Write every frame sent to and received from the box, with a time stamp "
                     "and direction, one per line, to FILE (readable by karaoke-ctl decode)."),
      QStringLiteral("FILE"));
  const QCommandLineOption log_option(
      QStringLiteral("log"),
      QStringLiteral("Write the diagnostic log, each line with its time, to FILE, for a report of "
                     "a misbehaving box."),
      QStringLiteral("FILE"));
  const QCommandLineOption venue_option(
      QStringLiteral("venue"),
      QStringLiteral("Open the venue file FILE (TOML: every room's box by name) in the venue "
                     "window, and no search at start-up: the editor opens the room chosen there."),
      QStringLiteral("FILE"));
  parser.addOption(venue_option);
  parser.addOption(port_option);
  parser.addOption(measure_option);
  parser.addOption(record_option);
  parser.addOption(log_option);
  parser.process(app);

  Options options;
  for (const QString& name : parser.values(port_option)) {
    const std::string port = name.toStdString();
    kc::PortAddress address;
    std::string error;
    if (!kc::ParsePortAddress(port, &address, &error)) {
      std::fprintf(stderr, "karaoke-controller: --port %s: %s\n", port.c_str(), error.c_str());
      std::exit(2);
    }
    options.extra_ports.push_back(port);
  }
  options.venue_path = QFile::encodeName(parser.value(venue_option)).toStdString();
  options.measure = parser.isSet(measure_option);
  options.record_path = parser.value(record_option);
  options.log_path = parser.value(log_option);
  return options;
}

// False when the windows could not appear anywhere: a Unix desktop platform without a display
// server to talk to. Qt would abort there with a message about reinstalling.
bool DisplayConfigured(int argc, char** argv) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
      return true;
    }
  }
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
  (void)argc;
  (void)argv;
  return true;
#endif
}

constexpr const char* kNoScreenHint =
    "Start it from a desktop session, or on a virtual screen with \"xvfb-run "
    "karaoke-controller\".\n";

QtMessageHandler previous_handler = nullptr;

// While the application object starts: a display that cannot be reached is Qt's fatal error,
// which would end in an abort and a core dump. Say what it means and end plainly.
void StartUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (previous_handler) previous_handler(type, context, text);
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "karaoke-controller: cannot open its windows on this display.\n%s",
                 kNoScreenHint);
    std::fflush(stderr);
    std::_Exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer since_start;
  since_start.start();
  // A recording (--record) past a file-size limit must not end the program with SIGXFSZ and take
  // the editor's unsent changes with it: ignored, the recording's write fails and the program
  // goes on.
  std::signal(SIGXFSZ, SIG_IGN);

  if (!DisplayConfigured(argc, argv)) {
    // --help and --version still work; anything else needs a screen.
    QCoreApplication core(argc, argv);
    kc::Application::SetIdentity();
    ParseCommandLine(core);
    std::fprintf(stderr,
                 "karaoke-controller: no display to show its windows on (neither DISPLAY nor "
                 "WAYLAND_DISPLAY is set).\n%s",
                 kNoScreenHint);
    return 1;
  }

  previous_handler = qInstallMessageHandler(StartUpMessages);
  kc::Application app(argc, argv);
  qInstallMessageHandler(previous_handler);
  const Options options = ParseCommandLine(app);
  const std::vector<std::string>& extra_ports = options.extra_ports;
  const bool measure = options.measure;

  // Written beside its name, created exclusively (a link planted there is never followed), and
  // renamed into place when the program ends.
  kc::cli::StagedFile record;
  if (!options.record_path.isEmpty()) {
    std::string error;
    if (!record.Open(QFile::encodeName(options.record_path).toStdString(), &error)) {
      std::fprintf(stderr, "karaoke-controller: cannot write the recording %s: %s\n",
                   qPrintable(options.record_path), error.c_str());
      return 2;
    }
  }
  if (!options.log_path.isEmpty()) {
    std::string error;
    if (!kc::ProgramLog().OpenFile(QFile::encodeName(options.log_path).toStdString(), &error)) {
      std::fprintf(stderr, "karaoke-controller: cannot write the log %s: %s\n",
                   qPrintable(options.log_path), error.c_str());
      return 2;
    }
    kc::LogLine(QStringLiteral("karaoke-controller ") + QCoreApplication::applicationVersion());
  }

  std::optional<kc::Venue> venue;
  if (!options.venue_path.empty()) {
    std::string error;
    venue = kc::ReadVenueFile(options.venue_path, &error);
    if (!venue) {
      std::fprintf(stderr, "karaoke-controller: %s\n", error.c_str());
      return 2;
    }
    for (const std::string& warning : venue->warnings) {
      std::fprintf(stderr, "karaoke-controller: %s\n", warning.c_str());
    }
  }

  const qint64 before_windows_ms = since_start.elapsed();
  kc::Program program(
      nullptr, [extra_ports] { return kc::MergePortNames(kc::SystemPortNames(), extra_ports); },
      options.record_path.isEmpty() ? nullptr : &record.stream(), !venue.has_value());
  if (venue) program.ShowVenue(std::move(*venue), options.venue_path);
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
  if (!options.record_path.isEmpty()) {
    std::string error;
    if (!record.Commit(&error)) {
      std::fprintf(stderr, "karaoke-controller: the recording %s could not be written: %s\n",
                   qPrintable(options.record_path), error.c_str());
    }
  }
  return result;
}

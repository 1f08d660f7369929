// The program's command line, run as a separate process: help and version need no display, and a
// start without any display ends with a plain explanation instead of an abort.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

namespace kc {
namespace {

struct ProgramRun {
  int exit_code = -1;
  bool crashed = false;
  QString out;
  QString err;
};

enum class Screen { kNone, kOffscreen, kUnreachable };

ProgramRun RunProgram(const QStringList& args, Screen screen) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.remove(QStringLiteral("QT_QPA_PLATFORM"));
  if (screen == Screen::kOffscreen) {
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  }
  // An X display number no server listens on.
  if (screen == Screen::kUnreachable) env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":987"));
  QProcess process;
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(KC_PROGRAM_PATH), args);
  ProgramRun run;
  if (!process.waitForFinished(20000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.crashed = process.exitStatus() == QProcess::CrashExit;
  run.exit_code = process.exitCode();
  run.out = QString::fromUtf8(process.readAllStandardOutput());
  run.err = QString::fromUtf8(process.readAllStandardError());
  return run;
}

TEST(CommandLine, HelpVersionAndTheMissingDisplayAnswerWithoutAnAbort) {
  struct Case {
    QStringList args;
    Screen screen;
    int exit_code;
    bool on_stdout;  // where the expected text appears
    const char* text;
  };
  const std::vector<Case> cases = {
      {{"--help"}, Screen::kNone, 0, true, "--port <NAME>"},
      {{"--version"}, Screen::kNone, 0, true, "karaoke-controller 1.0.8"},
      {{"--help"}, Screen::kOffscreen, 0, true, "--port <NAME>"},
      {{"--help"}, Screen::kNone, 0, true, "--record <FILE>"},
      {{"--help"}, Screen::kNone, 0, true, "--log <FILE>"},
      {{"--record", "/no-such-folder/line.txt"},
       Screen::kOffscreen,
       2,
       false,
       "cannot write the recording /no-such-folder/line.txt"},
      {{"--log", "/no-such-folder/log.txt"},
       Screen::kOffscreen,
       2,
       false,
       "cannot write the log /no-such-folder/log.txt: No such file or directory"},
      {{}, Screen::kNone, 1, false, "no display"},
      {{"--port", "/dev/no-such-port"}, Screen::kNone, 1, false, "xvfb-run"},
      {{"--no-such-option"}, Screen::kNone, 1, false, "Unknown option 'no-such-option'"},
      {{"--port", "tcp://box"},
       Screen::kNone,
       2,
       false,
       "karaoke-controller: --port tcp://box: no port number (write HOST:PORT)"},
      {{}, Screen::kUnreachable, 1, false, "cannot open its windows on this display"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString() + " screen " +
                 std::to_string(static_cast<int>(c.screen)));
    const ProgramRun run = RunProgram(c.args, c.screen);
    EXPECT_FALSE(run.crashed) << run.err.toStdString();
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err.toStdString();
    const QString& shown = c.on_stdout ? run.out : run.err;
    EXPECT_TRUE(shown.contains(QString::fromUtf8(c.text))) << shown.toStdString();
  }
}

}  // namespace
}  // namespace kc

// Runs karaoke-ctl, the program, from the end-to-end tests, with the event loop running meanwhile.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "../e2e/pty_box.h"

namespace kc {

struct CtlRun {
  int exit_code = -1;
  std::string out;
  std::string err;
  qint64 wall_ms = 0;
};

inline QString Q(const std::string& text) { return QString::fromStdString(text); }

// The lines of a program's output.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs karaoke-ctl to its end. The event loop keeps running meanwhile, so a box served in this
// process answers. child_setup runs in the child before karaoke-ctl starts; meanwhile is called
// once the program runs; with stdout_file its standard output goes to that file.
inline CtlRun Ctl(const QStringList& args, const std::function<void()>& child_setup = {},
                  const std::function<void(QProcess&)>& meanwhile = {},
                  const QString& stdout_file = {}) {
  QProcess process;
  if (child_setup) process.setChildProcessModifier(child_setup);
  if (!stdout_file.isEmpty()) process.setStandardOutputFile(stdout_file);
  QElapsedTimer wall;
  wall.start();
  process.start(QStringLiteral(KARAOKE_CTL_PATH), args);
  CtlRun run;
  if (!process.waitForStarted(5000)) return run;
  if (meanwhile) meanwhile(process);
  e2e::WaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000);
  run.wall_ms = wall.elapsed();
  run.out = process.readAllStandardOutput().toStdString();
  run.err = process.readAllStandardError().toStdString();
  run.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  return run;
}

// Runs karaoke-ctl as at a person's terminal: its standard error is a pseudo-terminal, and
// run.err is what appeared there (the terminal's line ends turned back into "\n").
inline CtlRun CtlOnTerminal(const QStringList& args,
                            const std::function<void()>& child_setup = {}) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {};
  const std::string terminal = ptsname(master);
  // Held open here too, so that what the program wrote stays readable after it has ended.
  const int keep = open(terminal.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  std::string seen;
  const auto drain = [&] {
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) seen.append(buffer, n);
  };
  CtlRun run = Ctl(
      args,
      [&terminal, &child_setup] {
        if (child_setup) child_setup();
        const int fd = open(terminal.c_str(), O_RDWR | O_NOCTTY);
        if (fd >= 0) dup2(fd, STDERR_FILENO);
      },
      [&](QProcess& process) {
        while (process.state() != QProcess::NotRunning) {
          e2e::RunEventLoopFor(20);
          drain();
        }
      });
  drain();
  close(keep);
  close(master);
  run.err.clear();
  for (const char c : seen) {
    if (c != '\r') run.err += c;
  }
  return run;
}

}  // namespace kc

// Runs karaoke-ctl, the program, from the end-to-end tests, with the event loop running meanwhile.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <functional>
#include <string>

#include "../e2e/pty_box.h"

namespace kc {

struct CtlRun {
  int exit_code = -1;
  std::string out;
  std::string err;
  qint64 wall_ms = 0;
};

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

}  // namespace kc

// The subcommands of karaoke-ctl. Each returns the exit code scripts rely on.
#pragma once

#include <QStringList>

namespace kc::cli {

inline constexpr int kExitDone = 0;
// Differences found, a restore that did not verify, or a box that failed.
inline constexpr int kExitDiffers = 1;
// Usage error, or a file or port that could not be used.
inline constexpr int kExitError = 2;

// args as the program got them: program name, subcommand, its arguments. Runs the event loop
// of the QCoreApplication that must exist.
int RunCommandLine(const QStringList& args);

}  // namespace kc::cli

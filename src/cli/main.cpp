// karaoke-ctl: backup, restore, diff, show and decode for installers, from the command line.
#include <QCoreApplication>
#include <csignal>

#include "cli/commands.h"
#include "cli/local_files.h"
#include "kc_version.h"

int main(int argc, char** argv) {
  // Past a file-size limit (ulimit -f) the system would end the program with SIGXFSZ, leaving its
  // temporary file behind. Ignored, the write fails with EFBIG instead and is handled as a full
  // disk is: the file is removed and the command ends with exit code 2 and the reason.
  std::signal(SIGXFSZ, SIG_IGN);
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("karaoke-ctl"));
  QCoreApplication::setApplicationVersion(QLatin1String(kc::kVersion));
  // The arguments as given: file names that are not UTF-8 must reach the file system unchanged.
  return kc::cli::RunCommandLine(kc::cli::ArgumentsFromArgv(argc, argv));
}

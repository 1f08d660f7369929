// karaoke-ctl: backup, restore, diff, show and decode for installers, from the command line.
#include <QCoreApplication>

#include "cli/commands.h"
#include "cli/local_files.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("karaoke-ctl"));
  QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
  // The arguments as given: file names that are not UTF-8 must reach the file system unchanged.
  return kc::cli::RunCommandLine(kc::cli::ArgumentsFromArgv(argc, argv));
}

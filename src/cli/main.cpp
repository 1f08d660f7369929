// karaoke-ctl: backup, restore, diff, show and decode for installers, from the command line.
#include <QCoreApplication>

#include "cli/commands.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("karaoke-ctl"));
  QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
  return kc::cli::RunCommandLine(QCoreApplication::arguments());
}

// Pictures of the running program against the box, for looking at: every page after a click on
// its tab, in Manual with a band highlighted, and the Music page in Auto. Runs only when
// KC_SCREENSHOTS names a folder; the default test run skips it.
#include "journey.h"  // first: see there
// clang-format off
#include <QDir>
#include <QPixmap>
// clang-format on

namespace kc::e2e {
namespace {

using ProgramScreenshots = ProgramOnBox;

TEST_F(ProgramScreenshots, EveryPageAfterItsTab) {
  const QString folder = qEnvironmentVariable("KC_SCREENSHOTS");
  if (folder.isEmpty()) GTEST_SKIP() << "set KC_SCREENSHOTS to a folder to take the pictures";
  QDir().mkpath(folder);
  Start();
  auto shoot = [&](const QString& name) {
    RunEventLoopFor(150);
    ASSERT_TRUE(Editor().grab().save(folder + "/" + name + ".png")) << name.toStdString();
  };
  shoot("0-music-auto");
  Click("ManulModeBtn");
  const char* bands[] = {"MusFreEdit4",  "MicFreEdit12",   "EchoFreEdit2",
                         "MainFreEdit3", "CenterFreEdit5", "SubFreEdit2",
                         "SurFreEdit4",  nullptr,          "MicFreEdit2"};
  for (int tab = 1; tab <= 9; ++tab) {
    Tab(tab);
    if (const char* band = bands[tab - 1]) Click(band);
    shoot(QStringLiteral("%1-tab").arg(tab));
  }
}

}  // namespace
}  // namespace kc::e2e

// Pictures of the running program against the box, for looking at: every page after a click on
// its tab, in Manual with a band highlighted, and the Music page in Auto, into the folder
// KC_SCREENSHOTS names (scripts/screenshots runs it; the test run does not).
#include "journey.h"  // first: see there
// clang-format off
#include <QDir>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QTest>

#include "ui/compare/compare_window.h"
// clang-format on

namespace kc::e2e {
namespace {

using ProgramScreenshots = ProgramOnBox;

TEST_F(ProgramScreenshots, EveryPageAfterItsTab) {
  const QString folder = qEnvironmentVariable("KC_SCREENSHOTS");
  ASSERT_FALSE(folder.isEmpty()) << "set KC_SCREENSHOTS to the folder for the pictures";
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

  // The graph's readout under the mouse.
  Tab(1);
  QLabel* image = Editor().pages().graph_image();
  // Sent to the image itself: a window manager's own pointer may lie anywhere on the screen.
  const QPoint spot = At(1000, 0);
  QMouseEvent move(QEvent::MouseMove, QPointF(spot), image->mapToGlobal(QPointF(spot)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(image, &move);
  shoot("10-readout");

  // The comparison with a mode file saved before two edits.
  const std::string name = Unique("compare");
  SaveFile(name);
  Tab(3);
  Key("EchoEffLevelBar", Qt::Key_PageUp);
  Click("EchoEffPhaseBtn");
  ASSERT_TRUE(Editor().compare_window().CompareWith(Editor().mode_files()->PathOf(name),
                                                    QString::fromStdString(name)));
  shoot("11-compare-marks");
  ASSERT_TRUE(Editor().compare_window().grab().save(folder + "/12-compare-window.png"));
}

}  // namespace
}  // namespace kc::e2e

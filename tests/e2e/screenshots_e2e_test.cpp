// Pictures of the running program against the box, for looking at: every page after a click on
// its tab, in Manual with a band highlighted, and the Music page in Auto. Runs only when
// KC_SCREENSHOTS names a folder; the default test run skips it.
#include "pty_box.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <memory>

#include "app/program.h"
#include "ui/editor_pages.h"
#include "ui/scripted_message_boxes.h"
// clang-format on

namespace kc {
namespace {

TEST(ProgramScreenshots, EveryPageAfterItsTab) {
  const QString folder = qEnvironmentVariable("KC_SCREENSHOTS");
  if (folder.isEmpty()) GTEST_SKIP() << "set KC_SCREENSHOTS to a folder to take the pictures";
  QDir().mkpath(folder);
  e2e::PtyBox box;
  ASSERT_TRUE(box.ok());
  ScriptedMessageBoxes boxes;
  const std::string path = box.path();
  Program program(&boxes, [path] { return std::vector<std::string>{path}; });
  ASSERT_TRUE(e2e::WaitFor([&] { return program.Form1().isVisible(); }, 20000));
  EditorPages& pages = program.Form1().pages();
  auto shoot = [&](const QString& name) {
    e2e::RunEventLoopFor(150);
    ASSERT_TRUE(program.Form1().grab().save(folder + "/" + name + ".png")) << name.toStdString();
  };
  shoot("0-music-auto");
  QTest::mouseClick(pages.FindControl("ManulModeBtn"), Qt::LeftButton);
  const char* bands[] = {"MusFreEdit4",  "MicFreEdit12",   "EchoFreEdit2",
                         "MainFreEdit3", "CenterFreEdit5", "SubFreEdit2",
                         "SurFreEdit4",  nullptr,          "MicFreEdit2"};
  for (int tab = 1; tab <= 9; ++tab) {
    QTest::mouseClick(pages.FindControl(QStringLiteral("FormTabBtn%1").arg(tab)), Qt::LeftButton);
    if (const char* band = bands[tab - 1]) {
      QTest::mouseClick(pages.FindControl(QString::fromLatin1(band)), Qt::LeftButton);
    }
    shoot(QStringLiteral("%1-tab").arg(tab));
  }
}

}  // namespace
}  // namespace kc

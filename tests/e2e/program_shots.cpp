// Pictures of the running program against the box, for looking at: every page after a click on
// its tab, in Manual with a band highlighted, the Music page in Auto, and the link state label
// and the list of the editor's changes after a connection, into the folder KC_SCREENSHOTS names
// (scripts/screenshots runs it; the test run does not).
#include "journey.h"  // first: see there
// clang-format off
#include <QDir>
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <QCursor>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/message_box.h"
#include "ui/compare/compare_window.h"
#include "ui/compare/sync_window.h"
#include "ui/pages/control_factory.h"
// clang-format on

namespace kc::e2e {
namespace {

using ProgramScreenshots = ProgramOnBox;
using Kind = ScriptedMessageBoxes::Kind;

// Silent for so many frames that only the shot brings the line back; the loss is reported after
// eleven silent seconds.
constexpr int kLongSilence = 1'000'000;
constexpr int kLossWaitMs = 20000;
const QString kConnected = QStringLiteral("设备已连接");
const QString kLost = QStringLiteral("已断开连接!");

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

// Every page on the screen (a display with a window manager, 1366 x 768) with the tooltip of a
// phase switch and of a disabled control showing, hovered with the pointer as a user would, in
// the box's automatic mode as it comes from the factory; then the main window moved out of its
// maximised state, the editor centred in it. Pictures: tip-<tab>-phase.png, tip-<tab>-disabled.png
// and main-moved.png.
TEST_F(ProgramScreenshots, TooltipsOnEveryPageAndTheMovedMainWindow) {
  const QString folder = qEnvironmentVariable("KC_SCREENSHOTS");
  ASSERT_FALSE(folder.isEmpty()) << "set KC_SCREENSHOTS to the folder for the pictures";
  QDir().mkpath(folder);
  Start();
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const auto is_reason = [](const QString& tip) {
    return tip.contains(QStringLiteral("自动模式下由设备控制")) ||
           tip.contains(QStringLiteral("需以管理员身份解锁")) ||
           tip.contains(QStringLiteral("解锁")) || tip.contains(QStringLiteral("旧密码"));
  };
  // Hovers the control and grabs the screen once its tooltip shows.
  auto hover = [&](QWidget* control, const QString& name) {
    QCursor::setPos(screen->geometry().bottomRight() - QPoint(5, 5));
    QToolTip::hideText();
    RunEventLoopFor(300);
    QCursor::setPos(control->mapToGlobal(control->rect().center()));
    const bool shown = WaitFor(
        [&] { return QToolTip::isVisible() && QToolTip::text() == control->toolTip(); }, 3000);
    EXPECT_TRUE(shown) << name.toStdString() << " " << control->objectName().toStdString();
    RunEventLoopFor(200);
    EXPECT_TRUE(screen->grabWindow(0).save(folder + "/" + name + ".png")) << name.toStdString();
    std::printf("%s: %s \"%s\"%s\n", qPrintable(name), qPrintable(control->objectName()),
                qPrintable(control->toolTip().replace(QLatin1Char('\n'), QLatin1String(" / "))),
                shown ? "" : " (not shown)");
  };
  for (int tab = 1; tab <= 9; ++tab) {
    Tab(tab);
    RunEventLoopFor(200);
    QWidget* phase = nullptr;
    QWidget* symbol = nullptr;  // another control whose caption is a symbol or abbreviation
    QWidget* disabled = nullptr;
    for (QWidget* control : Editor().pages().findChildren<QWidget*>()) {
      if (!control->isVisible() || control->toolTip().isEmpty()) continue;
      if (!phase && qobject_cast<SignButton*>(control)) phase = control;
      if (!symbol && !qobject_cast<SignButton*>(control) &&
          !control->property(kOwnTipProperty).toString().isEmpty()) {
        symbol = control;
      }
      if (!disabled && !control->isEnabled() && is_reason(control->toolTip())) disabled = control;
    }
    if (phase) {
      hover(phase, QStringLiteral("tip-%1-phase").arg(tab));
    } else if (symbol) {
      hover(symbol, QStringLiteral("tip-%1-symbol").arg(tab));
    }
    if (disabled) hover(disabled, QStringLiteral("tip-%1-disabled").arg(tab));
    if (!phase && !symbol && !disabled) {
      EXPECT_TRUE(screen->grabWindow(0).save(folder + QStringLiteral("/tip-%1-none.png").arg(tab)));
    }
  }
  QToolTip::hideText();
  TForm4& main = program_->Form4();
  main.showNormal();
  RunEventLoopFor(300);
  main.setGeometry(240, 140, 1300, 760);
  RunEventLoopFor(800);
  EXPECT_TRUE(screen->grabWindow(0).save(folder + "/main-moved.png"));
}

// The link state label in each state (docs/link-states.png) and the list of the editor's changes
// after a connection, here for a whole mode file prepared offline; the list's frame shows under a
// display with a window manager.
TEST(ReconnectionScreenshots, LabelInEveryStateAndTheList) {
  const QString folder = qEnvironmentVariable("KC_SCREENSHOTS");
  ASSERT_FALSE(folder.isEmpty()) << "set KC_SCREENSHOTS to the folder for the pictures";
  QDir().mkpath(folder);
  PtyBox box;
  ASSERT_TRUE(box.ok());
  auto ports = std::make_shared<std::vector<std::string>>(std::vector<std::string>{
      QDir::temp()
          .filePath(QStringLiteral("kc-absent-%1").arg(QCoreApplication::applicationPid()))
          .toStdString()});
  ScriptedMessageBoxes boxes;
  auto program = std::make_unique<Program>(&boxes, [ports] { return *ports; });
  TForm1& editor = program->Form1();
  ASSERT_TRUE(WaitFor([&] { return !boxes.shown.empty(); }, kTransferWaitMs));
  program->Form4().OffLineBtn()->trigger();
  ASSERT_TRUE(editor.isVisible());

  // The right part of the tab strip, where the label is, from every state.
  const QRect strip(TForm1::kDragLeft - 240, 0, EditorPages::kWidth - TForm1::kDragLeft + 240,
                    TForm1::kTabStripHeight + 4);
  std::vector<QImage> crops;
  auto shoot = [&](const QString& name) {
    RunEventLoopFor(250);
    const QPixmap whole = editor.grab();
    EXPECT_TRUE(whole.save(folder + "/label-" + name + ".png")) << name.toStdString();
    crops.push_back(whole.copy(strip).toImage());
  };
  auto click = [&](const char* name) {
    QWidget* control = editor.pages().Find<QWidget>(QString::fromLatin1(name));
    ASSERT_NE(control, nullptr) << name;
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(8, control->height() / 2));
  };
  auto label = [&] { return editor.link_state_label()->text(); };

  // Offline, with a mode file loaded and the search stopped: all of it is pending.
  click("ManulModeBtn");
  const std::string name = "e2e-shot-" + std::to_string(QCoreApplication::applicationPid());
  ASSERT_EQ(editor.mode_files()->SaveModeFile(name), ModeStatus::kOk);
  click("FormTabBtn8");
  auto* file = editor.pages().Find<QLineEdit>(QStringLiteral("FileEdit"));
  ASSERT_NE(file, nullptr);
  file->setText(QString::fromStdString(name));
  boxes.answers.push_back(true);
  click("RzBmpButton119");
  std::filesystem::remove(editor.mode_files()->PathOf(name));
  click("FormTabBtn1");
  program->Form4().N1()->trigger();
  ASSERT_TRUE(WaitFor([&] { return label().startsWith(QStringLiteral("离线编辑 · ")); }, 2000))
      << label().toStdString();
  shoot("offline");

  // The box appears and "连接" finds it: connecting, then the list, sent as it stands.
  ports->push_back(box.path());
  program->Form4().Logon1()->trigger();
  ASSERT_TRUE(
      WaitFor([&] { return label().startsWith(QStringLiteral("连接中...")); }, kTransferWaitMs))
      << label().toStdString();
  shoot("connecting");
  SyncWindow* list = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] {
        list = program->Form3().sync_window();
        return list != nullptr && list->isVisible();
      },
      kTransferWaitMs));
  RunEventLoopFor(800);
  EXPECT_TRUE(
      QGuiApplication::primaryScreen()->grabWindow(0).save(folder + "/reconnect-question.png"));
  auto* send = list->findChild<QPushButton*>(QStringLiteral("SyncSendBtn"));
  ASSERT_NE(send, nullptr);
  send->click();
  ASSERT_TRUE(WaitFor(
      [&] { return label() == kConnected && program->Form3().link().state() == LinkState::kReady; },
      kTransferWaitMs))
      << label().toStdString();
  shoot("connected");

  // The line goes silent and is reported lost; two edits wait.
  box.model().faults().silent_after_frames = box.model().frames_handled();
  box.model().faults().silent_for_frames = kLongSilence;
  ASSERT_TRUE(WaitFor([&] { return boxes.Showed(kLost); }, kLossWaitMs));
  click("FormTabBtn3");
  QTest::keyClick(editor.pages().Find<QWidget>(QStringLiteral("EchoEffLevelBar")), Qt::Key_PageUp);
  click("EchoEffPhaseBtn");
  // The quiet search looks for the box in the background until "断开" stops it.
  ASSERT_TRUE(
      WaitFor([&] { return label() == QStringLiteral("正在查找设备... · 2 项未发送"); }, 2000))
      << label().toStdString();
  shoot("searching");
  program->Form4().N1()->trigger();
  ASSERT_TRUE(WaitFor([&] { return label() == QStringLiteral("已断开连接 · 2 项未发送"); }, 2000))
      << label().toStdString();
  shoot("disconnected");

  // The states one above the other, for the README.
  int height = 0;
  for (const QImage& crop : crops) height += crop.height();
  QImage states(strip.width(), height, QImage::Format_RGB32);
  QPainter painter(&states);
  int y = 0;
  for (const QImage& crop : crops) {
    painter.drawImage(0, y, crop);
    y += crop.height();
  }
  painter.end();
  EXPECT_TRUE(states.save(folder + "/link-states.png"));
}

}  // namespace
}  // namespace kc::e2e

// The editor under a real window manager: an X server of its own (Xvfb on a free display) with
// openbox, the program's windows on it through the xcb platform. The main window is moved,
// resized, minimised and restored; the editor must follow it, lie inside its client area below
// the menu, and show on the screen where it says it is (a grab of the screen against the
// editor's own picture). Pictures of the screen go to the working folder. Skipped where Xvfb or
// openbox is missing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/program.h"
#include "scripted_message_boxes.h"

namespace kc {
namespace {

std::string skip_reason;  // why the screen could not be set up; empty when it was

bool WaitUntil(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (done()) return true;
    QTest::qWait(20);
  }
  return done();
}

// The share of pixels the screen and the editor's own picture have alike (each channel within 8).
double Likeness(const QImage& screen, const QImage& editor) {
  if (screen.size() != editor.size() || screen.isNull()) return 0.0;
  const QImage a = screen.convertToFormat(QImage::Format_RGB32);
  const QImage b = editor.convertToFormat(QImage::Format_RGB32);
  long alike = 0;
  for (int y = 0; y < a.height(); ++y) {
    const auto* row_a = reinterpret_cast<const QRgb*>(a.constScanLine(y));
    const auto* row_b = reinterpret_cast<const QRgb*>(b.constScanLine(y));
    for (int x = 0; x < a.width(); ++x) {
      if (std::abs(qRed(row_a[x]) - qRed(row_b[x])) <= 8 &&
          std::abs(qGreen(row_a[x]) - qGreen(row_b[x])) <= 8 &&
          std::abs(qBlue(row_a[x]) - qBlue(row_b[x])) <= 8) {
        ++alike;
      }
    }
  }
  return static_cast<double>(alike) / (static_cast<double>(a.width()) * a.height());
}

struct Step {
  const char* name;
  // What is done to the main window.
  enum class Action { kMaximised, kNormalAt, kMoveTo, kMinimise, kRestore, kRaiseMain } action;
  QRect normal;  // kNormalAt: its geometry; kMoveTo: the new top left corner
  bool editor_shown;
};

TEST(EditorWindowManager, EditorFollowsTheMainWindow) {
  if (!skip_reason.empty()) GTEST_SKIP() << skip_reason;
  using A = Step::Action;
  const std::vector<Step> steps = {
      {"maximised", A::kMaximised, {}, true},
      {"normal 1200x700 at 60,40", A::kNormalAt, QRect(60, 40, 1200, 700), true},
      {"moved to 130,60", A::kMoveTo, QRect(130, 60, 0, 0), true},
      {"minimised", A::kMinimise, {}, false},
      {"restored", A::kRestore, {}, true},
      {"moved to 10,20", A::kMoveTo, QRect(10, 20, 0, 0), true},
      // A click on the main window raises it: the editor stays above it.
      {"main window raised", A::kRaiseMain, {}, true},
  };
  ScriptedMessageBoxes boxes;
  Program program(
      &boxes, [] { return std::vector<std::string>(); }, nullptr, false);
  TForm4& main = program.Form4();
  TForm1& editor = program.Form1();
  main.OffLineBtn()->trigger();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor, 5000));
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);

  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    const QRect before = main.geometry();
    switch (step.action) {
      case A::kMaximised:
        break;
      case A::kNormalAt:
        main.showNormal();
        QTest::qWait(200);
        main.setGeometry(step.normal);
        ASSERT_TRUE(WaitUntil([&] { return main.geometry().size() == step.normal.size(); }, 3000))
            << main.geometry().width() << "x" << main.geometry().height();
        break;
      case A::kMoveTo:
        main.move(step.normal.topLeft());
        ASSERT_TRUE(WaitUntil([&] { return main.geometry() != before; }, 3000));
        break;
      case A::kMinimise:
        main.showMinimized();
        ASSERT_TRUE(WaitUntil(
            [&] {
              return main.isMinimized() && !main.windowHandle()->isExposed() &&
                     !editor.windowHandle()->isExposed();
            },
            3000));
        break;
      case A::kRaiseMain:
        main.raise();
        main.activateWindow();
        break;
      case A::kRestore:
        main.showNormal();
        // Back on the screen: both windows mapped and exposed again, the window manager's late
        // word on the minimised state included.
        ASSERT_TRUE(WaitUntil(
            [&] {
              return !main.isMinimized() && main.windowHandle()->isExposed() &&
                     editor.windowHandle()->isExposed();
            },
            3000));
        break;
    }
    // The window manager's answers and the repaints settle.
    QTest::qWait(400);
    const QRect client(main.centralWidget()->mapToGlobal(QPoint(0, 0)),
                       main.centralWidget()->size());
    const QRect menu(main.menuBar()->mapToGlobal(QPoint(0, 0)), main.menuBar()->size());
    const QRect shown = editor.frameGeometry();
    const QPixmap whole = screen->grabWindow(0);
    whole.save(QStringLiteral("editor-wm-%1.png").arg(&step - steps.data()));
    // On the screen or not: mapped and exposed, or taken down with the main window.
    EXPECT_EQ(editor.windowHandle()->isExposed(), step.editor_shown);
    if (!step.editor_shown) {
      // Nothing of the editor on the screen where it was.
      EXPECT_LT(Likeness(whole.copy(shown).toImage(), editor.grab().toImage()), 0.5);
      continue;
    }
    EXPECT_TRUE(client.contains(shown))
        << "client " << client.x() << "," << client.y() << " " << client.width() << "x"
        << client.height() << " editor " << shown.x() << "," << shown.y();
    EXPECT_FALSE(shown.intersects(menu));
    // Centred: equal margins left and right, above and below (within a pixel of rounding).
    EXPECT_LE(std::abs((shown.left() - client.left()) - (client.right() - shown.right())), 1);
    EXPECT_LE(std::abs((shown.top() - client.top()) - (client.bottom() - shown.bottom())), 1);
    // And there on the screen, above the main window.
    EXPECT_GT(Likeness(whole.copy(shown).toImage(), editor.grab().toImage()), 0.9);
  }
}

// The venue's rooms are docked in the maximised main window and the editor is placed beside
// them: on the screen neither covers the other, whichever window was raised last.
TEST(EditorWindowManager, TheVenuePanelLiesBesideTheEditor) {
  if (!skip_reason.empty()) GTEST_SKIP() << skip_reason;
  ScriptedMessageBoxes boxes;
  Program program(
      &boxes, [] { return std::vector<std::string>(); }, nullptr, false);
  TForm4& main = program.Form4();
  Venue venue;
  venue.name = "KTV";
  venue.rooms = {{"VIP 1", "/dev/kc-no-such-tty-1", "", 1},
                 {"大厅", "/dev/kc-no-such-tty-2", "", 2}};
  program.ShowVenue(venue, "venue.toml");
  QWidget* rooms = program.venue_window();
  ASSERT_NE(rooms, nullptr);
  main.OffLineBtnClick();
  TForm1& editor = program.Form1();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor, 5000));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main, 5000));
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  for (QWidget* raised : {static_cast<QWidget*>(&main), static_cast<QWidget*>(&editor)}) {
    raised->raise();
    raised->activateWindow();
    QTest::qWait(600);
    const QRect panel(rooms->mapToGlobal(QPoint(0, 0)), rooms->size());
    const QRect shown = editor.frameGeometry();
    EXPECT_FALSE(panel.intersects(shown)) << "panel " << panel.x() << "+" << panel.width()
                                          << ", editor " << shown.x() << "+" << shown.width();
    const QPixmap whole = screen->grabWindow(0);
    whole.save(QStringLiteral("venue-wm.png"));
    EXPECT_TRUE(QRect(QPoint(0, 0), screen->size()).contains(shown));
    EXPECT_GT(Likeness(whole.copy(panel).toImage(), rooms->grab().toImage()), 0.9);
    EXPECT_GT(Likeness(whole.copy(QRect(editor.mapToGlobal(QPoint(0, 0)), editor.size())).toImage(),
                       editor.grab().toImage()),
              0.9);
  }
}

// An X server and a window manager of the test's own.
class Screen {
 public:
  bool Start() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (xvfb.isEmpty() || openbox.isEmpty()) {
      skip_reason =
          "Xvfb or openbox is not installed: the editor's placement under a window "
          "manager is not tested";
      return false;
    }
    for (int display = 140 + static_cast<int>(getpid() % 50); display < 400; ++display) {
      if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)) ||
          QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))) {
        continue;
      }
      const std::string name = ":" + std::to_string(display);
      xvfb_ =
          Spawn({xvfb.toStdString(), name, "-screen", "0", "1366x768x24", "-nolisten", "tcp"}, "");
      const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
      bool up = false;
      for (int i = 0; i < 100 && !up; ++i) {
        if (waitpid(xvfb_, nullptr, WNOHANG) == xvfb_) break;  // taken after all: the next
        up = QFile::exists(socket);
        if (!up) usleep(50'000);
      }
      if (!up) {
        Stop(xvfb_);
        continue;
      }
      display_ = name;
      openbox_ = Spawn({openbox.toStdString()}, name);
      // openbox owns the screen once it has set the root window's check property.
      const std::string probe = "DISPLAY=" + name +
                                " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null"
                                " | grep -q 'window id'";
      for (int i = 0; i < 60; ++i) {
        if (std::system(probe.c_str()) == 0) return true;
        usleep(100'000);
      }
      return true;  // without xprop: openbox has had six seconds
    }
    skip_reason = "no free X display number";
    return false;
  }

  void StopAll() {
    Stop(openbox_);
    Stop(xvfb_);
  }
  const std::string& display() const { return display_; }

 private:
  static pid_t Spawn(const std::vector<std::string>& argv, const std::string& display) {
    const pid_t pid = fork();
    if (pid == 0) {
      if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
      std::vector<char*> args;
      for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
      args.push_back(nullptr);
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execv(args[0], args.data());
      _exit(127);
    }
    return pid;
  }
  static void Stop(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
  }

  pid_t xvfb_ = -1;
  pid_t openbox_ = -1;
  std::string display_;
};

}  // namespace
}  // namespace kc

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  kc::Screen screen;
  // Test discovery lists the tests only: no screen for that.
  bool listing = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]).rfind("--gtest_list_tests", 0) == 0) listing = true;
  }
  if (!listing && screen.Start()) {
    qputenv("DISPLAY", QByteArray::fromStdString(screen.display()));
    qputenv("QT_QPA_PLATFORM", "xcb");
  } else {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  int result = 0;
  {
    kc::Application app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    result = RUN_ALL_TESTS();
  }
  screen.StopAll();
  return result;
}

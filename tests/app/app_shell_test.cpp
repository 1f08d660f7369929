#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>

#include "app/application.h"
#include "app/program.h"
#include "link/qt/diagnostic_log.h"
#include "scripted_message_boxes.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

std::vector<std::string> NoPorts() { return {}; }

TEST(StartUp, WindowsComeUpInTheirStatesAndAnEmptyPortListFailsOnTheFirstScanTick) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts);

  EXPECT_TRUE(program.Form4().isVisible());
  EXPECT_TRUE(program.Form4().windowState() & Qt::WindowMaximized);
  EXPECT_EQ(program.Form4().windowTitle(), QStringLiteral("R9 Audio Effect Controller 1.0.8"));
  EXPECT_FALSE(program.Form3().isVisible());
  EXPECT_FALSE(program.Form1().isVisible());
  EXPECT_TRUE(program.Form1().startup_complete());
  // The start-up connect puts the status box up while the (empty) list is scanned.
  EXPECT_TRUE(program.Form2().isVisible());
  EXPECT_EQ(program.Form2().LinkLabel()->text(), QStringLiteral("设备搜索..."));
  EXPECT_EQ(program.Form2().RzProgressStatus1()->value(), 0);
  EXPECT_TRUE(program.Form3().Timer1().isActive());
  EXPECT_FALSE(program.Form3().Timer2().isActive());
  EXPECT_FALSE(program.Form3().HoldTimer().isActive());
  EXPECT_TRUE(boxes.shown.empty());

  program.Form3().link().Timer1Timer();

  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("提示"));
  EXPECT_EQ(boxes.shown[0].text, QStringLiteral("连接失败!"));
  EXPECT_FALSE(program.Form2().isVisible());
  EXPECT_FALSE(program.Form1().isVisible());
  EXPECT_EQ(program.Form2().LinkLabel()->text(), QStringLiteral("设备未连接"));
  // The search goes on quietly in the background, with no status box and no more messages,
  // until "断开".
  EXPECT_TRUE(program.Form3().Timer1().isActive());
  for (int tick = 0; tick < 20; ++tick) program.Form3().link().Timer1Timer();
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_FALSE(program.Form2().isVisible());
  program.Form1().UpdateLinkState();
  EXPECT_EQ(program.Form1().link_state_label()->text(), QStringLiteral("正在查找设备..."));
  program.Form1().LinkBtnClick(program.Form1().UnLinkBtn());
  EXPECT_FALSE(program.Form3().Timer1().isActive());
  program.Form1().UpdateLinkState();
  EXPECT_EQ(program.Form1().link_state_label()->text(), QStringLiteral("离线编辑"));
}

// A room whose box is being looked for says so in the venue window as on the editor's label.
TEST(StartUp, AVenueRoomBeingLookedForSaysSoInTheVenueWindow) {
  ScriptedMessageBoxes boxes;
  Program program(
      &boxes, [] { return std::vector<std::string>{}; }, nullptr, false);
  Venue venue;
  venue.rooms = {{"VIP 1", "/dev/kc-no-such-tty", "", 1}};
  program.ShowVenue(venue, "venue.toml");
  // "场所..." with a venue open shows its panel again, the same one, and opens no file dialog.
  VenueWindow* panel = program.venue_window();
  program.Form4().venue_dock()->close();
  program.Form4().VenueItemClick();
  EXPECT_TRUE(program.Form4().venue_dock()->isVisible());
  EXPECT_EQ(program.venue_window(), panel);
  program.Form1().OpenRoom("VIP 1", "/dev/kc-no-such-tty");
  for (int tick = 0; tick < 20; ++tick) program.Form3().link().Timer1Timer();
  program.Form1().UpdateLinkState();
  ASSERT_EQ(program.Form1().link_state_label()->text(), QStringLiteral("VIP 1 · 正在查找设备..."));
  QTableWidget* rooms = program.venue_window()->list();
  QTest::qWait(700);  // the current room's row follows the editor every half second
  EXPECT_EQ(rooms->item(0, VenueWindow::kState)->text(), QStringLiteral("正在查找设备..."));
  // The column is wide enough for it.
  EXPECT_GE(rooms->columnWidth(VenueWindow::kState),
            rooms->fontMetrics().horizontalAdvance(rooms->item(0, VenueWindow::kState)->text()));
}

TEST(StartUp, PortListThatFailsStartsNoConnection) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes,
                  []() -> std::vector<std::string> { throw std::runtime_error("no ports"); });
  EXPECT_FALSE(program.Form2().isVisible());
  EXPECT_FALSE(program.Form3().Timer1().isActive());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(program.Form1().startup_complete());
}

TEST(StartUp, EditorStartsOnTheMusicPageWithThePortsListed) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, [] { return std::vector<std::string>{"/dev/nonexistent-a", "b"}; });
  EXPECT_EQ(program.Form1().pages().current_page(), 0);
  // The start-up search probes the listed ports in order; neither opens, and each is logged.
  program.Form3().link().Timer1Timer();
  program.Form3().link().Timer1Timer();
  QStringList unopened = program.Form1().pages().diagnostic_log()->toPlainText().split('\n');
  unopened = unopened.filter(QStringLiteral("端口无法打开"));
  EXPECT_EQ(unopened, (QStringList{QStringLiteral("端口无法打开: /dev/nonexistent-a"),
                                   QStringLiteral("端口无法打开: b")}));
}

// The background search lists the ports anew each round; a list that fails keeps the last
// round's ports and says why in the diagnostic log, which also reaches the --log file.
TEST(LinkWindow, APortListThatFailsLaterIsLoggedWithItsReason) {
  struct Case {
    std::function<void()> fail;
    QString logged;
  };
  const std::vector<Case> cases = {
      {[] { throw std::runtime_error("udev gone"); },
       QStringLiteral("port list not renewed: udev gone")},
      {[] { throw 7; }, QStringLiteral("port list not renewed: unknown error")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.logged.toStdString());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string log_path = dir.filePath(QStringLiteral("log.txt")).toStdString();
    std::string error;
    ASSERT_TRUE(ProgramLog().OpenFile(log_path, &error)) << error;
    bool failing = false;
    ScriptedMessageBoxes boxes;
    Program program(&boxes, [&]() -> std::vector<std::string> {
      if (failing) c.fail();
      return {"/dev/nonexistent-a"};
    });
    failing = true;
    std::vector<std::string> names = {"kept"};
    EXPECT_FALSE(program.Form3().RelistPorts(&names));
    ProgramLog().CloseFile();
    EXPECT_EQ(names, std::vector<std::string>{"kept"});
    const QStringList shown =
        program.Form1().pages().diagnostic_log()->toPlainText().split(QLatin1Char('\n'));
    EXPECT_EQ(shown.back(), c.logged);
    std::ifstream in(log_path);
    const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(QString::fromStdString(written).endsWith(QLatin1Char(' ') + c.logged + '\n'))
        << written;
  }
}

TEST(StartUp, PreparesTheModeFoldersBelowTheProgramFolderAndWiresTheModeFiles) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts);
  TForm1& editor = program.Form1();
  ASSERT_TRUE(editor.mode_folders().has_value());
  const std::filesystem::path program_folder(
      QDir(QCoreApplication::applicationDirPath()).absolutePath().toStdU16String());
  EXPECT_EQ(editor.mode_folders()->root, program_folder / "Mode");
  EXPECT_EQ(editor.mode_folders()->library, program_folder / "Mode" / "QT415Mode");
  EXPECT_TRUE(std::filesystem::is_directory(editor.mode_folders()->library));
  ASSERT_NE(editor.mode_files(), nullptr);
  EXPECT_EQ(editor.mode_files()->library(), editor.mode_folders()->library);

  // A failed load speaks through the editor's message boxes.
  EXPECT_EQ(editor.mode_files()->LoadModeFile("no such mode"), ModeStatus::kFileMissing);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("提示"));
  EXPECT_EQ(boxes.shown[0].text, QStringLiteral("文件不存在"));

  // A load while not connected fills the store and the diagnostic log and sends nothing.
  const std::string name = "app-shell-" + std::to_string(QCoreApplication::applicationPid());
  const int32_t saved = editor.store().Device(5, 3);
  ASSERT_EQ(editor.mode_files()->SaveModeFile(name), ModeStatus::kOk);
  editor.store().SetDevice(5, 3, saved + 1);
  EXPECT_EQ(editor.mode_files()->LoadModeFile(name), ModeStatus::kOk);
  std::filesystem::remove(editor.mode_files()->PathOf(name));
  EXPECT_EQ(editor.store().Device(5, 3), saved);
  EXPECT_EQ(editor.pages().diagnostic_log()->document()->blockCount(), ModeEntryCount());
  EXPECT_EQ(program.Form3().link().state(), LinkState::kNotReady);
  EXPECT_FALSE(program.Form3().Timer2().isActive());
  EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST(OfflineItem, ShowsTheEditorOnceAndIsThenDisabled) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts);
  QAction* offline = program.Form4().OffLineBtn();
  EXPECT_EQ(offline->property("Hint").toString(), QStringLiteral("0"));

  offline->trigger();
  EXPECT_TRUE(program.Form1().isVisible());
  EXPECT_FALSE(offline->isEnabled());
  EXPECT_EQ(offline->property("Hint").toString(), QStringLiteral("1"));
  EXPECT_EQ(program.Form3().link().state(), LinkState::kNotReady);

  program.Form1().close();
  EXPECT_FALSE(program.Form1().isVisible());
  offline->trigger();                 // disabled: ignored
  program.Form4().OffLineBtnClick();  // and the marker stops it even when called directly
  EXPECT_FALSE(program.Form1().isVisible());
}

TEST(Menu, ItemsCarryTheirNamesAndCaptions) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts);
  QMenuBar* bar = program.Form4().findChild<QMenuBar*>(QStringLiteral("MainMenu1"));
  ASSERT_NE(bar, nullptr);
  const QList<QAction*> menus = bar->actions();
  ASSERT_EQ(menus.size(), 3);
  EXPECT_EQ(menus[0]->text(), QStringLiteral("设备"));
  EXPECT_EQ(menus[1]->text(), QStringLiteral("编辑"));
  EXPECT_EQ(menus[2]->text(), QStringLiteral("帮助"));

  struct Item {
    const char* name;
    const char* caption;  // nullptr for a separator
  };
  const std::vector<Item> device = {{"Logon1", "连接"},
                                    {"N1", "断开"},
                                    {"NetworkItem", "网络设备..."},
                                    {"VenueItem", "场所..."},
                                    {"BaselineItem", "设为基准"},
                                    {"N2", nullptr},
                                    {"OffLineBtn", "离线设备"},
                                    {"N4", nullptr},
                                    {"N5", "退出"}};
  const QList<QAction*> items = menus[0]->menu()->actions();
  ASSERT_EQ(items.size(), static_cast<qsizetype>(device.size()));
  for (std::size_t i = 0; i < device.size(); ++i) {
    SCOPED_TRACE(device[i].name);
    EXPECT_EQ(items[i]->objectName(), QString::fromLatin1(device[i].name));
    EXPECT_EQ(items[i]->isSeparator(), device[i].caption == nullptr);
    if (device[i].caption) {
      EXPECT_EQ(items[i]->text(), QString::fromUtf8(device[i].caption));
    }
  }
  // Undo and redo are greyed while there is nothing to undo or redo.
  const QList<QAction*> edit = menus[1]->menu()->actions();
  ASSERT_EQ(edit.size(), 4);
  EXPECT_EQ(edit[0]->text(), QStringLiteral("撤销"));
  EXPECT_EQ(edit[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_FALSE(edit[0]->isEnabled());
  EXPECT_EQ(edit[1]->text(), QStringLiteral("重做"));
  EXPECT_EQ(edit[1]->shortcuts(),
            (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                 QKeySequence(Qt::CTRL | Qt::Key_Y)}));
  EXPECT_FALSE(edit[1]->isEnabled());
  EXPECT_TRUE(edit[2]->isSeparator());
  EXPECT_EQ(edit[3]->text(), QStringLiteral("与模式文件比较..."));
  const QList<QAction*> help = menus[2]->menu()->actions();
  ASSERT_EQ(help.size(), 1);
  EXPECT_EQ(help[0]->objectName(), QStringLiteral("aborat1"));
  EXPECT_EQ(help[0]->text(), QStringLiteral("关于"));
}

TEST(Menu, AboutShowsTheVersionWithItsTrailingSpace) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts);
  program.Form4().aborat1()->trigger();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].kind, ScriptedMessageBoxes::Kind::kInformation);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("关于"));
  EXPECT_EQ(boxes.shown[0].text, QStringLiteral("R9 Audio Effect Controller 1.0.8 "));
}

TEST(Menu, ConnectAndDisconnectDriveTheStatusBox) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts);
  program.Form4().N1()->trigger();
  EXPECT_FALSE(program.Form2().isVisible());
  EXPECT_FALSE(program.Form3().Timer1().isActive());
  EXPECT_EQ(program.Form2().LinkLabel()->text(), QStringLiteral("设备未连接"));
  EXPECT_EQ(program.Form1().pages().link_label()->text(), QStringLiteral("设备未连接"));

  program.Form4().Logon1()->trigger();
  EXPECT_TRUE(program.Form2().isVisible());
  EXPECT_TRUE(program.Form3().Timer1().isActive());
  EXPECT_EQ(program.Form2().LinkLabel()->text(), QStringLiteral("设备搜索..."));
}

TEST(Menu, ExitClosesTheMainWindow) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts);
  QCoreApplication::processEvents();
  program.Form4().N5()->trigger();
  EXPECT_FALSE(program.Form4().isVisible());
}

TEST(Windows, FramesSizesAndCaptions) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts);
  TForm1& editor = program.Form1();
  EXPECT_EQ(editor.size(), QSize(1106, 579));
  EXPECT_TRUE(editor.windowFlags() & Qt::FramelessWindowHint);
  // A window of the main window's own, above it only: not above every other program.
  EXPECT_TRUE(editor.isWindow());
  EXPECT_EQ(editor.parentWidget(), &program.Form4());
  EXPECT_FALSE(editor.windowFlags() & Qt::WindowStaysOnTopHint);

  TForm2& status = program.Form2();
  EXPECT_EQ(status.size(), QSize(306, 85));
  EXPECT_EQ(status.windowTitle(), QStringLiteral("设备状态"));
  EXPECT_TRUE(status.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(status.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(status.Label1()->text(), QStringLiteral("请稍等,可能需要几秒钟才能完成操作！"));

  TForm3& link_window = program.Form3();
  EXPECT_EQ(link_window.windowTitle(), QStringLiteral("系统"));
  EXPECT_EQ(link_window.Timer1().interval(), 600);
  EXPECT_EQ(link_window.Timer2().interval(), 100);
  EXPECT_EQ(link_window.HoldTimer().interval(), 20);
  link_window.close();  // asked to close, it stays hidden and alive
  EXPECT_FALSE(link_window.isVisible());
}

TEST(StatusBox, ShowsTextAndPercentClamped) {
  TForm2 status;
  struct Case {
    int percent;
    int shown;
  };
  for (const Case c : {Case{0, 0}, Case{33, 33}, Case{100, 100}, Case{-5, 0}, Case{250, 100}}) {
    status.SetStatus(QStringLiteral("连接中..."), c.percent);
    EXPECT_EQ(status.RzProgressStatus1()->value(), c.shown) << c.percent;
  }
  EXPECT_EQ(status.RzProgressStatus1()->text(), QStringLiteral("100%"));
  EXPECT_EQ(status.LinkLabel()->text(), QStringLiteral("连接中..."));
}

// The link reports values; the status box, the editor's link label and the message boxes say
// them in the system's words.
TEST(LinkWindow, SaysTheLinksStatusesAndOutcomesInTheSystemsWords) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts);
  const std::pair<LinkStatus, const char*> statuses[] = {
      {LinkStatus::kSearching, "设备搜索..."},   {LinkStatus::kConnecting, "连接中..."},
      {LinkStatus::kLoading, "加载中..."},       {LinkStatus::kUploading, "下载数据..."},
      {LinkStatus::kSaving, "保存中..."},        {LinkStatus::kConnected, "设备已连接"},
      {LinkStatus::kNotConnected, "设备未连接"},
  };
  for (const auto& [status, text] : statuses) {
    program.Form3().ShowStatus(status, 40, true);
    EXPECT_EQ(program.Form2().LinkLabel()->text(), QString::fromUtf8(text));
    EXPECT_EQ(program.Form1().pages().link_label()->text(), QString::fromUtf8(text));
    EXPECT_EQ(program.Form2().RzProgressStatus1()->value(), 40);
  }
  boxes.shown.clear();
  const std::pair<LinkMessage, const char*> messages[] = {
      {{LinkOutcome::kSaved}, "保存成功!"},
      {{LinkOutcome::kLost}, "已断开连接!"},
      {{LinkOutcome::kFailed, LinkFailure::kNoAnswer, 0}, "连接失败!"},
      {{LinkOutcome::kFailed, LinkFailure::kNoAnswer, 12}, "连接失败!"},
      {{LinkOutcome::kFailed, LinkFailure::kChecksum, 3}, "数据校验错误，连接失败!"},
  };
  for (const auto& [message, text] : messages) {
    program.Form3().ShowMessage(message);
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back().caption, QStringLiteral("提示"));
    EXPECT_EQ(boxes.shown.back().text, QString::fromUtf8(text));
  }
  EXPECT_EQ(boxes.shown.size(), std::size(messages));
}

TEST(StatusBox, EscapeDoesNotDismissIt) {
  ScriptedMessageBoxes boxes;
  Program program(&boxes, NoPorts);
  TForm2& status = program.Form2();
  ASSERT_TRUE(status.isVisible());
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(&status, &escape);
  EXPECT_TRUE(status.isVisible());
}

TEST(EditorWindow, OnlyTheFreePartOfTheTabStripMovesTheWindow) {
  struct Case {
    QPoint pos;
    bool moves;
  };
  const std::vector<Case> cases = {
      {{795, 0}, true},    {{900, 15}, true},  {{1006, 30}, true}, {{794, 10}, false},
      {{1007, 10}, false}, {{900, 31}, false}, {{100, 5}, false},  {{900, -1}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TForm1::StartsMove(c.pos), c.moves) << c.pos.x() << "," << c.pos.y();
  }
}

// An object whose events fail, as a handler with an uncaught error does.
class FailingObject : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) throw std::runtime_error("Invalid port write");
    return QObject::event(event);
  }
};

TEST(ErrorReport, ShowsTheErrorTextAndCarriesOnWithoutNestingBoxes) {
  auto* app = qobject_cast<Application*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr);
  ScriptedMessageBoxes boxes;
  app->SetErrorReport(&boxes);
  const int before = app->errors_reported();
  FailingObject failing;

  QEvent first(QEvent::User);
  EXPECT_FALSE(QCoreApplication::sendEvent(&failing, &first));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Invalid port write"));

  // While the report is open another handler fails: it is counted, not shown in a second box.
  boxes.on_show = [&failing](const ScriptedMessageBoxes::Shown&) {
    QEvent again(QEvent::User);
    QCoreApplication::sendEvent(&failing, &again);
  };
  QEvent second(QEvent::User);
  QCoreApplication::sendEvent(&failing, &second);
  EXPECT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(app->errors_reported(), before + 3);

  // Events that do not fail go through as before.
  boxes.on_show = nullptr;
  QEvent fine(QEvent::None);
  QCoreApplication::sendEvent(&failing, &fine);
  EXPECT_EQ(boxes.shown.size(), 2u);
  app->SetErrorReport(nullptr);
}

TEST(ErrorReport, ABoxThatCannotShowTheErrorSaysWhyOnStandardError) {
  auto* app = qobject_cast<Application*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr);
  struct Case {
    std::function<void()> fail;
    std::string said;
  };
  const std::vector<Case> cases = {
      {[] { throw std::runtime_error("no window to own it"); },
       "the error report box could not be shown: no window to own it\n"},
      {[] { throw 7; }, "the error report box could not be shown: unknown error\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    ScriptedMessageBoxes boxes;
    boxes.on_show = [&c](const ScriptedMessageBoxes::Shown&) { c.fail(); };
    app->SetErrorReport(&boxes);
    FailingObject failing;
    QEvent event(QEvent::User);
    testing::internal::CaptureStderr();
    QCoreApplication::sendEvent(&failing, &event);
    const std::string said = testing::internal::GetCapturedStderr();
    app->SetErrorReport(nullptr);
    EXPECT_EQ(said, "Invalid port write\n" + c.said);
  }
}

}  // namespace
}  // namespace kc

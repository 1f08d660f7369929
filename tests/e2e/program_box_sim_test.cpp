// The program's four windows against the simulated box: the start-up connection ends with the
// editor shown and the status box hidden; closing the editor releases the box, exiting does not.
#include "pty_box.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "app/program.h"
#include "app/resident_memory.h"
#include "scripted_message_boxes.h"
#include "ui/pages/editor_pages.h"
// clang-format on

namespace kc {
namespace {

using e2e::WaitFor;

TEST(ProgramAgainstBoxSim, StartUpConnectsDownloadsAndShowsTheEditor) {
  e2e::BoxSimProcess sim;
  ASSERT_TRUE(sim.ok());
  ScriptedMessageBoxes boxes;
  const std::string path = sim.path();
  Program program(&boxes, [path] { return std::vector<std::string>{path}; });
  EXPECT_TRUE(program.Form2().isVisible());
  EXPECT_FALSE(program.Form1().isVisible());

  ASSERT_TRUE(WaitFor([&] { return program.Form1().isVisible() || !boxes.shown.empty(); }, 20000));
  EXPECT_TRUE(program.Form1().isVisible());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_FALSE(program.Form2().isVisible());
  EXPECT_EQ(program.Form2().LinkLabel()->text(), QStringLiteral("设备已连接"));
  EXPECT_EQ(program.Form1().pages().link_label()->text(), QStringLiteral("设备已连接"));
  EXPECT_TRUE(program.Form3().HoldTimer().isActive());
  EXPECT_EQ(program.Form3().link().state(), LinkState::kReady);

  const boxsim::BoxModel factory;
  const auto id = factory.identity();
  EXPECT_EQ(program.Form1().pages().device_id_label()->text(),
            QString::asprintf("%02X%02X%02X%02X", id[0], id[1], id[2], id[3]));
  EXPECT_EQ(program.Form1().store().Device(0, 1), factory.Slot(0, 1));
  EXPECT_EQ(program.Form1().store().disco(), factory.disco());

  const long resident_kb = ResidentKilobytes();
  std::printf("main window shown %lld ms after the windows' creation began\n",
              static_cast<long long>(program.times().main_window_shown_ms));
  std::printf("editor window built in %lld ms\n",
              static_cast<long long>(program.times().editor_built_ms));
  std::printf("download: %lld ms\n", static_cast<long long>(program.Form3().last_transfer_ms()));
  std::printf("resident memory after the download: %ld KB\n", resident_kb);
  // The figure belongs to scripts/measure (it depends on the machine's libraries and fonts);
  // this bound only catches a runaway allocation.
  EXPECT_LT(resident_kb, 1024 * 1024);
}

// Served in this process, so the test can count the releases the box received.
class ProgramAgainstPtyBox : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(box_.ok());
    const std::string path = box_.path();
    program_ =
        std::make_unique<Program>(&boxes_, [path] { return std::vector<std::string>{path}; });
    ASSERT_TRUE(WaitFor([&] { return program_->Form1().isVisible(); }, 20000));
    ASSERT_EQ(box_.model().releases(), 0);
  }

  e2e::PtyBox box_;
  ScriptedMessageBoxes boxes_;
  std::unique_ptr<Program> program_;
};

TEST_F(ProgramAgainstPtyBox, ClosingTheEditorWhileConnectedReleasesTheBox) {
  program_->Form1().close();
  EXPECT_FALSE(program_->Form1().isVisible());
  ASSERT_TRUE(WaitFor([&] { return box_.model().releases() == 1; }, 2000));
  // The program keeps running with the main window.
  EXPECT_TRUE(program_->Form4().isVisible());
}

TEST_F(ProgramAgainstPtyBox, ExitWhileConnectedSendsNoRelease) {
  program_->Form4().N5()->trigger();
  // Ending the program closes the remaining windows, the editor among them.
  program_->Form1().close();
  e2e::RunEventLoopFor(200);
  EXPECT_EQ(box_.model().releases(), 0);
}

TEST_F(ProgramAgainstPtyBox, ExitFromTheMenuEndsTheEventLoopWithoutARelease) {
  // As in the program: the event loop ends when the main window, the last window that counts,
  // has closed.
  QGuiApplication::setQuitOnLastWindowClosed(true);
  QTimer::singleShot(0, [this] { program_->Form4().N5()->trigger(); });
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
  guard.start(5000);
  const int result = QCoreApplication::exec();
  QGuiApplication::setQuitOnLastWindowClosed(false);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(program_->Form4().isVisible());
  EXPECT_FALSE(program_->Form1().isVisible());
  e2e::RunEventLoopFor(200);
  EXPECT_EQ(box_.model().releases(), 0);
}

TEST_F(ProgramAgainstPtyBox, AModeFileLoadedWhileConnectedIsUploadedToTheBox) {
  TForm1& editor = program_->Form1();
  ASSERT_NE(editor.mode_files(), nullptr);
  const std::string name = "e2e-upload-" + std::to_string(QCoreApplication::applicationPid());
  const int32_t kept = editor.store().Device(5, 3);
  ASSERT_EQ(editor.mode_files()->SaveModeFile(name), ModeStatus::kOk);
  // The box drifts away from the file; the upload puts the file's value back.
  box_.model().SetSlot(5, 3, kept == 0 ? 1 : 0);

  EXPECT_EQ(editor.mode_files()->LoadModeFile(name), ModeStatus::kOk);
  std::filesystem::remove(editor.mode_files()->PathOf(name));
  EXPECT_EQ(program_->Form3().link().status(), LinkStatus::kUploading);
  ASSERT_TRUE(WaitFor([&] { return program_->Form3().transfers_done() == 2; }, 20000));
  EXPECT_EQ(box_.model().Slot(5, 3), kept);
  EXPECT_EQ(program_->Form3().link().state(), LinkState::kReady);
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(ProgramAgainstPtyBox, MenuDisconnectReleasesAndConnectDownloadsAgain) {
  program_->Form4().N1()->trigger();
  ASSERT_TRUE(WaitFor([&] { return box_.model().releases() == 1; }, 2000));
  EXPECT_EQ(program_->Form3().link().state(), LinkState::kNotReady);
  program_->Form1().close();  // not Ready: nothing more is sent
  e2e::RunEventLoopFor(100);
  EXPECT_EQ(box_.model().releases(), 1);

  program_->Form4().Logon1()->trigger();
  EXPECT_TRUE(program_->Form2().isVisible());
  ASSERT_TRUE(WaitFor([&] { return program_->Form1().isVisible(); }, 20000));
  EXPECT_EQ(program_->Form3().transfers_done(), 2);
  EXPECT_TRUE(boxes_.shown.empty());
}

}  // namespace
}  // namespace kc

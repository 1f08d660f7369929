// Edits made with mouse and keys on the running program reach the box: after each family of
// controls has been worked, the box's image equals the store's device image, and a repaint of
// the pages sends nothing.
#include "journey.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

// clang-format on

namespace kc {
namespace {

using e2e::ImageDifferences;
using e2e::WaitFor;

class EditingAgainstBox : public e2e::ProgramOnBox {
 protected:
  void SetUp() override { Start(); }
};

TEST_F(EditingAgainstBox, EveryFamilyOfControlsChangesTheBox) {
  Click("ManulModeBtn");
  ASSERT_TRUE(BoxFollows()) << ImageDifferences(program_->Form1().store(), box_.model());

  struct Step {
    const char* what;
    std::function<void()> act;
  };
  const Step steps[] = {
      {"slider",
       [&] {
         Tab(3);
         QTest::keyClick(W("EchoEffLevelBar"), Qt::Key_PageUp);
       }},
      {"typed gain",
       [&] {
         Tab(1);
         auto* edit = qobject_cast<QLineEdit*>(W("MusGainEdit2"));
         QTest::mouseClick(edit, Qt::LeftButton);
         edit->selectAll();
         QTest::keyClicks(edit, "-3.6");
         QTest::keyClick(edit, Qt::Key_Return);
       }},
      {"type button", [&] { Click("MusHSQBtn3"); }},
      {"gain slider", [&] { QTest::keyClick(W("MusEQGainBar4"), Qt::Key_PageDown); }},
      {"phase button",
       [&] {
         Tab(3);
         Click("EchoEffPhaseBtn");
       }},
      {"radio button",
       [&] {
         Tab(2);
         Click("MicFBERadioBtn3");
       }},
      {"volume slider",
       [&] {
         Tab(8);
         auto* volume = qobject_cast<QSlider*>(W("SysMicNormalVolBar"));
         QTest::keyClick(volume, volume->value() > 0 ? Qt::Key_Down : Qt::Key_Up);
       }},
  };
  for (const Step& step : steps) {
    const int frames_before = box_.model().frames_handled();
    step.act();
    EXPECT_TRUE(WaitFor([&] { return box_.model().frames_handled() > frames_before; }, 2000))
        << step.what << " sent nothing";
    ASSERT_TRUE(BoxFollows()) << step.what << "\n"
                              << ImageDifferences(program_->Form1().store(), box_.model());
  }
  EXPECT_EQ(qobject_cast<QLineEdit*>(W("MusGainEdit2"))->text(), "-3.6dB");

  // A repaint of every page shows and stores, and sends nothing beyond the keepalive.
  const int frames_before = box_.model().frames_handled();
  program_->Form1().RefreshPages(kAllBlocks);
  e2e::RunEventLoopFor(500);
  EXPECT_LE(box_.model().frames_handled() - frames_before, 1);
  EXPECT_TRUE(ImageDifferences(program_->Form1().store(), box_.model()).empty());
  EXPECT_TRUE(boxes_.shown.empty());
}

}  // namespace
}  // namespace kc

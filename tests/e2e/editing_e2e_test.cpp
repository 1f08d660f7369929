// Edits made with mouse and keys on the running program reach the box: after each family of
// controls has been worked, the box's image equals the store's device image, and a repaint of
// the pages sends nothing.
#include "journey.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
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

using RepaintsAgainstBox = e2e::ProgramOnBox;

TEST_F(RepaintsAgainstBox, DiscoThenSingRepaintsTheVolumePanes) {
  // Volumes that are also display kinds (reverb time, output level, high pass), under maximums
  // that leave them room to rise.
  struct Volume {
    const char* slider;
    const char* pane;
    int item;
    int value;
  };
  const Volume volumes[] = {
      {"SysMusNormalVolBar", "SysMusNormalVolPane", 0x20, 12},
      {"SysMicNormalVolBar", "SysMicNormalVolPane", 0x21, 9},
      {"SysEffNormalVolBar", "SysEffNormalVolPane", 0x22, 6},
      {"SysMusMaxVolBar", "SysMusMaxVolPane", 0x07, 84},
      {"SysMicMaxVolBar", "SysMicMaxVolPane", 0x09, 84},
      {"SysEffMaxVolBar", "SysEffMaxVolPane", 0x0B, 84},
  };
  for (const Volume& v : volumes) Box().SetSlot(kSystemBlock, v.item, v.value);
  Start();
  Click("ManulModeBtn");
  for (const char* set : {"DiscoModeBtn", "SingModeBtn"}) {
    Click(set);
    ASSERT_TRUE(BoxFollows()) << set << "\n" << ImageDifferences(Editor().store(), Box());
    for (const Volume& v : volumes) {
      EXPECT_EQ(W<QSlider>(v.slider)->value(), v.value) << set << ": " << v.slider;
      EXPECT_EQ(W<QLabel>(v.pane)->text().toStdString(), std::to_string(v.value))
          << set << ": " << v.pane;
    }
  }
  // The music volume rises one step from where it is shown, however far the key asks.
  Key("SysMusNormalVolBar", Qt::Key_End);
  EXPECT_EQ(W<QLabel>("SysMusNormalVolPane")->text().toStdString(), "13");
  EXPECT_TRUE(WaitFor([&] { return Box().Slot(kSystemBlock, 0x20) == 13; }, 3000));
}

TEST_F(EditingAgainstBox, JunkInAFrequencyBoxEnteredByTabChangesNothing) {
  Editor().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Editor()));
  Click("ManulModeBtn");
  Tab(1);
  ASSERT_TRUE(BoxFollows()) << ImageDifferences(Editor().store(), Box());
  ASSERT_TRUE(LinkQuiet(3000));
  auto* frequency = W<QLineEdit>("MusFreEdit1");
  const QString shown = frequency->text();
  std::vector<int32_t> before;
  for (int slot = 0; slot < InfoOfBlock(0)->device_slots; ++slot) {
    before.push_back(Box().Slot(0, slot));
  }

  // The gain box first, then Tab past the band's type box into its frequency box.
  Click("MusGainEdit1");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), frequency);
  frequency->selectAll();
  QTest::keyClicks(frequency, "-");
  QTest::keyClick(frequency, Qt::Key_Return);
  EXPECT_EQ(frequency->text().toStdString(), shown.toStdString());
  Tab(3);  // leave the box
  e2e::RunEventLoopFor(300);
  ASSERT_TRUE(LinkQuiet(3000));

  std::vector<int32_t> after;
  for (int slot = 0; slot < InfoOfBlock(0)->device_slots; ++slot) {
    after.push_back(Box().Slot(0, slot));
  }
  EXPECT_EQ(after, before) << ImageDifferences(Editor().store(), Box());
  EXPECT_TRUE(ImageDifferences(Editor().store(), Box()).empty());
}

}  // namespace
}  // namespace kc

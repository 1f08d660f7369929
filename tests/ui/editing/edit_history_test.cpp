// Undo and redo on the real pages: one step per gesture, and an undone step sends the old values
// and repaints, whatever page or microphone group is on show when it is undone.
#include "ui/editing/edit_history.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QSlider>
#include <QTest>
#include <functional>

#include "editor_fixture.h"
#include "slider_drag.h"

namespace kc {
namespace {

using Sent = test::RecordingEditLink::Sent;

class EditHistoryTest : public ::testing::Test, public test::EditorFixture {
 protected:
  EditHistoryTest() : history(*session) {}

  void Click(const char* name) {
    QTest::mouseClick(W(name), Qt::LeftButton);
    history.EndGesture();  // as the quiet time after the release does
  }
  void Type(const char* name, const char* keys) {
    auto* edit = W<QLineEdit>(name);
    QTest::mouseClick(edit, Qt::LeftButton);
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromLatin1(keys));
    QTest::keyClick(edit, Qt::Key_Return);
    history.EndGesture();
  }
  // A drag of a slider's handle by dx pixels, then the quiet time after its release.
  void DragSlider(QSlider* slider, int dx) {
    test::DragSlider(slider, dx);
    history.EndGesture();
  }

  EditHistory history;
};

TEST_F(EditHistoryTest, ASliderDragIsOneStepEachWay) {
  ClickTab(3);
  auto* slider = W<QSlider>("EchoEffLevelBar");
  const int before = slider->value();
  DragSlider(slider, 40);
  const int after = slider->value();
  ASSERT_GT(after, before + 2) << "the drag moved the slider through several values";
  ASSERT_EQ(history.stack().count(), 1);

  link.sent.clear();
  history.Undo();
  EXPECT_EQ(slider->value(), before);
  EXPECT_EQ(store.Working(0x0301), before);
  EXPECT_EQ(link.sent, (std::vector<Sent>{{Sent::kParam, 0x0301, before, {}}}));
  history.Redo();
  EXPECT_EQ(slider->value(), after);
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kParam, 0x0301, after, {}}));
  EXPECT_EQ(history.stack().count(), 1);
}

TEST_F(EditHistoryTest, TypedValuesButtonsAndTypesUndoThroughTheirSendPaths) {
  Click("ManulModeBtn");
  struct Case {
    const char* what;
    std::function<void()> act;
    int id;
    bool band;
  };
  const Case cases[] = {
      {"typed gain", [&] { Type("MusGainEdit1", "-2"); }, 0x0006, true},
      {"type button", [&] { Click("MusHSQBtn2"); }, 0x0009, true},
      {"phase button",
       [&] {
         ClickTab(3);
         Click("EchoEffPhaseBtn");
       },
       0x0300, false},
      {"radio button",
       [&] {
         ClickTab(2);
         Click("MicFBERadioBtn3");
       },
       0x0101, false},
      // A pass filter has a band position on the graph but goes to the box as a parameter: a
      // band frame would not carry it, and the undone value would never reach the box.
      {"pass filter slider",
       [&] {
         ClickTab(3);
         W("EchoHPFreBar")->setFocus();
         QTest::keyClick(W("EchoHPFreBar"), Qt::Key_Right);
         QTest::qWait(EditHistory::kQuietMs + 40);
       },
       0x0304, false},
  };
  for (const Case& c : cases) {
    const int steps = history.stack().count();
    const int32_t before = store.Working(c.id);
    c.act();
    const int32_t after = store.Working(c.id);
    ASSERT_NE(before, after) << c.what;
    ASSERT_EQ(history.stack().count(), steps + 1) << c.what;
    link.sent.clear();
    history.Undo();
    EXPECT_EQ(store.Working(c.id), before) << c.what;
    ASSERT_FALSE(link.sent.empty()) << c.what;
    EXPECT_EQ(link.sent.back().kind, c.band ? Sent::kBand : Sent::kParam) << c.what;
    history.Redo();
    EXPECT_EQ(store.Working(c.id), after) << c.what;
  }
  EXPECT_EQ(Text("MusGainEdit1"), "-2.0dB");
  EXPECT_EQ(W<QComboBox>("MusModeBox2")->currentIndex(), 2);
}

TEST_F(EditHistoryTest, UndoingDiscoShowsTheSingSetAgain) {
  Click("ManulModeBtn");
  Type("MusGainEdit1", "-2");  // in the Sing set
  Click("DiscoModeBtn");
  ASSERT_EQ(store.disco(), 1);
  EXPECT_NE(Text("MusGainEdit1"), "-2.0dB");  // the Disco set is on show
  link.sent.clear();
  history.Undo();
  EXPECT_EQ(store.disco(), 0);
  EXPECT_EQ(store.Working(0x0001), 0);
  EXPECT_EQ(Text("MusGainEdit1"), "-2.0dB");
  EXPECT_TRUE(W<QAbstractButton>("SingModeBtn")->isChecked());
  EXPECT_EQ(link.sent, (std::vector<Sent>{{Sent::kParam, 0x0001, 0, {}}}));
  history.Redo();
  EXPECT_EQ(store.disco(), 1);
  EXPECT_TRUE(W<QAbstractButton>("DiscoModeBtn")->isChecked());
}

TEST_F(EditHistoryTest, AGroupBEditIsUndoneOnGroupBWhileGroupAIsShown) {
  ClickTab(9);
  Type("MicGainEdit1", "6");
  ASSERT_EQ(store.Working(0x0106), 150);
  ClickTab(2);
  const int32_t group_a = store.Working(0x0106);
  link.sent.clear();
  history.Undo();
  EXPECT_EQ(store.mic_group(), 0);
  EXPECT_EQ(store.Working(0x0106), group_a);
  ASSERT_EQ(link.Of(Sent::kBand).size(), 1u);
  store.set_mic_group(1);
  store.RebuildWorkingTable();
  EXPECT_NE(store.Working(0x0106), 150);
}

TEST_F(EditHistoryTest, TheAdministratorChoiceIsNeverUndoneOrRedone) {
  ClickTab(8);
  W("SysUserMangerGrop")->setEnabled(true);  // as a correct unlock leaves it
  Click("SysManagerBtn");
  EXPECT_EQ(store.Working(0x090C), 1);
  EXPECT_EQ(history.stack().count(), 0);
}

TEST_F(EditHistoryTest, VolumePanesAndTheOneStepRuleFollowEveryRepaint) {
  Click("ManulModeBtn");  // Sing and Disco are chosen in manual operation
  struct Volume {
    const char* slider;
    const char* pane;
    int id;
  };
  const Volume volumes[] = {
      {"SysMusNormalVolBar", "SysMusNormalVolPane", 0x0920},
      {"SysMicNormalVolBar", "SysMicNormalVolPane", 0x0921},
      {"SysEffNormalVolBar", "SysEffNormalVolPane", 0x0922},
      {"SysMusStartVolBar", "SysMusStartVolPane", 0x0906},
      {"SysMusMaxVolBar", "SysMusMaxVolPane", 0x0907},
      {"SysMicStartVolBar", "SysMicStartVolPane", 0x0908},
      {"SysMicMaxVolBar", "SysMicMaxVolPane", 0x0909},
      {"SysEffStartVolBar", "SysEffStartVolPane", 0x090A},
      {"SysEffMaxVolBar", "SysEffMaxVolPane", 0x090B},
  };
  auto* music = W<QSlider>("SysMusNormalVolBar");
  // One gesture that moves the music volume through the given positions, one change event each.
  const auto move_music = [&](std::vector<int> positions) {
    history.BeginGesture();
    for (int p : positions) music->setValue(p);
    history.EndGesture();
  };
  std::vector<int> rise;
  for (int p = 13; p <= 32; ++p) rise.push_back(p);

  struct Case {
    const char* path;
    std::function<void()> act;
    int music;  // the music volume the path leaves
  };
  // Volumes 12, 9 and 6 read as display kinds would show 750ms, 18% and 21.7Hz.
  const Case cases[] = {
      {"reload (recall, file sent, reconnect)", [&] { refresher->RefreshPages(kAllBlocks); }, 12},
      {"Disco", [&] { Click("DiscoModeBtn"); }, 12},
      {"Disco, then Sing",
       [&] {
         Click("DiscoModeBtn");
         Click("SingModeBtn");
       },
       12},
      {"group B, then group A",
       [&] {
         ClickTab(9);
         ClickTab(2);
       },
       12},
      {"undo of a lowering",
       [&] {
         move_music({7});
         history.Undo();
       },
       12},
      {"undo of a rise",
       [&] {
         move_music(rise);
         ASSERT_EQ(music->value(), 32);
         history.Undo();
       },
       12},
      {"redo of a lowering",
       [&] {
         move_music({7});
         history.Undo();
         history.Redo();
       },
       7},
  };
  for (const Case& c : cases) {
    Load(0x0907, 84);
    Load(0x0909, 84);
    Load(0x090B, 84);
    Load(0x0920, 12);
    Load(0x0921, 9);
    Load(0x0922, 6);
    c.act();
    for (const Volume& v : volumes) {
      const int position = W<QSlider>(v.slider)->value();
      EXPECT_EQ(Text(v.pane).toStdString(), std::to_string(position)) << c.path << ": " << v.pane;
      EXPECT_EQ(store.Working(v.id), position) << c.path << ": " << v.slider;
    }
    EXPECT_EQ(music->value(), c.music) << c.path;
    // A change event asking for the top of the range raises the volume one step from where the
    // slider is shown.
    link.sent.clear();
    music->setValue(music->maximum());
    EXPECT_EQ(music->value(), c.music + 1) << c.path;
    EXPECT_EQ(link.sent, (std::vector<Sent>{{Sent::kParam, 0x0920, c.music + 1, {}}})) << c.path;
    history.Clear();
  }
}

TEST_F(EditHistoryTest, UndoAndRedoKeysWorkInTheEditBoxThatHasTheFocus) {
  pages.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&pages));
  Click("ManulModeBtn");
  auto* gain = W<QLineEdit>("MusGainEdit1");
  Type("MusGainEdit1", "-6");
  ASSERT_EQ(gain->text().toStdString(), "-6.0dB");
  ASSERT_EQ(store.Working(0x0006), 90);
  ASSERT_EQ(QApplication::focusWidget(), gain);

  struct Case {
    const char* keys;
    const char* half_typed;  // typed first and not committed
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* shown;
    int stored;
  };
  const Case cases[] = {
      {"Ctrl+Z", "", Qt::Key_Z, Qt::ControlModifier, "0.0dB", 120},
      {"Ctrl+Shift+Z", "", Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "-6.0dB", 90},
      {"Ctrl+Z over a half-typed text", "3", Qt::Key_Z, Qt::ControlModifier, "0.0dB", 120},
      {"Ctrl+Y", "", Qt::Key_Y, Qt::ControlModifier, "-6.0dB", 90},
  };
  for (const Case& c : cases) {
    QTest::keyClicks(gain, QString::fromLatin1(c.half_typed));
    link.sent.clear();
    QTest::keyClick(gain, c.key, c.modifiers);
    EXPECT_EQ(gain->text().toStdString(), c.shown) << c.keys;
    EXPECT_EQ(store.Working(0x0006), c.stored) << c.keys;
    EXPECT_EQ(W<QSlider>("MusEQGainBar1")->value(), c.stored) << c.keys;
    EXPECT_EQ(link.sent, (std::vector<Sent>{{Sent::kBand, 0x0006, c.stored, {}}})) << c.keys;
    EXPECT_EQ(QApplication::focusWidget(), gain) << c.keys;
  }
  // Leaving the box afterwards sends nothing more.
  link.sent.clear();
  ClickTab(2);
  EXPECT_TRUE(link.sent.empty());
  EXPECT_EQ(history.stack().count(), 2);  // Manual, the typed gain
}

}  // namespace
}  // namespace kc

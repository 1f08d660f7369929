// Undo and redo on the real pages: one step per gesture, and an undone step sends the old values
// and repaints, whatever page or microphone group is on show when it is undone.
#include "ui/edit_history.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QSlider>
#include <QTest>

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

}  // namespace
}  // namespace kc

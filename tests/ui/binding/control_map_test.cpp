// The control map on the real editor pages: the identifiers it writes into the Tags, which
// indices have controls, and the lists of band labels, pan bars and tab buttons.
#include "ui/binding/control_map.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "qt_app.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

class ControlMapTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::EnsureApplication(); }

  void SetUp() override { map_ = BuildControlMap(pages_, &bulk_); }

  int Tag(const char* name) const {
    QWidget* control = pages_.FindControl(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return TagOf(control);
  }

  EditorPages pages_;
  bool bulk_ = false;
  ControlMap map_;
};

TEST_F(ControlMapTest, TagsOfBoundControls) {
  struct Case {
    const char* name;
    int tag;
  };
  const Case cases[] = {
      // The Q box, its frame and its spin buttons end with field 4 of their band.
      {"MusQEdit1", 0x0008},
      {"MusQGrop1", 0x0008},
      {"MusQUpDownBtn1", 0x0008},
      {"MusFreEdit1", 0x0005},
      {"MusFreGrop1", 0x0005},
      {"MusFreUpDownBtn1", 0x0005},
      {"MusGainEdit1", 0x0006},
      {"MusEQGainBar1", 0x0006},
      {"MusPEQBtn1", 0x0004},
      {"MusLSQBtn1", 0x0004},
      {"MusHSQBtn1", 0x0004},
      {"MusModeBox1", 0x0004},
      {"MusModeBtn1", 0x0004},
      {"MusEQBmpBtn1", 0x0004},
      {"MusHSQBtn10", 0x0031},
      {"AutoModeBtn", 0x0000},
      {"ManulModeBtn", 0x0000},
      {"SingModeBtn", 0x0001},
      {"DiscoModeBtn", 0x0001},
      {"MusEQAllpassBtn", 0x0003},
      // Microphone: frames and spin buttons are spelled MIc.
      {"MicHPFreBar", 0x0100},
      {"MicHPFrePane", 0x0100},
      {"MicFBERadioBtn1", 0x0101},
      {"MicModeBox15", 0x014A},
      {"MIcQGrop2", 0x010D},
      {"MicQEdit2", 0x010D},
      {"MIcFreUpDownBtn15", 0x014B},
      {"MicEQGainBar15", 0x014C},
      {"EchoRPreDelayPane", 0x030A},
      {"EchoEQAllpassBtn", 0x030C},
      {"EchoFreEdit1", 0x030E},
      {"RvbLPFrePane", 0x0407},
      {"MainMusHPslope", 0x0512},
      {"MainMusHPslope2", 0x0512},
      {"MainRmuteBtn", 0x051B},
      {"MainModeBox1", 0x051E},
      {"CenterMusHPslope2", 0x0712},
      {"CenterdelayPane", 0x0718},
      {"CentermuteBtn", 0x0719},
      {"SurRmsAttackBar", 0x0812},
      {"SurRdelayPane", 0x0817},
      {"SurEQAllpassBtn", 0x081B},
      {"SubMusLPType", 0x060E},
      {"SubMusLPuserQPane", 0x0612},
      {"SubQEdit3", 0x062A},
      {"SysModeBox", 0x0902},
      {"SysUserBtn", 0x090C},
      {"SysPanelBtn1", 0x090D},
      {"SysInput", 0x090E},
      {"SysEffNormalVolBar", 0x0922},
      {"SysMusStartVolPane", 0x0906},
  };
  for (const Case& c : cases) EXPECT_EQ(Tag(c.name), c.tag) << c.name;
}

TEST_F(ControlMapTest, BoundIndicesPerBlock) {
  // Non-band indices with a control, plus five per EQ band; block 2 shares block 1's controls.
  const int expected[kBlockCount] = {
      3 + 10 * 5,  // Music: Auto/Manual, Sing/Disco, bypass
      3 + 15 * 5,  // Microphone: high-pass, feedback, bypass
      0,           // Microphone B
      12 + 3 * 5,  // Echo: indices 0..10 and 12
      8,           // Reverb
      19 + 5 * 5,  // Main: 8 level/phase, high-pass, slope, 4 compressor, 2 delays, 2 mutes, bypass
      17 + 3 * 5,  // Subwoofer
      17 + 5 * 5,  // Centre: one delay and one mute
      18 + 5 * 5,  // Rear: no slope
      14,          // System
  };
  for (int block = 0; block < kBlockCount; ++block) {
    EXPECT_EQ(map_.BoundCount(block), expected[block]) << "block " << block;
  }
}

TEST_F(ControlMapTest, EntriesOfOneBand) {
  ASSERT_NE(map_.placeholder(), nullptr);
  EXPECT_EQ(map_.placeholder()->objectName(), "Example");
  EXPECT_FALSE(bulk_) << "the bulk-refresh flag is put back after the Tags are written";
  const ControlEntry& type = map_.Of(0x0013);  // Music band 4, field 0
  EXPECT_EQ(type.primary->objectName(), "MusModeBox4");
  EXPECT_EQ(type.secondary, map_.placeholder()) << "only Music band 1 has a list button";
  EXPECT_EQ(type.type_buttons[0]->objectName(), "MusPEQBtn4");
  EXPECT_EQ(type.type_buttons[1]->objectName(), "MusLSQBtn4");
  EXPECT_EQ(type.type_buttons[2]->objectName(), "MusHSQBtn4");
  EXPECT_EQ(map_.Of(0x0016).primary, map_.Of(0x0017).primary);
  EXPECT_EQ(map_.Of(0x0017).primary->objectName(), "MusQEdit4");
  EXPECT_EQ(map_.Of(0x0105).secondary->objectName(), "MIcFreGrop1");
  EXPECT_EQ(map_.Of(0x0106).tertiary->objectName(), "MicEQGainBar1");
  // Unbound indices and anything outside the map hold the placeholder.
  for (int id : {0x0002, 0x0102, 0x0200, 0x0240, 0x051C, 0x0905, 0x0A00, 0x0056}) {
    EXPECT_TRUE(map_.IsPlaceholder(map_.Of(id).primary)) << std::hex << id;
    EXPECT_EQ(map_.Of(id).type_buttons[0], nullptr);
  }
}

TEST_F(ControlMapTest, BandLabelsPanBarsAndTabs) {
  struct Case {
    int page;
    int band;
    const char* name;
  };
  // Their Tags and Hints are the inventory's (pages/inventory_test.cpp).
  const Case cases[] = {
      {0, 1, "MusEQPointLabel1"}, {0, 10, "MusEQPointLabel10"}, {1, 15, "MicEQPointLabel15"},
      {2, 3, "EffEQPointLabel3"}, {3, 5, "MainEQPointLabel5"},  {4, 2, "CenterEQPointLabel2"},
      {5, 3, "SubEQPointLabel3"}, {6, 4, "SurEQPointLabel4"},
  };
  for (const Case& c : cases) {
    QLabel* label = map_.BandLabel(c.page, c.band);
    ASSERT_NE(label, nullptr) << c.name;
    EXPECT_EQ(label->objectName(), c.name);
  }
  EXPECT_EQ(map_.BandLabel(2, 4), nullptr);
  EXPECT_EQ(map_.BandLabel(7, 1), nullptr);
  const char* pans[] = {"MusPanScrollBar",  "MicPanScrollBar",    "EffPanScrollBar",
                        "MainPanScrollBar", "CenterPanScrollBar", "SubPanScrollBar",
                        "SurPanScrollBar"};
  for (int page = 0; page < ControlMap::kEqPages; ++page) {
    ASSERT_NE(map_.PanScrollBar(page), nullptr);
    EXPECT_EQ(map_.PanScrollBar(page)->objectName(), pans[page]);
  }
  for (int n = 1; n <= 9; ++n) {
    ASSERT_NE(map_.TabButton(n), nullptr);
    EXPECT_EQ(map_.TabButton(n)->objectName(), QString("FormTabBtn%1").arg(n));
  }
}

}  // namespace
}  // namespace kc

// The whole-mode repaint on the real editor pages: what the controls show for values placed in
// the device image. Expected texts are read off the value tables by hand, not computed through
// the formatting code.
#include "ui/binding/page_refresh.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <functional>
#include <memory>
#include <vector>

#include "qt_app.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

class PageRefreshTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::EnsureApplication(); }

  void SetUp() override {
    map_ = BuildControlMap(pages_);
    RefreshHooks hooks;
    hooks.send_suppress = [this] { return suppress_; };
    hooks.set_send_suppress = [this](bool raised) {
      suppress_ = raised;
      suppress_log_.push_back(raised);
    };
    hooks.mode_name = [](int n) { return std::string(1, static_cast<char>('A' + n - 1)) + "mode"; };
    hooks.set_eq_bypass = [this](int block, int state) { bypass_[block] = state; };
    hooks.redraw_curve = [this] {
      ++redraws_;
      // The curve is redrawn after the controls, with the bulk-refresh flag down again.
      redraw_saw_bulk_ = refresher_->bulk_refresh();
    };
    refresher_ = std::make_unique<PageRefresher>(pages_, store_, map_, hooks);
  }

  template <class T = QWidget>
  T* W(const char* name) {
    T* control = pages_.Find<T>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QString Text(const char* name) {
    QWidget* w = W(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    return QStringLiteral("<no text>");
  }
  bool Checked(const char* name) { return W<QAbstractButton>(name)->isChecked(); }
  bool Selected(const char* name) { return W(name)->property(kSelectedProperty).toBool(); }

  EditorPages pages_;
  ParameterStore store_;
  ControlMap map_;
  std::unique_ptr<PageRefresher> refresher_;
  bool suppress_ = false;
  std::vector<bool> suppress_log_;
  int bypass_[kBlockCount] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  int redraws_ = 0;
  bool redraw_saw_bulk_ = true;
};

TEST_F(PageRefreshTest, AllZeroShowsTheEmptyMode) {
  refresher_->RefreshPages(kAllBlocks);
  int phases = 0, high_passes = 0, low_passes = 0, frequencies = 0;
  for (auto it = pages_.controls().begin(); it != pages_.controls().end(); ++it) {
    const QString& name = it.key();
    QWidget* w = it.value();
    if (name.endsWith("PhaseBtn")) {
      ++phases;
      EXPECT_EQ(qobject_cast<QAbstractButton*>(w)->text(), "-") << name.toStdString();
    }
    if (auto* pane = qobject_cast<QLabel*>(w); pane && name.endsWith("Pane")) {
      if (HintOf(pane) == "6" || HintOf(pane) == "13") {
        ++high_passes;
        EXPECT_EQ(pane->text(), "Off") << name.toStdString();
      } else if (HintOf(pane) == "7") {
        ++low_passes;
        EXPECT_EQ(pane->text(), "500.0Hz") << name.toStdString();
      }
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w);
        edit && name.contains("FreEdit") && !name.startsWith("ComEQ")) {
      ++frequencies;
      EXPECT_EQ(edit->text(), "19.7Hz") << name.toStdString();
    }
  }
  // Echo and Reverb two each, Main, Centre and Rear four each, Subwoofer two.
  EXPECT_EQ(phases, 2 + 2 + 4 * 3 + 2);
  EXPECT_EQ(high_passes, 1 + 2 + 3 + 2);  // Mic; Echo, Reverb; Main, Centre, Rear; Sub HP, LP
  EXPECT_EQ(low_passes, 2);
  EXPECT_EQ(frequencies, 10 + 15 + 3 + 5 + 5 + 3 + 5);

  EXPECT_TRUE(Checked("AutoModeBtn"));
  EXPECT_FALSE(Checked("ManulModeBtn"));
  EXPECT_TRUE(Checked("SingModeBtn"));
  for (const char* manual_only :
       {"MusScrollBox", "SingModeBtn", "DiscoModeBtn", "MainMusLevelBar", "MainMusPhaseBtn",
        "MainMusHPslope2", "SubMusHPType", "SurMusHPFreBar", "CenterMusHPslope"}) {
    EXPECT_FALSE(W(manual_only)->isEnabled()) << manual_only;
  }
  for (const char* always : {"MainRmsAttackBar", "MainLmuteBtn", "MusEQAllpassBtn"}) {
    EXPECT_TRUE(W(always)->isEnabled()) << always;
  }
  EXPECT_EQ(Text("MusGainEdit1"), "-24.0dB");
  EXPECT_EQ(Text("MicQEdit1"), "0.40");
  EXPECT_TRUE(Selected("MicPEQBtn1"));
  EXPECT_FALSE(Selected("MicHSQBtn1"));
  EXPECT_EQ(W<QComboBox>("MicModeBox1")->currentIndex(), 0);
  EXPECT_TRUE(Checked("MicFBERadioBtn1"));
  EXPECT_EQ(Text("SysMusNormalVolPane"), "0");
  EXPECT_EQ(Text("CurrentModeLabel"), "（当前模式：1 ）");

  // Nothing may go out during the repaint; the flag is put back afterwards.
  EXPECT_EQ(suppress_log_, (std::vector<bool>{true, false}));
  EXPECT_FALSE(refresher_->bulk_refresh());
  EXPECT_EQ(redraws_, 1);
  EXPECT_FALSE(redraw_saw_bulk_);
}

TEST_F(PageRefreshTest, ShowsValuesLoadedIntoTheDeviceImage) {
  struct Cell {
    int block, slot, value;
  };
  const Cell cells[] = {
      {0, 0, 1},            // Manual
      {0, 4 + 10 + 1, 77},  // Music band 3 frequency
      {0, 4 + 5 + 2, 102},  // Music band 2 gain
      {0, 4 + 15, 12},      // Music band 4 type 12: item 2
      {1, 1, 2},            // feedback suppression 2
      {1, 0, 100},          // microphone high-pass
      {3, 0, 1},            // echo effect phase +
      {3, 6, 30},           // echo pre-delay
      {3, 8, 200},          // echo repeat beyond its slider's range
      {4, 4, 1},            // reverb time
      {5, 0, 63},           // Main music level
      {5, 22, 34},          // Main threshold
      {5, 26, 1},           // Main left mute
      {5, 18, 1},           // Main high-pass slope 24dB
      {5, 30, 1},           // Main band 1: low shelf ...
      {5, 33, 50},          // ... whose PEQ Q is not in force
      {5, 34, 10},          // ... and shelf Q is
      {6, 24, 123},         // Subwoofer delay
      {6, 27, 1},           // Subwoofer EQ bypass
      {6, 8, 4},            // Subwoofer HP type USER 24dB
      {9, 2, 4},            // current mode 5
      {9, 12, 1},           // administrator
      {9, 13, 1},           // key lock on
      {9, 32, 40},          // music volume
  };
  for (const Cell& s : cells) ASSERT_TRUE(store_.SetDevice(s.block, s.slot, s.value));
  const auto before = store_.DeviceRow(3);

  QSignalSpy slider_moves(W<QSlider>("MainMusLevelBar"), &QSlider::valueChanged);
  QSignalSpy edits(W<QLineEdit>("MusFreEdit3"), &QLineEdit::textChanged);
  QSignalSpy type_changes(W<QComboBox>("MusModeBox4"), &QComboBox::currentIndexChanged);
  refresher_->RefreshPages(kAllBlocks);
  EXPECT_EQ(slider_moves.count() + edits.count() + type_changes.count(), 0)
      << "a repaint runs no edit handler";

  struct Shown {
    const char* name;
    const char* text;
  };
  const Shown texts[] = {
      {"MusFreEdit3", "86.7Hz"},
      {"MusGainEdit2", "-3.6dB"},
      {"MicHPFrePane", "132.0Hz"},
      {"EchoEffPhaseBtn", "+"},
      {"EchoDirectPhaseBtn", "-"},
      {"EchoPreDelayPane", "60ms"},
      {"EchoRepeatPane", "90%"},
      {"RvbTimePane", "63ms"},
      {"MainMusLevelPane", "126%"},
      {"MainRmsLevelPane", "14dBu"},
      {"MainQEdit1", "0.71"},
      {"SubdelayPane", "12.3ms"},
      {"SysMusNormalVolPane", "40"},
      {"PresetModeEdit", "Emode"},
      {"CurrentModeLabel", "（当前模式：5 ）"},
  };
  for (const Shown& s : texts) EXPECT_EQ(Text(s.name), s.text) << s.name;

  EXPECT_EQ(W<QSlider>("MusEQGainBar2")->value(), 102);
  EXPECT_EQ(W<QSlider>("MainMusLevelBar")->value(), 63);
  EXPECT_EQ(W<QSlider>("EchoRepeatBar")->value(), 90);
  EXPECT_EQ(store_.DeviceRow(3), before) << "a value beyond a slider's range is shown, not stored";
  EXPECT_EQ(HintOf(W("SysMusNormalVolPane")), "0") << "a volume pane's Hint is its display kind";
  EXPECT_EQ(HintOf(W("EchoEffPhaseBtn")), "1");

  EXPECT_EQ(W<QComboBox>("MusModeBox4")->currentIndex(), 2);
  EXPECT_TRUE(Selected("MusHSQBtn4"));
  EXPECT_FALSE(Selected("MusPEQBtn4"));
  EXPECT_TRUE(Selected("MainLSQBtn1"));
  EXPECT_TRUE(Checked("MicFBERadioBtn3"));
  EXPECT_FALSE(Checked("MicFBERadioBtn1"));
  EXPECT_TRUE(Checked("MainMusHPslope2"));
  EXPECT_TRUE(Checked("MainLmuteBtn"));
  EXPECT_FALSE(Checked("MainRmuteBtn"));
  EXPECT_TRUE(Checked("SubEQAllpassBtn"));
  EXPECT_EQ(bypass_[6], 1);
  EXPECT_EQ(bypass_[5], 0);
  EXPECT_TRUE(Checked("SysPanelBtn2"));
  EXPECT_TRUE(Checked("SysManagerBtn"));

  // Manual operation enables the output pairs; the USER filter type its Q slider.
  EXPECT_TRUE(Checked("ManulModeBtn"));
  EXPECT_TRUE(W("MainMusLevelBar")->isEnabled());
  EXPECT_TRUE(W("SubMusHPuserQBar")->isEnabled());
  EXPECT_FALSE(W("SubMusLPuserQBar")->isEnabled());
  // Administrator: the input gain and "保存模式" open, the choice group stays closed.
  EXPECT_TRUE(W("SignRzGroup")->isEnabled());
  EXPECT_TRUE(W("RzBmpButton138")->isEnabled());
  EXPECT_FALSE(W("SysUserMangerGrop")->isEnabled());

  auto* modes = W<QComboBox>("SysModeBox");
  ASSERT_EQ(modes->count(), 15);
  EXPECT_EQ(modes->currentIndex(), 4);
  EXPECT_EQ(modes->itemText(0), "1-Amode");
  EXPECT_EQ(modes->itemText(14), "15-Omode");
}

TEST_F(PageRefreshTest, EveryLaterRepaintShowsTheVolumesAsTheFirstDid) {
  // Volumes 12, 9 and 6 are also display kinds (reverb time, output level, high pass): read as
  // kinds they would show 750ms, 18% and 21.7Hz.
  struct Volume {
    int id;
    int value;
    const char* pane;
    const char* text;
  };
  const Volume volumes[] = {
      {0x0920, 12, "SysMusNormalVolPane", "12"}, {0x0921, 9, "SysMicNormalVolPane", "9"},
      {0x0922, 6, "SysEffNormalVolPane", "6"},   {0x0906, 13, "SysMusStartVolPane", "13"},
      {0x0907, 84, "SysMusMaxVolPane", "84"},    {0x0908, 7, "SysMicStartVolPane", "7"},
      {0x0909, 18, "SysMicMaxVolPane", "18"},    {0x090A, 8, "SysEffStartVolPane", "8"},
      {0x090B, 11, "SysEffMaxVolPane", "11"},
  };
  for (const Volume& v : volumes) store_.StoreValue(v.id, v.value);
  store_.StoreValue(0x0301, 40);  // echo effect level 40%, a pane of the same set in both
  refresher_->RefreshPages(kAllBlocks);

  struct Repaint {
    const char* what;
    std::function<void()> repaint;
  };
  const Repaint repaints[] = {
      {"the whole mode again (reload, file sent, reconnect)",
       [&] { refresher_->RefreshPages(kAllBlocks); }},
      {"the System page", [&] { refresher_->RefreshPages(kSystemBlock); }},
      {"the Disco set",
       [&] {
         store_.StoreValue(0x0001, 1);
         refresher_->RefreshPages(kAllBlocks);
       }},
      {"the Sing set",
       [&] {
         store_.StoreValue(0x0001, 0);
         refresher_->RefreshPages(kAllBlocks);
       }},
      {"the Microphone page", [&] { refresher_->RefreshPages(1); }},
  };
  for (const Repaint& r : repaints) {
    r.repaint();
    for (const Volume& v : volumes) {
      EXPECT_EQ(Text(v.pane).toStdString(), v.text) << r.what << ": " << v.pane;
      EXPECT_EQ(HintOf(W(v.pane)).toStdString(), "0") << r.what << ": " << v.pane;
    }
    EXPECT_EQ(Text("EchoEffLevelPane").toStdString(), "40%") << r.what;
  }
}

TEST_F(PageRefreshTest, PaneIsWrittenEvenWhenTheSliderStaysPut) {
  // MicHPFreBar starts at 100 with the text "500.0Hz"; a value of 100 does not move it.
  ASSERT_EQ(W<QSlider>("MicHPFreBar")->value(), 100);
  ASSERT_TRUE(store_.SetDevice(1, 0, 100));
  refresher_->RefreshPages(1);
  EXPECT_EQ(Text("MicHPFrePane"), "132.0Hz");
}

TEST_F(PageRefreshTest, GroupBSelectionTwoPaintsAsSelectionOne) {
  const auto fill = [](ParameterStore& store) {
    store.set_mic_group(1);
    for (int slot = 0; slot < 79; ++slot) {
      store.SetDevice(1, slot, 0);
      store.SetDevice(2, slot, (slot * 7) % 90 + 1);
    }
  };
  fill(store_);
  EditorPages other;
  ControlMap other_map = BuildControlMap(other);
  ParameterStore other_store;
  fill(other_store);
  RefreshHooks same_names;
  same_names.mode_name = [](int n) {
    return std::string(1, static_cast<char>('A' + n - 1)) + "mode";
  };
  PageRefresher other_refresher(other, other_store, other_map, same_names);
  refresher_->RefreshPages(2);
  other_refresher.RefreshPages(1);

  int compared = 0;
  for (auto it = pages_.controls().begin(); it != pages_.controls().end(); ++it) {
    QWidget* mine = it.value();
    QWidget* theirs = other.FindControl(it.key());
    ASSERT_NE(theirs, nullptr);
    const std::string name = it.key().toStdString();
    if (auto* edit = qobject_cast<QLineEdit*>(mine)) {
      EXPECT_EQ(edit->text(), qobject_cast<QLineEdit*>(theirs)->text()) << name;
    } else if (auto* label = qobject_cast<QLabel*>(mine)) {
      EXPECT_EQ(label->text(), qobject_cast<QLabel*>(theirs)->text()) << name;
    } else if (auto* slider = qobject_cast<QSlider*>(mine)) {
      EXPECT_EQ(slider->value(), qobject_cast<QSlider*>(theirs)->value()) << name;
    } else if (auto* box = qobject_cast<QComboBox*>(mine)) {
      EXPECT_EQ(box->currentIndex(), qobject_cast<QComboBox*>(theirs)->currentIndex()) << name;
    } else if (auto* button = qobject_cast<QAbstractButton*>(mine)) {
      EXPECT_EQ(button->isChecked(), qobject_cast<QAbstractButton*>(theirs)->isChecked()) << name;
      EXPECT_EQ(button->text(), qobject_cast<QAbstractButton*>(theirs)->text()) << name;
    } else {
      continue;
    }
    ++compared;
  }
  EXPECT_GT(compared, 300);
  // Group B's row is the one on show: high-pass 1 -> 19.7Hz, feedback 7 % 90 + 1 = 8 -> none of
  // the four buttons; band 1 frequency (slot 5) 36 -> 39.4Hz.
  EXPECT_EQ(Text("MicHPFrePane"), "19.7Hz");
  EXPECT_EQ(Text("MicFreEdit1"), "39.4Hz");
  for (const char* radio :
       {"MicFBERadioBtn1", "MicFBERadioBtn2", "MicFBERadioBtn3", "MicFBERadioBtn4"}) {
    EXPECT_FALSE(Checked(radio)) << radio;
  }
  // Other pages keep their starting texts.
  EXPECT_EQ(Text("EchoEffLevelPane"), "100");
}

TEST_F(PageRefreshTest, DiscoShowsTheDiscoSets) {
  struct Case {
    bool switch_set_first;  // the switch already agrees with the Music row, as after a download
  };
  for (const Case c : {Case{true}, Case{false}}) {
    SCOPED_TRACE(c.switch_set_first);
    ParameterStore& s = store_;
    s.SetDevice(0, 1, 1);
    s.SetDevice(0, 4 + 1, 5);             // Sing band 1 frequency: 21.7Hz
    s.SetDevice(0, 4 + 1 + 52, 11);       // Disco band 1 frequency: 24.3Hz
    s.SetDevice(0, 4 + 5 + 2 + 52, 130);  // Disco band 2 gain: 2.0dB
    s.SetDevice(5, 0, 10);                // Sing Main music level 20%
    s.SetDevice(5, 1, 80);                // Disco twin 160%
    s.SetDevice(7, 16, 0);                // Sing Centre high-pass Off
    s.SetDevice(7, 17, 143);              // Disco twin 303.0Hz
    s.SetDevice(8, 18, 15);               // Rear attack: not a pair, same in both
    s.set_disco(c.switch_set_first ? 1 : 0);
    refresher_->RefreshPages(kAllBlocks);
    EXPECT_EQ(store_.disco(), 1);
    EXPECT_EQ(Text("MusFreEdit1"), "24.3Hz");
    EXPECT_EQ(Text("MusGainEdit2"), "2.0dB");
    EXPECT_EQ(Text("MainMusLevelPane"), "160%");
    EXPECT_EQ(Text("CenterMusHPFrePane"), "303.0Hz");
    EXPECT_EQ(Text("SurRmsAttackPane"), "90ms");
    EXPECT_TRUE(Checked("DiscoModeBtn"));
    EXPECT_FALSE(Checked("SingModeBtn"));
  }
}

}  // namespace
}  // namespace kc

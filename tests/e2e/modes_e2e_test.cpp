// The System page's mode groups and passwords, used through the editor's own controls against the
// simulated box over a pseudo-terminal: modes stored and recalled on the box, mode files saved on
// the PC and sent back, both passwords changed, and the unlock of administrator mode.
#include "journey.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/program.h"
#include "modes/mode_file.h"
#include "ui/pages/control_factory.h"
#include "ui/binding/control_map.h"
#include "ui/pages/editor_pages.h"
#include "scripted_message_boxes.h"
// clang-format on

namespace kc {
namespace {

using e2e::WaitFor;

class ModesAgainstPtyBox : public e2e::ProgramOnBox {
 protected:
  void SetUp() override {
    Start();
    ASSERT_NE(Editor().mode_files(), nullptr);
    Editor().pages().SelectTab(EditorPages::kSystemPage);
  }

  // The values of blocks 0..8 that a mode file holds, entry by entry.
  std::vector<ModeEntry> FileEntries(const std::string& name) {
    std::ifstream in(Editor().mode_files()->PathOf(name), std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    const ModeFileCheck check = CheckModeText(text);
    EXPECT_EQ(check.status(), ModeStatus::kOk) << name;
    return check.entries;
  }

  // Slots of the box's present image (blocks 0..8, slots the box's rows carry) that differ from
  // what `expected` gives; `compared` counts the slots looked at.
  template <class Expected>
  int Mismatches(const Expected& expected, int* compared) {
    int differ = 0;
    for (int block = 0; block < kModeBlocks; ++block) {
      for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
        ++*compared;
        if (Box().Slot(block, slot) != expected(block, slot)) ++differ;
      }
    }
    return differ;
  }

  // Every bound slider of blocks 0..8.
  std::vector<QSlider*> Sliders() {
    const ControlMap& map = Editor().control_map();
    std::vector<QSlider*> sliders;
    for (int block = 0; block < kModeBlocks; ++block) {
      for (int index = 0; index < InfoOfBlock(block)->parameters; ++index) {
        auto* slider = qobject_cast<QSlider*>(map.At(block, index).primary);
        if (slider != nullptr && !map.IsPlaceholder(slider)) sliders.push_back(slider);
      }
    }
    return sliders;
  }
  // The number of those sliders that do not show the value the store holds.
  int SlidersOffTheStore() {
    // The working table read afresh from the device image, as a refresh reads it.
    Editor().store().RebuildWorkingTable();
    int off = 0;
    for (QSlider* slider : Sliders()) {
      const int expected =
          std::clamp(Editor().store().Working(TagOf(slider)), slider->minimum(), slider->maximum());
      if (slider->value() != expected) ++off;
    }
    return off;
  }
};

TEST_F(ModesAgainstPtyBox, UnlockSwitchesToAdministratorAndStoresMode3UnderANewName) {
  EXPECT_FALSE(W<QPushButton>("RzBmpButton138")->isEnabled());
  EXPECT_FALSE(W<QGroupBox>("SysUserMangerGrop")->isEnabled());
  ASSERT_TRUE(UnlockAsAdministrator());
  EXPECT_TRUE(W<QPushButton>("RzBmpButton138")->isEnabled());
  EXPECT_FALSE(W<QGroupBox>("SysUserMangerGrop")->isEnabled()) << "each choice needs an unlock";
  EXPECT_EQ(Editor().store().Working(0x090C), 1);

  // Change the present settings a little, so the stored mode must be the present one.
  Box().SetSlot(5, 3, Box().Slot(5, 3) == 10 ? 11 : 10);
  W<QComboBox>("SysModeBox")->setCurrentIndex(2);
  EXPECT_EQ(W<QLineEdit>("PresetModeEdit")->text(), "Ballad");
  W<QLineEdit>("PresetModeEdit")->clear();
  Type("PresetModeEdit", "Stage Night");
  boxes_.answers.push_back(true);
  Click("RzBmpButton138");
  ASSERT_TRUE(WaitFor([&] { return boxes_.Showed(QStringLiteral("保存成功!")); }, 5000));
  EXPECT_EQ(boxes_.texts(), (std::vector<QString>{QStringLiteral("保存当前模式为 3-Stage Night?"),
                                                  QStringLiteral("保存成功!")}));
  EXPECT_EQ(Box().ModeName(2), "Stage Night");
  int compared = 0;
  EXPECT_EQ(Mismatches([&](int b, int s) { return Box().StoredSlot(2, b, s); }, &compared), 0);
  EXPECT_EQ(Box().current_mode(), 0) << "a store leaves the current mode";
  // The list shows the new name from the local names, without a download.
  EXPECT_EQ(W<QComboBox>("SysModeBox")->itemText(2), "3-Stage Night");
  EXPECT_EQ(W<QComboBox>("SysModeBox")->currentIndex(), 2);
  EXPECT_EQ(W<QLabel>("CurrentModeLabel")->text(), QStringLiteral("（当前模式：1 ）"));
  EXPECT_EQ(TheLink().state(), LinkState::kReady);
}

TEST_F(ModesAgainstPtyBox, RecallShowsTheRecalledModesValuesOnThePages) {
  std::vector<std::pair<QSlider*, int>> before;
  for (QSlider* slider : Sliders()) before.emplace_back(slider, slider->value());

  ASSERT_TRUE(Recall(8));
  EXPECT_EQ(boxes_.texts(), (std::vector<QString>{QStringLiteral("模式切换为9-Rock?")}));
  EXPECT_EQ(Box().current_mode(), 8);
  EXPECT_EQ(W<QLabel>("CurrentModeLabel")->text(), QStringLiteral("（当前模式：9 ）"));
  EXPECT_EQ(W<QLineEdit>("PresetModeEdit")->text(), "Rock");
  int compared = 0;
  EXPECT_EQ(Mismatches([&](int b, int s) { return Editor().store().Device(b, s); }, &compared), 0);
  EXPECT_EQ(Mismatches([&](int b, int s) { return Box().StoredSlot(8, b, s); }, &compared), 0);
  EXPECT_EQ(SlidersOffTheStore(), 0);
  int moved = 0;
  for (const auto& [slider, value] : before) moved += slider->value() != value ? 1 : 0;
  EXPECT_GT(moved, 10) << "Rock differs from Standard on many sliders";
}

TEST_F(ModesAgainstPtyBox, AFileSentBackPutsItsValuesIntoTheBox) {
  const std::string name = Unique("file");
  SaveFile(name);
  ASSERT_TRUE(std::filesystem::exists(Editor().mode_files()->PathOf(name)));
  EXPECT_TRUE(boxes_.shown.empty()) << "a new name asks nothing";
  const std::vector<ModeEntry> entries = FileEntries(name);
  ASSERT_EQ(static_cast<int>(entries.size()), ModeEntryCount());
  // The library lists the new file after the store.
  auto* grid = W<QTableWidget>("ValueListEditor1");
  bool listed = false;
  for (int row = 0; row < grid->rowCount(); ++row) {
    listed = listed || grid->item(row, 1)->text() == QString::fromStdString(name);
  }
  EXPECT_TRUE(listed);

  // The box moves on to another mode; the file brings the saved one back.
  ASSERT_TRUE(Recall(13));
  boxes_.shown.clear();
  ASSERT_TRUE(SendFile(name));
  EXPECT_EQ(boxes_.texts(),
            (std::vector<QString>{QStringLiteral("加载模式：") + QString::fromStdString(name) +
                                  QStringLiteral("?")}));
  int differ = 0, compared = 0;
  for (const ModeEntry& e : entries) {
    if (e.slot >= InfoOfBlock(e.block)->device_slots) continue;  // never sent to the box
    ++compared;
    if (Box().Slot(e.block, e.slot) != e.value) ++differ;
  }
  EXPECT_EQ(differ, 0);
  EXPECT_EQ(compared, 504);
  // The upload ends with the refresh of a download: the pages show the file's mode, not the
  // one recalled before.
  EXPECT_EQ(SlidersOffTheStore(), 0);
  EXPECT_EQ(Editor().store().disco(), Box().disco());
}

TEST_F(ModesAgainstPtyBox, BothPasswordsChangeOnTheBox) {
  struct Group {
    const char* old_field;
    const char* new_field;
    const char* confirm_field;
    std::string next;
  };
  const std::string system_before = Box().system_password();
  const std::string keylock_before = Box().keylock_password();
  for (const Group& g : {Group{"SysPanelLabel1", "NewSysPassLabel1", "NewSysPassLabel2", "802461"},
                         Group{"PassPanelLabel1", "NewPassLabel1", "NewPassLabel2", "9753"}}) {
    const bool system = g.next.size() == 6;
    Type(g.old_field, QString::fromStdString(system ? system_before : keylock_before));
    Enter(g.old_field);
    ASSERT_TRUE(W<QLineEdit>(g.new_field)->isEnabled()) << g.old_field;
    Type(g.new_field, QString::fromStdString(g.next));
    Enter(g.new_field);
    ASSERT_TRUE(W<QLineEdit>(g.confirm_field)->isEnabled()) << g.old_field;
    Type(g.confirm_field, QString::fromStdString(g.next));
    Enter(g.confirm_field);
    EXPECT_FALSE(W<QLineEdit>(g.new_field)->isEnabled());
  }
  ASSERT_TRUE(WaitFor(
      [&] { return Box().system_password() == "802461" && Box().keylock_password() == "9753"; },
      3000));
  EXPECT_TRUE(boxes_.shown.empty());
  // The old password no longer unlocks; the new one does.
  Type("SysPassEdit", QString::fromStdString(system_before));
  Click("RzBmpButton118");
  EXPECT_EQ(boxes_.texts(), (std::vector<QString>{QStringLiteral("密码错误!")}));
  Type("SysPassEdit", "802461");
  Click("RzBmpButton118");
  EXPECT_TRUE(W<QGroupBox>("SysUserMangerGrop")->isEnabled());
}

// Every mode of the box recalled, saved as a file, and each file sent to a box whose present
// settings were wiped: the box ends up with exactly the mode it started with.
TEST_F(ModesAgainstPtyBox, RoundTripOfAllFifteenModesLosesNothing) {
  constexpr int kModes = 15;
  QElapsedTimer clock;
  clock.start();
  std::vector<std::string> names;
  for (int mode = 0; mode < kModes; ++mode) {
    ASSERT_TRUE(Recall(mode)) << "mode " << mode + 1;
    names.push_back(Unique("mode" + std::to_string(mode + 1)));
    SaveFile(names.back());
  }
  const qint64 save_ms = clock.restart();
  int file_differ = 0, box_differ = 0, compared = 0, file_entries = 0;
  for (int mode = 0; mode < kModes; ++mode) {
    for (const ModeEntry& e : FileEntries(names[static_cast<std::size_t>(mode)])) {
      ++file_entries;
      if (e.slot < InfoOfBlock(e.block)->device_slots &&
          e.value != Box().StoredSlot(mode, e.block, e.slot)) {
        ++file_differ;
      }
    }
    // A fresh box: nothing of the mode is left in its present settings.
    for (int block = 0; block < kModeBlocks; ++block) {
      for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
        Box().SetSlot(block, slot, 0);
      }
    }
    ASSERT_TRUE(SendFile(names[static_cast<std::size_t>(mode)])) << "mode " << mode + 1;
    box_differ += Mismatches([&](int b, int s) { return Box().StoredSlot(mode, b, s); }, &compared);
  }
  const qint64 send_ms = clock.elapsed();
  EXPECT_EQ(file_differ, 0);
  EXPECT_EQ(box_differ, 0);
  EXPECT_EQ(compared, kModes * 504);
  EXPECT_EQ(file_entries, kModes * ModeEntryCount());
  std::printf(
      "round trip: %d modes, %d file entries, %d box slots compared, %d differ in files, "
      "%d differ on the box; recall+save %lld ms, send %lld ms\n",
      kModes, file_entries, compared, file_differ, box_differ, static_cast<long long>(save_ms),
      static_cast<long long>(send_ms));
}

}  // namespace
}  // namespace kc

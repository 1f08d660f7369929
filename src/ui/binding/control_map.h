// The control map: for every parameter identifier, the controls of the editor that show and edit
// it. Built once when the editor is created; it also writes each bound control's Tag, so that a
// handler finds its parameter through the Tag and the program finds a parameter's controls here.
//
// Per block 0..9 and index below the block's parameter count, four references:
//   primary    the control that holds the value (edit box, slider, drop-down, button)
//   secondary  the pane beside a slider, the frame of an EQ edit box, the other button of a pair,
//              and for Music band 1 the small drop-down button MusModeBtn1
//   tertiary   the spin buttons of a frequency or Q box, the gain slider of a gain box, and for
//              Music band 1 MusEQBmpBtn1
//   type       for the type index of an EQ band: its P, LS and HS buttons (type values 0, 1, 2)
// Entries without a control of their own hold the hidden placeholder edit box "Example".
// Block 2 (microphone group B) has no entries: the Microphone page shows block 1.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>

#include "model/parameter_store.h"

class QLabel;
class QPushButton;
class QWidget;

namespace kc {

class EditorPages;

struct ParameterInfo;

struct ControlEntry {
  QWidget* primary = nullptr;
  QWidget* secondary = nullptr;
  QWidget* tertiary = nullptr;
  // All three set for a band type index, all nullptr otherwise.
  std::array<QWidget*, 3> type_buttons{};
  // The parameter table's entry of the index (its form and kind decide what the controls show);
  // nullptr for the placeholder entry.
  const ParameterInfo* info = nullptr;
};

class ControlMap {
 public:
  // Pages 0..6 carry an EQ.
  static constexpr int kEqPages = 7;
  static constexpr int kMaxBandsOfPage = 15;
  static constexpr int kTabButtons = 9;

  ControlMap() = default;

  // The entry of (block, index); the placeholder entry for anything outside the map.
  const ControlEntry& At(int block, int index) const;
  const ControlEntry& Of(int id) const { return At(BlockOf(id), IndexOf(id)); }

  // The hidden edit box "Example" that stands for "no control".
  QWidget* placeholder() const { return placeholder_; }
  bool IsPlaceholder(const QWidget* control) const {
    return control == nullptr || control == placeholder_;
  }

  // Calls fn(id, entry) for every index of every block whose primary control is a real control,
  // block by block in index order.
  void ForEachBound(const std::function<void(int id, const ControlEntry& entry)>& fn) const;

  // Indices of a block whose primary control is a real control.
  int BoundCount(int block) const;

  // Numbered point label of band (counted from 1) on page 0..6, or nullptr.
  QLabel* BandLabel(int page, int band) const;
  // The pan scroll bar of page 0..6, or nullptr.
  QWidget* PanScrollBar(int page) const;
  // FormTabBtn1..9 for n = 1..9, or nullptr.
  QPushButton* TabButton(int n) const;

  // Names the map looked for but the editor does not have; empty on a complete editor.
  const QStringList& missing() const { return missing_; }

 private:
  friend ControlMap BuildControlMap(EditorPages& pages, bool* bulk_refresh);

  ControlEntry placeholder_entry_;
  QWidget* placeholder_ = nullptr;
  std::array<std::array<ControlEntry, kWorkingColumns>, kBlockCount> entries_{};
  std::array<std::array<QLabel*, kMaxBandsOfPage>, kEqPages> band_labels_{};
  std::array<QWidget*, kEqPages> pan_bars_{};
  std::array<QPushButton*, kTabButtons> tabs_{};
  QStringList missing_;
};

// Fills the map from the editor's controls and gives every bound control its Tag (the last
// assignment wins: a Q edit box, its frame and its spin buttons end with the identifier of
// field 4). When bulk_refresh is given it is raised while the Tags are written and then restored.
ControlMap BuildControlMap(EditorPages& pages, bool* bulk_refresh = nullptr);

}  // namespace kc

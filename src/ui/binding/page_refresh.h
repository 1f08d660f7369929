// The whole-mode repaint: after a download, a mode switch, an EQ reset, a Sing/Disco change or a
// microphone group change every bound control is set from the parameter store, so that the pages
// show the box's values instead of their starting texts.
//
// The repaint only shows values; it never sends. It raises the link's send-suppress flag (through
// a hook, restored afterwards) and its own bulk-refresh flag, and blocks the signals of the
// controls it moves so that no edit handler runs on its account.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "model/parameter_store.h"
#include "ui/binding/control_map.h"

class QComboBox;
class QWidget;

namespace kc {

class EditorPages;

// Dynamic property of a band's P/LS/HS buttons: true on the one whose type the band has.
inline constexpr char kSelectedProperty[] = "Selected";

struct RefreshHooks {
  // The link's send-suppress flag.
  std::function<bool()> send_suppress;
  std::function<void(bool raised)> set_send_suppress;
  // Name of the box's mode number 1..15, as received with the last download.
  std::function<std::string(int number)> mode_name;
  // The EQ bypass flag of a block, as the bypass buttons keep it.
  std::function<void(int block, int state)> set_eq_bypass;
  // Redraws the EQ curve of the page on show, all bands.
  std::function<void()> redraw_curve;
};

class PageRefresher {
 public:
  PageRefresher(EditorPages& pages, ParameterStore& store, const ControlMap& map,
                RefreshHooks hooks = {});

  // Repaints one block (0..9; 2 counts as 1) or every block (kAllBlocks) from the store, then
  // the Auto/Manual pair, the System page's access state, its mode list and the current-mode
  // label. Any other selection repaints no block but still does the rest.
  void RefreshPages(int selection);

  // Told of every bound control a repaint has set (a slider once its pane shows its position),
  // so that the editing state kept beside the controls (the previous position of a volume
  // slider, the last good text of the current edit box) follows what they show.
  void set_control_shown(std::function<void(QWidget* control)> observer) {
    control_shown_ = std::move(observer);
  }

  // Raised while a repaint runs; the band highlight, the last-change record and the curve redraw
  // stay quiet while it is up.
  bool bulk_refresh() const { return bulk_refresh_; }

  // Shows the Auto/Manual pair and enables the manual-only controls for manual operation: the
  // Music band panel, Sing/Disco, and the sliders, buttons and drop-downs of the output pages'
  // Sing/Disco pairs. The Subwoofer user-Q sliders then follow their filter types.
  void ShowAutoManual(bool manual);
  // Enabling of the System page's access groups from the user/administrator value
  // (kAccessLevelId); the user/administrator choice is locked again until the system password
  // unlocks it.
  void ShowAccessState();
  // The controls only the administrator may use ("保存模式", the music input gain) enabled or
  // not, each disabled one saying why, and the note beside "保存模式" shown while they are locked.
  static void ShowAdministratorOnly(EditorPages& pages, bool administrator);
  // The Subwoofer user-Q slider of a filter type drop-down (SubMusHPType, SubMusLPType): enabled
  // for the USER types while the type can be chosen, and saying why otherwise.
  static void ShowUserQ(EditorPages& pages, QComboBox* type);
  // SysModeBox refilled with "n-name" for the 15 modes, the box's current mode selected, its
  // name put in PresetModeEdit, and CurrentModeLabel.
  void ShowModeList();

  // Marks the type button of item (0 P, 1 LS, 2 HS) of a band as selected and the others not;
  // an item outside 0..2 selects none.
  static void ShowTypeButtons(const ControlEntry& entry, int item);

 private:
  void RefreshBlock(int block);
  void ShowValue(int block, int index, const ControlEntry& entry, int value);
  void ShowSlider(const ControlEntry& entry, int value);
  void ShowEditBox(const ControlEntry& entry, int value);
  void ShowButton(int block, int index, const ControlEntry& entry, int value);
  void SelectRadio(QWidget* first, int position);

  EditorPages& pages_;
  ParameterStore& store_;
  const ControlMap& map_;
  RefreshHooks hooks_;
  std::function<void(QWidget* control)> control_shown_;
  bool bulk_refresh_ = false;
};

}  // namespace kc

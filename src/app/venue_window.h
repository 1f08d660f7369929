// The venue panel: every room's box of a venue file at a glance, docked at the left of the main
// window so that the editor, placed beside it, never covers it. One row per room (name, state,
// changes not sent, identity, port), each state with a colour; "打开" or a double click opens
// the room in the editor.
//
// The panel looks at the rooms the way karaoke-ctl status does (BoxProbe: probe and identity,
// nothing else). Rooms on local ports are looked at every few seconds; a port another program
// holds is never opened (the port's own check). Rooms behind a serial device server are looked at
// only when the panel opens, on "刷新" and when the editor leaves them: each look takes the
// server's line, and a server that hands its line to the newest client would drop whatever
// karaoke-ctl or another program is doing with that room. The panel never looks at the room the
// editor is on: that row shows the editor's own link.
#pragma once

#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/venue_check.h"
#include "link/qt/box_probe.h"
#include "venue/venue_file.h"

namespace kc {

// The state words of the rooms, in the editor's words: "在线", "无应答", "拒绝连接", "被占用",
// "不可达", "设备不符".
QString RoomStateWords(RoomState state);
// The colour a state is shown in (the state cell's background).
QColor RoomStateColour(RoomState state);
// What a state means and what to check, for the state cell's tooltip.
QString RoomStateTip(RoomState state);
// The identity column: the box's identity, with the file's beside it where they differ; the
// file's alone until a box has answered.
QString RoomIdentityText(const std::string& found, const std::string& expected);

class VenueWindow : public QWidget {
  Q_OBJECT

 public:
  // Milliseconds between two looks at the rooms on local ports.
  static constexpr int kRefreshMs = 5000;
  enum Column { kName, kState, kPending, kCheck, kIdentity, kPort, kColumns };

  struct Hooks {
    // Opens a room in the editor; false when the editor stayed where it was.
    std::function<bool(const VenueRoom& room)> open_room;
    // The editor's room (empty outside a venue) and the port its link has open (empty when none).
    std::function<std::string()> current_room;
    std::function<std::string()> current_port;
    // The editor's own link in words for its room's row ("编辑中" while it edits the box).
    std::function<QString()> current_state;
    // The identity of the box the editor's link answers with or was last offered (empty: none).
    std::function<std::string()> current_identity;
    // Changes of the editor's that its box does not have yet.
    std::function<int()> current_pending;
    // "打开其他场所...": another venue file.
    std::function<void()> open_other;
    // "恢复基准...": puts the editor's room back to its baseline (false: the editor is not on
    // that room's box, and nothing happened).
    std::function<bool(const VenueRoom& room, const std::filesystem::path& baseline)>
        apply_baseline;
  };

  VenueWindow(Venue venue, std::string source, Hooks hooks, QWidget* parent = nullptr);
  ~VenueWindow() override;

  // The title of the panel: "场所：NAME".
  QString Title() const;
  QTableWidget* list() const { return list_; }
  QPushButton* open_button() const { return open_; }
  QPushButton* refresh_button() const { return refresh_button_; }
  QPushButton* check_button() const { return check_button_; }
  QPushButton* apply_button() const { return apply_button_; }
  // "全部检查": every room's box but the editor's downloaded in the background and compared
  // with its baseline; the 检查 column says how it went.
  void CheckAll();
  // Checks still under way.
  int checks_running() const;
  // "恢复基准..." for the selected room.
  void ApplySelected();
  // The room's baseline: its `baseline` or baselines/ROOM.kbox beside the venue file.
  std::filesystem::path BaselineOf(const VenueRoom& room) const;
  const Venue& venue() const { return venue_; }
  // Looks at every room but the editor's now, those behind a serial device server too (a round
  // already under way is left to finish).
  void Refresh() { LookAt(true); }
  // Rounds of looks completed so far.
  int rounds() const { return rounds_; }
  // Opens the selected room.
  void OpenSelected();
  // The editor left `room`: it is looked at now, whatever its port, once the editor let go of it.
  void RoomLeft(const std::string& room);

 private:
  void ShowState(int row, const QString& words, const QColor& colour, const std::string& identity,
                 const QString& tooltip);
  void ShowCurrent();
  bool IsCurrent(const VenueRoom& room) const;
  // The editor's room, or a room that shares its box (and so its port) with it.
  bool OnEditorsPort(const VenueRoom& room) const;
  // One round of looks: every room but the editor's (network ones only with `network`).
  void LookAt(bool network);
  void StartLook(int row, bool in_round);
  bool Looking(const std::string& port) const;
  void RoundDone();

  Venue venue_;
  std::string source_;
  Hooks hooks_;
  QTableWidget* list_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* refresh_button_ = nullptr;
  QPushButton* check_button_ = nullptr;
  QPushButton* apply_button_ = nullptr;
  std::vector<std::unique_ptr<RoomCheck>> checks_;
  QTimer refresh_;
  QTimer current_timer_;
  struct Look {
    std::unique_ptr<BoxProbe> probe;
    bool in_round = false;  // counted in left_
  };
  std::vector<Look> looks_;
  int left_ = 0;
  int rounds_ = 0;
};

}  // namespace kc

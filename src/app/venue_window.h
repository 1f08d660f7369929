// The venue window: every room's box of a venue file at a glance. One row per room (name, port,
// state, identity), the states refreshed in the background every few seconds with a colour each;
// "打开" or a double click opens the room in the editor.
//
// The refresh looks at the rooms the way karaoke-ctl status does (BoxProbe: probe and identity,
// nothing else), all at once, one round at a time. It never looks at the room the editor is on,
// nor at any room on the port the editor has open: that row shows the editor's own link state.
// A local port another program holds is never opened (the port's own check).
#pragma once

#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/qt/box_probe.h"
#include "venue/venue_file.h"

namespace kc {

// The state words of the rooms, in the editor's words: "已连接", "无应答", "拒绝连接", "被占用",
// "不可达", "设备不符".
QString RoomStateWords(RoomState state);
// The colour a state is shown in (the state cell's background).
QColor RoomStateColour(RoomState state);

class VenueWindow : public QWidget {
  Q_OBJECT

 public:
  // Seconds between two looks at the rooms.
  static constexpr int kRefreshMs = 5000;

  struct Hooks {
    // Opens a room in the editor; false when the editor stayed where it was.
    std::function<bool(const VenueRoom& room)> open_room;
    // The editor's room (empty outside a venue) and the port its link has open (empty when none).
    std::function<std::string()> current_room;
    std::function<std::string()> current_port;
    // The editor's own link state in words, for its room's row.
    std::function<QString()> current_state;
  };

  VenueWindow(Venue venue, std::string source, Hooks hooks, QWidget* parent = nullptr);
  ~VenueWindow() override;

  QTableWidget* list() const { return list_; }
  QPushButton* open_button() const { return open_; }
  const Venue& venue() const { return venue_; }
  // Looks at every room but the editor's now (a round already under way is left to finish).
  void Refresh();
  // Rounds of looks completed so far.
  int rounds() const { return rounds_; }
  // Opens the selected room.
  void OpenSelected();

 private:
  void ShowState(int row, const QString& words, const QColor& colour, const std::string& identity,
                 const QString& tooltip);
  void ShowCurrent();
  bool IsCurrent(const VenueRoom& room) const;
  void RoundDone();

  Venue venue_;
  std::string source_;
  Hooks hooks_;
  QTableWidget* list_ = nullptr;
  QPushButton* open_ = nullptr;
  QTimer refresh_;
  QTimer current_timer_;
  std::vector<std::unique_ptr<BoxProbe>> probes_;
  int left_ = 0;
  int rounds_ = 0;
};

}  // namespace kc

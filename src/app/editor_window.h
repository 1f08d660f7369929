// TForm1, the editor window: frameless, 1106 x 579, hidden until a download completes or the
// offline item is used. It is a window owned by the main window: it stays above the main window
// only, sits centred in the main window's client area (below its menu) and minimises and
// restores with it. It embeds the editor's pages and edits the
// program's parameter store through the program's link; it builds the editor when it is created,
// and the program then has it connect.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/editor_view.h"
#include "model/parameter_store.h"
#include "modes/mode_file.h"
#include "ui/binding/control_map.h"
#include "ui/editing/session_view.h"

class QLabel;
class QPushButton;

namespace kc {

class CompareWindow;
class EditHistory;
class EditLink;
class EditSession;
class EditorHandlers;
class EditorPages;
class EqGraph;
class Link;
class SessionGraphHost;
class MessageBoxes;
class PageRefresher;
class SystemPage;
enum class LinkView;

// Lists the machine's serial ports; may throw, in which case no connection is started.
using PortLister = std::function<std::vector<std::string>()>;

class TForm1 : public QWidget, public EditorView {
  Q_OBJECT

 public:
  // The free part of the tab strip, by which the frameless window is dragged.
  static constexpr int kDragLeft = 795;
  static constexpr int kDragRight = 1007;
  static constexpr int kTabStripHeight = 31;

  // Creates the editor over the program's store and link and runs its start-up: EQ defaults,
  // Music page, mode folders and library. ConnectAtStartUp follows once the link window reports
  // to this editor.
  TForm1(ParameterStore& store, Link& link, MessageBoxes& boxes, QWidget* parent = nullptr);
  ~TForm1() override;

  EditorPages& pages() { return *pages_; }
  ParameterStore& store() { return store_; }
  // The controls of every parameter, built at creation.
  const ControlMap& control_map() const { return control_map_; }
  // Undo and redo of the user's edits.
  EditHistory& history() { return *history_; }
  // The comparison with a mode file of the library.
  CompareWindow& compare_window() { return *compare_; }
  // Asks which mode file of the library to compare with, then shows the comparison.
  void CompareWithModeFile();
  // The EQ graph below the pages, with its 10 ms timer.
  EqGraph& graph() { return *graph_; }
  MessageBoxes& message_boxes() { return boxes_; }
  bool startup_complete() const { return startup_complete_; }
  // The mode folders prepared at start-up and the mode files of their library folder; empty and
  // nullptr when no folder could hold them.
  const std::optional<ModeFolders>& mode_folders() const { return mode_folders_; }
  ModeFiles* mode_files() { return mode_files_.get(); }

  // The hidden connect and disconnect buttons; LinkBtnClick tells them apart.
  QPushButton* LinkBtn() const;
  QPushButton* UnLinkBtn() const;
  // Connect for LinkBtn, disconnect for UnLinkBtn; any other sender does nothing.
  void LinkBtnClick(QObject* sender);

  // Lists the ports, fills the (hidden) port list and connects. "连接" lists them anew with the
  // same lister.
  void ConnectAtStartUp(const PortLister& list_ports);
  // The lister alone, without a search now ("连接" and the search after a loss use it).
  void SetPortLister(const PortLister& list_ports) { port_lister_ = list_ports; }
  // The ports a search probes: the network devices added in this run, the newest first, then
  // the lister's. Throws when the lister does. present_only leaves out device paths that do not
  // exist now (a port named on the command line before its adapter is plugged in), so that the
  // search after a loss sees such a port appear as it sees a newly plugged adapter.
  std::vector<std::string> ListPorts(bool present_only = false) const;
  // Opens a room of a venue: connects to its port alone, and the link label begins with its
  // name. Leaving a room whose box lacks changes of the editor asks first: send them and go,
  // drop them and go, or stay. False when the editor stays where it is.
  // `identity`, when given, is the room's box: another box is asked about before it is edited.
  bool OpenRoom(const std::string& room, const std::string& port, const std::string& identity = {});
  // The room the editor is on (empty outside a venue) and its port.
  const std::string& room() const { return room_; }
  const std::string& room_port() const { return room_port_; }
  // "设为基准": saves the box of the editor's room as its baseline at `path` (asking before it
  // replaces one). False when nothing was saved.
  bool SaveBaseline(const std::filesystem::path& path, const std::string& venue);
  // "恢复基准..." for the editor's room: backs the box up into `backups` first, then lists where
  // it differs from the baseline at `path` in the list of changes (every row checked); the rows
  // the user keeps checked go to the box. False when nothing was offered.
  bool RestoreBaseline(const std::string& room, const std::filesystem::path& path,
                       const std::filesystem::path& backups, const std::string& venue);
  // "网络设备...": asks for the address of a serial device server, keeps it for the run and
  // connects to it alone. A malformed address is named with the reason, and nothing changes.
  void AddNetworkDevice();

  // EditorView. RefreshPages also starts the edit history anew.
  void ShowEditor() override;
  void RefreshPages(int selection) override;
  void ModeNamesChanged() override;
  void SetDeviceId(const QString& text) override;
  void SetLinkText(const QString& text) override;
  void AppendLog(const QString& line) override;
  // "提示", Yes/No with No the default, naming the room and both identities.
  void AskAboutOtherBox(const QString& expected, const QString& found) override;
  // The label, on every page, that shows whether a box is connected and how many changes it
  // does not have yet; refreshed every 100 ms.
  QLabel* link_state_label() const { return link_state_label_; }
  void UpdateLinkState();

  // What the link label shows of the link, for the main window's menu.
  LinkView link_view() const;
  bool searching_quietly() const;

  // The area the editor is placed in (global coordinates): the main window's client area. The
  // editor is centred in it whenever it is shown and whenever PlaceInHost is called.
  void SetHostArea(std::function<QRect()> area) { host_area_ = std::move(area); }
  void PlaceInHost();
  // The main window was minimised (true) or restored (false). The window manager takes the
  // editor down and back with it; an editor asked for while it is minimised appears on the
  // restore.
  void HostMinimised(bool minimised);
  // The editor is open: on show, or held while the main window is minimised.
  bool open() const { return isVisible() || held_; }

  // The program is ending (the main window closes): closing the editor then sends nothing.
  void SetExiting() { exiting_ = true; }

  // True when a left press at pos (window coordinates) should start moving the window.
  static bool StartsMove(const QPoint& pos);

 signals:
  // The room the editor is on changed (empty: none).
  void RoomChanged(const QString& room);
  // What the link label shows changed, or the editor was opened or closed.
  void LinkStateChanged();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void FormCreate();
  void PrepareModeFolders();
  void SetRoom(const std::string& room, const std::string& port, const std::string& identity = {});
  // Fills the (hidden) port list with names and starts a search of them.
  void ConnectTo(const std::vector<std::string>& names);
  // Waits, with the window responsive, until the box has every change or `ms` have passed; true
  // when it has them.
  bool WaitUntilSent(int ms);
  // Repaints the pages from the store without touching the edit history.
  void RepaintPages(int selection);

  // The store's side effects: the bands of an EQ reset go to the box while the link is there,
  // and the pages repaint.
  class StoreEvents : public StoreObserver {
   public:
    explicit StoreEvents(TForm1& editor) : editor_(editor) {}
    void SendEqBand(int id, int32_t value) override;
    void RefreshPages(int selection) override { editor_.RepaintPages(selection); }

   private:
    TForm1& editor_;
  };

  ParameterStore& store_;
  Link& link_;
  MessageBoxes& boxes_;
  PortLister port_lister_;
  std::vector<std::string> network_devices_;
  std::string room_;
  std::string room_port_;
  EditorSessionView session_view_{boxes_};  // the session's graph and message boxes
  StoreEvents store_events_{*this};
  EditorPages* pages_;
  ControlMap control_map_;
  std::unique_ptr<PageRefresher> refresher_;
  std::unique_ptr<EditLink> edit_link_;
  std::unique_ptr<EditSession> session_;
  std::unique_ptr<EditorHandlers> handlers_;
  std::unique_ptr<SystemPage> system_page_;
  std::unique_ptr<EditHistory> history_;
  std::unique_ptr<CompareWindow> compare_;
  std::unique_ptr<SessionGraphHost> graph_host_;
  std::unique_ptr<EqGraph> graph_;
  std::optional<ModeFolders> mode_folders_;
  std::unique_ptr<ModeFiles> mode_files_;
  QLabel* link_state_label_ = nullptr;
  QTimer link_state_timer_;
  bool startup_complete_ = false;
  bool exiting_ = false;
  bool centred_ = false;
  std::function<QRect()> host_area_;
  bool held_ = false;    // hidden with the minimised main window, to come back with it
  QString shown_state_;  // the label text and openness last reported by LinkStateChanged
};

}  // namespace kc

// The conversation with the box, in four parts with one job each:
//   PortSearch    finds the port the box answers on (port_search.h);
//   BlockTransfer downloads, reloads and uploads whole blocks (block_transfer.h);
//   EditPacer     sends the user's edits one frame at a time (edit_pacer.h);
//   LineWatch     keeps the line alive, reads the identity after a silence and notices loss
//                 (line_watch.h).
// Link holds them together: the phase of the connection's life (the diagram at the top of
// link.cpp), the timers it wants, what the box is known to hold, and the outcomes it reports.
// It is a plain class driven by its tick methods; link/qt mirrors its three timers onto QTimers,
// tests call the ticks directly.
//
// The public surface below is what the editor and karaoke-ctl call, nothing more.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/block_transfer.h"
#include "link/box_image.h"
#include "link/edit_pacer.h"
#include "link/frames.h"
#include "link/line_watch.h"
#include "link/link_host.h"
#include "link/port_search.h"
#include "link/receiver.h"
#include "link/serial_port.h"
#include "model/parameter_ids.h"
#include "model/parameter_store.h"

namespace kc {

enum class LinkState { kNotReady, kReady };
// What the editor shows of the link: connected (Ready, or busy with a recall, reload or upload
// of a box it is connected to), connecting (the search the user asked for, and the download of
// a connection), disconnected (a box was seen, and is gone), never connected (no box seen yet).
enum class LinkView { kConnected, kConnecting, kDisconnected, kNeverConnected };

// Periods of the link's three timers: port scan, transfer steps, pacing and keepalive. The
// link counts its time-outs in ticks of these.
inline constexpr int kScanPeriodMs = 600;
inline constexpr int kTransferPeriodMs = 100;
inline constexpr int kHoldPeriodMs = 20;

class Link {
 public:
  Link(SerialPort& port, ParameterStore& store, LinkHost& host);
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // The port list the search the user asks for walks through, sorted as text by the caller.
  void SetPortNames(std::vector<std::string> names);
  // The link works for one room of a venue: every search, the quiet one included, probes `port`
  // alone, and a box whose identity is not `identity` (when that is given) is asked about before
  // its settings are shown or anything is sent to it. An empty port lifts it.
  void SetRoom(std::string port, std::string identity);
  // The user's answer to AskAboutOtherBox: true edits the box as usual, false stops the link as
  // "断开" does, sends nothing and puts the editor's settings back.
  void AnswerOtherBox(bool edit);
  // A box of another identity than the room's declined by the user (empty when none was).
  const std::string& declined_box() const { return declined_box_; }
  // The port closed under the link (a serial device server ended the connection): a box being
  // talked to counts as lost at once. by_server: another client took the server's port, so the
  // quiet search leaves that address alone for a while.
  void LineClosed(bool by_server);
  // The port the box was last seen on (a room's port in a room); empty before any answered.
  const std::string& box_port() const { return search_.box_port(); }
  // The quiet search waits before it probes a serial device server that gave the line to
  // another client.
  bool LineTaken() const { return SearchingQuietly() && search_.holding_off(); }

  // Menu commands: connect (search every listed port) and disconnect (release the box).
  void Connect();
  void Disconnect();
  // A look at the box without a download: probes the listed ports at once, and on the first
  // answer reads the identity alone; it ends as a download does (the pages refreshed, Ready), or
  // failed. For a venue's overview of its rooms.
  void Identify();
  // With this on, a lost box or a failed connection is followed by a quiet search in the
  // background (the box's last port and ports that appeared since) until a box answers or the
  // user disconnects.
  void set_auto_reconnect(bool on) { auto_reconnect_ = on; }

  // Changes in the store (or in the editor's settings kept aside during a connection's
  // download) that the box does not have.
  int PendingCount() const;
  LinkView View() const;
  // The quiet search runs in the background: the box was lost (or a connection failed) and the
  // link looks for it again until one answers or the user disconnects.
  bool SearchingQuietly() const;
  // A slot of the box image: a block 0..8 or the system block, and a device slot.
  struct Slot {
    int block = 0;
    int slot = 0;
    bool operator==(const Slot&) const = default;
  };
  // The user's answer to OfferEditorChanges: true sends every change of the editor's, false
  // keeps the box's settings.
  void AnswerEditorChanges(bool send);
  // The answer slot by slot: the chosen slots take the editor's values and go to the box (as
  // edits through the pacer when that is no more frames than the block upload, else by the
  // upload); every other slot keeps the box's value in the editor. An empty choice keeps the
  // box's settings. Unless the link is Ready the answer is not taken, and the editor's changes
  // are offered again at the next connection.
  void AnswerEditorChanges(const std::vector<Slot>& chosen);
  // While the question is open: the editor's settings kept aside (blocks 0..8 and the system
  // row; of the system row only the user's settings count) and the identity of the box they
  // were made for (empty when no box was seen); null when nothing is offered.
  const BoxImage::Rows* offered_rows() const { return editor_rows_ ? &*editor_rows_ : nullptr; }
  const std::string& offered_for() const { return editor_box_id_; }
  // The settings the link works on (after a connection's download, the box's).
  const ParameterStore& store() const { return store_; }
  // The slots whose kept value differs from what the box holds: what Send would send.
  std::vector<Slot> OfferedSlots() const;
  // The settings the user wants the connected box to hold (a room's baseline): kept aside as the
  // editor's changes are during a connection and offered the same way (OfferEditorChanges, for
  // the same box), so that the answer sends the chosen slots by the same rule. Only while
  // Ready; false otherwise. True with nothing offered when the box holds them already.
  bool OfferImage(const BoxImage::Rows& rows);
  // The user dropped the editor's changes the box does not have (leaving a room for another):
  // nothing is pending any more, and none of them is offered to the next box.
  void DropEditorChanges();
  // A mode file was put into the store without a box (offline preparation): with no box seen
  // yet, all of it counts as pending.
  void EditorImageLoaded();
  // Before any box is seen: the store as it is now (the editor's start-up settings) is the
  // baseline that edits are counted against.
  void TakeStartingImage() {
    if (box_image_.box_id().empty()) box_image_.TakeAll(store_);
  }
  // Closing the editor window: sends the release while Ready.
  void ReleaseOnClose();

  // Timer handlers: scan, transfer steps, pacing and keepalive (the periods above).
  void Timer1Timer();
  void Timer2Timer();
  void HoldTimerTimer();
  // Receive notification with the number of bytes waiting in the port.
  void ComPortRxChar(int count);

  // Edit send paths.
  void SendParam(int id, int32_t value);
  void SendEqBand(int id, int32_t value);
  // Writes blocks 0..8 of the store to the box (a mode file sent to the box); only while Ready.
  // False when it did not start.
  bool StartUpload();
  // Reads blocks 0..8 back from the box; only while Ready. False when it did not start.
  bool Reload();
  // Upload blocks sent so far in the upload under way or the last one (0..9).
  int upload_blocks_sent() const { return upload_blocks_sent_; }

  // Store-mode command of the box's mode list (mode number 0..14, name up to 20 characters);
  // while Ready, it completes with the Saved outcome when the box acknowledges it.
  void StoreMode(int mode, const std::string& name);
  // Password commands (digit strings only).
  void SendPassword(int id, const std::string& digits);

  LinkState state() const;
  // Not Ready but on the way there: scanning, transferring, or awaiting a recall or store.
  bool busy() const {
    return phase_ == Phase::kScanning || phase_ == Phase::kTransferring ||
           phase_ == Phase::kAwaitingCompletion || phase_ == Phase::kAwaitingConsent;
  }
  // Frames that failed their checksum since the last Connect.
  int checksum_errors() const { return receiver_.checksum_errors(); }
  // What the status box says now.
  LinkStatus status() const { return status_; }
  bool send_suppress() const { return send_suppress_; }
  void set_send_suppress(bool raised) { send_suppress_ = raised; }

  // Received system texts.
  const std::array<std::string, kModeCount>& mode_names() const;
  const std::string& system_password() const;
  const std::string& keylock_password() const;
  const std::string& device_id() const;

 private:
  enum class LinkEventKind {
    kTransferDone,
    kReload,
    kSaved,
    kStartDownload,
    kStartUpload,
    kLost,
    kFailed
  };
  // What the box's next acknowledgement completes.
  enum class PendingAction { kNone, kRecall, kSave };
  // The boxes of the diagram at the top of link.cpp. Transferring stands for the download of a
  // connection, a reload and an upload alike.
  enum class Phase {
    kIdle,
    kScanning,
    kTransferring,
    kReady,
    kAwaitingCompletion,
    kAwaitingConsent
  };
  struct Timers {
    bool scan = false;
    bool transfer = false;
    bool hold = false;
    bool operator==(const Timers&) const = default;
  };

  void LinkEvent(LinkEventKind event);
  void TransferDone();
  // The end of a transfer once its box may be edited: the box image, the pages, Ready.
  void FinishTransfer();
  // The timers that run in a phase: the scan timer while scanning, the transfer timer while
  // transferring, the pacing timer while Ready or awaiting a completion.
  static Timers TimersOf(Phase phase);
  void EnterPhase(Phase phase);
  // Tells the host to run the timers of the phase the link is in, when they differ from the
  // ones it runs.
  void SetTimers();
  void UpdateStatusBox(bool visible);
  void StartTransfer(int length, TransferDirection direction);
  // Ends a transfer that did not complete; a download's partial image is undone.
  void AbandonTransfer();
  void StartQuietSearch();
  // A recall or store completes with the box's acknowledgement, or is given up after a silence.
  void CompletePendingAction();
  void AwaitCompletion(PendingAction action, LinkStatus status);
  // Sends the editor's system settings that the box does not hold (after their blocks went up).
  void SendSystemSettings();
  // Sends the chosen slots, which the store holds already, as edit frames; false (nothing
  // sent) when the upload is shorter or a slot cannot go as an edit.
  bool SendAsEdits(const std::vector<Slot>& chosen);

  ParameterStore& store_;
  LinkHost& host_;
  FrameWriter writer_;
  Receiver receiver_;
  BoxImage box_image_;
  PortSearch search_;
  BlockTransfer transfer_;
  EditPacer pacer_;
  LineWatch watch_;

  Phase phase_ = Phase::kIdle;
  // The phase whose timers the host runs; it follows phase_ except for a moment at the end of
  // a transfer, while the pages are refreshed and the editor is shown.
  Phase timers_phase_ = Phase::kIdle;
  // What the phase Awaiting completion waits for.
  PendingAction awaited_ = PendingAction::kNone;
  LinkStatus status_ = LinkStatus::kNotConnected;
  int percent_ = 0;
  bool send_suppress_ = false;
  LinkFailure failure_ = LinkFailure::kNone;
  int upload_blocks_sent_ = 0;

  // The editor's audio blocks, kept aside while a connection's download overwrites the store.
  std::optional<BoxImage::Rows> editor_rows_;
  std::string editor_box_id_;
  bool auto_reconnect_ = false;
  // The download under way was started by the quiet search: it fails quietly.
  bool quiet_attempt_ = false;
  // The search under way is a look at the box (Identify): its answer reads the identity alone.
  bool identify_ = false;
  // The editor's system settings go to the box once the upload of its blocks has completed.
  bool send_system_after_upload_ = false;
  // The room's box, and boxes of other identities the user chose to edit or not in this room.
  std::string room_box_;
  std::string accepted_box_;
  std::string declined_box_;
};

}  // namespace kc

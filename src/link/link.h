// The conversation with the box: port scan, whole-block transfers, pacing of edits, keepalive and
// loss detection. A plain class driven by its tick methods; the program mirrors the three timers
// it asks for onto QTimers, tests call the ticks directly.
//
// The public surface below is what the windows use; the state machine itself is described at the
// top of link.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "link/box_image.h"
#include "link/frames.h"
#include "link/link_host.h"
#include "link/receiver.h"
#include "link/serial_port.h"
#include "model/parameter_ids.h"
#include "model/parameter_store.h"

namespace kc {

enum class LinkState { kNotReady, kReady };
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
  // One waiting or in-flight entry: (id, value) of a parameter, (band address, band) of a band.
  using Entry = std::pair<int, int32_t>;
  static constexpr int kParamSlots = 32;
  static constexpr int kBandSlots = 50;
  // A step whose answer fails its checksum is asked again this many times before the transfer
  // is given up.
  static constexpr int kStepRetries = 3;
  // Transfer ticks a step waits for its answer; after them a long wait of kLongWaitTicks begins,
  // counted from 0, at whose end the transfer fails.
  static constexpr int kWaitTicks = 10;
  static constexpr int kLongWaitTicks = 100;

  Link(SerialPort& port, ParameterStore& store, LinkHost& host);
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // The port list the scan walks through, sorted as text by the caller.
  void SetPortNames(std::vector<std::string> names);
  const std::vector<std::string>& port_names() const;

  // Menu commands: connect (scan the ports) and disconnect (release the box).
  void Connect();
  void Disconnect();
  // With this on, a lost box or a failed connection is followed by a quiet search in the
  // background (rounds of one probe per port, a pause between rounds) until a box answers or the
  // user disconnects.
  void set_auto_reconnect(bool on) { auto_reconnect_ = on; }
  bool searching_in_background() const { return background_; }

  // Changes in the store (or in the editor's settings kept aside during a connection's
  // download) that the box does not have.
  int PendingCount() const;
  LinkView View() const;
  const BoxImage& box_image() const { return box_image_; }
  // The user's answer to OfferEditorChanges: true puts the editor's settings back into the store
  // and uploads them; false keeps the box's.
  void AnswerEditorChanges(bool send);
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
  void LinkEvent(LinkEventKind event);

  // Store-mode command of the box's mode list (mode number 0..14, name up to 20 characters);
  // while Ready, it completes with the Saved event when the box acknowledges it.
  void StoreMode(int mode, const std::string& name);
  // Password commands (digit strings only).
  void SendPassword(int id, const std::string& digits);

  LinkState state() const;
  // Not Ready but on the way there: scanning, transferring, or awaiting a recall or store.
  bool busy() const {
    return phase_ == Phase::kScanning || phase_ == Phase::kTransferring ||
           phase_ == Phase::kAwaitingCompletion;
  }
  // The reason of the last Failed event, and the step it happened at.
  LinkFailure failure() const { return failure_; }
  int failed_step() const { return failed_step_; }
  // Frames that failed their checksum since the last Connect.
  int checksum_errors() const { return receiver_.checksum_errors(); }
  // What the status box says now.
  LinkStatus status() const { return status_; }
  bool send_suppress() const;
  void set_send_suppress(bool raised);

  // Received system texts.
  const std::array<std::string, kModeCount>& mode_names() const;
  const std::string& system_password() const;
  const std::string& keylock_password() const;
  const std::string& device_id() const;

  // Inspection, for tests and the status display.
  const LinkFlags& flags() const { return receiver_.flags(); }
  // The recall or store awaiting the box's acknowledgement.
  PendingAction pending() const {
    return phase_ == Phase::kAwaitingCompletion ? awaited_ : PendingAction::kNone;
  }
  int step() const { return step_; }
  // The last step of the transfer under way (or of the last one).
  int length() const { return length_; }
  TransferDirection direction() const { return direction_; }
  int transfer_tick() const { return transfer_tick_; }
  int mode_name_index() const { return receiver_.mode_name_index(); }
  // The port list's selected position, -1 for none.
  int selected_port() const { return selected_port_; }
  bool transfer_timer_on() const { return TimersOf(timers_phase_).transfer; }
  // The waiting entries 1..count, oldest first.
  std::vector<Entry> WaitingParams() const;
  bool repeat_last() const { return repeat_last_; }
  // Waiting band entries as (band address, band); the Sing/Disco set each remembers is not
  // shown.
  std::vector<Entry> WaitingBands() const;

 private:
  // The boxes of the diagram at the top of link.cpp. Transferring stands for the download of a
  // connection, a reload and an upload alike (direction_ and length_ tell them apart).
  enum class Phase { kIdle, kScanning, kTransferring, kReady, kAwaitingCompletion };
  struct Timers {
    bool scan = false;
    bool transfer = false;
    bool hold = false;
    bool operator==(const Timers&) const = default;
  };
  // One waiting or in-flight band: the address the band is sent under, its number, and the
  // Sing/Disco set it was edited in (its values are read from that set when it is sent).
  struct BandEntry {
    int address = 0;
    int band = 0;
    int disco = 0;
    bool operator==(const BandEntry&) const = default;
  };

  // The timers that run in a phase: the scan timer while scanning, the transfer timer while
  // transferring, the pacing timer while Ready or awaiting a completion.
  static Timers TimersOf(Phase phase);
  void EnterPhase(Phase phase);
  // Tells the host to run the timers of the phase the link is in, when they differ from the
  // ones it runs.
  void SetTimers();
  void SetStatus(LinkStatus status) { status_ = status; }
  void UpdateStatusBox(bool visible);
  void EmptyQueues();
  void EmptyParamQueue();
  void CompactParams();
  void CompactBands();
  // Opens the named port and sends the probe; a port that does not open is logged and skipped.
  void ProbePort(const std::string& name);
  void StartTransfer(int length, TransferDirection direction);
  void SendStep();
  // Asks for the step again after a damaged answer; false once its retries are used up.
  bool RetryStep();
  // Starts a quiet search round after a pause, with the ports listed anew.
  void StartBackgroundRound();
  // Confirms what the last edit frame carried once the box has acknowledged it.
  void ConfirmInFlight();
  void NoteInFlight(int block, int slot, int32_t value);
  // Ends a transfer that did not complete; a download's partial image is undone.
  void AbandonTransfer();
  // Puts back the device image and texts the store held before a download that failed.
  void RestoreBeforeTransfer();
  void SendParamFrame(const Entry& entry);
  void SendBandFrame(const BandEntry& entry);
  // The four jobs of the pacing tick, in the order it does them.
  // The identity read after a silence, and its answer; true when the tick ends there.
  bool CheckIdentityAfterSilence();
  // A recall or store completes with the box's acknowledgement, or is given up after a silence.
  void CompletePendingAction();
  // The next waiting parameter, then the next waiting band, once the box is clear to send.
  void SendNextParam();
  void SendNextBand();
  // Once a second while Ready: the keepalive, the resend of an unacknowledged edit, and the loss
  // of a box that stays silent.
  void KeepAlive();

  SerialPort& port_;
  ParameterStore& store_;
  LinkHost& host_;
  FrameWriter writer_;
  Receiver receiver_;

  std::vector<std::string> port_names_;
  int selected_port_ = -1;
  // Ports whose last open failed; each is logged once until it opens again.
  std::set<std::string> unopened_ports_;
  int try_position_ = 0;
  int last_position_ = 0;

  Phase phase_ = Phase::kIdle;
  // The phase whose timers the host runs; it follows phase_ except for a moment at the end of
  // a transfer, while the pages are refreshed and the editor is shown.
  Phase timers_phase_ = Phase::kIdle;
  // What the phase Awaiting completion waits for.
  PendingAction awaited_ = PendingAction::kNone;
  LinkStatus status_ = LinkStatus::kNotConnected;
  bool send_suppress_ = false;

  int step_ = 0;
  int length_ = kLastBlockStep;
  TransferDirection direction_ = TransferDirection::kDownload;
  int transfer_tick_ = 0;
  int retries_ = 0;
  LinkFailure failure_ = LinkFailure::kNone;
  int failed_step_ = 0;
  BoxImage box_image_;
  // What the download under way has brought so far; the box image takes it when it completes,
  // so that an edit made meanwhile is not taken for the box's.
  BoxImage received_;
  // The editor's audio blocks, kept aside while a connection's download overwrites the store.
  std::optional<BoxImage::Rows> editor_rows_;
  std::string editor_box_id_;
  // Slots and values of the edit frame waiting for its acknowledgement.
  std::vector<std::array<int32_t, 3>> in_flight_;
  bool auto_reconnect_ = false;
  bool background_ = false;
  // The download under way was started by the background search: it fails quietly.
  bool quiet_attempt_ = false;
  int pause_ticks_ = 0;
  // An identity read sent because the line answered again after a silence, and the identity
  // the editor had before it.
  bool identity_check_ = false;
  // The editor's system settings go to the box once the upload of its blocks has completed.
  bool send_system_after_upload_ = false;
  std::string identity_before_;
  // What a download may overwrite, as it was when the download started.
  std::array<ParameterStore::Row, kBlockCount> device_before_{};
  SystemTexts texts_before_;

  int hold_tick_ = 0;
  int silence_ = 0;
  std::array<Entry, kParamSlots> params_{};
  int param_count_ = 0;
  bool repeat_last_ = false;
  std::array<BandEntry, kBandSlots> bands_{};
  int band_count_ = 0;
  // Bands at the front of the band queue that were edited before the waiting Sing/Disco switch.
  int scene_barrier_ = 0;

  int percent_ = 0;
};

}  // namespace kc

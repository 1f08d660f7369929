// The link's life. Each box is a phase (Link::Phase) with the timer that runs in it; arrows are
// the events.
//
//                 Connect (also at start-up)
//   +--------+ -----------------------------> +--------------------+
//   |  Idle  |                                | Scanning (Timer1)  |  one port probed per tick
//   | (none) | <----------------------------- |                    |
//   +--------+   list exhausted: Failed       +--------------------+
//     ^  ^  ^                                         | probe acknowledged: StartDownload
//     |  |  |                                         v
//     |  |  |   step not answered (11 + 100 ticks)  +-------------------------+
//     |  |  +-------------- Failed ------------------| Transferring (Timer2):  |  27 steps,
//     |  |                                          |  Downloading, Reloading |  42 requests
//     |  |                                          |  or Uploading           |  (reload/upload:
//     |  |                                          +-------------------------+   blocks 0..8)
//     |  |                                             |   ^            ^
//     |  |                          last answer:       |   | Reload     | StartUpload
//     |  |                          TransferDone       v   |            | (only when Ready)
//     |  |  11 silent seconds: Lost  +---------------------+-----------+
//     |  +---------------------------|      Ready (HoldTimer)          |  edits paced one
//     |                              +---------------------------------+  frame per ack;
//     |                                 |  recall sent     ^ Saved        keepalive each
//     |                                 |  or store sent   | (store acked) second
//     |                                 v                  |
//     |  51 silent seconds: Lost  +---------------------------------+
//     +---------------------------|  Awaiting completion (HoldTimer) |-- recall acked: Reload
//                                 +---------------------------------+
//
// In a room (SetRoom), a connection's download whose identity is not the room's box ends in
// Awaiting consent (no timer) instead of Ready: AnswerOtherBox(true) goes on to Ready as the end
// of the download does, AnswerOtherBox(false) to Idle with the editor's settings put back. A line
// that its serial device server closes (LineClosed) is Lost at once from Ready or Awaiting
// completion, and Failed from Transferring.
//
// Disconnect leads from every phase to Idle (release sent, port left open); Connect from every
// phase to Scanning. Neither Lost nor Failed closes the port: the next scan closes it first.
// With the background search on, Lost and Failed lead on to Scanning, quietly: only the box's
// last port and ports that appeared since are probed, and an answer starts the download at once.
//
// Safeguards of this state machine:
// - the first request of a transfer gets the same time-out as every later step, and an
//   acknowledgement that overwrites the wait of a download step does not stop its time-out;
// - a new download starts the mode names from mode 0 even after an interrupted one;
// - a full queue folds its repeated entries and never drops one, so that a long burst of edits
//   still leaves the box with the latest value of every parameter and band;
// - a connection starts NotReady: edits made during a search are not written into whatever
//   port is being probed;
// - the edit in flight is the only frame sent again on silence, and only after the identity has
//   been read again and matches: another box behind the line never gets this box's edits;
// - a recall or store that was never acknowledged is forgotten on Lost, Disconnect and a new
//   download, so it cannot complete (and report Saved) on a later connection;
// - an answer that fails its checksum is not stored and its step is asked again, up to three
//   times; a download that fails puts the store back as it was before it started, so a
//   corrupted or partial image is never shown, saved or sent back.

#include "link/link.h"

#include <algorithm>

#include "link/edit_frames.h"

namespace kc {

Link::Link(SerialPort& port, ParameterStore& store, LinkHost& host)
    : store_(store),
      host_(host),
      writer_(port),
      receiver_(port, store, host),
      box_image_(store),
      search_(port, writer_, receiver_.flags(), host),
      transfer_(store, writer_, receiver_, host),
      pacer_(store, writer_, receiver_.flags(), box_image_, host),
      watch_(writer_, receiver_.flags(), pacer_, receiver_.texts()) {
  writer_.set_failure_log([this](const std::string& line) { host_.AppendLog(line); });
}

Link::~Link() = default;

void Link::SetPortNames(std::vector<std::string> names) { search_.SetPortNames(std::move(names)); }

void Link::SetRoom(std::string port, std::string identity) {
  search_.Confine(std::move(port));
  room_box_ = std::move(identity);
  accepted_box_.clear();
  declined_box_.clear();
}

void Link::AnswerOtherBox(bool edit) {
  if (phase_ != Phase::kAwaitingConsent) return;
  if (edit) {
    accepted_box_ = device_id();
    declined_box_.clear();
    FinishTransfer();
    return;
  }
  declined_box_ = device_id();
  // Nothing of this box is kept: the store and the texts go back to the editor's.
  AbandonTransfer();
  quiet_attempt_ = false;
  EnterPhase(Phase::kIdle);
  status_ = LinkStatus::kNotConnected;
  UpdateStatusBox(false);
}

void Link::LineClosed(bool by_server) {
  const bool talking = phase_ == Phase::kReady || phase_ == Phase::kAwaitingCompletion ||
                       phase_ == Phase::kTransferring;
  if (!talking) return;
  if (by_server) search_.HoldOffBoxPort();
  failure_ = by_server ? LinkFailure::kClosedByServer : LinkFailure::kNone;
  LinkEvent(phase_ == Phase::kTransferring ? LinkEventKind::kFailed : LinkEventKind::kLost);
  failure_ = LinkFailure::kNone;
}

LinkState Link::state() const {
  return phase_ == Phase::kReady ? LinkState::kReady : LinkState::kNotReady;
}
const std::array<std::string, kModeCount>& Link::mode_names() const {
  return receiver_.texts().mode_names;
}
const std::string& Link::system_password() const { return receiver_.texts().system_password; }
const std::string& Link::keylock_password() const { return receiver_.texts().keylock_password; }
const std::string& Link::device_id() const { return receiver_.texts().device_id; }

Link::Timers Link::TimersOf(Phase phase) {
  switch (phase) {
    case Phase::kScanning:
      return {true, false, false};
    case Phase::kTransferring:
      return {false, true, false};
    case Phase::kReady:
    case Phase::kAwaitingCompletion:
      return {false, false, true};
    case Phase::kIdle:
    case Phase::kAwaitingConsent:
      break;
  }
  return {};
}

void Link::EnterPhase(Phase phase) {
  phase_ = phase;
  SetTimers();
}

void Link::SetTimers() {
  const Timers running = TimersOf(timers_phase_);
  const Timers wanted = TimersOf(phase_);
  timers_phase_ = phase_;
  if (wanted == running) return;
  host_.SetTimers(wanted.scan, wanted.transfer, wanted.hold);
}

void Link::UpdateStatusBox(bool visible) { host_.ShowStatus(status_, percent_, visible); }

void Link::Identify() {
  Connect();
  identify_ = true;
  // No wait for the first scan tick: the look takes the time of two answers.
  Timer1Timer();
}

void Link::Connect() {
  identify_ = false;
  AbandonTransfer();
  // A new search ends the conversation with any box: nothing is sent while it runs.
  quiet_attempt_ = false;
  receiver_.ResetChecksumErrors();
  search_.StartFull();
  send_suppress_ = false;
  EnterPhase(Phase::kScanning);
  status_ = LinkStatus::kSearching;
  percent_ = 0;
  UpdateStatusBox(true);
  // A room's search has one port to try: it is probed now, not a scan tick later.
  if (!search_.confined_to().empty()) Timer1Timer();
}

void Link::Disconnect() {
  identify_ = false;
  AbandonTransfer();
  quiet_attempt_ = false;
  pacer_.ForgetInFlight();
  watch_.OpenGate();
  EnterPhase(Phase::kIdle);
  writer_.SendLinkCommand(kRelease);  // dropped when the port is closed
  status_ = LinkStatus::kNotConnected;
  UpdateStatusBox(false);
}

void Link::ReleaseOnClose() {
  if (phase_ == Phase::kReady) writer_.SendLinkCommand(kRelease);
}

void Link::Timer1Timer() {
  if (!search_.quiet()) UpdateStatusBox(true);
  switch (search_.OnTick()) {
    case PortSearch::Tick::kAnswered:
      LinkEvent(LinkEventKind::kStartDownload);
      return;
    case PortSearch::Tick::kExhausted:
      failure_ = LinkFailure::kNoAnswer;
      LinkEvent(LinkEventKind::kFailed);
      return;
    case PortSearch::Tick::kProbing:
      return;
  }
}

void Link::StartQuietSearch() {
  search_.StartQuiet();
  EnterPhase(Phase::kScanning);
}

void Link::StartTransfer(int length, TransferDirection direction) {
  EnterPhase(Phase::kTransferring);
  transfer_.Start(length, direction);
}

int Link::PendingCount() const {
  if (editor_rows_) return box_image_.PendingCount(*editor_rows_);
  // What a download writes into the store is the box's, not a change of the editor's.
  if (phase_ == Phase::kTransferring && transfer_.direction() == TransferDirection::kDownload) {
    return 0;
  }
  return box_image_.PendingCount(store_);
}

LinkView Link::View() const {
  if (phase_ == Phase::kReady || phase_ == Phase::kAwaitingCompletion) return LinkView::kConnected;
  if (phase_ == Phase::kTransferring) {
    return transfer_.connection() ? LinkView::kConnecting : LinkView::kConnected;
  }
  if (phase_ == Phase::kAwaitingConsent) return LinkView::kConnecting;
  if (phase_ == Phase::kScanning && !search_.quiet()) return LinkView::kConnecting;
  return box_image_.box_id().empty() ? LinkView::kNeverConnected : LinkView::kDisconnected;
}

bool Link::SearchingQuietly() const { return phase_ == Phase::kScanning && search_.quiet(); }

void Link::AnswerEditorChanges(bool send) {
  AnswerEditorChanges(send ? OfferedSlots() : std::vector<Slot>{});
}

std::vector<Link::Slot> Link::OfferedSlots() const {
  std::vector<Slot> slots;
  if (!editor_rows_) return slots;
  const BoxImage::Rows& rows = *editor_rows_;
  for (int block = 0; block < kAudioBlocks; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      if (box_image_.Differs(block, slot, rows[block][slot])) slots.push_back({block, slot});
    }
  }
  for (int item : kUserSystemItems) {
    if (box_image_.Differs(kSystemBlock, item, rows[kSystemBlock][item])) {
      slots.push_back({kSystemBlock, item});
    }
  }
  return slots;
}

void Link::AnswerEditorChanges(const std::vector<Slot>& chosen) {
  if (!editor_rows_) return;
  // Without the box the answer cannot be carried out: the changes stay aside, and the next
  // connection offers them again.
  if (phase_ != Phase::kReady) return;
  const BoxImage::Rows rows = *editor_rows_;
  editor_rows_.reset();
  editor_box_id_.clear();
  // Only slots the editor kept and the user may set: not the box's current mode or the
  // administrator switch.
  std::vector<Slot> taken;
  for (const Slot& slot : chosen) {
    const bool audio = slot.block >= 0 && slot.block < kAudioBlocks;
    const bool system = slot.block == kSystemBlock &&
                        std::find(kUserSystemItems.begin(), kUserSystemItems.end(), slot.slot) !=
                            kUserSystemItems.end();
    if ((!audio && !system) || slot.slot < 0 || slot.slot >= kDeviceColumns) continue;
    if (std::find(taken.begin(), taken.end(), slot) != taken.end()) continue;
    taken.push_back(slot);
  }
  if (taken.empty()) return;
  for (const Slot& slot : taken) {
    store_.SetDevice(slot.block, slot.slot, rows[slot.block][slot.slot]);
  }
  store_.set_disco(store_.Device(0, 1));
  host_.RefreshPages(kAllBlocks);
  if (SendAsEdits(taken)) return;
  // The upload carries blocks 0..8; the system settings follow it one by one.
  send_system_after_upload_ = true;
  StartUpload();
}

bool Link::SendAsEdits(const std::vector<Slot>& chosen) {
  std::vector<std::pair<int, int>> cells;
  cells.reserve(chosen.size());
  for (const Slot& slot : chosen) cells.emplace_back(slot.block, slot.slot);
  const std::optional<std::vector<EditFrame>> frames = EditFramesOf(cells, store_, store_.disco());
  if (!frames) return false;
  const bool may_send = !watch_.gate_closed();
  for (const EditFrame& frame : *frames) {
    watch_.EditMade();
    if (frame.band) {
      pacer_.Band(frame.wire_id, may_send);
    } else {
      pacer_.Param(frame.wire_id, frame.value, may_send);
    }
  }
  return true;
}

bool Link::OfferImage(const BoxImage::Rows& rows) {
  if (phase_ != Phase::kReady) return false;
  editor_rows_ = rows;
  editor_box_id_ = device_id();
  const int count = box_image_.PendingCount(*editor_rows_);
  if (count == 0) {
    editor_rows_.reset();
    return true;
  }
  host_.OfferEditorChanges(count, true);
  return true;
}

void Link::DropEditorChanges() {
  editor_rows_.reset();
  editor_box_id_.clear();
  pacer_.EmptyQueues();
  box_image_.TakeAll(store_);
}

void Link::EditorImageLoaded() {
  if (box_image_.box_id().empty()) box_image_.ForgetAll();
}

void Link::AbandonTransfer() {
  send_system_after_upload_ = false;
  if ((phase_ == Phase::kTransferring && transfer_.direction() == TransferDirection::kDownload) ||
      phase_ == Phase::kAwaitingConsent) {
    transfer_.RestoreBeforeDownload();
  }
}

bool Link::StartUpload() {
  if (phase_ != Phase::kReady) return false;
  LinkEvent(LinkEventKind::kStartUpload);
  return true;
}

bool Link::Reload() {
  if (phase_ != Phase::kReady) return false;
  LinkEvent(LinkEventKind::kReload);
  return true;
}

void Link::Timer2Timer() {
  percent_ = transfer_.percent();
  UpdateStatusBox(true);
  const BlockTransfer::Tick tick = transfer_.OnTick();
  if (transfer_.direction() == TransferDirection::kUpload) {
    upload_blocks_sent_ = std::max(upload_blocks_sent_, transfer_.step() + 1);
  }
  if (tick == BlockTransfer::Tick::kDone) {
    LinkEvent(LinkEventKind::kTransferDone);
  } else if (tick == BlockTransfer::Tick::kFailed) {
    failure_ = transfer_.failure();
    LinkEvent(LinkEventKind::kFailed);
  }
}

void Link::ComPortRxChar(int count) {
  receiver_.ComPortRxChar(count);
  // The quiet search starts the download as soon as the box answers: a box that comes back is
  // connected again without waiting for the next scan tick. So does a room's search, whose one
  // port is the box's.
  const bool at_once = search_.quiet() || identify_ || !search_.confined_to().empty();
  if (phase_ == Phase::kScanning && at_once && receiver_.flags().answer_seen) {
    LinkEvent(LinkEventKind::kStartDownload);
  }
}

void Link::LinkEvent(LinkEventKind event) {
  switch (event) {
    case LinkEventKind::kStartDownload:
      // The editor's settings are kept aside while the download overwrites the store, so that
      // changes the box does not have can still be offered to it afterwards.
      if (!editor_rows_ && box_image_.PendingCount(store_) > 0) {
        editor_rows_ = BoxImage::RowsOf(store_);
        editor_box_id_ = box_image_.box_id();
      }
      quiet_attempt_ = phase_ == Phase::kScanning && search_.quiet();
      if (phase_ == Phase::kScanning) search_.NoteAnswered();
      pacer_.ForgetInFlight();
      pacer_.EmptyQueues();
      watch_.OpenGate();
      receiver_.set_mode_name_index(0);
      status_ = LinkStatus::kConnecting;
      if (identify_) {
        EnterPhase(Phase::kTransferring);
        transfer_.Start(kLastConnectionStep, TransferDirection::kDownload, kLastConnectionStep);
        break;
      }
      StartTransfer(kLastConnectionStep, TransferDirection::kDownload);
      break;
    case LinkEventKind::kReload:
      pacer_.EmptyQueues();
      receiver_.set_mode_name_index(0);
      status_ = LinkStatus::kLoading;
      StartTransfer(kLastBlockStep, TransferDirection::kDownload);
      break;
    case LinkEventKind::kStartUpload:
      pacer_.EmptyParams();
      status_ = LinkStatus::kUploading;
      upload_blocks_sent_ = 1;
      StartTransfer(kLastBlockStep, TransferDirection::kUpload);
      break;
    case LinkEventKind::kTransferDone:
      TransferDone();
      break;
    case LinkEventKind::kSaved:
      host_.ModeNamesChanged();
      EnterPhase(Phase::kReady);
      status_ = LinkStatus::kConnected;
      host_.ShowMessage({LinkOutcome::kSaved});
      break;
    case LinkEventKind::kLost:
      EnterPhase(Phase::kIdle);
      send_suppress_ = false;
      pacer_.ForgetInFlight();
      watch_.OpenGate();
      status_ = LinkStatus::kNotConnected;
      UpdateStatusBox(false);
      // The search goes on while the message is open.
      if (auto_reconnect_) StartQuietSearch();
      host_.ShowMessage({LinkOutcome::kLost, failure_});
      break;
    case LinkEventKind::kFailed: {
      const int step = phase_ == Phase::kTransferring ? transfer_.step() : 0;
      AbandonTransfer();
      EnterPhase(Phase::kIdle);
      send_suppress_ = false;
      status_ = LinkStatus::kNotConnected;
      UpdateStatusBox(false);
      const bool quiet = quiet_attempt_;
      quiet_attempt_ = false;
      if (auto_reconnect_) StartQuietSearch();
      // A search the user did not start fails without a word; the editor shows the state.
      if (!quiet) host_.ShowMessage({LinkOutcome::kFailed, failure_, step});
      break;
    }
  }
}

void Link::TransferDone() {
  // A room's connection to a box that is not the room's: its settings stay off the pages and
  // nothing is sent until the user says whether to edit it.
  const std::string& found = device_id();
  if (transfer_.connection() && !room_box_.empty() && found != room_box_ &&
      found != accepted_box_) {
    quiet_attempt_ = false;
    EnterPhase(Phase::kAwaitingConsent);
    UpdateStatusBox(false);
    host_.AskAboutOtherBox(room_box_, found);
    return;
  }
  FinishTransfer();
}

void Link::FinishTransfer() {
  // The transfer timer stops first. The link is Ready once the pages show what the box holds;
  // the pacing timer starts once the editor is shown.
  EnterPhase(Phase::kIdle);
  failure_ = LinkFailure::kNone;
  quiet_attempt_ = false;
  // What came down, or went up, is what the box holds now.
  const bool upload = transfer_.direction() == TransferDirection::kUpload;
  if (upload) {
    upload_blocks_sent_ = kLastBlockStep + 1;
    box_image_.TakeAll(store_, false);
  } else {
    box_image_.TakeKnown(transfer_.received());
  }
  box_image_.set_box_id(device_id());
  const bool connection = transfer_.connection();
  if (connection) declined_box_.clear();
  store_.set_disco(store_.Device(0, 1));
  host_.RefreshPages(kAllBlocks);
  phase_ = Phase::kReady;
  pacer_.EmptyQueues();
  watch_.OpenGate();
  // The box has answered the whole transfer: it is clear for the next frame (a download that
  // followed another identity had no acknowledgement to say so).
  receiver_.flags().clear_to_send = true;
  status_ = LinkStatus::kConnected;
  UpdateStatusBox(false);
  host_.ShowEditor();
  SetTimers();
  if (connection && editor_rows_) {
    const int count = box_image_.PendingCount(*editor_rows_);
    if (count == 0) {
      editor_rows_.reset();
    } else {
      host_.OfferEditorChanges(count, editor_box_id_.empty() || editor_box_id_ == device_id());
    }
  }
  if (upload && send_system_after_upload_) {
    send_system_after_upload_ = false;
    SendSystemSettings();
  }
}

void Link::SendSystemSettings() {
  for (int item : kUserSystemItems) {
    const int id = MakeId(kSystemBlock, item);
    if (box_image_.Differs(kSystemBlock, item, store_.Device(kSystemBlock, item))) {
      SendParam(id, store_.Device(kSystemBlock, item));
    }
  }
}

void Link::AwaitCompletion(PendingAction action, LinkStatus status) {
  status_ = status;
  awaited_ = action;
  EnterPhase(Phase::kAwaitingCompletion);
}

void Link::SendParam(int id, int32_t value) {
  store_.StoreValue(id, value);
  const int wire_id = MakeId(store_.DeviceRowOf(id), IndexOf(id));
  if (send_suppress_ || phase_ != Phase::kReady) return;
  watch_.EditMade();
  if (pacer_.Param(wire_id, value, !watch_.gate_closed()) && wire_id == kRecallModeId) {
    watch_.ResetSilence();
    AwaitCompletion(PendingAction::kRecall, LinkStatus::kLoading);
  }
}

void Link::SendEqBand(int id, int32_t value) {
  store_.StoreValue(id, value);
  const int wire_id = MakeId(store_.DeviceRowOf(id), IndexOf(id));
  if (send_suppress_ || phase_ != Phase::kReady) return;
  watch_.EditMade();  // every edit puts the keepalive off, whether or not it names a band
  pacer_.Band(wire_id, !watch_.gate_closed());
}

void Link::HoldTimerTimer() {
  watch_.Tick();
  LinkFlags& flags = receiver_.flags();
  if (flags.clear_to_send && !watch_.gate_closed()) pacer_.ConfirmInFlight();
  if (phase_ == Phase::kReady) {
    switch (watch_.CheckIdentity()) {
      case LineWatch::Verdict::kOtherBox:
        // Another box behind the same line: a new connection, and the question about the
        // editor's changes once its settings are down.
        LinkEvent(LinkEventKind::kStartDownload);
        return;
      case LineWatch::Verdict::kTickDone:
        return;
      default:
        break;
    }
  }
  CompletePendingAction();
  if (!watch_.gate_closed()) {
    int id = 0;
    if (pacer_.SendNextParam(&id)) {
      watch_.FrameSent();
      if (id == kRecallModeId) AwaitCompletion(PendingAction::kRecall, LinkStatus::kLoading);
    }
    if (pacer_.SendNextBand()) watch_.FrameSent();
  }
  if (phase_ == Phase::kReady && watch_.KeepAlive() == LineWatch::Verdict::kLost) {
    LinkEvent(LinkEventKind::kLost);
  }
}

void Link::CompletePendingAction() {
  if (phase_ != Phase::kAwaitingCompletion) return;
  if (receiver_.flags().clear_to_send) {
    LinkEvent(awaited_ == PendingAction::kRecall ? LinkEventKind::kReload : LinkEventKind::kSaved);
    watch_.FrameSent();
  } else if (watch_.AwaitCompletion() == LineWatch::Verdict::kLost) {
    LinkEvent(LinkEventKind::kLost);
  }
}

void Link::StoreMode(int mode, const std::string& name) {
  if (mode < 0 || mode >= kModeCount) return;
  receiver_.texts().mode_names[mode] = name.substr(0, kModeNameMaxLength);
  std::string text(1, static_cast<char>(mode));
  text += '\0';
  text += name;
  writer_.SendTextCommand(kStoreModeId, text);
  receiver_.flags().clear_to_send = false;
  // Only the acknowledgement of a connected box completes a store: one sent while scanning or
  // transferring must not be reported saved when the link becomes Ready.
  if (phase_ != Phase::kReady && phase_ != Phase::kAwaitingCompletion) return;
  AwaitCompletion(PendingAction::kSave, LinkStatus::kSaving);
  watch_.ResetSilence();
}

void Link::SendPassword(int id, const std::string& digits) {
  TextCommandPayload(id, digits);  // a non-digit fails here, before anything changes
  if (id == kSystemPasswordId) receiver_.texts().system_password = digits;
  if (id == kKeylockPasswordId) receiver_.texts().keylock_password = digits;
  writer_.SendTextCommand(id, digits);
}

}  // namespace kc

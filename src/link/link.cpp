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
// Disconnect leads from every phase to Idle (release sent, port left open); Connect from every
// phase to Scanning. Neither Lost nor Failed closes the port: the next scan closes it first.
// With the background search on, Lost and Failed lead on to Scanning.
//
// Safeguards of this state machine:
// - the first request of a transfer gets the same time-out as every later step, and an
//   acknowledgement that overwrites the wait of a download step does not stop its time-out;
// - a new download starts the mode names from mode 0 even after an interrupted one;
// - a full queue folds its repeated entries before it drops one, so that a long burst of edits
//   still leaves the box with the latest value of every parameter and band;
// - a recall or store that was never acknowledged is forgotten on Lost, Disconnect and a new
//   download, so it cannot complete (and report Saved) on a later connection;
// - an answer that fails its checksum is not stored and its step is asked again, up to three
//   times; a download that fails puts the store back as it was before it started, so a
//   corrupted or partial image is never shown, saved or sent back.

#include "link/link.h"

#include <algorithm>
#include <exception>

#include "model/rounding.h"

namespace kc {
namespace {

constexpr int kHoldPeriodsPerSecond = 1000 / kHoldPeriodMs;
// Scan ticks of quiet between two background search rounds (3 s at 600 ms).
constexpr int kRoundPauseTicks = 5;
// Seconds without an answer after which an answer again makes the link read the identity anew:
// a box swapped behind the open line must not be edited with another box's settings.
constexpr int kSilenceBeforeIdentityCheck = 3;
// While Ready, an edit the box has not acknowledged is sent again every few silent seconds, and
// the box is lost once more silent seconds than these have passed (a recall or store is given
// longer: the box may take its time over it).
constexpr int kResendSeconds = 3;
constexpr int kReadySilentSeconds = 10;
constexpr int kAwaitingSilentSeconds = 50;
// Fields of an EQ band, on the wire and in the store.
constexpr int kBandFields = 5;

}  // namespace

Link::Link(SerialPort& port, ParameterStore& store, LinkHost& host)
    : port_(port),
      store_(store),
      host_(host),
      writer_(port),
      receiver_(port, store, host),
      box_image_(store),
      received_(store) {
  receiver_.set_received(&received_);
  writer_.set_failure_log([this](const std::string& line) { host_.AppendLog(line); });
}

Link::~Link() = default;

void Link::SetPortNames(std::vector<std::string> names) { port_names_ = std::move(names); }
const std::vector<std::string>& Link::port_names() const { return port_names_; }

LinkState Link::state() const {
  return phase_ == Phase::kReady ? LinkState::kReady : LinkState::kNotReady;
}
bool Link::send_suppress() const { return send_suppress_; }
void Link::set_send_suppress(bool raised) { send_suppress_ = raised; }
const std::array<std::string, kModeCount>& Link::mode_names() const {
  return receiver_.texts().mode_names;
}
const std::string& Link::system_password() const { return receiver_.texts().system_password; }
const std::string& Link::keylock_password() const { return receiver_.texts().keylock_password; }
const std::string& Link::device_id() const { return receiver_.texts().device_id; }

std::vector<Link::Entry> Link::WaitingParams() const {
  return {params_.begin() + 1, params_.begin() + 1 + param_count_};
}

std::vector<Link::Entry> Link::WaitingBands() const {
  std::vector<Entry> waiting;
  for (int slot = 1; slot <= band_count_; ++slot) {
    waiting.emplace_back(bands_[slot].address, bands_[slot].band);
  }
  return waiting;
}

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

void Link::EmptyParamQueue() {
  param_count_ = 0;
  repeat_last_ = false;
}

void Link::EmptyQueues() {
  EmptyParamQueue();
  band_count_ = 0;
  scene_barrier_ = 0;
}

void Link::Connect() {
  AbandonTransfer();
  // A new search ends the conversation with any box: nothing is sent while it runs.
  background_ = false;
  quiet_attempt_ = false;
  pause_ticks_ = 0;
  receiver_.flags().answer_seen = false;
  receiver_.ResetChecksumErrors();
  unopened_ports_.clear();
  try_position_ = 0;
  send_suppress_ = false;
  selected_port_ = port_names_.empty() ? -1 : 0;
  EnterPhase(Phase::kScanning);
  SetStatus(LinkStatus::kSearching);
  step_ = 0;
  length_ = kLastBlockStep;
  percent_ = 0;
  UpdateStatusBox(true);
}

void Link::Disconnect() {
  AbandonTransfer();
  background_ = false;
  quiet_attempt_ = false;
  identity_check_ = false;
  in_flight_.clear();
  EnterPhase(Phase::kIdle);
  writer_.SendLinkCommand(kRelease);  // dropped when the port is closed
  SetStatus(LinkStatus::kNotConnected);
  length_ = kLastBlockStep;
  UpdateStatusBox(false);
}

void Link::ReleaseOnClose() {
  if (phase_ == Phase::kReady) writer_.SendLinkCommand(kRelease);
}

void Link::Timer1Timer() {
  if (background_ && pause_ticks_ > 0) {
    --pause_ticks_;
    return;
  }
  if (!background_) UpdateStatusBox(true);
  if (receiver_.flags().answer_seen) {
    LinkEvent(LinkEventKind::kStartDownload);
    return;
  }
  if (try_position_ > last_position_ + 1 || selected_port_ < 0) {
    try_position_ = 0;
    failure_ = LinkFailure::kNoAnswer;
    if (background_) {
      StartBackgroundRound();
    } else {
      LinkEvent(LinkEventKind::kFailed);
    }
    return;
  }
  // A port that cannot be closed, opened or written is skipped; the next tick tries the next.
  try {
    if (port_.IsOpen()) port_.Close();
    selected_port_ = try_position_ < static_cast<int>(port_names_.size()) ? try_position_ : -1;
    last_position_ = selected_port_;
    if (selected_port_ >= 0) ProbePort(port_names_[selected_port_]);
  } catch (const std::exception& error) {
    host_.AppendLog("端口出错: " + std::string(error.what()));
  } catch (...) {
    host_.AppendLog("端口出错");
  }
  ++try_position_;
}

void Link::ProbePort(const std::string& name) {
  if (!port_.Open(name)) {
    // Logged once until it opens again: the background search tries it every round.
    if (unopened_ports_.insert(name).second) host_.AppendLog("端口无法打开: " + name);
    return;
  }
  unopened_ports_.erase(name);
  writer_.SendLinkCommand(kProbe);
}

void Link::StartTransfer(int length, TransferDirection direction) {
  EnterPhase(Phase::kTransferring);
  step_ = 0;
  length_ = length;
  direction_ = direction;
  transfer_tick_ = 0;
  retries_ = 0;
  receiver_.flags().frame_rejected = false;
  if (direction == TransferDirection::kDownload) {
    for (int block = 0; block < kBlockCount; ++block)
      device_before_[block] = store_.DeviceRow(block);
    texts_before_ = receiver_.texts();
    received_.ForgetAll();
  }
  SendStep();
}

void Link::StartBackgroundRound() {
  background_ = true;
  pause_ticks_ = kRoundPauseTicks;
  std::vector<std::string> names;
  if (host_.RelistPorts(&names)) port_names_ = std::move(names);
  receiver_.flags().answer_seen = false;
  try_position_ = 0;
  selected_port_ = port_names_.empty() ? -1 : 0;
  EnterPhase(Phase::kScanning);
}

int Link::PendingCount() const {
  if (editor_rows_) return box_image_.PendingCount(*editor_rows_);
  // What a download writes into the store is the box's, not a change of the editor's.
  if (phase_ == Phase::kTransferring && direction_ == TransferDirection::kDownload) return 0;
  return box_image_.PendingCount(store_);
}

LinkView Link::View() const {
  if (phase_ == Phase::kReady || phase_ == Phase::kAwaitingCompletion) return LinkView::kConnected;
  if (phase_ == Phase::kTransferring) {
    return direction_ == TransferDirection::kDownload && length_ == kLastConnectionStep
               ? LinkView::kConnecting
               : LinkView::kConnected;
  }
  if (phase_ == Phase::kScanning && !background_) return LinkView::kConnecting;
  return box_image_.box_id().empty() ? LinkView::kNeverConnected : LinkView::kDisconnected;
}

void Link::AnswerEditorChanges(bool send) {
  if (!editor_rows_) return;
  const BoxImage::Rows rows = *editor_rows_;
  editor_rows_.reset();
  if (!send || phase_ != Phase::kReady) return;
  for (int block = 0; block < kAudioBlocks; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot)
      store_.SetDevice(block, slot, rows[block][slot]);
  }
  for (int item : kUserSystemItems) store_.SetDevice(kSystemBlock, item, rows[kSystemBlock][item]);
  store_.set_disco(store_.Device(0, 1));
  host_.RefreshPages(kAllBlocks);
  // The upload carries blocks 0..8; the system settings follow it one by one.
  send_system_after_upload_ = true;
  LinkEvent(LinkEventKind::kStartUpload);
}

void Link::EditorImageLoaded() {
  if (box_image_.box_id().empty()) box_image_.ForgetAll();
}

void Link::NoteInFlight(int block, int slot, int32_t value) {
  if (block < 0 || block > kSystemBlock) return;
  in_flight_.push_back({block, slot, value});
}

void Link::ConfirmInFlight() {
  for (const auto& [block, slot, value] : in_flight_) box_image_.Confirm(block, slot, value);
  in_flight_.clear();
}

bool Link::RetryStep() {
  if (retries_ >= kStepRetries) return false;
  ++retries_;
  host_.AppendLog("校验错误，重新请求第" + std::to_string(step_) + "步");
  SendStep();
  return true;
}

void Link::AbandonTransfer() {
  send_system_after_upload_ = false;
  if (phase_ == Phase::kTransferring && direction_ == TransferDirection::kDownload) {
    RestoreBeforeTransfer();
  }
}

void Link::RestoreBeforeTransfer() {
  for (int block = 0; block < kBlockCount; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      store_.SetDevice(block, slot, device_before_[block][slot]);
    }
  }
  const bool names_changed = receiver_.texts().mode_names != texts_before_.mode_names;
  const bool id_changed = receiver_.texts().device_id != texts_before_.device_id;
  receiver_.texts() = texts_before_;
  if (names_changed) host_.ModeNamesChanged();
  if (id_changed) host_.DeviceIdChanged();
}

void Link::SendStep() {
  // Waiting is set before the write: a failed write must not leave a stale answer that would
  // advance the next tick past a request that never went out.
  receiver_.flags().wait = WaitState::kWaiting;
  transfer_tick_ = 0;
  writer_.SendTransferStep(step_, direction_, store_);
}

void Link::Timer2Timer() {
  if (transfer_tick_ != kLongWaitTicks) ++transfer_tick_;
  percent_ = length_ > 0 ? RoundHalfEven(static_cast<double>(step_ * 100) / length_) : 0;
  UpdateStatusBox(true);

  LinkFlags& flags = receiver_.flags();
  const bool upload = direction_ == TransferDirection::kUpload;
  if (flags.frame_rejected) {
    flags.frame_rejected = false;
    if (!upload && flags.wait != WaitState::kFrameReceived) {
      if (!RetryStep()) {
        flags.wait = WaitState::kIdle;
        failure_ = LinkFailure::kChecksum;
        LinkEvent(LinkEventKind::kFailed);
      }
      return;
    }
  }
  if (flags.wait == WaitState::kFrameReceived ||
      (flags.wait == WaitState::kAckReceived && upload)) {
    if (step_ >= length_) {
      flags.wait = WaitState::kIdle;
      LinkEvent(LinkEventKind::kTransferDone);
      return;
    }
    retries_ = 0;
    auto& payload = writer_.payload();
    if (step_ == kModeNamesStep) {
      // One request per mode, then the system items.
      const int index = receiver_.mode_name_index();
      payload[0] = static_cast<uint8_t>(index);
      payload[1] = 0;
      if (index + 1 > kModeCount) {
        receiver_.set_mode_name_index(0);
        step_ = kModeNamesStep + 1;
      } else {
        receiver_.set_mode_name_index(index + 1);
      }
    } else {
      if (step_ == kLastBlockStep) {
        // The step after the last block asks for the first mode name.
        const int index = receiver_.mode_name_index();
        payload[0] = static_cast<uint8_t>(index);
        payload[1] = 0;
        receiver_.set_mode_name_index(index + 1);
      }
      ++step_;
    }
    SendStep();
  } else if ((flags.wait == WaitState::kWaiting ||
              (flags.wait == WaitState::kAckReceived && !upload)) &&
             transfer_tick_ > kWaitTicks) {
    flags.wait = WaitState::kLongWait;
    transfer_tick_ = 0;
  } else if (flags.wait == WaitState::kLongWait && transfer_tick_ >= kLongWaitTicks) {
    flags.wait = WaitState::kIdle;
    failure_ = LinkFailure::kNoAnswer;
    LinkEvent(LinkEventKind::kFailed);
  }
}

void Link::ComPortRxChar(int count) { receiver_.ComPortRxChar(count); }

void Link::LinkEvent(LinkEventKind event) {
  switch (event) {
    case LinkEventKind::kStartDownload:
      // The editor's settings are kept aside while the download overwrites the store, so that
      // changes the box does not have can still be offered to it afterwards.
      if (!editor_rows_ && box_image_.PendingCount(store_) > 0) {
        editor_rows_ = BoxImage::RowsOf(store_);
        editor_box_id_ = box_image_.box_id();
      }
      quiet_attempt_ = background_;
      background_ = false;
      identity_check_ = false;
      in_flight_.clear();
      EmptyQueues();
      receiver_.set_mode_name_index(0);
      SetStatus(LinkStatus::kConnecting);
      StartTransfer(kLastConnectionStep, TransferDirection::kDownload);
      break;
    case LinkEventKind::kReload:
      EmptyQueues();
      receiver_.set_mode_name_index(0);
      SetStatus(LinkStatus::kLoading);
      StartTransfer(kLastBlockStep, TransferDirection::kDownload);
      break;
    case LinkEventKind::kStartUpload:
      if (phase_ != Phase::kReady) return;
      EmptyParamQueue();
      SetStatus(LinkStatus::kUploading);
      StartTransfer(kLastBlockStep, TransferDirection::kUpload);
      break;
    case LinkEventKind::kTransferDone: {
      // The transfer timer stops first. The link is Ready once the pages show what the box
      // holds; the pacing timer starts once the editor is shown.
      EnterPhase(Phase::kIdle);
      failure_ = LinkFailure::kNone;
      quiet_attempt_ = false;
      // What came down, or went up, is what the box holds now.
      const bool upload = direction_ == TransferDirection::kUpload;
      if (upload) {
        box_image_.TakeAll(store_, false);
      } else {
        box_image_.TakeKnown(received_);
      }
      box_image_.set_box_id(device_id());
      const bool connection =
          direction_ == TransferDirection::kDownload && length_ == kLastConnectionStep;
      store_.set_disco(store_.Device(0, 1));
      host_.RefreshPages(kAllBlocks);
      phase_ = Phase::kReady;
      EmptyQueues();
      SetStatus(LinkStatus::kConnected);
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
        for (int item : kUserSystemItems) {
          const int id = MakeId(kSystemBlock, item);
          if (box_image_.Differs(kSystemBlock, item, store_.Device(kSystemBlock, item))) {
            SendParam(id, store_.Device(kSystemBlock, item));
          }
        }
      }
      break;
    }
    case LinkEventKind::kSaved:
      host_.ModeNamesChanged();
      EnterPhase(Phase::kReady);
      SetStatus(LinkStatus::kConnected);
      host_.ShowMessage({LinkOutcome::kSaved});
      break;
    case LinkEventKind::kLost:
      EnterPhase(Phase::kIdle);
      send_suppress_ = false;
      identity_check_ = false;
      in_flight_.clear();
      SetStatus(LinkStatus::kNotConnected);
      UpdateStatusBox(false);
      // The search goes on while the message is open.
      if (auto_reconnect_) StartBackgroundRound();
      host_.ShowMessage({LinkOutcome::kLost});
      break;
    case LinkEventKind::kFailed: {
      failed_step_ = step_;
      AbandonTransfer();
      EnterPhase(Phase::kIdle);
      send_suppress_ = false;
      SetStatus(LinkStatus::kNotConnected);
      UpdateStatusBox(false);
      const bool quiet = quiet_attempt_;
      quiet_attempt_ = false;
      if (auto_reconnect_) StartBackgroundRound();
      // A search the user did not start fails without a word; the editor shows the state.
      if (!quiet) host_.ShowMessage({LinkOutcome::kFailed, failure_, failed_step_});
      break;
    }
  }
}

void Link::SendParamFrame(const Entry& entry) {
  in_flight_.clear();
  const int block = BlockOf(entry.first);
  NoteInFlight(block, DeviceSlot(block, IndexOf(entry.first), store_.disco()), entry.second);
  writer_.SendFixedFrame(kWriteAccess, entry.first, entry.second);
}

void Link::SendBandFrame(const BandEntry& entry) {
  in_flight_.clear();
  const int block = BlockOf(entry.address);
  // The band frame carries the band's five fields as the store holds them now.
  if (const BlockInfo* info = InfoOfBlock(block); info != nullptr && entry.band < info->eq_bands) {
    for (int field = 0; field < kBandFields; ++field) {
      const int index = info->first_eq + kBandFields * entry.band + field;
      const int slot = DeviceSlot(block, index, entry.disco);
      NoteInFlight(block, slot, store_.Device(block, slot));
    }
  }
  writer_.SendEqBandFrame(store_, block, entry.band, entry.disco);
}

void Link::SendParam(int id, int32_t value) {
  store_.StoreValue(id, value);
  const int wire_id = MakeId(store_.DeviceRowOf(id), IndexOf(id));
  if (send_suppress_ || phase_ != Phase::kReady) return;
  hold_tick_ = 0;
  LinkFlags& flags = receiver_.flags();
  // Bands edited before a Sing/Disco switch must reach the box while it is still in their set:
  // the switch waits behind them.
  const bool scene_switch = wire_id == kSingDiscoId;
  if (flags.clear_to_send && param_count_ == 0 && !(scene_switch && band_count_ > 0)) {
    params_[0] = {wire_id, value};
    if (wire_id == kRecallModeId) {
      SetStatus(LinkStatus::kLoading);
      silence_ = 0;
      awaited_ = PendingAction::kRecall;
      EnterPhase(Phase::kAwaitingCompletion);
    }
    SendParamFrame(params_[0]);
    flags.clear_to_send = false;
    return;
  }
  // Repeated edits of one parameter fold into the last waiting entry.
  if (param_count_ >= 2 && params_[param_count_].first == wire_id) {
    params_[param_count_].second = value;
    return;
  }
  if (param_count_ > kParamSlots - 2) CompactParams();
  // Still full (31 different parameters waiting): the newest entry takes the last place.
  param_count_ = param_count_ <= kParamSlots - 2 ? param_count_ + 1 : kParamSlots - 2;
  params_[param_count_] = {wire_id, value};
  if (scene_switch) scene_barrier_ = band_count_;
}

void Link::SendEqBand(int id, int32_t value) {
  store_.StoreValue(id, value);
  const int wire_id = MakeId(store_.DeviceRowOf(id), IndexOf(id));
  if (send_suppress_ || phase_ != Phase::kReady) return;
  hold_tick_ = 0;  // every edit puts the keepalive off, whether or not it names a band
  const int block = BlockOf(wire_id);
  const BlockInfo* info = block < kAudioBlocks ? InfoOfBlock(block) : nullptr;
  const int index = IndexOf(wire_id);
  // Only a field of one of the block's bands names a band to send.
  if (info == nullptr || index < info->first_eq ||
      index >= info->first_eq + kBandFields * info->eq_bands) {
    return;
  }
  // The band position is band * 256 + field.
  const BandEntry entry{info->band_address, LocateBand(wire_id) >> 8, store_.disco()};
  LinkFlags& flags = receiver_.flags();
  if (flags.clear_to_send && band_count_ == 0) {
    bands_[0] = entry;
    SendBandFrame(bands_[0]);
    flags.clear_to_send = false;
    return;
  }
  if (band_count_ > kBandSlots - 2) CompactBands();
  band_count_ = band_count_ <= kBandSlots - 2 ? band_count_ + 1 : kBandSlots - 2;
  bands_[band_count_] = entry;
}

// A full queue first folds its repeats, so that reaching the limit drops no parameter whose
// latest value has not been sent: each parameter keeps its newest value, at the place of its
// newest entry.
void Link::CompactParams() {
  int kept = 0;
  for (int slot = 1; slot <= param_count_; ++slot) {
    bool newer_waits = false;
    for (int later = slot + 1; later <= param_count_ && !newer_waits; ++later) {
      newer_waits = params_[later].first == params_[slot].first;
    }
    if (!newer_waits) params_[++kept] = params_[slot];
  }
  param_count_ = kept;
}

// Band entries read their values when sent, so one waiting entry per band carries every edit.
void Link::CompactBands() {
  int kept = 0;
  for (int slot = 1; slot <= band_count_; ++slot) {
    bool waits = false;
    for (int earlier = 1; earlier <= kept && !waits; ++earlier) {
      waits = bands_[earlier] == bands_[slot];
    }
    if (!waits) bands_[++kept] = bands_[slot];
  }
  band_count_ = kept;
  scene_barrier_ = std::min(scene_barrier_, band_count_);
}

void Link::HoldTimerTimer() {
  hold_tick_ = hold_tick_ <= kHoldPeriodsPerSecond ? hold_tick_ + 1 : kHoldPeriodsPerSecond;
  if (receiver_.flags().clear_to_send) ConfirmInFlight();
  if (CheckIdentityAfterSilence()) return;
  CompletePendingAction();
  SendNextParam();
  SendNextBand();
  KeepAlive();
}

bool Link::CheckIdentityAfterSilence() {
  LinkFlags& flags = receiver_.flags();
  // An acknowledgement instead of the identity (the read was lost): the next silence asks again.
  if (identity_check_ && flags.clear_to_send && flags.wait != WaitState::kFrameReceived) {
    identity_check_ = false;
  }
  if (phase_ != Phase::kReady) return false;
  if (identity_check_ && flags.wait == WaitState::kFrameReceived) {
    // The identity read after a silence is answered: the same box goes on; another box behind
    // the same line is a new connection.
    identity_check_ = false;
    flags.wait = WaitState::kIdle;
    flags.clear_to_send = true;
    if (device_id() != identity_before_) {
      LinkEvent(LinkEventKind::kStartDownload);
      return true;
    }
  } else if (!identity_check_ && flags.clear_to_send && silence_ >= kSilenceBeforeIdentityCheck) {
    identity_check_ = true;
    identity_before_ = device_id();
    flags.clear_to_send = false;
    flags.wait = WaitState::kWaiting;
    silence_ = 0;
    hold_tick_ = 0;
    writer_.SendVariableFrame(kReadAccess, kDeviceIdentityId, 0);
    return true;
  }
  return false;
}

void Link::CompletePendingAction() {
  if (phase_ != Phase::kAwaitingCompletion) return;
  if (receiver_.flags().clear_to_send) {
    LinkEvent(awaited_ == PendingAction::kRecall ? LinkEventKind::kReload : LinkEventKind::kSaved);
    silence_ = 0;
    hold_tick_ = 0;
  } else if (hold_tick_ == kHoldPeriodsPerSecond) {
    hold_tick_ = 0;
    ++silence_;
    if (silence_ > kAwaitingSilentSeconds) {
      silence_ = 0;
      LinkEvent(LinkEventKind::kLost);
    }
  }
}

void Link::SendNextParam() {
  LinkFlags& flags = receiver_.flags();
  // Waiting parameters go first; the last entry of a burst is sent twice. A Sing/Disco switch
  // waits for the bands that were edited before it.
  const bool bands_before_switch =
      scene_barrier_ > 0 && band_count_ > 0 && param_count_ > 0 && params_[1].first == kSingDiscoId;
  if (!flags.clear_to_send || (param_count_ == 0 && !repeat_last_) || bands_before_switch) return;
  flags.clear_to_send = false;
  silence_ = 0;
  hold_tick_ = 0;
  if (param_count_ > 0) {
    std::copy(params_.begin() + 1, params_.begin() + 1 + param_count_, params_.begin());
    --param_count_;
  }
  repeat_last_ = param_count_ == 0 && !repeat_last_;
  if (params_[0].first == kRecallModeId) {
    // A recall that had to wait completes like one sent at once: the box's acknowledgement
    // reloads the mode. It is not sent a second time.
    repeat_last_ = false;
    SetStatus(LinkStatus::kLoading);
    awaited_ = PendingAction::kRecall;
    EnterPhase(Phase::kAwaitingCompletion);
  }
  SendParamFrame(params_[0]);
}

void Link::SendNextBand() {
  LinkFlags& flags = receiver_.flags();
  if (!flags.clear_to_send || band_count_ == 0) return;
  flags.clear_to_send = false;
  silence_ = 0;
  hold_tick_ = 0;
  std::copy(bands_.begin() + 1, bands_.begin() + 1 + band_count_, bands_.begin());
  const int count = band_count_--;
  if (scene_barrier_ > 0) --scene_barrier_;
  host_.AppendLog("2:" + std::to_string(count) + " " + std::to_string(bands_[0].band));
  SendBandFrame(bands_[0]);
}

void Link::KeepAlive() {
  if (phase_ != Phase::kReady || hold_tick_ != kHoldPeriodsPerSecond) return;
  LinkFlags& flags = receiver_.flags();
  hold_tick_ = 0;
  ++silence_;
  if (flags.clear_to_send) {
    flags.clear_to_send = false;
    silence_ = 0;
    writer_.SendLinkCommand(kKeepalive);
  } else if (silence_ % kResendSeconds == 0) {
    if (param_count_ > 0) {
      SendParamFrame(params_[0]);
    } else {
      writer_.SendLinkCommand(kKeepalive);
    }
  }
  if (silence_ > kReadySilentSeconds) {
    silence_ = 0;
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
  SetStatus(LinkStatus::kSaving);
  awaited_ = PendingAction::kSave;
  EnterPhase(Phase::kAwaitingCompletion);
  silence_ = 0;
}

void Link::SendPassword(int id, const std::string& digits) {
  TextCommandPayload(id, digits);  // a non-digit fails here, before anything changes
  if (id == kSystemPasswordId) receiver_.texts().system_password = digits;
  if (id == kKeylockPasswordId) receiver_.texts().keylock_password = digits;
  writer_.SendTextCommand(id, digits);
}

}  // namespace kc

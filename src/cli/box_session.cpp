#include "cli/box_session.h"

#include <stdexcept>

#include "cli/local_files.h"
#include "link/frames.h"
#include "link/qt/link_timers.h"

namespace kc::cli {
namespace {

// An unacknowledged upload block is sent again after this many transfer ticks of silence (the
// editor repeats an unacknowledged edit every three seconds), at most kUploadResends times; the
// link gives the box up after its answer wait and long wait.
constexpr int kResendTicks = 30;
constexpr int kUploadResends = 3;

}  // namespace

BoxSession::BoxSession(std::string port, LineRecorder* recorder, QObject* parent)
    : QObject(parent), port_name_(std::move(port)) {
  if (recorder != nullptr) {
    recording_port_ = std::make_unique<RecordingSerialPort>(com_port_, *recorder);
  }
  SerialPort& line = recording_port_ ? static_cast<SerialPort&>(*recording_port_) : com_port_;
  link_ = std::make_unique<Link>(line, store_, *this);
  link_->SetPortNames({port_name_});
  SetUpLinkTimers(timer1_, timer2_, hold_timer_);
  connect(&timer1_, &QTimer::timeout, this, [this] { link_->Timer1Timer(); });
  connect(&timer2_, &QTimer::timeout, this, [this] { OnTransferTick(); });
  connect(&hold_timer_, &QTimer::timeout, this, [this] { link_->HoldTimerTimer(); });
  com_port_.SetReceiveHandler([this](int count) { link_->ComPortRxChar(count); });
}

BoxSession::~BoxSession() {
  for (QTimer* timer : {&timer1_, &timer2_, &hold_timer_}) timer->stop();
  com_port_.SetReceiveHandler(nullptr);
  link_.reset();
}

void BoxSession::StartDownload() {
  restore_ = false;
  Begin();
}

void BoxSession::StartRestore(std::vector<ModeEntry> entries) {
  restore_ = true;
  entries_ = std::move(entries);
  Begin();
}

void BoxSession::Begin() {
  clock_.start();
  // A port that cannot be opened at all is told apart from a box that does not answer, and the
  // reason is named: the fix for a missing group membership differs from that for a busy port.
  if (!com_port_.Open(port_name_)) {
    const std::string why =
        PortOpenProblem(port_name_, com_port_.last_open_error(), com_port_.last_open_error_text());
    QTimer::singleShot(0, this, [this, why] { Finish(why); });
    return;
  }
  com_port_.Close();
  // Whatever the box does not send must not pass for data.
  MarkUnread(store_, true);
  phase_ = Phase::kScanning;
  link_->Connect();
}

void BoxSession::Interrupt() {
  if (phase_ == Phase::kDone) return;
  Finish("interrupted");
}

void BoxSession::OnTransferTick() {
  link_->Timer2Timer();
  if (phase_ != Phase::kUploading || link_->direction() != TransferDirection::kUpload) return;
  const int block = link_->step();
  if (block + 1 > blocks_sent_) blocks_sent_ = block + 1;
  if (block != resent_block_) {
    resent_block_ = block;
    resends_ = 0;
  }
  const LinkFlags& flags = link_->flags();
  if (flags.wait != WaitState::kLongWait || resends_ >= kUploadResends) return;
  // The link's long wait counts from 0 once the answer wait (its ticks and the one that ends it)
  // is over.
  constexpr int kSilentBeforeLongWait = Link::kWaitTicks + 1;
  if (link_->transfer_tick() != (resends_ + 1) * kResendTicks - kSilentBeforeLongWait) return;
  ++resends_;
  SerialPort& line = recording_port_ ? static_cast<SerialPort&>(*recording_port_) : com_port_;
  try {
    FrameWriter(line).SendTransferStep(block, TransferDirection::kUpload, store_);
  } catch (const std::runtime_error&) {
    // A write that fails is a lost frame; the link's own time-out ends the upload.
  }
}

std::string BoxSession::WithChecksumNote(std::string why) const {
  const int damaged = link_->checksum_errors();
  if (damaged > 0) {
    why += "; " + std::to_string(damaged) + " answer(s) failed their checksum (a noisy line?)";
  }
  return why;
}

void BoxSession::SetTimers(bool scan, bool transfer, bool hold) {
  if (transfer && phase_ == Phase::kScanning) {
    phase_ = Phase::kDownloading;
    phase_start_ms_ = clock_.elapsed();
  }
  MirrorLinkTimer(timer1_, scan);
  MirrorLinkTimer(timer2_, transfer);
  MirrorLinkTimer(hold_timer_, hold);
}

void BoxSession::ShowStatus(LinkStatus status, int percent, bool visible) {
  (void)status;
  (void)percent;
  (void)visible;
}

void BoxSession::RefreshPages(int selection) {
  (void)selection;
  // What the editor's refresh does to the store: the Disco switch follows the Music row.
  store_.RebuildWorkingTable();
}

void BoxSession::ShowMessage(const LinkMessage& message) {
  if (phase_ == Phase::kDone || phase_ == Phase::kIdle) return;
  std::string why;
  switch (message.outcome) {
    case LinkOutcome::kFailed:
      // No answer in time and answers that kept failing their checksum read alike here; the
      // checksum note below tells them apart.
      switch (phase_) {
        case Phase::kScanning:
          why = "no answer to the probe (no box on this port, or it is silent)";
          break;
        case Phase::kDownloading:
          why = "the box stopped answering during the download (step " +
                std::to_string(message.step) + " of " + std::to_string(kLastConnectionStep) + ")";
          break;
        case Phase::kUploading:
          why = "the box stopped answering during the upload (block " +
                std::to_string(message.step) + ")";
          break;
        default:
          why = "the box stopped answering during the read-back (block " +
                std::to_string(message.step) + ")";
          break;
      }
      break;
    case LinkOutcome::kLost:
      why = "the line to the box was lost";
      break;
    case LinkOutcome::kSaved:
      return;  // a session stores no mode: nothing it waits for ends here
  }
  why = WithChecksumNote(why);
  // The link has finished its state changes before it reports; end after it has returned.
  QTimer::singleShot(0, this, [this, why] { Finish(why); });
}

void BoxSession::ShowEditor() {
  // The end of a transfer. The link still switches its pacing timer on after this returns, so
  // the next step starts from the event loop.
  QTimer::singleShot(0, this, [this] { TransferFinished(); });
}

void BoxSession::TransferFinished() {
  if (phase_ == Phase::kDone) return;
  const qint64 now = clock_.elapsed();
  switch (phase_) {
    case Phase::kDownloading:
      download_ms_ = now - phase_start_ms_;
      if (!restore_) {
        const std::vector<std::string> missing = UnreadSlots(store_, true);
        if (!missing.empty()) {
          std::string why = "the box did not send all of its data (";
          for (std::size_t i = 0; i < missing.size(); ++i) why += (i > 0 ? "; " : "") + missing[i];
          Finish(WithChecksumNote(why + " missing)"));
          return;
        }
        Finish({});
        return;
      }
      ApplyModeEntries(entries_, store_);
      phase_ = Phase::kUploading;
      phase_start_ms_ = now;
      link_->LinkEvent(LinkEventKind::kStartUpload);
      if (link_->direction() != TransferDirection::kUpload) {
        Finish("the box was not ready");
        return;
      }
      blocks_sent_ = 1;
      return;
    case Phase::kUploading:
      upload_ms_ = now - phase_start_ms_;
      blocks_sent_ = kModeBlocks;
      upload_complete_ = true;
      // Whatever the box does not send back must not pass for a match.
      MarkUnread(store_, false);
      phase_ = Phase::kReadingBack;
      phase_start_ms_ = now;
      link_->LinkEvent(LinkEventKind::kReload);
      return;
    case Phase::kReadingBack:
      readback_ms_ = now - phase_start_ms_;
      Finish({});
      return;
    default:
      return;
  }
}

void BoxSession::Finish(std::string failure) {
  if (phase_ == Phase::kDone) return;
  const bool connected = link_->state() == LinkState::kReady;
  phase_ = Phase::kDone;
  failure_ = std::move(failure);
  // Release the box as the editor does when it disconnects, then let the port go.
  if (connected) {
    link_->Disconnect();
  } else {
    SetTimers(false, false, false);
  }
  MirrorLinkTimer(timer1_, false);
  MirrorLinkTimer(timer2_, false);
  MirrorLinkTimer(hold_timer_, false);
  if (recording_port_) {
    recording_port_->Close();
  } else {
    com_port_.Close();
  }
  total_ms_ = clock_.elapsed();
  if (finished_) finished_(*this);
}

}  // namespace kc::cli

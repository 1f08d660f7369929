#include "cli/box_session.h"

#include <algorithm>
#include <stdexcept>

#include "cli/local_files.h"
#include "cli/output_format.h"
#include "link/frames.h"
#include "link/qt/diagnostic_log.h"
#include "link/qt/link_timers.h"

namespace kc::cli {

BoxSession::BoxSession(std::string port, LineRecorder* recorder, QObject* parent)
    : QObject(parent), port_name_(std::move(port)) {
  driver_ = std::make_unique<LinkDriver>(store_, *this, recorder, this);
  driver_->link().SetPortNames({port_name_});
  sent_poll_.setInterval(kHoldPeriodMs);
  connect(&sent_poll_, &QTimer::timeout, this, [this] { CheckSent(); });
}

BoxSession::~BoxSession() {
  driver_->Stop();
  driver_.reset();
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

void BoxSession::StartApply(const ParameterStore& baseline,
                            std::function<void(BoxSession&)> downloaded) {
  restore_ = false;
  apply_ = true;
  baseline_ = BoxImage::RowsOf(baseline);
  downloaded_ = std::move(downloaded);
  Begin();
}

void BoxSession::SendSlots(const std::vector<Link::Slot>& chosen) {
  if (phase_ != Phase::kAwaitingSend) return;
  Link& link = driver_->link();
  if (chosen.empty()) {
    link.AnswerEditorChanges(std::vector<Link::Slot>{});
    Finish({});
    return;
  }
  // The baseline is offered as the editor's changes are after a connection, and the answer
  // sends the chosen slots by the link's own rule.
  offered_ = false;
  if (!link.OfferImage(baseline_)) {
    Finish("the box was not ready");
    return;
  }
  if (!offered_) {
    Finish({});  // the box holds the baseline already
    return;
  }
  full_readback_ = std::any_of(chosen.begin(), chosen.end(),
                               [](const Link::Slot& slot) { return slot.block == kSystemBlock; });
  sent_ = true;
  EnterPhase(Phase::kSending, clock_.elapsed());
  link.AnswerEditorChanges(chosen);
  sent_poll_.start();
}

void BoxSession::OfferEditorChanges(int count, bool same_box) {
  (void)count;
  (void)same_box;
  offered_ = true;
}

void BoxSession::CheckSent() {
  Link& link = driver_->link();
  if (phase_ != Phase::kSending) {
    sent_poll_.stop();
    return;
  }
  // Every edit is acknowledged, or the upload and the system items after it.
  if (link.state() != LinkState::kReady || link.busy() || link.PendingCount() > 0) return;
  sent_poll_.stop();
  const qint64 now = clock_.elapsed();
  upload_ms_ = now - phase_start_ms_;
  upload_complete_ = true;
  readback_marked_ = false;
  EnterPhase(Phase::kReadingBack, now);
  // Whatever the box does not send back must not pass for a match. The system items come only
  // with a connection's download.
  if (full_readback_) {
    link.Connect();
    return;
  }
  MarkUnread(store_, false);
  readback_marked_ = true;
  if (!link.Reload()) Finish("the box was not ready");
}

RoomState BoxSession::room_state() const {
  if (ok()) return RoomState::kOk;
  return room_state_;
}

RoomState BoxSession::PortState() const {
  const LinePort& line = driver_->port();
  if (line.network()) {
    switch (line.network_port().problem()) {
      case NetworkPort::Problem::kNone:
        return RoomState::kNoAnswer;
      case NetworkPort::Problem::kRefused:
      case NetworkPort::Problem::kClosedByServer:
        return RoomState::kRefused;
      default:
        return RoomState::kUnreachable;
    }
  }
  const QtSerialPort& device = line.device();
  switch (device.last_open_error()) {
    case QSerialPort::NoError:
      return RoomState::kNoAnswer;
    case QSerialPort::PermissionError:
      return device.last_open_error_text() == kPortBusyText ? RoomState::kBusy
                                                            : RoomState::kRefused;
    default:
      return RoomState::kUnreachable;
  }
}

void BoxSession::Begin() {
  clock_.start();
  // A port that cannot be opened at all is told apart from a box that does not answer, and the
  // reason is named: the fix for a missing group membership differs from that for a busy port.
  // A network address is only connected to by the search itself: the interface never waits
  // for the network, and its failure is named when the search ends.
  if (!driver_->port().CanOpen(port_name_)) {
    const QtSerialPort& port = driver_->port().device();
    const std::string why =
        PortOpenProblem(port_name_, port.last_open_error(), port.last_open_error_text());
    room_state_ = PortState();
    QTimer::singleShot(0, this, [this, why] { Finish(why); });
    return;
  }
  // Whatever the box does not send must not pass for data.
  MarkUnread(store_, true);
  phase_ = Phase::kScanning;
  driver_->link().Connect();
}

void BoxSession::Interrupt() {
  if (phase_ == Phase::kDone) return;
  Finish("interrupted");
}

std::string BoxSession::WithChecksumNote(std::string why) const {
  const int damaged = driver_->link().checksum_errors();
  if (damaged > 0) {
    why += "; " + CountText(damaged, "answer", "answers") +
           (damaged == 1 ? " failed its checksum" : " failed their checksum") + " (a noisy line?)";
  }
  return why;
}

void BoxSession::SetTimers(bool scan, bool transfer, bool hold) {
  if (transfer && phase_ == Phase::kScanning) EnterPhase(Phase::kDownloading, clock_.elapsed());
  // The read-back of an apply that sent system items is a connection's download.
  if (transfer && phase_ == Phase::kReadingBack && apply_ && !readback_marked_) {
    MarkUnread(store_, true);
    readback_marked_ = true;
  }
  (void)scan;
  (void)hold;
}

void BoxSession::AppendLog(const std::string& line) {
  // Several boxes run at once; the port tells their lines apart.
  LogLine(QString::fromStdString(port_name_ + ": " + line));
  // A line that floods the port with bytes that make no frame is no box to wait for: the
  // session ends (after the receive notification that logged it has returned).
  if (FloodOfLogLine(line) > 0 && phase_ != Phase::kDone && phase_ != Phase::kIdle) {
    QTimer::singleShot(0, this, [this, line] { Finish(line + " (is this the box's line?)"); });
  }
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
  if (message.failure == LinkFailure::kClosedByServer && message.outcome != LinkOutcome::kSaved) {
    // The line ended at once, mid-way: its reason is the server's, not the box's silence.
    why = "the serial device server closed the connection (" +
          driver_->port().network_port().problem_text() +
          "; another program may have taken its port)";
    QTimer::singleShot(0, this, [this, why] { Finish(why); });
    return;
  }
  switch (message.outcome) {
    case LinkOutcome::kFailed:
      // No answer in time and answers that kept failing their checksum read alike here; the
      // checksum note below tells them apart.
      switch (phase_) {
        case Phase::kScanning: {
          const LinePort& line = driver_->port();
          const NetworkPort& network = line.network_port();
          const QtSerialPort& port = line.device();
          if (line.network() && network.problem() != NetworkPort::Problem::kNone) {
            why = "cannot connect: " + network.problem_text();
          } else if (!line.network() && port.last_open_error() != QSerialPort::NoError) {
            // The link's own open failed: another program took the port after Begin's check.
            why = PortOpenProblem(port_name_, port.last_open_error(), port.last_open_error_text());
          } else {
            why = "no answer to the probe (no box on this port, or it is silent)";
          }
          room_state_ = PortState();
          break;
        }
        case Phase::kDownloading:
          why = "the box stopped answering during the download (step " +
                std::to_string(message.step) + " of " + std::to_string(kLastConnectionStep) + ")";
          break;
        case Phase::kSending:
          why = "the box stopped answering while the changes were sent";
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
      if (!expected_identity_.empty() && driver_->link().device_id() != expected_identity_) {
        Finish("another box: " + driver_->link().device_id() + " where " + expected_identity_ +
               " belongs (nothing sent, nothing saved)");
        return;
      }
      if (!restore_) {
        const std::vector<std::string> missing = UnreadSlots(store_, true);
        if (apply_ && missing.empty()) {
          EnterPhase(Phase::kAwaitingSend, now);
          if (downloaded_) downloaded_(*this);
          return;
        }
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
      // A slot the box did not send and the file does not hold would go up as a placeholder:
      // nothing is sent then.
      if (const std::string missing = UnreadText(store_, false); !missing.empty()) {
        Finish(WithChecksumNote("the box did not send all of its data (" + missing +
                                " missing) and the file does not hold it"));
        return;
      }
      EnterPhase(Phase::kUploading, now);
      if (!driver_->link().StartUpload()) {
        Finish("the box was not ready");
        return;
      }
      return;
    case Phase::kUploading:
      upload_ms_ = now - phase_start_ms_;
      upload_complete_ = true;
      // Whatever the box does not send back must not pass for a match.
      MarkUnread(store_, false);
      EnterPhase(Phase::kReadingBack, now);
      driver_->link().Reload();
      return;
    case Phase::kReadingBack: {
      readback_ms_ = now - phase_start_ms_;
      // Slots still marked unread are what the box did not send back: missing, never its values.
      const std::string missing = UnreadText(store_, full_readback_);
      Finish(missing.empty() ? std::string()
                             : WithChecksumNote("the box did not send all of its data back (" +
                                                missing + " missing)"));
      return;
    }
    default:
      return;
  }
}

void BoxSession::EnterPhase(Phase phase, qint64 now) {
  phase_ = phase;
  phase_start_ms_ = now;
  if (progress_) progress_(*this);
}

void BoxSession::Finish(std::string failure) {
  if (phase_ == Phase::kDone) return;
  Link& link = driver_->link();
  const bool connected = link.state() == LinkState::kReady;
  phase_ = Phase::kDone;
  failure_ = std::move(failure);
  sent_poll_.stop();
  // Release the box as the editor does when it disconnects, then let the port go.
  if (connected) link.Disconnect();
  driver_->Stop();
  driver_->line().Close();
  total_ms_ = clock_.elapsed();
  if (finished_) finished_(*this);
}

}  // namespace kc::cli

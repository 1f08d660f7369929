#include "cli/box_session.h"

namespace kc::cli {
namespace {

// The link window's periods: port scan, transfer steps, pacing and keepalive.
constexpr int kScanPeriodMs = 600;
constexpr int kTransferPeriodMs = 100;
constexpr int kHoldPeriodMs = 20;

void Mirror(QTimer& timer, bool on) {
  if (on && !timer.isActive()) timer.start();
  if (!on && timer.isActive()) timer.stop();
}

}  // namespace

BoxSession::BoxSession(std::string port, LineRecorder* recorder, QObject* parent)
    : QObject(parent), port_name_(std::move(port)) {
  if (recorder != nullptr) {
    recording_port_ = std::make_unique<RecordingSerialPort>(com_port_, *recorder);
  }
  SerialPort& line = recording_port_ ? static_cast<SerialPort&>(*recording_port_) : com_port_;
  link_ = std::make_unique<Link>(line, store_, *this);
  link_->SetPortNames({port_name_});
  timer1_.setInterval(kScanPeriodMs);
  timer2_.setInterval(kTransferPeriodMs);
  hold_timer_.setInterval(kHoldPeriodMs);
  for (QTimer* timer : {&timer1_, &timer2_, &hold_timer_}) timer->setTimerType(Qt::PreciseTimer);
  connect(&timer1_, &QTimer::timeout, this, [this] { link_->Timer1Timer(); });
  connect(&timer2_, &QTimer::timeout, this, [this] { link_->Timer2Timer(); });
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
  // A port that cannot be opened at all is told apart from a box that does not answer.
  if (!com_port_.Open(port_name_)) {
    QTimer::singleShot(0, this, [this] { Finish("cannot open the port"); });
    return;
  }
  com_port_.Close();
  phase_ = Phase::kScanning;
  link_->Connect();
}

void BoxSession::SetTimers(bool scan, bool transfer, bool hold) {
  if (transfer && phase_ == Phase::kScanning) {
    phase_ = Phase::kDownloading;
    phase_start_ms_ = clock_.elapsed();
  }
  Mirror(timer1_, scan);
  Mirror(timer2_, transfer);
  Mirror(hold_timer_, hold);
}

void BoxSession::ShowStatus(const std::string& text, int percent, bool visible) {
  (void)text;
  (void)percent;
  (void)visible;
}

void BoxSession::RefreshPages(int selection) {
  (void)selection;
  // What the editor's refresh does to the store: the Disco switch follows the Music row.
  store_.RebuildWorkingTable();
}

void BoxSession::ShowMessage(const std::string& text) {
  if (phase_ == Phase::kDone || phase_ == Phase::kIdle) return;
  std::string why;
  if (text == "连接失败!") {
    switch (phase_) {
      case Phase::kScanning:
        why = "no answer to the probe (no box on this port, or it is silent)";
        break;
      case Phase::kDownloading:
        why = "the box stopped answering during the download (step " +
              std::to_string(link_->step()) + " of 27)";
        break;
      case Phase::kUploading:
        why = "the box stopped answering during the upload (block " +
              std::to_string(link_->step()) + ")";
        break;
      default:
        why = "the box stopped answering during the read-back (block " +
              std::to_string(link_->step()) + ")";
        break;
    }
  } else if (text == "已断开连接!") {
    why = "the line to the box was lost";
  } else {
    why = text;
  }
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
        Finish({});
        return;
      }
      for (const ModeEntry& entry : entries_)
        store_.SetDevice(entry.block, entry.slot, entry.value);
      phase_ = Phase::kUploading;
      phase_start_ms_ = now;
      link_->LinkEvent(LinkEventKind::kStartUpload);
      if (link_->direction() != TransferDirection::kUpload) Finish("the box was not ready");
      return;
    case Phase::kUploading:
      upload_ms_ = now - phase_start_ms_;
      // Whatever the box does not send back must not pass for a match.
      for (int block = 0; block <= 8; ++block) {
        for (int slot = 0; slot < kDeviceColumns; ++slot)
          store_.SetDevice(block, slot, kNotReadBack);
      }
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
  Mirror(timer1_, false);
  Mirror(timer2_, false);
  Mirror(hold_timer_, false);
  if (recording_port_) {
    recording_port_->Close();
  } else {
    com_port_.Close();
  }
  total_ms_ = clock_.elapsed();
  if (finished_) finished_(*this);
}

}  // namespace kc::cli

#include "link/qt/box_probe.h"

#include <QTimer>

#include "link/qt/diagnostic_log.h"
#include "link/receiver.h"

namespace kc {

const char* RoomStateText(RoomState state) {
  switch (state) {
    case RoomState::kOk:
      return "ok";
    case RoomState::kNoAnswer:
      return "no answer";
    case RoomState::kRefused:
      return "refused";
    case RoomState::kBusy:
      return "busy";
    case RoomState::kUnreachable:
      return "unreachable";
    case RoomState::kAnotherBox:
      return "another box";
  }
  return "no answer";
}

BoxProbe::BoxProbe(std::string port, std::string expected_identity, QObject* parent)
    : QObject(parent), port_(std::move(port)), expected_(std::move(expected_identity)) {
  driver_ = std::make_unique<LinkDriver>(store_, static_cast<LinkHost&>(*this), nullptr, this);
  driver_->link().SetPortNames({port_});
  identity_wait_.setSingleShot(true);
  connect(&identity_wait_, &QTimer::timeout, this, [this] {
    Finish(RoomState::kNoAnswer, "the box answered the probe but not the identity read");
  });
}

void BoxProbe::SetTimers(bool scan, bool transfer, bool hold) {
  (void)scan;
  (void)hold;
  if (transfer && !done_ && !identity_wait_.isActive()) identity_wait_.start(kIdentityWaitMs);
}

BoxProbe::~BoxProbe() {
  driver_->Stop();
  driver_.reset();
}

void BoxProbe::Start() {
  if (started_) return;
  started_ = true;
  clock_.start();
  // A local port is tried first on its own, so that a port another program holds, a missing
  // one and one the user may not open are told apart from a box that does not answer.
  if (!driver_->port().CanOpen(port_)) {
    QTimer::singleShot(0, this, [this] { Failed(); });
    return;
  }
  driver_->link().Identify();
}

void BoxProbe::Stop() {
  if (done_) return;
  done_ = true;
  identity_wait_.stop();
  driver_->Stop();
  driver_->line().Close();
}

void BoxProbe::Failed() {
  const LinePort& line = driver_->port();
  if (line.network()) {
    const NetworkPort& network = line.network_port();
    switch (network.problem()) {
      case NetworkPort::Problem::kNone:
        break;
      case NetworkPort::Problem::kRefused:
      case NetworkPort::Problem::kClosedByServer:
        Finish(RoomState::kRefused, network.problem_text());
        return;
      default:
        Finish(RoomState::kUnreachable, network.problem_text());
        return;
    }
  } else {
    const QtSerialPort& device = line.device();
    const std::string text = device.last_open_error_text();
    switch (device.last_open_error()) {
      case QSerialPort::NoError:
        break;
      case QSerialPort::PermissionError:
        if (text == kPortBusyText) {
          Finish(RoomState::kBusy, text);
        } else {
          Finish(RoomState::kRefused, "permission denied");
        }
        return;
      case QSerialPort::DeviceNotFoundError:
        Finish(RoomState::kUnreachable, "no such port");
        return;
      default:
        Finish(RoomState::kUnreachable, text.empty() ? std::string("cannot open") : text);
        return;
    }
  }
  Finish(RoomState::kNoAnswer, "no answer to the probe");
}

void BoxProbe::ShowMessage(const LinkMessage& message) {
  if (done_ || message.outcome == LinkOutcome::kSaved) return;
  // The link finishes its state changes before it reports; end after it has returned.
  // A failure at a transfer step: the probe was answered, the identity read was not.
  const bool answered = message.step > 0;
  QTimer::singleShot(0, this, [this, answered] {
    if (answered) {
      Finish(RoomState::kNoAnswer, "the box answered the probe but not the identity read");
    } else {
      Failed();
    }
  });
}

void BoxProbe::ShowEditor() {
  const qint64 ms = answer_ms_ >= 0 ? answer_ms_ : clock_.elapsed();
  QTimer::singleShot(0, this, [this, ms] {
    if (done_) return;
    identity_ = driver_->link().device_id();
    ms_ = ms;
    if (!expected_.empty() && identity_ != expected_) {
      Finish(RoomState::kAnotherBox, "box " + identity_ + " where " + expected_ + " belongs");
    } else {
      Finish(RoomState::kOk, {});
    }
  });
}

void BoxProbe::AppendLog(const std::string& line) {
  LogLine(QString::fromStdString(port_ + ": " + line));
  // Not a box's line, or not at its speed: no answer will come out of it.
  if (FloodOfLogLine(line) > 0 && started_ && !done_) {
    QTimer::singleShot(0, this, [this, line] { Finish(RoomState::kNoAnswer, line); });
  }
}

void BoxProbe::Finish(RoomState state, std::string detail) {
  if (done_) return;
  Link& link = driver_->link();
  const bool connected = link.state() == LinkState::kReady;
  done_ = true;
  identity_wait_.stop();
  state_ = state;
  detail_ = std::move(detail);
  // Release the box as the editor does when it disconnects, then let the port go.
  if (connected) link.Disconnect();
  driver_->Stop();
  driver_->line().Close();
  if (finished_) finished_(*this);
}

}  // namespace kc

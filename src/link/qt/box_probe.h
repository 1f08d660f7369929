// A look at one room's box: its port is opened, the box probed and its identity read, nothing
// else, and the port let go again. karaoke-ctl's status and the editor's venue window both look
// at rooms this way, with the link's own search and identity read (Link::Identify).
//
// A local port another program holds is not opened (the port's own check), and nothing is ever
// written to it. The look ends with one of the room states below. A box that answers the probe
// has kIdentityWaitMs for its identity (a working box needs a few milliseconds), and a line that
// floods the port with bytes that make no frame ends the look at once.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "link/link_host.h"
#include "link/qt/link_driver.h"
#include "model/parameter_store.h"

namespace kc {

enum class RoomState { kOk, kNoAnswer, kRefused, kBusy, kUnreachable, kAnotherBox };
// "ok", "no answer", "refused", "busy", "unreachable", "another box".
const char* RoomStateText(RoomState state);

class BoxProbe : public QObject, private LinkHost {
  Q_OBJECT

 public:
  static constexpr int kIdentityWaitMs = 1500;

  // `expected_identity`: the box the room should hold (8 upper-case hexadecimal digits), or
  // empty for any box.
  BoxProbe(std::string port, std::string expected_identity, QObject* parent = nullptr);
  ~BoxProbe() override;

  // Called once when the look has ended (never from inside Start).
  void SetFinished(std::function<void(BoxProbe&)> finished) { finished_ = std::move(finished); }
  void Start();
  // Ends the look now (nothing more is sent); no report.
  void Stop();

  const std::string& port() const { return port_; }
  bool done() const { return done_; }
  RoomState state() const { return state_; }
  // The identity the box gave (empty when none answered).
  const std::string& identity() const { return identity_; }
  // Milliseconds from the probe to the identity's answer; -1 when no box answered.
  qint64 ms() const { return ms_; }
  // Why the room is not ok, in words; empty when it is.
  const std::string& detail() const { return detail_; }

 private:
  void Finish(RoomState state, std::string detail);
  // Why the link's search found no box: the port's or the connection's reason.
  void Failed();

  // LinkHost.
  void ShowStatus(LinkStatus, int, bool) override {}
  void ShowMessage(const LinkMessage& message) override;
  void ShowEditor() override;
  void RefreshPages(int) override {}
  void ModeNamesChanged() override {}
  // The identity's answer arrived: the look's time ends here.
  void DeviceIdChanged() override {
    if (answer_ms_ < 0) answer_ms_ = clock_.elapsed();
  }
  // The transfer timer starts when the box has answered the probe: the identity read begins.
  void SetTimers(bool scan, bool transfer, bool hold) override;
  void AppendLog(const std::string& line) override;

  std::string port_;
  std::string expected_;
  ParameterStore store_;
  std::unique_ptr<LinkDriver> driver_;
  std::function<void(BoxProbe&)> finished_;
  QElapsedTimer clock_;
  QTimer identity_wait_;
  bool started_ = false;
  bool done_ = false;
  RoomState state_ = RoomState::kNoAnswer;
  std::string identity_;
  qint64 ms_ = -1;
  qint64 answer_ms_ = -1;
  std::string detail_;
};

}  // namespace kc

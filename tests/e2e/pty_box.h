// Helpers of the end-to-end tests: a pseudo-terminal served in this process by the box model
// (so a test can see what the box received), the box-sim program, and waiting on the event loop.
#pragma once

#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "box-sim/box_model.h"

namespace kc::e2e {

// Runs the event loop until pred is true or timeout_ms have passed; returns pred().
bool WaitFor(const std::function<bool()>& pred, int timeout_ms);

// Runs the event loop for ms milliseconds, sleeping while nothing happens.
void RunEventLoopFor(int ms);

// CPU time (user + system) this process has used, in seconds.
double ProcessCpuSeconds();

// A pseudo-terminal whose other end is the box model, answered from the event loop.
class PtyBox {
 public:
  PtyBox();
  ~PtyBox();
  PtyBox(const PtyBox&) = delete;
  PtyBox& operator=(const PtyBox&) = delete;

  bool ok() const { return master_ >= 0; }
  const std::string& path() const { return path_; }
  boxsim::BoxModel& model() { return model_; }
  // When false, what the PC writes is collected but not answered.
  void set_answering(bool on) { answering_ = on; }
  // Everything the PC wrote so far.
  const std::vector<uint8_t>& received() const { return received_; }
  // Writes bytes to the PC as the box would.
  void Send(const std::vector<uint8_t>& bytes);
  // Hangs up: closes the box's end and the terminal side it kept open.
  void HangUp();

 private:
  void OnReadable();

  int master_ = -1;
  int slave_keep_ = -1;
  std::string path_;
  boxsim::BoxModel model_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::vector<uint8_t> received_;
  bool answering_ = true;
};

// The box-sim program, started with the given switches; its pseudo-terminal path is read from
// its first line of output.
class BoxSimProcess {
 public:
  explicit BoxSimProcess(const QStringList& args = {});
  ~BoxSimProcess();
  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  void Kill();

 private:
  QProcess process_;
  std::string path_;
};

// ser2net, the serial-over-network server, in front of a serial device (a pseudo-terminal here)
// on 127.0.0.1 with two accepters: raw TCP and Telnet with COM Port Control (RFC 2217). It can be
// stopped and started again on the same ports, as a server that goes away and comes back.
class Ser2net {
 public:
  // The server's program; empty when it is not installed.
  static QString Executable();
  // Why tests that need the server are skipped when it is missing.
  static const char* MissingText();

  explicit Ser2net(std::string device);
  ~Ser2net();
  Ser2net(const Ser2net&) = delete;
  Ser2net& operator=(const Ser2net&) = delete;

  // Starts the server (on the ports of the first start when started again); true once both
  // accepters listen.
  bool Start();
  void Stop();
  bool running() const { return process_.state() != QProcess::NotRunning; }
  // The two forms of the box's address.
  std::string TcpAddress() const;
  std::string TelnetAddress() const;

 private:
  std::string device_;
  QTemporaryDir dir_;
  QProcess process_;
  quint16 tcp_port_ = 0;
  quint16 telnet_port_ = 0;
};

// A TCP port on 127.0.0.1 whose listen queue is full: the system takes no more connections there
// and drops their first packet, as a host that does not answer. Held until destroyed.
class UnansweredPort {
 public:
  UnansweredPort();
  ~UnansweredPort();
  UnansweredPort(const UnansweredPort&) = delete;
  UnansweredPort& operator=(const UnansweredPort&) = delete;
  bool ok() const { return port_ != 0; }
  quint16 port() const { return port_; }

 private:
  int listener_ = -1;
  std::vector<int> fillers_;
  quint16 port_ = 0;
};

}  // namespace kc::e2e

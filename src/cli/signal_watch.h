// Ctrl+C and SIGTERM during a restore: the first one is handed to the event loop (a self-pipe
// read by a QSocketNotifier, so the handler itself only writes one byte), which stops sending and
// reports what each box now holds; a second one ends the program at once.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace kc::cli {

class SignalWatch : public QObject {
 public:
  // exit_code is what the program ends with on the second signal. One watch at a time. When the
  // watch cannot be set up (no file descriptor left for its pipe) it says so on standard error
  // and in the log, and the signals keep their old handling.
  SignalWatch(std::function<void(int signal)> first, int exit_code);
  ~SignalWatch() override;
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  bool fired() const { return fired_; }

 private:
  void OnReadable();

  std::function<void(int)> first_;
  std::unique_ptr<QSocketNotifier> notifier_;
  bool fired_ = false;
};

}  // namespace kc::cli

#include "cli/signal_watch.h"

#include <fcntl.h>
#include <unistd.h>

#include <QString>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "cli/command_support.h"
#include "link/qt/diagnostic_log.h"

namespace kc::cli {
namespace {

int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_signals = 0;
volatile sig_atomic_t g_exit_code = 1;
struct sigaction g_old_int {};
struct sigaction g_old_term {};

// Only async-signal-safe calls here.
void OnSignal(int signal) {
  g_signals = g_signals + 1;
  if (g_signals >= 2) ::_exit(g_exit_code);
  const unsigned char byte = static_cast<unsigned char>(signal);
  const ssize_t ignored = ::write(g_pipe[1], &byte, 1);
  (void)ignored;
}

}  // namespace

SignalWatch::SignalWatch(std::function<void(int)> first, int exit_code) : first_(std::move(first)) {
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    // The signals keep the handling they had: the first one ends the program at once.
    const std::string line = std::string("Ctrl+C cannot be caught (") + std::strerror(errno) +
                             "): it ends the program at once, without naming the boxes that "
                             "hold part of the file";
    Err("karaoke-ctl: " + line + "\n");
    LogLine(QString::fromStdString(line));
    return;
  }
  g_signals = 0;
  g_exit_code = exit_code;
  notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { OnReadable(); });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_old_int);
  sigaction(SIGTERM, &action, &g_old_term);
}

SignalWatch::~SignalWatch() {
  if (g_pipe[0] < 0) return;
  sigaction(SIGINT, &g_old_int, nullptr);
  sigaction(SIGTERM, &g_old_term, nullptr);
  notifier_.reset();
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

void SignalWatch::OnReadable() {
  unsigned char byte = 0;
  int signal = 0;
  while (::read(g_pipe[0], &byte, 1) == 1) signal = byte;
  if (fired_ || signal == 0) return;
  fired_ = true;
  if (first_) first_(signal);
}

}  // namespace kc::cli

// clang-format off
#include "pty_box.h"
// clang-format on

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <cstdlib>

namespace kc::e2e {

bool WaitFor(const std::function<bool()>& pred, int timeout_ms) {
  QDeadlineTimer deadline(timeout_ms);
  while (!pred()) {
    if (deadline.hasExpired()) return pred();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::sendPostedEvents();
    QThread::msleep(1);
  }
  return true;
}

void RunEventLoopFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

PtyBox::PtyBox() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0) return;
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    close(master_);
    master_ = -1;
    return;
  }
  path_ = ptsname(master_);
  // Keep the terminal side open, so the PC closing and reopening the port is no hang-up, and
  // make it raw: no echo, no line editing, bytes as they are.
  slave_keep_ = open(path_.c_str(), O_RDWR | O_NOCTTY);
  if (slave_keep_ >= 0) {
    termios raw{};
    tcgetattr(slave_keep_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave_keep_, TCSANOW, &raw);
  }
  notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { OnReadable(); });
}

PtyBox::~PtyBox() { HangUp(); }

void PtyBox::HangUp() {
  notifier_.reset();
  if (slave_keep_ >= 0) close(slave_keep_);
  if (master_ >= 0) close(master_);
  slave_keep_ = -1;
  master_ = -1;
}

void PtyBox::Send(const std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (master_ >= 0 && done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return;
    }
  }
}

void PtyBox::OnReadable() {
  uint8_t buffer[512];
  for (;;) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    received_.insert(received_.end(), buffer, buffer + n);
    if (answering_) Send(model_.Feed(buffer, static_cast<std::size_t>(n)));
  }
}

BoxSimProcess::BoxSimProcess(const QStringList& args) {
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.start(QStringLiteral(BOX_SIM_PATH), args);
  if (!process_.waitForStarted(5000)) return;
  QDeadlineTimer deadline(5000);
  while (!process_.canReadLine() && !deadline.hasExpired()) {
    process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
  }
  if (process_.canReadLine()) path_ = process_.readLine().trimmed().toStdString();
}

BoxSimProcess::~BoxSimProcess() {
  if (process_.state() != QProcess::NotRunning) {
    process_.terminate();
    if (!process_.waitForFinished(3000)) process_.kill();
    process_.waitForFinished(3000);
  }
}

void BoxSimProcess::Kill() {
  process_.kill();
  process_.waitForFinished(3000);
}

}  // namespace kc::e2e

// clang-format off
#include "pty_box.h"
// clang-format on

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QStandardPaths>
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

namespace {

// A port on 127.0.0.1 nothing listens on now, chosen by the system.
quint16 FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  quint16 port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

// True when something listens on 127.0.0.1:port (read from the system's table, without
// connecting: a connection would make the server open the device).
bool Listening(quint16 port) {
  QFile table(QStringLiteral("/proc/net/tcp"));
  if (!table.open(QIODevice::ReadOnly)) return false;
  const QString local = QStringLiteral("0100007F:%1").arg(port, 4, 16, QLatin1Char('0')).toUpper();
  for (const QByteArray& line : table.readAll().split('\n')) {
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() > 3 && QString::fromLatin1(fields[1]) == local && fields[3] == "0A") {
      return true;
    }
  }
  return false;
}

}  // namespace

QString Ser2net::Executable() {
  return QStandardPaths::findExecutable(
      QStringLiteral("ser2net"),
      {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/sbin")});
}

const char* Ser2net::MissingText() {
  return "ser2net is not installed (scripts/install-deps installs it): the tests over a serial "
         "device server are skipped";
}

Ser2net::Ser2net(std::string device) : device_(std::move(device)) {
  process_.setProcessChannelMode(QProcess::MergedChannels);
}

Ser2net::~Ser2net() { Stop(); }

bool Ser2net::Start() {
  if (Executable().isEmpty() || !dir_.isValid()) return false;
  Stop();
  if (tcp_port_ == 0) {
    tcp_port_ = FreePort();
    telnet_port_ = FreePort();
    while (telnet_port_ == tcp_port_) telnet_port_ = FreePort();
  }
  const QString config = dir_.filePath(QStringLiteral("ser2net.yaml"));
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const QString device = QString::fromStdString(device_);
  file.write(QStringLiteral("%YAML 1.1\n---\n"
                            "connection: &raw\n"
                            "  accepter: tcp,127.0.0.1,%1\n"
                            "  connector: serialdev,%3,57600n81,local\n"
                            "  options:\n    kickolduser: true\n    mdns: false\n"
                            "connection: &telnet\n"
                            "  accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n"
                            "  connector: serialdev,%3,57600n81,local\n"
                            "  options:\n    kickolduser: true\n    mdns: false\n")
                 .arg(tcp_port_)
                 .arg(telnet_port_)
                 .arg(device)
                 .toUtf8());
  file.close();
  // -n: in the foreground; -u: no UUCP lock files (a user without rights to /var/lock).
  process_.start(Executable(),
                 {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), config,
                  QStringLiteral("-P"), dir_.filePath(QStringLiteral("ser2net.pid"))});
  if (!process_.waitForStarted(5000)) return false;
  QDeadlineTimer deadline(10000);
  while (!deadline.hasExpired() && running()) {
    if (Listening(tcp_port_) && Listening(telnet_port_)) return true;
    QThread::msleep(20);
  }
  return false;
}

void Ser2net::Stop() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(5000)) process_.kill();
  process_.waitForFinished(3000);
}

std::string Ser2net::TcpAddress() const { return "tcp://127.0.0.1:" + std::to_string(tcp_port_); }

std::string Ser2net::TelnetAddress() const {
  return "rfc2217://127.0.0.1:" + std::to_string(telnet_port_);
}

UnansweredPort::UnansweredPort() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listener_, 0) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  // Connections never accepted fill the queue; the system drops what comes after them.
  for (int i = 0; i < 3; ++i) {
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (filler < 0) return;
    fillers_.push_back(filler);
    ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  }
  QThread::msleep(50);
  port_ = ntohs(address.sin_port);
}

UnansweredPort::~UnansweredPort() {
  for (int fd : fillers_) ::close(fd);
  if (listener_ >= 0) ::close(listener_);
}

}  // namespace kc::e2e

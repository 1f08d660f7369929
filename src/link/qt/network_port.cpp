#include "link/qt/network_port.h"

#include <QMetaObject>
#include <algorithm>

namespace kc {

NetworkPort::NetworkPort(QObject* parent)
    : QObject(parent), notifier_([this] { return BytesWaiting(); }) {
  connect(&socket_, &QTcpSocket::connected, this, &NetworkPort::OnConnected);
  connect(&socket_, &QTcpSocket::readyRead, this, &NetworkPort::OnReadyRead);
  connect(&socket_, &QTcpSocket::errorOccurred, this, &NetworkPort::OnError);
}

NetworkPort::~NetworkPort() {
  // No notification or error report may reach the owner while the port goes away.
  socket_.disconnect(this);
  socket_.abort();
}

void NetworkPort::SetReceiveHandler(std::function<void(int count)> handler) {
  notifier_.SetHandler(std::move(handler));
}

void NetworkPort::SetLogHandler(std::function<void(const std::string& line)> log) {
  log_ = std::move(log);
}

std::string NetworkPort::Where() const {
  const bool v6 = address_.host.find(':') != std::string::npos;
  return (v6 ? "[" + address_.host + "]" : address_.host) + ":" + std::to_string(address_.port);
}

bool NetworkPort::Open(const std::string& name) {
  Close();
  ++generation_;
  name_ = name;
  failed_ = false;
  dropped_ = 0;
  problem_ = Problem::kNone;
  problem_text_.clear();
  std::string error;
  PortAddress address;
  if (!ParsePortAddress(name, &address, &error) || address.kind == PortKind::kDevice) {
    problem_ = Problem::kBadAddress;
    problem_text_ = error.empty() ? "not a network address" : error;
    return false;
  }
  address_ = address;
  refusal_logged_ = false;
  if (address_.kind == PortKind::kRfc2217) {
    telnet_.emplace();
  } else {
    telnet_.reset();
  }
  open_ = true;
  socket_.connectToHost(QString::fromStdString(address_.host), address_.port);
  return true;
}

void NetworkPort::Close() {
  if (open_ && !failed_ && socket_.state() != QAbstractSocket::ConnectedState &&
      problem_ == Problem::kNone) {
    // Given up on before the connection was made: the host did not answer in time.
    problem_ = Problem::kTimedOut;
    problem_text_ = "no connection to " + Where() + " in time (timed out)";
    Log("network port " + name_ + ": " + problem_text_);
  }
  open_ = false;
  failed_ = false;
  socket_.abort();
  held_.clear();
  incoming_.clear();
  notifier_.Reset();
}

bool NetworkPort::IsOpen() const { return open_ && !failed_; }

bool NetworkPort::Write(const uint8_t* data, std::size_t size) {
  if (!IsOpen()) return false;
  ReceiveNotifier::Busy busy(notifier_);
  std::vector<uint8_t> bytes =
      telnet_ ? Rfc2217Codec::Escape(data, size) : std::vector<uint8_t>(data, data + size);
  if (socket_.state() != QAbstractSocket::ConnectedState) {
    // Goes out the moment the connection is up, as bytes written to a serial port wait in its
    // output buffer.
    held_.insert(held_.end(), bytes.begin(), bytes.end());
    return true;
  }
  return Send(bytes);
}

bool NetworkPort::Send(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return true;
  const qint64 written =
      socket_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  // Out to the network now, not when the event loop next runs.
  socket_.flush();
  return written == static_cast<qint64>(bytes.size()) && !failed_;
}

std::size_t NetworkPort::Read(uint8_t* data, std::size_t size) {
  if (!IsOpen() || size == 0) return 0;
  ReceiveNotifier::Busy busy(notifier_);
  const std::size_t got = std::min(size, incoming_.size());
  std::copy_n(incoming_.begin(), got, data);
  incoming_.erase(incoming_.begin(), incoming_.begin() + static_cast<std::ptrdiff_t>(got));
  notifier_.NoteRead(got);
  return got;
}

std::size_t NetworkPort::BytesWaiting() const { return IsOpen() ? incoming_.size() : 0; }

void NetworkPort::OnConnected() {
  // Frames are a few bytes each and wait for an answer: they must not wait for more to send.
  socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
  socket_.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
  Log("network port " + name_ + ": connected");
  std::vector<uint8_t> first = telnet_ ? telnet_->Greeting() : std::vector<uint8_t>{};
  first.insert(first.end(), held_.begin(), held_.end());
  held_.clear();
  Send(first);
}

void NetworkPort::OnReadyRead() {
  const QByteArray raw = socket_.readAll();
  if (!IsOpen() || raw.isEmpty()) return;
  const auto* bytes = reinterpret_cast<const uint8_t*>(raw.constData());
  const auto size = static_cast<std::size_t>(raw.size());
  std::size_t before = incoming_.size();
  if (telnet_) {
    std::vector<uint8_t> data;
    std::vector<uint8_t> reply;
    telnet_->Receive(bytes, size, &data, &reply);
    incoming_.insert(incoming_.end(), data.begin(), data.end());
    Send(reply);
    if (telnet_->com_port_refused() && !refusal_logged_) {
      refusal_logged_ = true;
      Log("network port " + name_ +
          ": the server does not take line settings (COM Port Control refused); its port must "
          "be set to 57600 8N1 there");
    }
  } else {
    incoming_.insert(incoming_.end(), bytes, bytes + size);
  }
  if (incoming_.size() > kMaxIncoming) {
    const std::size_t excess = incoming_.size() - kMaxIncoming;
    if (dropped_ == 0) {
      Log("network port " + name_ + ": more bytes than any answer of a box, the oldest dropped");
    }
    dropped_ += excess;
    incoming_.erase(incoming_.begin(), incoming_.begin() + static_cast<std::ptrdiff_t>(excess));
    before = std::min(before, incoming_.size());
  }
  if (incoming_.size() > before || incoming_.size() == kMaxIncoming) notifier_.OnArrival();
}

void NetworkPort::OnError(QAbstractSocket::SocketError error) {
  if (!IsOpen()) return;
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
      Fail(Problem::kRefused, "connection refused by " + Where());
      break;
    case QAbstractSocket::HostNotFoundError:
      Fail(Problem::kUnknownHost, "unknown host " + address_.host);
      break;
    case QAbstractSocket::RemoteHostClosedError:
      Fail(Problem::kClosedByServer, Where() + " closed the connection");
      break;
    case QAbstractSocket::SocketTimeoutError:
      Fail(Problem::kTimedOut, "no connection to " + Where() + " in time (timed out)");
      break;
    default:
      Fail(Problem::kNetwork, Where() + ": " + socket_.errorString().toStdString());
      break;
  }
}

void NetworkPort::Fail(Problem problem, const std::string& text) {
  const bool was_up =
      socket_.state() == QAbstractSocket::ConnectedState || problem == Problem::kClosedByServer;
  failed_ = true;
  ++failures_;
  problem_ = problem;
  problem_text_ = text;
  Log("network port " + name_ + " closed: " + text);
  // Aborting inside the socket's own signal is not safe; abort as soon as it has returned.
  const unsigned generation = generation_;
  QMetaObject::invokeMethod(
      this,
      [this, generation, was_up, problem] {
        if (generation == generation_ && failed_) {
          socket_.abort();
          held_.clear();
          incoming_.clear();
          if (was_up && closed_) closed_(problem == Problem::kClosedByServer);
        }
      },
      Qt::QueuedConnection);
}

void NetworkPort::Log(const std::string& line) {
  if (log_) log_(line);
}

}  // namespace kc

#include "link/recording_serial_port.h"

#include <cstdio>

#include "link/frames.h"
#include "link/receiver.h"

namespace kc {

LineRecorder::LineRecorder(std::ostream& out, Clock clock) : out_(out), clock_(std::move(clock)) {}

std::string LineRecorder::Stamp() {
  const int64_t now = clock_ ? clock_() : 0;
  if (!started_) {
    origin_ = now;
    started_ = true;
  }
  const int64_t micros = now - origin_;
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(micros / 1000000),
                static_cast<long long>((micros / 1000) % 1000));
  return text;
}

void LineRecorder::Frame(const std::string& port, LineDirection direction,
                         const std::vector<uint8_t>& bytes) {
  out_ << Stamp() << ' ' << port << ' ' << (direction == LineDirection::kSent ? "TX" : "RX") << ' '
       << HexBytes(bytes) << '\n';
  out_.flush();  // a recording must survive a program that ends abruptly
  ++lines_;
}

void LineRecorder::Note(const std::string& port, const std::string& what) {
  out_ << Stamp() << ' ' << port << ' ' << what << '\n';
  out_.flush();
  ++lines_;
}

void StreamCutter::Feed(const uint8_t* data, std::size_t size,
                        const std::function<void(const std::vector<uint8_t>&)>& piece) {
  pending_.insert(pending_.end(), data, data + size);
  const auto take = [this, &piece](std::size_t count) {
    piece(std::vector<uint8_t>(pending_.begin(), pending_.begin() + static_cast<long>(count)));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(count));
  };
  while (!pending_.empty()) {
    const uint8_t lead = pending_[0];
    if (lead != kAckLead && lead != kFirstSync) {
      // Skipped by the receiver while it looks for a lead byte: a stray byte.
      stray_.push_back(lead);
      pending_.erase(pending_.begin());
      continue;
    }
    // A run of stray bytes ends at the next lead byte.
    if (!stray_.empty()) {
      piece(stray_);
      stray_.clear();
    }
    const std::size_t head = HeadLength(lead);
    if (pending_.size() < head) return;
    std::size_t total = head;
    // A frame is its head and the length byte's count less one more bytes; an acknowledgement
    // is its head; a rejected head is dropped whole, as the receiver drops it.
    if (JudgeHead(pending_.data()) == HeadKind::kFrame) {
      total = static_cast<std::size_t>(pending_[2]) + 3;
      if (pending_.size() < total) return;
    }
    take(total);
  }
}

void StreamCutter::Flush(const std::function<void(const std::vector<uint8_t>&)>& piece) {
  if (!stray_.empty()) piece(stray_);
  if (!pending_.empty()) piece(pending_);
  stray_.clear();
  pending_.clear();
}

RecordingSerialPort::RecordingSerialPort(SerialPort& inner, LineRecorder& recorder)
    : inner_(inner), recorder_(recorder) {}

bool RecordingSerialPort::Open(const std::string& name) {
  if (inner_.IsOpen()) Close();
  name_ = name;
  const bool opened = inner_.Open(name);
  recorder_.Note(name_, opened ? "OPEN" : "OPEN-FAILED");
  return opened;
}

void RecordingSerialPort::Close() {
  const bool was_open = inner_.IsOpen();
  inner_.Close();
  cutter_.Flush([this](const std::vector<uint8_t>& bytes) {
    recorder_.Frame(name_, LineDirection::kReceived, bytes);
  });
  if (was_open) recorder_.Note(name_, "CLOSE");
}

bool RecordingSerialPort::IsOpen() const { return inner_.IsOpen(); }

bool RecordingSerialPort::Write(const uint8_t* data, std::size_t size) {
  const bool written = inner_.Write(data, size);
  recorder_.Frame(name_, LineDirection::kSent, std::vector<uint8_t>(data, data + size));
  if (!written) recorder_.Note(name_, "WRITE-FAILED");
  return written;
}

std::size_t RecordingSerialPort::Read(uint8_t* data, std::size_t size) {
  const std::size_t got = inner_.Read(data, size);
  cutter_.Feed(data, got, [this](const std::vector<uint8_t>& bytes) {
    recorder_.Frame(name_, LineDirection::kReceived, bytes);
  });
  return got;
}

std::size_t RecordingSerialPort::BytesWaiting() const { return inner_.BytesWaiting(); }

}  // namespace kc

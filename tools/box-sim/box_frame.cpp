#include "box-sim/box_frame.h"

#include <algorithm>

namespace kc::boxsim {

namespace {

// Offsets within a frame.
constexpr std::size_t kLengthOffset = 2;
constexpr std::size_t kAccessOffset = 3;
constexpr std::size_t kPayloadOffset = 6;
constexpr std::size_t kMaxPayload = 251;
// Bytes after the length byte that are not payload: access, two id bytes, checksum.
constexpr std::size_t kFrameOverhead = 4;

}  // namespace

uint8_t FrameChecksum(const uint8_t* frame, std::size_t size) {
  unsigned sum = kLeadByte;
  for (std::size_t i = kAccessOffset; i + 1 < size; ++i) sum += frame[i];
  return static_cast<uint8_t>((sum & 0xFF) ^ kSecondByte);
}

std::vector<uint8_t> EncodeFrame(uint8_t access, uint16_t id, const std::vector<uint8_t>& payload) {
  const std::size_t n = std::min(payload.size(), kMaxPayload);
  std::vector<uint8_t> out;
  out.reserve(n + 7);
  out.push_back(kLeadByte);
  out.push_back(kSecondByte);
  out.push_back(static_cast<uint8_t>(n + kFrameOverhead));
  out.push_back(access);
  out.push_back(static_cast<uint8_t>(id >> 8));
  out.push_back(static_cast<uint8_t>(id & 0xFF));
  out.insert(out.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(n));
  out.push_back(0);
  out.back() = FrameChecksum(out.data(), out.size());
  return out;
}

std::vector<uint8_t> EncodeValueFrame(uint8_t access, uint16_t id, uint16_t value) {
  return EncodeFrame(access, id,
                     {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)});
}

std::vector<uint8_t> EncodeAck() { return {kAckLead, kAckCode}; }

void FrameReader::Push(const uint8_t* data, std::size_t size) {
  // Drop what was consumed before growing, so the buffer stays the size of one pending frame.
  if (start_ > 0) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), data, data + size);
}

void FrameReader::Clear() {
  buffer_.clear();
  start_ = 0;
}

void FrameReader::Skip(std::size_t count) {
  start_ += count;
  skipped_bytes_ += count;
}

bool FrameReader::Next(Frame* frame) {
  for (;;) {
    // Hunt for a lead byte.
    const auto begin = buffer_.begin() + static_cast<std::ptrdiff_t>(start_);
    const auto lead = std::find(begin, buffer_.end(), kLeadByte);
    Skip(static_cast<std::size_t>(lead - begin));
    const std::size_t available = buffer_.size() - start_;
    if (available < kAccessOffset + 1) return false;

    const uint8_t* f = buffer_.data() + start_;
    const std::size_t length = f[kLengthOffset];
    const bool header_ok = f[1] == kSecondByte && length >= kFrameOverhead &&
                           (f[kAccessOffset] == kAccessWrite || f[kAccessOffset] == kAccessRead);
    if (!header_ok) {
      Skip(1);
      continue;
    }
    const std::size_t total = length + 3;
    if (available < total) return false;
    if (FrameChecksum(f, total) != f[total - 1]) {
      ++checksum_errors_;
      Skip(1);
      continue;
    }
    frame->access = f[kAccessOffset];
    frame->id = static_cast<uint16_t>((f[4] << 8) | f[5]);
    frame->payload.assign(f + kPayloadOffset, f + total - 1);
    start_ += total;
    return true;
  }
}

}  // namespace kc::boxsim

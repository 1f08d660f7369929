// The box's side of the serial framing: building the frames and acknowledgements it sends and
// cutting the PC's byte stream into frames. Kept apart from the program's own link code on
// purpose, so that a mistake made the same way on both sides cannot hide.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kc::boxsim {

inline constexpr uint8_t kLeadByte = 0xFC;
inline constexpr uint8_t kSecondByte = 0xB1;
inline constexpr uint8_t kAccessWrite = 0xA7;
inline constexpr uint8_t kAccessRead = 0xA0;
inline constexpr uint8_t kAckLead = 0xFE;
inline constexpr uint8_t kAckCode = 0xBB;
// Largest length byte a frame can carry: 255, so a frame is at most 258 bytes.
inline constexpr std::size_t kMaxFrameSize = 258;

struct Frame {
  uint8_t access = 0;
  uint16_t id = 0;
  std::vector<uint8_t> payload;

  int block() const { return id >> 8; }
  int index() const { return id & 0xFF; }
  // The 16-bit value of a fixed frame (payload low byte first); 0 when the payload is shorter.
  uint16_t value() const {
    return payload.size() >= 2 ? static_cast<uint16_t>(payload[0] | (payload[1] << 8)) : 0;
  }
};

// Checksum of a complete frame: 0xFC plus every byte from the access byte up to the byte before
// the checksum, modulo 256, XOR 0xB1. `size` is the whole frame including its checksum byte.
uint8_t FrameChecksum(const uint8_t* frame, std::size_t size);

// Builds a frame with the given payload (at most 251 bytes; longer payloads are cut there).
std::vector<uint8_t> EncodeFrame(uint8_t access, uint16_t id, const std::vector<uint8_t>& payload);
// Builds a 9-byte fixed frame carrying one value, low byte first.
std::vector<uint8_t> EncodeValueFrame(uint8_t access, uint16_t id, uint16_t value);
// The acknowledgement the box sends for every accepted write, probe and keepalive.
std::vector<uint8_t> EncodeAck();

// Cuts an incoming byte stream into frames, however it is fragmented. Bytes outside frames are
// skipped; a header that cannot start a frame or a frame with a wrong checksum gives up only its
// lead byte, and the search resumes with the byte after it, so a frame hiding behind a false
// start is still found.
class FrameReader {
 public:
  void Push(const uint8_t* data, std::size_t size);
  // Takes the next complete frame with a good checksum; false when none is complete yet.
  bool Next(Frame* frame);
  // Forgets everything buffered.
  void Clear();

  int checksum_errors() const { return checksum_errors_; }
  std::size_t skipped_bytes() const { return skipped_bytes_; }
  std::size_t buffered() const { return buffer_.size() - start_; }

 private:
  void Skip(std::size_t count);

  std::vector<uint8_t> buffer_;
  std::size_t start_ = 0;  // first byte not yet consumed
  int checksum_errors_ = 0;
  std::size_t skipped_bytes_ = 0;
};

}  // namespace kc::boxsim

// Helpers shared by the simulated box's tests: hex literals, request frames built by hand and a
// plain splitter for the box's answers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kc::boxsim::testing {

inline std::vector<uint8_t> Hex(const std::string& text) {
  std::vector<uint8_t> out;
  for (std::size_t i = 0; i + 1 < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    i += 2;
  }
  return out;
}

// A request as the PC builds it: lead, second byte, length, access, id, payload, checksum.
inline std::vector<uint8_t> Request(uint8_t access, uint16_t id,
                                    const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> f = {0xFC,
                            0xB1,
                            static_cast<uint8_t>(payload.size() + 4),
                            access,
                            static_cast<uint8_t>(id >> 8),
                            static_cast<uint8_t>(id)};
  f.insert(f.end(), payload.begin(), payload.end());
  unsigned sum = 0xFC;
  for (std::size_t i = 3; i < f.size(); ++i) sum += f[i];
  f.push_back(static_cast<uint8_t>((sum % 256) ^ 0xB1));
  return f;
}

inline std::vector<uint8_t> Set(uint16_t id, uint16_t value) {
  return Request(0xA7, id, {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)});
}

inline std::vector<uint8_t> ReadValue(uint16_t id, uint16_t value) {
  return Request(0xA0, id, {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)});
}

inline std::vector<uint8_t> Read(uint16_t id) { return Request(0xA0, id, {}); }

inline void Append(std::vector<uint8_t>* out, const std::vector<uint8_t>& more) {
  out->insert(out->end(), more.begin(), more.end());
}

// One piece of a clean answer stream: an acknowledgement or a whole frame.
struct Piece {
  bool ack = false;
  std::vector<uint8_t> bytes;
};

// Splits a clean answer stream by its lead bytes and length bytes; an unknown byte or a
// truncated frame ends the split with `ok` false.
inline std::vector<Piece> SplitAnswers(const std::vector<uint8_t>& stream, bool* ok) {
  std::vector<Piece> pieces;
  *ok = true;
  std::size_t at = 0;
  while (at < stream.size()) {
    if (stream[at] == 0xFE && at + 1 < stream.size()) {
      pieces.push_back({true, {stream[at], stream[at + 1]}});
      at += 2;
    } else if (stream[at] == 0xFC && at + 2 < stream.size() &&
               at + stream[at + 2] + 3 <= stream.size()) {
      const std::size_t total = stream[at + 2] + 3u;
      pieces.push_back({false, {stream.begin() + at, stream.begin() + at + total}});
      at += total;
    } else {
      *ok = false;
      break;
    }
  }
  return pieces;
}

// True when a frame's last byte is the checksum of the bytes before it.
inline bool ChecksumOk(const std::vector<uint8_t>& f) {
  unsigned sum = 0xFC;
  for (std::size_t i = 3; i + 1 < f.size(); ++i) sum += f[i];
  return f.size() >= 7 && f.back() == ((sum % 256) ^ 0xB1);
}

}  // namespace kc::boxsim::testing

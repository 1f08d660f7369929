// A minimal box for the link's unit tests: answers every request the way the box does (block
// data, names, system items, passwords, identity, acknowledgements), from known content. It does
// not interpret writes beyond acknowledging them; the simulated box in tools/box-sim does.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "link/frames.h"
#include "model/parameter_store.h"

namespace kc::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes AckBytes(uint8_t code = kAckCodeBb) { return {kAckLead, code}; }

// A frame as the box sends it: write access, id, payload.
inline Bytes BoxFrame(int id, const Bytes& payload) {
  return BuildVariableFrame(kWriteAccess, id, payload.data(), payload.size());
}

inline Bytes Values(const std::vector<int>& values) {
  Bytes payload;
  for (int v : values) {
    payload.push_back(static_cast<uint8_t>(v & 0xFF));
    payload.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return payload;
}

inline Bytes NamePayload(const std::string& name) {
  Bytes payload;
  for (char c : name) payload.push_back(static_cast<uint8_t>(static_cast<uint8_t>(c) - 32));
  return payload;
}

class MiniBox {
 public:
  MiniBox() {
    for (int block = 0; block <= 8; ++block) {
      for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
        rows[block][slot] = (block * 37 + slot * 11) % 181;
      }
    }
    rows[0][1] = 1;  // Disco on
    for (int k = 0; k < 15; ++k) names[k] = "Mode " + std::to_string(k + 1);
    for (int item : {3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0x20, 0x21, 0x22}) items[item] = item * 3;
  }

  // The box's answer to one request; empty for none.
  Bytes Answer(const Bytes& request) {
    if (request.size() < 7 || silent) return {};
    const int id = request[4] * 256 + request[5];
    const int value = request.size() >= 9 ? request[6] + 256 * request[7] : 0;
    if (request[3] == kWriteAccess) {
      if (id == kLinkControlId && value == kRelease) return {};
      return AckBytes();
    }
    if (id == kReadBlockId) {
      const int n = InfoOfBlock(value)->device_slots;
      return BoxFrame(value << 8, Values({rows[value].begin(), rows[value].begin() + n}));
    }
    if (id == kReadModeNameId) {
      std::string name = names[value];
      name.resize(20, ' ');
      return BoxFrame(id, NamePayload(name));
    }
    if (id == kSystemPasswordId || id == kKeylockPasswordId) {
      Bytes digits;
      for (char c : id == kSystemPasswordId ? system_password : keylock_password) {
        digits.push_back(static_cast<uint8_t>(c - '0'));
      }
      return BoxFrame(id, digits);
    }
    if (id == kDeviceIdentityId) return BoxFrame(id, {identity.begin(), identity.end()});
    return BoxFrame(id, Values({items[id & 0xFF]}));
  }

  std::array<std::array<int, kDeviceColumns>, 9> rows{};
  std::array<std::string, 15> names;
  std::map<int, int> items;
  std::string system_password = "314159";
  std::string keylock_password = "2718";
  std::array<uint8_t, 4> identity = {0x12, 0xAB, 0x00, 0xFF};
  bool silent = false;
};

}  // namespace kc::testing

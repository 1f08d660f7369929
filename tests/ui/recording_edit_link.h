// An EditLink that stores like the real link and records what it would send, for handler tests.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "model/parameter_store.h"
#include "ui/editing/edit_link.h"

namespace kc::test {

class RecordingEditLink : public EditLink {
 public:
  struct Sent {
    enum Kind { kParam, kBand, kPassword, kStoreMode } kind;
    int id;
    int value;
    std::string text;
    bool operator==(const Sent&) const = default;
  };

  explicit RecordingEditLink(ParameterStore& store) : store_(store) {}

  void SendParam(int id, int32_t value) override {
    store_.StoreValue(id, value);
    if (Sends()) sent.push_back({Sent::kParam, id, value, {}});
  }
  void SendEqBand(int id, int32_t value) override {
    store_.StoreValue(id, value);
    if (Sends()) sent.push_back({Sent::kBand, id, value, {}});
  }
  bool send_suppress() const override { return suppress; }
  void set_send_suppress(bool raised) override { suppress = raised; }
  bool ready() const override { return is_ready; }
  bool busy() const override { return is_busy; }
  void StoreMode(int mode, const std::string& name) override {
    if (mode >= 0 && mode < 15) names[static_cast<std::size_t>(mode)] = name;
    sent.push_back({Sent::kStoreMode, mode, 0, name});
  }
  void SendPassword(int id, const std::string& digits) override {
    if (id == 0x0904) system = digits;
    if (id == 0x0905) keylock = digits;
    sent.push_back({Sent::kPassword, id, 0, digits});
  }
  std::string mode_name(int number) const override {
    return number >= 1 && number <= 15 ? names[static_cast<std::size_t>(number - 1)] : "";
  }
  std::string system_password() const override { return system; }
  std::string keylock_password() const override { return keylock; }
  std::string device_id() const override { return identity; }

  // Sends of one kind, in order.
  std::vector<Sent> Of(Sent::Kind kind) const {
    std::vector<Sent> out;
    for (const Sent& s : sent) {
      if (s.kind == kind) out.push_back(s);
    }
    return out;
  }

  std::vector<Sent> sent;
  bool suppress = false;
  bool is_ready = true;
  bool is_busy = false;
  std::array<std::string, 15> names{};
  std::string system;
  std::string keylock;
  std::string identity;

 private:
  bool Sends() const { return !suppress && is_ready; }
  ParameterStore& store_;
};

}  // namespace kc::test

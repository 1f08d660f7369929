// The editor's handlers reach the box through the program's link: the one place where the
// editor's edits, the send-suppress switch and the received texts meet the link.
#pragma once

#include "link/link.h"
#include "model/parameter_ids.h"
#include "ui/editing/edit_link.h"

namespace kc {

class LinkEditAdapter : public EditLink {
 public:
  explicit LinkEditAdapter(Link& link) : link_(link) {}

  void SendParam(int id, int32_t value) override { link_.SendParam(id, value); }
  void SendEqBand(int id, int32_t value) override { link_.SendEqBand(id, value); }
  bool send_suppress() const override { return link_.send_suppress(); }
  void set_send_suppress(bool raised) override { link_.set_send_suppress(raised); }
  bool ready() const override { return link_.state() == LinkState::kReady; }
  bool busy() const override { return link_.busy(); }
  void StoreMode(int mode, const std::string& name) override { link_.StoreMode(mode, name); }
  void SendPassword(int id, const std::string& digits) override { link_.SendPassword(id, digits); }
  // Mode numbers count from 1.
  std::string mode_name(int number) const override {
    if (number < 1 || number > kModeCount) return {};
    return link_.mode_names()[static_cast<std::size_t>(number - 1)];
  }
  std::string system_password() const override { return link_.system_password(); }
  std::string keylock_password() const override { return link_.keylock_password(); }
  std::string device_id() const override { return link_.device_id(); }

 private:
  Link& link_;
};

}  // namespace kc

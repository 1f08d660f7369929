// The editor's handlers reach the box through the link window's Link; before the link exists (or
// after it has gone) edits still land in the store and nothing is sent.
#pragma once

#include "app/link_window.h"
#include "link/link.h"
#include "model/parameter_store.h"
#include "ui/editing/edit_link.h"

namespace kc {

class LinkEditAdapter : public EditLink {
 public:
  LinkEditAdapter(TForm3& link_window, ParameterStore& store)
      : window_(link_window), store_(store) {}

  void SendParam(int id, int32_t value) override {
    if (window_.attached()) {
      window_.link().SendParam(id, value);
    } else {
      store_.StoreValue(id, value);
    }
  }
  void SendEqBand(int id, int32_t value) override {
    if (window_.attached()) {
      window_.link().SendEqBand(id, value);
    } else {
      store_.StoreValue(id, value);
    }
  }
  bool send_suppress() const override {
    return window_.attached() ? window_.link().send_suppress() : suppress_;
  }
  void set_send_suppress(bool raised) override {
    suppress_ = raised;
    if (window_.attached()) window_.link().set_send_suppress(raised);
  }
  bool ready() const override {
    return window_.attached() && window_.link().state() == LinkState::kReady;
  }
  bool busy() const override { return window_.attached() && window_.link().busy(); }
  void StoreMode(int mode, const std::string& name) override {
    if (window_.attached()) window_.link().StoreMode(mode, name);
  }
  void SendPassword(int id, const std::string& digits) override {
    if (window_.attached()) window_.link().SendPassword(id, digits);
  }
  std::string mode_name(int number) const override {
    if (!window_.attached() || number < 1 || number > 15) return {};
    return window_.link().mode_names()[static_cast<std::size_t>(number - 1)];
  }
  std::string system_password() const override {
    return window_.attached() ? window_.link().system_password() : std::string();
  }
  std::string keylock_password() const override {
    return window_.attached() ? window_.link().keylock_password() : std::string();
  }
  std::string device_id() const override {
    return window_.attached() ? window_.link().device_id() : std::string();
  }

 private:
  TForm3& window_;
  ParameterStore& store_;
  bool suppress_ = false;
};

}  // namespace kc

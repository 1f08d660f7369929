// What the editor's handlers need of the link to the box: the two send operations, the
// send-suppress flag, whether the box is connected, the mode and password commands and the texts
// the box sent with the last download. The program hands the real link through an adapter;
// tests hand a recorder.
//
// Both send operations store the value first; while the send-suppress flag is raised or the box
// is not Ready they store and send nothing.
#pragma once

#include <cstdint>
#include <string>

namespace kc {

class EditLink {
 public:
  virtual ~EditLink() = default;

  virtual void SendParam(int id, int32_t value) = 0;
  virtual void SendEqBand(int id, int32_t value) = 0;

  virtual bool send_suppress() const = 0;
  virtual void set_send_suppress(bool raised) = 0;
  // True while the link is Ready (connected and not busy with a transfer).
  virtual bool ready() const = 0;
  // True while the link is not Ready because it is on its way there: searching, transferring,
  // or waiting for the box to complete a recall or a store.
  virtual bool busy() const = 0;

  // Stores the present settings on the box as mode 0..14 under a name; completes with a refresh
  // of the mode list when the box acknowledges it.
  virtual void StoreMode(int mode, const std::string& name) = 0;
  // Sends a password (0x0904 system, 0x0905 key lock) and takes it as the new copy.
  virtual void SendPassword(int id, const std::string& digits) = 0;

  // Texts received with the last download (empty before the first one).
  virtual std::string mode_name(int number) const = 0;  // number 1..15
  virtual std::string system_password() const = 0;
  virtual std::string keylock_password() const = 0;
  virtual std::string device_id() const = 0;
};

// Raises the send-suppress flag for its lifetime and restores what it was.
class SendSuppressed {
 public:
  explicit SendSuppressed(EditLink& link) : link_(link), previous_(link.send_suppress()) {
    link_.set_send_suppress(true);
  }
  ~SendSuppressed() { link_.set_send_suppress(previous_); }
  SendSuppressed(const SendSuppressed&) = delete;
  SendSuppressed& operator=(const SendSuppressed&) = delete;

 private:
  EditLink& link_;
  bool previous_;
};

}  // namespace kc

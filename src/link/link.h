// The conversation with the box: port scan, whole-block transfers, pacing of edits, keepalive and
// loss detection. A plain class driven by its tick methods; the program mirrors the three timers
// it asks for onto QTimers, tests call the ticks directly.
//
// The public surface below is what the windows use; the state machine itself is described at the
// top of link.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "link/link_host.h"
#include "link/serial_port.h"
#include "model/parameter_store.h"

namespace kc {

enum class LinkState { kNotReady, kReady };
enum class LinkEventKind { kTransferDone, kReload, kSaved, kStartDownload, kStartUpload, kLost, kFailed };

class Link {
 public:
  Link(SerialPort& port, ParameterStore& store, LinkHost& host);
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // The port list the scan walks through, sorted as text by the caller.
  void SetPortNames(std::vector<std::string> names);
  const std::vector<std::string>& port_names() const;

  // Menu commands: connect (scan the ports) and disconnect (release the box).
  void Connect();
  void Disconnect();
  // Closing the editor window: sends the release while Ready.
  void ReleaseOnClose();

  // Timer handlers: 600 ms scan, 100 ms transfer steps, 20 ms pacing and keepalive.
  void Timer1Timer();
  void Timer2Timer();
  void HoldTimerTimer();
  // Receive notification with the number of bytes waiting in the port.
  void ComPortRxChar(int count);

  // Edit send paths.
  void SendParam(int id, int32_t value);
  void SendEqBand(int id, int32_t value);
  void LinkEvent(LinkEventKind event);

  // Store-mode command of the box's mode list (mode number 0..14, name up to 20 characters);
  // completes with the Saved event when the box acknowledges it.
  void StoreMode(int mode, const std::string& name);
  // Password commands (digit strings only).
  void SendPassword(int id, const std::string& digits);

  LinkState state() const;
  const std::string& status_text() const;
  bool send_suppress() const;
  void set_send_suppress(bool raised);

  // Received system texts.
  const std::array<std::string, 15>& mode_names() const;
  const std::string& system_password() const;
  const std::string& keylock_password() const;
  const std::string& device_id() const;

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace kc

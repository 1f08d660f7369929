// The receive path: cuts the byte stream from the box into acknowledgements and frames, checks
// each frame's checksum and puts what it carries into the device image, the mode names, the
// password copies and the device identity. It tells the connection logic what arrived through
// the link flags.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/box_image.h"
#include "link/link_host.h"
#include "link/serial_port.h"
#include "model/parameter_ids.h"
#include "model/parameter_store.h"

namespace kc {

// How far the current transfer step has got.
enum class WaitState { kIdle, kAckReceived, kFrameReceived, kWaiting, kLongWait };

// Flags the receive path sets and the connection logic reads and clears.
struct LinkFlags {
  bool answer_seen = false;
  bool clear_to_send = false;
  WaitState wait = WaitState::kIdle;
  // A complete frame arrived but failed its checksum; nothing of it was stored. The transfer
  // asks for the same step again.
  bool frame_rejected = false;
  // A device identity frame arrived (the answer to an identity read).
  bool identity_received = false;
};

// Texts received from the box, kept from one download to the next.
struct SystemTexts {
  std::array<std::string, kModeCount> mode_names;
  std::string system_password;
  std::string keylock_password;
  std::string device_id;
};

enum class RxState { kHunting, kHeader, kBody };

// Each byte as two upper-case hexadecimal digits, separated by single spaces.
std::string HexBytes(const uint8_t* data, std::size_t size);
inline std::string HexBytes(const std::vector<uint8_t>& bytes) {
  return HexBytes(bytes.data(), bytes.size());
}

class Receiver {
 public:
  Receiver(SerialPort& port, ParameterStore& store, LinkHost& host);

  // The port's receive notification; count is the number of bytes waiting when it was given.
  void ComPortRxChar(int count);
  // Checks and applies one complete fixed or variable frame; false when it failed its checksum
  // or its length and nothing of it was applied.
  bool ParseFrame(const std::vector<uint8_t>& frame);
  // Frames that failed their checksum since the counter was last reset.
  int checksum_errors() const { return checksum_errors_; }
  // Where block data is also noted as received from the box (nullptr: nowhere).
  void set_received(BoxImage* image) { received_image_ = image; }
  void ResetChecksumErrors() { checksum_errors_ = 0; }

  LinkFlags& flags() { return flags_; }
  const LinkFlags& flags() const { return flags_; }
  SystemTexts& texts() { return texts_; }
  const SystemTexts& texts() const { return texts_; }
  // The next mode whose name is requested; a name frame belongs to the mode before it.
  int mode_name_index() const { return mode_name_index_; }
  void set_mode_name_index(int index) { mode_name_index_ = index; }

  RxState state() const { return state_; }
  const std::vector<uint8_t>& buffer() const { return buffer_; }

 private:
  // Reads at most `budget` single bytes until a lead byte; false when none turned up.
  bool Hunt(int& budget);
  // Reads header bytes; returns true when the notification should go on to the body.
  bool ReadHeader(int& budget);
  // Reads the body once all of it is waiting and applies the frame.
  void ReadBody(int count, int budget);
  void ResumeHunting();
  void Log(const std::string& line) { host_.AppendLog(line); }
  void Drop(const std::string& why, const std::vector<uint8_t>& bytes);
  void ApplyBlockData(const std::vector<uint8_t>& frame);
  void ApplySystemFrame(const std::vector<uint8_t>& frame);

  SerialPort& port_;
  ParameterStore& store_;
  LinkHost& host_;
  LinkFlags flags_;
  SystemTexts texts_;
  int mode_name_index_ = 0;
  int checksum_errors_ = 0;
  BoxImage* received_image_ = nullptr;

  RxState state_ = RxState::kHunting;
  uint16_t expected_ = 0;
  uint16_t received_ = 0;
  std::vector<uint8_t> buffer_;
};

}  // namespace kc

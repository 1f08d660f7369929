// The receive path: cuts the byte stream from the box into acknowledgements and frames, checks
// each frame's checksum and puts what it carries into the device image, the mode names, the
// password copies and the device identity. It tells the connection logic what arrived through
// the link flags.
//
// What it holds from the line is bounded: one frame at most (a length byte says 255 more), and
// bytes that make no frame are read and let go. A line that sends more than kFloodBytes of them
// with no acknowledgement or frame among them is flooding (a wrong device, a wrong line speed, a
// server sending something else): the receiver logs it once per run (FloodLogLine), and a host
// that reads the line (FloodOfLogLine) ends the conversation.
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

// The log line of a flood: "the line sent N bytes that were no frame". It comes from inside the
// receive notification: a host that ends the conversation on it closes the port afterwards.
std::string FloodLogLine(std::size_t noise_bytes);
// N of a flood's log line; 0 for any other line.
std::size_t FloodOfLogLine(const std::string& line);

class Receiver {
 public:
  // Bytes that make no frame, in a row, after which the line counts as flooding. Line noise
  // between two answers is a few bytes; random bytes hold a chance acknowledgement about once
  // in 32 KiB.
  static constexpr std::size_t kFloodBytes = 4096;

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
  void ResetChecksumErrors() {
    checksum_errors_ = 0;
    flooded_ = false;
  }

  LinkFlags& flags() { return flags_; }
  const LinkFlags& flags() const { return flags_; }
  SystemTexts& texts() { return texts_; }
  const SystemTexts& texts() const { return texts_; }
  // The next mode whose name is requested; a name frame belongs to the mode before it.
  int mode_name_index() const { return mode_name_index_; }
  void set_mode_name_index(int index) { mode_name_index_ = index; }

  // Bytes read that made no acknowledgement or frame, in all and since the last one that did.
  std::size_t noise_bytes() const { return noise_bytes_; }
  std::size_t noise_run() const { return noise_run_; }
  // The noise run passed kFloodBytes (and was logged); a good answer ends it.
  bool flooded() const { return flooded_; }

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
  // `count` bytes were let go as no frame; a good answer ends the run. A flood is logged once
  // until the next connection: random bytes make an acknowledgement now and then, and a line
  // that floods on would fill the log.
  void Noise(std::size_t count);
  void Answered() { noise_run_ = 0; }
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
  std::size_t noise_bytes_ = 0;
  std::size_t noise_run_ = 0;
  bool flooded_ = false;
};

}  // namespace kc

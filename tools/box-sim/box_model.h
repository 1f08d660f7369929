// The simulated box: what the effects box holds and how it answers the PC, byte for byte.
//
// The box keeps a present image (rows of blocks 0 to 8 in its own slot order, plus the system
// items of block 9), fifteen named modes each with a stored image of blocks 0 to 8, a system
// password, a key-lock password and a four-byte identity. Feed() takes whatever bytes the PC
// wrote and returns what the box sends back. Standard library only: the pseudo-terminal front end
// (main.cpp) and the tests drive the same model.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "box-sim/box_frame.h"

namespace kc::boxsim {

inline constexpr int kAudioBlocks = 9;   // blocks 0..8
inline constexpr int kSystemBlock = 9;   // system items
inline constexpr int kModeCount = 15;    // modes 1..15 on the panel, 0..14 on the wire
inline constexpr int kModeNameMax = 20;  // characters of a mode name
inline constexpr int kSystemPasswordLength = 6;
inline constexpr int kKeylockPasswordLength = 4;

// System block items and commands by index (ids 0x09xx).
inline constexpr int kItemModeName = 0x00;
inline constexpr int kItemStoreMode = 0x01;
inline constexpr int kItemRecallMode = 0x02;  // also the number of the current mode
inline constexpr int kItemSystemPassword = 0x04;
inline constexpr int kItemKeylockPassword = 0x05;
inline constexpr int kItemWriteBlock = 0x0F;
inline constexpr int kItemReadBlock = 0x10;
inline constexpr int kItemLinkControl = 0x30;
inline constexpr int kItemIdentity = 0x40;

inline constexpr uint16_t kLinkProbe = 0x11;
inline constexpr uint16_t kLinkKeepalive = 0x66;
inline constexpr uint16_t kLinkRelease = 0xAA;

// How the box lays out one block.
struct BlockLayout {
  int parameters;  // indices the PC addresses, 0..parameters-1
  int slot_count;  // length of the block's row in the box
  int eq_bands;
  int first_eq;    // index of field 0 of band 0
  int band_index;  // index of the band address (whole-band writes); -1 for none
};

// Layout of blocks 0..9; nullptr for any other block.
const BlockLayout* LayoutOf(int block);

// Slot of the box's row that a PC index writes to, under the box's Sing (0) / Disco (1) setting;
// -1 when the index names no parameter of the block.
//   Music: indices 2 and up have a Sing set (slots 2..53) and a Disco set (slots 54..105).
//   Main output, Subwoofer, Centre (indices 0..19) and Rear (0..17): the PC edits the even index;
//   with Disco on the box puts it in the odd twin slot after it. An odd index in that range names
//   its twin slot directly, so it never spills into the first unpaired slot. The output blocks'
//   EQ bands lie above the pairs and are shared by Sing and Disco.
//   All other blocks and indices: the slot is the index.
int SlotOfIndex(int block, int index, int disco);

// Which frames a loss window (Faults::lose_from_ms) loses.
enum class LoseKind {
  kAll,        // every frame
  kEdit,       // edit frames (IsEditFrame)
  kKeepalive,  // keepalives (IsKeepaliveFrame)
};

// An edit: a write to blocks 0..9 other than link control 0x0930 (parameters, EQ bands, system
// items, recall, store, passwords, whole blocks).
bool IsEditFrame(const Frame& frame);
// A keepalive: link control 0x0930 written with 0x66.
bool IsKeepaliveFrame(const Frame& frame);

// Fault switches for testing the PC's failure handling.
struct Faults {
  // Handle this many frames, then go silent: later bytes are neither applied nor answered, as if
  // the cable were pulled. -1 for never.
  int silent_after_frames = -1;
  // Leave out every k-th acknowledgement (the command is still carried out). 0 for never.
  int drop_ack_every = 0;
  // Send every k-th outgoing frame with a wrong checksum. 0 for never.
  int corrupt_checksum_every = 0;
  // Flip one payload byte of every k-th outgoing frame and leave its checksum as computed for
  // the true bytes, as a real line error does. 0 for never.
  int corrupt_payload_every = 0;
  // Answer a read of this block with only the first short_block_values values (a box with a
  // damaged row, or another program's answers mixed in). -1 for never.
  int short_block = -1;
  int short_block_values = 0;
  // Once silent, stay deaf for this many whole frames of the PC's, then answer again, as a cable
  // that is pulled and plugged back in. -1 for for ever.
  int silent_for_frames = -1;
  // Deliver answers in small pieces (done by the front end; see SplitIntoPieces).
  bool split_writes = false;
  // Put this many line-noise bytes before every answer. They are never 0xFC or 0xFE: a receiver
  // drops anything that cannot start a frame or an acknowledgement, so this noise is recoverable.
  // A noise lead byte would instead swallow the start of the next answer, which is frame loss,
  // and frame loss is what drop_ack_every and corrupt_checksum_every already provide.
  int noise_bytes = 0;
  // Wait this long before answering (done by the front end).
  int answer_delay_ms = 0;
  // Seed of the noise generator, so that a run can be repeated.
  uint32_t noise_seed = 1;
  // Lose, unheard (neither carried out nor answered), the frames of kind lose_only whose last
  // byte arrives from lose_from_ms up to, not including, lose_to_ms after the box answered its
  // first identity read (0x0940), as a loose connector does for a few seconds. Before that
  // answer nothing is lost. -1 for no window.
  int lose_from_ms = -1;
  int lose_to_ms = -1;
  LoseKind lose_only = LoseKind::kAll;
  // Lose the n-th edit frame (1-based; every intact edit frame heard outside a silent_after
  // silence counts, one lost in the window too). 0 for none.
  int lose_edit_frame = 0;
  // When the box comes back from a silence (the first frame heard after a silent_for silence, or
  // the first frame arriving at or after lose_to_ms), it is another box, once: it answers
  // identity reads with swapped_identity, and its present settings are another stored mode's
  // (mode 4, or the next one whose Music row differs from the present one). Passwords, mode
  // names and stored modes stay.
  bool swap_identity = false;
  std::array<uint8_t, 4> swapped_identity{};
  // Acknowledge the probe and everything else, but never answer an identity read (0x0940): a
  // box whose firmware stalls on it, or another device that acknowledges what it is sent.
  bool no_identity = false;
  // Acknowledge every write (edits, bands, block uploads, system items, recalls) and keep none of
  // it: a box whose settings do not stick.
  bool ignore_writes = false;
};

// Cuts bytes into pieces of at most `piece` bytes (at least 1), for split delivery.
std::vector<std::vector<uint8_t>> SplitIntoPieces(const std::vector<uint8_t>& bytes,
                                                  std::size_t piece);

class BoxModel {
 public:
  using Row = std::vector<int32_t>;
  using AudioImage = std::array<Row, kAudioBlocks>;

  // A box as it leaves the factory: fifteen modes with varied levels and EQ, mode 1 current.
  BoxModel();

  // Bytes the PC wrote, in any fragmentation; returns the bytes the box answers, in order.
  // The model keeps no clock: now_ms (milliseconds on any steady clock) says when these bytes
  // arrived, for the loss window; without it they arrive at the time of the previous call (0 at
  // first).
  std::vector<uint8_t> Feed(const uint8_t* data, std::size_t size, int64_t now_ms);
  std::vector<uint8_t> Feed(const uint8_t* data, std::size_t size) {
    return Feed(data, size, now_ms_);
  }
  std::vector<uint8_t> Feed(const std::vector<uint8_t>& bytes, int64_t now_ms) {
    return Feed(bytes.data(), bytes.size(), now_ms);
  }
  std::vector<uint8_t> Feed(const std::vector<uint8_t>& bytes) {
    return Feed(bytes.data(), bytes.size(), now_ms_);
  }

  // Present image: blocks 0..8 in slot order, block 9 the system items by index. Reads outside a
  // block's row give 0; writes outside it are ignored.
  int32_t Slot(int block, int slot) const;
  void SetSlot(int block, int slot, int32_t v);

  // Mode names and stored images, modes 0..14. An unknown mode gives an empty name and 0.
  const std::string& ModeName(int k) const;
  void SetModeName(int k, const std::string& name);
  int32_t StoredSlot(int mode, int block, int slot) const;

  int current_mode() const { return Slot(kSystemBlock, kItemRecallMode); }
  // Sing (0) or Disco (1): slot 1 of the Music row.
  int disco() const { return Slot(0, 1) != 0 ? 1 : 0; }

  const std::string& system_password() const { return system_password_; }
  const std::string& keylock_password() const { return keylock_password_; }
  std::array<uint8_t, 4> identity() const { return identity_; }

  Faults& faults() { return faults_; }
  const Faults& faults() const { return faults_; }

  // What the box has seen: frames handled, frames dropped for a bad checksum, releases.
  int frames_handled() const { return frames_handled_; }
  int checksum_errors() const { return reader_.checksum_errors(); }
  int releases() const { return releases_; }
  bool silent() const;
  void SetIdentity(const std::array<uint8_t, 4>& identity) { identity_ = identity; }

  // The loss faults: frames lost (window or n-th edit), edit frames counted, whether the first
  // identity read was answered (the loss window's time 0) and whether the box became another.
  int frames_lost() const { return frames_lost_; }
  int edit_frames() const { return edit_frames_; }
  bool session_started() const { return session_started_; }
  bool swapped() const { return swapped_; }

 private:
  struct Mode {
    std::string name;
    AudioImage image;
  };

  // True when a frame is lost to the loss window or the n-th-edit switch; counts edit frames
  // and turns the box into another one at the window's end.
  bool Lose(const Frame& frame);
  // The end of a silence: with swap_identity, the box is another one from now on.
  void ComeBack();

  // Carries out one frame and appends the answer, if any, to out.
  void Handle(const Frame& frame, std::vector<uint8_t>* out);
  void HandleWrite(const Frame& frame, std::vector<uint8_t>* out);
  void HandleRead(const Frame& frame, std::vector<uint8_t>* out);
  void HandleSystemWrite(const Frame& frame);
  // Writes a value under a PC index of an audio block; false when the index names nothing.
  bool WriteParameter(int block, int index, uint16_t value);
  bool WriteBand(int block, const std::vector<uint8_t>& payload);
  bool WriteBlock(const std::vector<uint8_t>& payload);
  void StoreMode(const std::vector<uint8_t>& payload);
  void RecallMode(int mode);

  // Answers, with the fault switches applied.
  void SendAck(std::vector<uint8_t>* out);
  void SendFrame(std::vector<uint8_t> frame, std::vector<uint8_t>* out);
  void AddNoise(std::vector<uint8_t>* out);

  std::array<Row, kAudioBlocks + 1> present_;
  std::array<Mode, kModeCount> modes_;
  std::string system_password_;
  std::string keylock_password_;
  std::array<uint8_t, 4> identity_{};

  Faults faults_;
  FrameReader reader_;
  std::minstd_rand noise_;
  uint32_t noise_seed_used_ = 0;
  bool noise_seeded_ = false;
  int frames_handled_ = 0;
  int acks_due_ = 0;
  int frames_sent_ = 0;
  int frames_unheard_ = 0;
  int releases_ = 0;
  int64_t now_ms_ = 0;
  bool session_started_ = false;
  int64_t session_start_ms_ = 0;
  bool window_over_ = false;
  int edit_frames_ = 0;
  int frames_lost_ = 0;
  bool swapped_ = false;
};

}  // namespace kc::boxsim

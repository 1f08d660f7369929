// Frames of the serial line to the box: the 9-byte fixed frame, the variable frame, and the
// builders of every command the program sends. `FrameWriter` writes exactly one frame per port
// write and owns the shared payload buffer that the command builders fill.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/serial_port.h"
#include "model/parameter_ids.h"
#include "model/parameter_store.h"

namespace kc {

inline constexpr uint8_t kFirstSync = 0xFC;
inline constexpr uint8_t kSecondSync = 0xB1;
inline constexpr uint8_t kWriteAccess = 0xA7;
inline constexpr uint8_t kReadAccess = 0xA0;
inline constexpr uint8_t kAckLead = 0xFE;
inline constexpr uint8_t kAckCodeBb = 0xBB;
inline constexpr uint8_t kAckCodeAa = 0xAA;

// Values of the link control command.
inline constexpr uint8_t kProbe = 0x11;
inline constexpr uint8_t kKeepalive = 0x66;
inline constexpr uint8_t kRelease = 0xAA;

// Identifiers of block 9 that are commands rather than settings.
inline constexpr int kReadModeNameId = 0x0900;
inline constexpr int kStoreModeId = 0x0901;
inline constexpr int kRecallModeId = 0x0902;
inline constexpr int kSystemPasswordId = 0x0904;
inline constexpr int kKeylockPasswordId = 0x0905;
inline constexpr int kWriteBlockId = 0x090F;
inline constexpr int kReadBlockId = 0x0910;
inline constexpr int kLinkControlId = 0x0930;
inline constexpr int kDeviceIdentityId = 0x0940;

// The largest payload that is ever built (the write-block command of block 0).
inline constexpr std::size_t kPayloadBufferSize = 214;
// Payload of the store-mode command.
inline constexpr std::size_t kStoreModePayload = 22;

enum class TransferDirection { kDownload, kUpload };

// Steps of the whole-block transfers. Steps 0..kLastBlockStep carry the audio blocks, and a
// reload or an upload ends there; a connection's download goes on with the mode names at
// kModeNamesStep (one request per mode) and the system items and the identity up to
// kLastConnectionStep.
inline constexpr int kLastBlockStep = kAudioBlocks - 1;
inline constexpr int kModeNamesStep = 9;
inline constexpr int kLastConnectionStep = 27;

// ((0xFC + bytes 3 .. size-2) mod 256) XOR 0xB1: the checksum of a frame of `size` bytes whose
// checksum byte is the last one. Bytes 0 and 1 of `frame` are not read.
uint8_t FrameChecksum(const uint8_t* frame, std::size_t size);

// How the receiver cuts what the box sends. At a lead byte it reads a head: FE and one byte more,
// or FC and three bytes more (FC B1 length access). Every other byte is skipped.
inline constexpr std::size_t kAckHeadLength = 2;
inline constexpr std::size_t kFrameHeadLength = 4;
constexpr std::size_t HeadLength(uint8_t lead) {
  return lead == kFirstSync ? kFrameHeadLength : kAckHeadLength;
}
// A length byte below this cannot cover the access byte, the id and the checksum.
inline constexpr uint8_t kShortestFrameLength = 4;
// What a head of HeadLength(head[0]) bytes is: an acknowledgement (FE BB or FE AA), the start of
// a frame whose length byte says how many bytes follow the length byte, or neither; a rejected
// head is dropped whole, and the receiver looks for the next lead byte after it.
enum class HeadKind { kAcknowledgement, kFrame, kRejected, kTooShort };
HeadKind JudgeHead(const uint8_t* head);

// A fixed frame: FC B1 06 access id-high id-low value-low value-high checksum. Values and ids are
// carried as their low 16 bits.
std::vector<uint8_t> BuildFixedFrame(uint8_t access, int id, int32_t value);
// A variable frame of n payload bytes (n + 7 bytes in all, length byte n + 4); n at most 251.
std::vector<uint8_t> BuildVariableFrame(uint8_t access, int id, const uint8_t* payload,
                                        std::size_t n);

// The fields of the system frames the box sends, decoded the one way both the receiver and the
// line recordings' reader read them: a mode name's characters travel as code - 32 (a code above
// 127 reads "?"), a password as one digit per byte, the identity as four bytes written as eight
// hexadecimal digits.
std::string ModeNameFromWire(const uint8_t* payload, std::size_t size);
std::string DigitsFromWire(const uint8_t* payload, std::size_t size);
std::string IdentityFromWire(const uint8_t* payload);  // reads 4 bytes

// Payload of a text-carrying command. For the store-mode id: 22 bytes, the first two characters
// raw, characters 3..22 as (code - 32) mod 256, zero-padded. For any other id: one byte per
// decimal digit. Throws std::invalid_argument for a non-digit (or an over-long text) in a
// digit command.
std::vector<uint8_t> TextCommandPayload(int id, const std::string& text);

// Identifier that download step `step` reads (0x0910 for steps 0..8, 0x0900 for 9, then the
// system items and the identity for 10..27); -1 for any other step.
int DownloadStepId(int step);

// Values a block carries in the write-block command (its device slots); 0 outside 0..8.
int UploadValueCount(int block);

class FrameWriter {
 public:
  explicit FrameWriter(SerialPort& port) : port_(port) {}

  // Where a lost fixed frame is reported, one line per failed write.
  void set_failure_log(std::function<void(const std::string& line)> log) {
    failure_log_ = std::move(log);
  }
  // Fixed frames lost to a failed write since the writer was made.
  int write_failures() const { return write_failures_; }

  // The shared payload buffer the variable-frame writer takes its payload from.
  std::array<uint8_t, kPayloadBufferSize>& payload() { return payload_; }

  // Writes a fixed frame while the port is open; a failed write loses the frame and is counted
  // and logged, not thrown: the pacing loop's resend or the next keepalive recovers it.
  void SendFixedFrame(uint8_t access, int id, int32_t value);
  // Writes a variable frame with the first n bytes of the payload buffer while the port is open.
  // Throws std::runtime_error when the write fails, so the operation that sent it ends there.
  void SendVariableFrame(uint8_t access, int id, std::size_t n);
  // Link control (id 0x0930, write access): probe, keepalive or release.
  void SendLinkCommand(uint8_t code);
  // Store-mode or password command; the conversion error of a password text is thrown before
  // anything is written.
  void SendTextCommand(int id, const std::string& text);
  // One request of a whole-block transfer. Download step 9 expects (mode number, 0) in the
  // payload buffer already; an upload step writes block `step` from the store's device image.
  void SendTransferStep(int step, TransferDirection direction, const ParameterStore& store);
  // The set-EQ-band command for one band of a block, its five values read now from the block's
  // own row of the device image (which the working table mirrors). Reading the row of the band's
  // block rather than the working table keeps a band of microphone group A that is still queued
  // when the user switches to group B from going out with group B's values.
  void SendEqBandFrame(const ParameterStore& store, int block, int band);
  // The band's values from the given Sing/Disco set (0 Sing, 1 Disco) of the device image.
  void SendEqBandFrame(const ParameterStore& store, int block, int band, int disco);

 private:
  void Write(const std::vector<uint8_t>& frame, bool report_failure);

  SerialPort& port_;
  std::array<uint8_t, kPayloadBufferSize> payload_{};
  std::function<void(const std::string& line)> failure_log_;
  int write_failures_ = 0;
};

}  // namespace kc

#include "link/frames.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

namespace kc {
namespace {

// Ids read by download steps 10..27, one per step.
constexpr std::array<int, kLastConnectionStep - kModeNamesStep> kSystemItemSteps = {
    0x0901, 0x0902, 0x0903, 0x0904, 0x0905, 0x0906, 0x0907, 0x0908, 0x0909,
    0x090A, 0x090B, 0x090C, 0x090D, 0x090E, 0x0920, 0x0921, 0x0922, 0x0940};

// Largest payload a length byte can announce (255 - 4).
constexpr std::size_t kMaxFramePayload = 251;

void PutHeader(std::vector<uint8_t>& frame, uint8_t length, uint8_t access, int id) {
  frame.push_back(kFirstSync);
  frame.push_back(kSecondSync);
  frame.push_back(length);
  frame.push_back(access);
  frame.push_back(static_cast<uint8_t>((id >> 8) & 0xFF));
  frame.push_back(static_cast<uint8_t>(id & 0xFF));
}

void PutValue(uint8_t* at, int32_t value) {
  at[0] = static_cast<uint8_t>(value & 0xFF);
  at[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

uint8_t FrameChecksum(const uint8_t* frame, std::size_t size) {
  unsigned sum = kFirstSync;
  for (std::size_t i = 3; i + 1 < size; ++i) sum += frame[i];
  return static_cast<uint8_t>((sum & 0xFF) ^ kSecondSync);
}

HeadKind JudgeHead(const uint8_t* head) {
  if (head[0] == kAckLead) {
    return head[1] == kAckCodeBb || head[1] == kAckCodeAa ? HeadKind::kAcknowledgement
                                                          : HeadKind::kRejected;
  }
  if (head[0] != kFirstSync || head[1] != kSecondSync ||
      (head[3] != kWriteAccess && head[3] != kReadAccess)) {
    return HeadKind::kRejected;
  }
  return head[2] < kShortestFrameLength ? HeadKind::kTooShort : HeadKind::kFrame;
}

std::vector<uint8_t> BuildFixedFrame(uint8_t access, int id, int32_t value) {
  std::vector<uint8_t> frame;
  frame.reserve(9);
  PutHeader(frame, 6, access, id);
  frame.push_back(static_cast<uint8_t>(value & 0xFF));
  frame.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
  frame.push_back(0);
  frame.back() = FrameChecksum(frame.data(), frame.size());
  return frame;
}

std::vector<uint8_t> BuildVariableFrame(uint8_t access, int id, const uint8_t* payload,
                                        std::size_t n) {
  if (n > kMaxFramePayload) throw std::length_error("frame payload longer than 251 bytes");
  std::vector<uint8_t> frame;
  frame.reserve(n + 7);
  PutHeader(frame, static_cast<uint8_t>(n + 4), access, id);
  frame.insert(frame.end(), payload, payload + n);
  frame.push_back(0);
  frame.back() = FrameChecksum(frame.data(), frame.size());
  return frame;
}

std::string ModeNameFromWire(const uint8_t* payload, std::size_t size) {
  std::string name;
  name.reserve(size);
  for (std::size_t i = 0; i < size; ++i) {
    const int code = payload[i] + 32;
    name.push_back(code > 127 ? '?' : static_cast<char>(code));
  }
  return name;
}

std::string DigitsFromWire(const uint8_t* payload, std::size_t size) {
  std::string digits;
  for (std::size_t i = 0; i < size; ++i) digits += std::to_string(payload[i]);
  return digits;
}

std::string IdentityFromWire(const uint8_t* payload) {
  char text[9];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X", payload[0], payload[1], payload[2],
                payload[3]);
  return text;
}

std::vector<uint8_t> TextCommandPayload(int id, const std::string& text) {
  if (id == kStoreModeId) {
    std::vector<uint8_t> payload(kStoreModePayload, 0);
    for (std::size_t i = 0; i < text.size() && i < kStoreModePayload; ++i) {
      const auto c = static_cast<uint8_t>(text[i]);
      payload[i] = i < 2 ? c : static_cast<uint8_t>(c - 32);
    }
    return payload;
  }
  if (text.size() > kPayloadBufferSize) {
    throw std::invalid_argument("'" + text.substr(0, 16) + "...' is too long for a digit command");
  }
  std::vector<uint8_t> payload;
  payload.reserve(text.size());
  for (char c : text) {
    if (c < '0' || c > '9')
      throw std::invalid_argument("'" + text + "' is not a valid integer value");
    payload.push_back(static_cast<uint8_t>(c - '0'));
  }
  return payload;
}

int DownloadStepId(int step) {
  if (step >= 0 && step <= kLastBlockStep) return kReadBlockId;
  if (step == kModeNamesStep) return kReadModeNameId;
  if (step > kModeNamesStep && step <= kLastConnectionStep) {
    return kSystemItemSteps[step - kModeNamesStep - 1];
  }
  return -1;
}

int UploadValueCount(int block) {
  if (block < 0 || block >= kAudioBlocks) return 0;
  return InfoOfBlock(block)->device_slots;
}

void FrameWriter::Write(const std::vector<uint8_t>& frame, bool report_failure) {
  if (!port_.IsOpen()) return;
  if (!report_failure) {
    std::string reason;
    bool written = false;
    try {
      written = port_.Write(frame.data(), frame.size());
    } catch (const std::exception& error) {
      reason = std::string(": ") + error.what();
    } catch (...) {
      reason = ": unknown error";
    }
    if (!written) {
      ++write_failures_;
      if (failure_log_) {
        failure_log_("写入失败，丢失 " + std::to_string(frame.size()) + " 字节的帧" + reason);
      }
    }
    return;
  }
  if (!port_.Write(frame.data(), frame.size())) {
    throw std::runtime_error("Write error on the serial port (" + std::to_string(frame.size()) +
                             " bytes)");
  }
}

void FrameWriter::SendFixedFrame(uint8_t access, int id, int32_t value) {
  Write(BuildFixedFrame(access, id, value), false);
}

void FrameWriter::SendVariableFrame(uint8_t access, int id, std::size_t n) {
  if (n > payload_.size()) throw std::length_error("payload longer than the payload buffer");
  Write(BuildVariableFrame(access, id, payload_.data(), n), true);
}

void FrameWriter::SendLinkCommand(uint8_t code) {
  SendFixedFrame(kWriteAccess, kLinkControlId, code);
}

void FrameWriter::SendTextCommand(int id, const std::string& text) {
  const std::vector<uint8_t> payload = TextCommandPayload(id, text);
  std::copy(payload.begin(), payload.end(), payload_.begin());
  SendVariableFrame(kWriteAccess, id, payload.size());
}

void FrameWriter::SendTransferStep(int step, TransferDirection direction,
                                   const ParameterStore& store) {
  if (direction == TransferDirection::kUpload) {
    const int n = UploadValueCount(step);
    if (n == 0) return;
    payload_[0] = static_cast<uint8_t>(step);
    payload_[1] = 0;
    for (int slot = 0; slot < n; ++slot)
      PutValue(&payload_[2 + 2 * slot], store.Device(step, slot));
    SendVariableFrame(kWriteAccess, kWriteBlockId, 2 + 2 * static_cast<std::size_t>(n));
    return;
  }
  if (step >= 0 && step <= kLastBlockStep) {
    SendFixedFrame(kReadAccess, kReadBlockId, step);
  } else if (step == kModeNamesStep) {
    SendVariableFrame(kReadAccess, kReadModeNameId, 2);
  } else if (step > kModeNamesStep && step <= kLastConnectionStep) {
    SendVariableFrame(kReadAccess, DownloadStepId(step), 0);
  }
}

void FrameWriter::SendEqBandFrame(const ParameterStore& store, int block, int band) {
  SendEqBandFrame(store, block, band, store.disco());
}

void FrameWriter::SendEqBandFrame(const ParameterStore& store, int block, int band, int disco) {
  const BlockInfo* info = InfoOfBlock(block);
  if (info == nullptr || band < 0 || band >= info->eq_bands) return;
  PutValue(&payload_[0], band);
  for (int field = 0; field < 5; ++field) {
    const int index = info->first_eq + 5 * band + field;
    PutValue(&payload_[2 + 2 * field], store.Device(block, DeviceSlot(block, index, disco)));
  }
  SendVariableFrame(kWriteAccess, info->band_address, 12);
}

}  // namespace kc

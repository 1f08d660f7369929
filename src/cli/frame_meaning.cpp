#include "cli/frame_meaning.h"

#include <cstdio>
#include <sstream>

#include "link/frames.h"
#include "link/receiver.h"
#include "model/parameter_ids.h"
#include "model/parameter_store.h"
#include "model/parameter_table.h"

namespace kc::cli {
namespace {

std::string Hex4(int id) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", id & 0xFFFF);
  return text;
}

int Le16(const std::vector<uint8_t>& b, std::size_t at) {
  if (at + 1 >= b.size()) return at < b.size() ? b[at] : 0;
  return b[at] | (b[at + 1] << 8);
}

// "MusGainEdit3 = 102 (-3.6dB)" for a bound parameter, the bare value otherwise.
std::string ParameterValue(int id, int value) {
  const ParameterInfo* info = FindParameter(BlockOf(id), IndexOf(id));
  if (info == nullptr) return std::to_string(value);
  std::string text = info->name + " = " + std::to_string(value);
  // A Q field's text does not depend on the type here: the frame carries one field.
  const std::string shown = DisplayText(*info, value, info->form == ValueForm::kShelfQ ? 1 : 0);
  if (!shown.empty()) text += " (" + shown + ")";
  return text;
}

std::string SentMeaning(const std::vector<uint8_t>& f, uint8_t access, int id,
                        std::size_t payload_size) {
  const bool read = access == kReadAccess;
  const int value = Le16(f, 6);
  const int block = BlockOf(id);
  const int index = IndexOf(id);
  switch (id) {
    case kLinkControlId:
      if (value == kProbe) return "probe (link control)";
      if (value == kKeepalive) return "keepalive (link control)";
      if (value == kRelease) return "release (link control)";
      return "link control, value " + std::to_string(value);
    case kReadBlockId:
      return "read block " + std::to_string(value);
    case kReadModeNameId:
      return "read mode name " + std::to_string(payload_size > 0 ? f[6] : 0);
    case kDeviceIdentityId:
      return "read device identity";
    case kWriteBlockId:
      return "write block " + std::to_string(payload_size > 0 ? f[6] : 0) + ", " +
             CountText(payload_size >= 2 ? (payload_size - 2) / 2 : 0, "value", "values");
    default:
      break;
  }
  if (block == kSystemBlock) {
    if (read) return "read system item " + Hex4(id);
    if (id == kStoreModeId && payload_size >= 2) {
      std::string name;
      for (std::size_t i = 8; i < 6 + payload_size; ++i) {
        if (f[i] != 0) name.push_back(static_cast<char>(f[i] + 32));
      }
      return "store mode " + std::to_string(f[6]) + " \"" + name + "\"";
    }
    if (id == kRecallModeId) return "recall mode " + std::to_string(value);
    if (id == kSystemPasswordId || id == kKeylockPasswordId) {
      std::string digits;
      for (std::size_t i = 6; i < 6 + payload_size; ++i) digits += std::to_string(f[i]);
      return std::string(id == kSystemPasswordId ? "set system password "
                                                 : "set key-lock password ") +
             digits;
    }
    return "set system item " + Hex4(id) + ": " + ParameterValue(id, value);
  }
  if (block < kAudioBlocks) {
    const BlockInfo* info = InfoOfBlock(block);
    if (info != nullptr && id == info->band_address && payload_size == 12) {
      std::string text = "set EQ band: block " + std::to_string(block) + " band " +
                         std::to_string(Le16(f, 6) + 1) + ", fields";
      for (int field = 0; field < 5; ++field) {
        text += " " + std::to_string(Le16(f, 8 + 2 * static_cast<std::size_t>(field)));
      }
      return text;
    }
    (void)index;
    return "set parameter " + Hex4(id) + " (block " + std::to_string(block) +
           "): " + ParameterValue(id, value);
  }
  return std::string(read ? "read " : "write ") + Hex4(id);
}

std::string ReceivedMeaning(const std::vector<uint8_t>& f, int id, std::size_t payload_size) {
  const int block = BlockOf(id);
  const int index = IndexOf(id);
  if (block < kAudioBlocks) {
    return "block " + std::to_string(block) + " data from slot " + std::to_string(index) + ", " +
           CountText(payload_size / 2, "value", "values");
  }
  switch (index) {
    case kReadModeNameId & 0xFF: {
      return "mode name \"" + ModeNameFromWire(f.data() + 6, payload_size) + "\"";
    }
    case kSystemPasswordId & 0xFF:
    case kKeylockPasswordId & 0xFF: {
      return std::string(index == (kSystemPasswordId & 0xFF) ? "system password "
                                                             : "key-lock password ") +
             DigitsFromWire(f.data() + 6, payload_size);
    }
    case kDeviceIdentityId & 0xFF: {
      return std::string("device identity ") +
             (payload_size >= 4 ? IdentityFromWire(f.data() + 6) : std::string());
    }
    case kStoreModeId & 0xFF:
    case kRecallModeId & 0xFF:
    case kWriteBlockId & 0xFF:
    case kReadBlockId & 0xFF:
    case kLinkControlId & 0xFF:
      return "echo of command " + Hex4(id) + " (not used)";
    default:
      break;
  }
  if (index < (kLinkControlId & 0xFF))
    return "system item " + Hex4(id) + ": " + ParameterValue(id, Le16(f, 6));
  return "system frame " + Hex4(id) + " (not used)";
}

}  // namespace

bool IsBlankOrComment(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t\r");
  return first == std::string_view::npos || line[first] == '#';
}

std::optional<RecordedLine> ParseRecordedLine(std::string_view line) {
  if (IsBlankOrComment(line)) return std::nullopt;
  std::istringstream in{std::string(line)};
  RecordedLine out;
  std::string word;
  if (!(in >> out.time >> out.port >> word)) return std::nullopt;
  if (out.time.find_first_not_of("0123456789.") != std::string::npos) return std::nullopt;
  if (word != "TX" && word != "RX") {
    out.note = word;
    return out;
  }
  out.direction = word;
  std::string hex;
  while (in >> hex) {
    if (hex.size() != 2) return std::nullopt;
    unsigned value = 0;
    if (std::sscanf(hex.c_str(), "%2x", &value) != 1) return std::nullopt;
    out.bytes.push_back(static_cast<uint8_t>(value));
  }
  return out;
}

std::string DescribeFrame(const std::vector<uint8_t>& f, bool sent) {
  if (f.size() == 2 && f[0] == kAckLead && (f[1] == kAckCodeBb || f[1] == kAckCodeAa)) {
    return sent ? "acknowledgement (from the PC?)" : "acknowledgement";
  }
  if (f.empty() || f[0] != kFirstSync) return "stray bytes (dropped by the receiver)";
  if (f.size() < 7 || f[1] != kSecondSync || f.size() != static_cast<std::size_t>(f[2]) + 3 ||
      (f[3] != kWriteAccess && f[3] != kReadAccess)) {
    return "incomplete or malformed frame";
  }
  const int id = (f[4] << 8) | f[5];
  const std::size_t payload_size = f.size() - 7;
  std::string text =
      sent ? SentMeaning(f, f[3], id, payload_size) : ReceivedMeaning(f, id, payload_size);
  text += " [" + Hex4(id) + "]";
  if (FrameChecksum(f.data(), f.size()) != f.back()) text += " (checksum wrong)";
  return text;
}

std::string DecodeLine(const RecordedLine& line) {
  std::string out = (line.direction.empty() ? std::string("--") : line.direction) + "  " +
                    line.time + "  " + line.port + "  ";
  if (line.direction.empty()) return out + line.note;
  return out + HexBytes(line.bytes) + "  " + DescribeFrame(line.bytes, line.direction == "TX");
}

JsonObject DecodeJson(const RecordedLine& line) {
  JsonObject object;
  object.Text("time", line.time).Text("port", line.port);
  if (line.direction.empty()) {
    return object.Text("direction", "note").Text("bytes", "").Text("meaning", line.note);
  }
  return object.Text("direction", line.direction)
      .Text("bytes", HexBytes(line.bytes))
      .Text("meaning", DescribeFrame(line.bytes, line.direction == "TX"));
}

}  // namespace kc::cli

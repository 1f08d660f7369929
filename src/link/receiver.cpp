// Receiver states. One notification runs the stages in order as far as the waiting bytes allow;
// a stage that cannot finish keeps its state for the next notification.
//
//            other byte
//            +--------+
//            |        v
//        +-----------------+   FC (expect 3) / FE (expect 1)   +----------------+
//  ----->|     Hunting     |---------------------------------->|     Header     |
//        +-----------------+                                   +----------------+
//           ^   ^   ^  ^                                         |   |   |    |
//           |   |   |  |  FE BB / FE AA: acknowledgement          |   |   |    |
//           |   |   |  +----- (answer-seen, clear-to-send, -------+   |   |    |
//           |   |   |          AckReceived; notification ends)        |   |    |
//           |   |   |  FE xx, 2nd byte not B1, access not A7/A0,      |   |    |
//           |   |   +-- length byte below 4 (logged): notification ---+   |    |
//           |   |       ends                                              |    |
//           |   |                                   FC B1 L A7|A0, L >= 4  |    |
//           |   |                                     (expect L - 1)       v    |
//           |   |  frame applied (FrameReceived)    +----------------+          |
//           |   +-----------------------------------|      Body      |          |
//           |                                       +----------------+          |
//           +--- a port read returning fewer body bytes than were waiting (logged)
//
// The header is read a byte at a time; the body in one read, and only once all of it is waiting.
// A notification ends after an acknowledgement, a rejected header or a completed frame; bytes
// behind it stay in the port for the next notification.
//
// Every byte let go (hunted past, a rejected or short header, a frame that failed its checksum or
// came short) is noise. More than kFloodBytes of it in a row is a flood, logged once per run.

#include "link/receiver.h"

#include <cstdio>
#include <string_view>

#include "link/frames.h"

namespace kc {
namespace {

constexpr int kNameLimit = kModeNameMaxLength;

// The item of a system frame: the low byte of the identifier it answers.
constexpr int ItemOf(int id) { return id & 0xFF; }

std::string HexDigits(uint8_t byte) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", byte);
  return text;
}

}  // namespace

std::string HexBytes(const uint8_t* data, std::size_t size) {
  std::string text;
  text.reserve(size * 3);
  for (std::size_t i = 0; i < size; ++i) {
    if (i > 0) text += ' ';
    text += HexDigits(data[i]);
  }
  return text;
}

namespace {
constexpr std::string_view kFloodHead = "the line sent ";
constexpr std::string_view kFloodTail = " bytes that were no frame";
}  // namespace

std::string FloodLogLine(std::size_t noise_bytes) {
  return std::string(kFloodHead) + std::to_string(noise_bytes) + std::string(kFloodTail);
}

std::size_t FloodOfLogLine(const std::string& line) {
  if (line.size() <= kFloodHead.size() + kFloodTail.size() || !line.starts_with(kFloodHead) ||
      !line.ends_with(kFloodTail)) {
    return 0;
  }
  std::size_t n = 0;
  for (std::size_t i = kFloodHead.size(); i < line.size() - kFloodTail.size(); ++i) {
    if (line[i] < '0' || line[i] > '9') return 0;
    n = n * 10 + static_cast<std::size_t>(line[i] - '0');
  }
  return n;
}

Receiver::Receiver(SerialPort& port, ParameterStore& store, LinkHost& host)
    : port_(port), store_(store), host_(host) {}

void Receiver::ComPortRxChar(int count) {
  if (count <= 0) return;
  // Bytes reported waiting that this notification has not read yet; no read goes beyond them.
  int budget = count;
  if (state_ == RxState::kHunting && !Hunt(budget)) return;
  if (state_ == RxState::kHeader && !ReadHeader(budget)) return;
  if (state_ == RxState::kBody) ReadBody(count, budget);
}

bool Receiver::Hunt(int& budget) {
  buffer_.clear();
  while (budget > 0) {
    uint8_t byte = 0;
    if (port_.Read(&byte, 1) != 1) return false;  // fewer bytes than reported: try again later
    --budget;
    if (byte == kFirstSync || byte == kAckLead) {
      buffer_.assign(1, byte);
      state_ = RxState::kHeader;
      expected_ = static_cast<uint16_t>(HeadLength(byte) - 1);
      received_ = 0;
      return true;
    }
    Noise(1);
  }
  return false;
}

void Receiver::Noise(std::size_t count) {
  noise_bytes_ += count;
  noise_run_ += count;
  if (flooded_ || noise_run_ <= kFloodBytes) return;
  flooded_ = true;
  Log(FloodLogLine(noise_run_));
}

bool Receiver::ReadHeader(int& budget) {
  while (received_ < expected_ && budget > 0) {
    uint8_t byte = 0;
    if (port_.Read(&byte, 1) != 1) return false;  // keep what came; the rest comes later
    --budget;
    buffer_.push_back(byte);
    ++received_;
  }
  if (received_ < expected_) return false;

  switch (JudgeHead(buffer_.data())) {
    case HeadKind::kAcknowledgement:
      ResumeHunting();
      Answered();
      flags_.answer_seen = true;
      flags_.clear_to_send = true;
      flags_.wait = WaitState::kAckReceived;
      return false;
    case HeadKind::kRejected:
      Noise(buffer_.size());
      ResumeHunting();
      return false;
    case HeadKind::kTooShort:
      // No working box sends it.
      Drop("长度字节小于4", buffer_);
      Noise(buffer_.size());
      ResumeHunting();
      return false;
    case HeadKind::kFrame:
      break;
  }
  const uint8_t length = buffer_[2];
  state_ = RxState::kBody;
  expected_ = static_cast<uint16_t>(length - 1);
  received_ = 0;
  return true;
}

void Receiver::ReadBody(int count, int budget) {
  // The bytes still waiting are the notification's count less what the hunt and the header took:
  // a count taken as a whole (count >= expected + 4) would let noise bytes before a frame pass
  // for its body, and the read would come up short.
  if (budget < expected_) return;  // not all of the body is waiting yet
  Log("缓存长度K:C:L=" + std::to_string(count) + " " + std::to_string(count) + " " +
      std::to_string(expected_));
  const std::size_t head = buffer_.size();
  buffer_.resize(head + expected_);
  const std::size_t got = port_.Read(buffer_.data() + head, expected_);
  if (got < expected_) {
    buffer_.resize(head + got);
    Log("读取不足:" + std::to_string(got) + "/" + std::to_string(expected_) +
        " 丢弃: " + HexBytes(buffer_));
    Noise(buffer_.size());
    ResumeHunting();
    return;
  }
  received_ = expected_;
  const bool applied = ParseFrame(buffer_);
  if (applied) {
    Answered();
  } else {
    Noise(buffer_.size());
  }
  ResumeHunting();
  // A damaged frame is no answer: the step it answered is still waiting.
  if (applied) {
    flags_.wait = WaitState::kFrameReceived;
  } else {
    flags_.frame_rejected = true;
  }
}

void Receiver::ResumeHunting() {
  buffer_.clear();
  state_ = RxState::kHunting;
  expected_ = 0;
  received_ = 0;
}

void Receiver::Drop(const std::string& why, const std::vector<uint8_t>& bytes) {
  Log("丢弃无效帧(" + why + "): " + HexBytes(bytes));
}

bool Receiver::ParseFrame(const std::vector<uint8_t>& frame) {
  const std::size_t n = frame.size();
  if (n < 7 || static_cast<std::size_t>(frame[2]) + 3 != n) {
    Drop("帧长度不符", frame);
    return false;
  }
  // Bytes 0 and 1 are FC B1: the head was judged before the body was read.
  const unsigned computed = FrameChecksum(frame.data(), n);
  const unsigned received = frame[n - 1];
  if (computed != received) {
    // A line error: one wrong value in the store would be shown, saved to files and sent back
    // inside band frames, so nothing of the frame is kept.
    ++checksum_errors_;
    Log(std::to_string(frame[4]) + "********************");
    Log("校验数据匹配不一致:" + std::to_string(computed) + "得到的验证数据：" +
        std::to_string(received));
    Log("接收到的错误数据：" + HexBytes(frame));
    return false;
  }
  const int block = frame[4];
  if (block < kAudioBlocks) {
    ApplyBlockData(frame);
  } else if (block == kSystemBlock) {
    ApplySystemFrame(frame);
  } else {
    Drop("块号大于9", frame);
  }
  return true;
}

void Receiver::ApplyBlockData(const std::vector<uint8_t>& frame) {
  const int block = frame[4];
  const int first = frame[5];
  const int values = (frame[2] - 4) / 2;
  if (first + values > kDeviceColumns) {
    Drop("数据超出设备行", frame);
    return;
  }
  const uint8_t* payload = frame.data() + 6;
  for (int i = 0; i < values; ++i) {
    const int32_t value = payload[2 * i] + 256 * payload[2 * i + 1];
    store_.SetDevice(block, first + i, value);
    if (received_image_ != nullptr) received_image_->Confirm(block, first + i, value);
  }
}

void Receiver::ApplySystemFrame(const std::vector<uint8_t>& frame) {
  const int length = frame[2];
  const int item = frame[5];
  const uint8_t* payload = frame.data() + 6;
  const int payload_size = length - 4;
  switch (item) {
    case ItemOf(kReadModeNameId): {
      // The mode-name index has already moved past the mode that was asked for.
      const int mode = mode_name_index_ - 1;
      if (mode < 0 || mode >= static_cast<int>(texts_.mode_names.size())) {
        Drop("无对应模式名", frame);
        return;
      }
      const int take = length - 5 > kNameLimit ? kNameLimit : payload_size;
      const std::string name = ModeNameFromWire(payload, static_cast<std::size_t>(take));
      if (static_cast<int>(name.size()) > kNameLimit) return;
      texts_.mode_names[mode] = name;
      host_.ModeNamesChanged();
      return;
    }
    case ItemOf(kStoreModeId):
    case ItemOf(kRecallModeId):
    case ItemOf(kWriteBlockId):
    case ItemOf(kReadBlockId):
    case ItemOf(kLinkControlId):
      return;  // echoes of commands, not used
    case ItemOf(kSystemPasswordId):
    case ItemOf(kKeylockPasswordId): {
      const std::string digits = DigitsFromWire(payload, static_cast<std::size_t>(payload_size));
      (item == ItemOf(kSystemPasswordId) ? texts_.system_password : texts_.keylock_password) =
          digits;
      return;
    }
    case ItemOf(kDeviceIdentityId): {
      if (payload_size < 4) {
        Drop("标识不足4字节", frame);
        return;
      }
      texts_.device_id = IdentityFromWire(payload);
      flags_.identity_received = true;
      host_.DeviceIdChanged();
      return;
    }
    default:
      // Items from the link control on are commands, not settings.
      if (item >= ItemOf(kLinkControlId)) return;
      if (payload_size < 2) {
        Drop("系统项缺少数值", frame);
        return;
      }
      store_.SetDevice(kSystemBlock, item, payload[0] + 256 * payload[1]);
      if (received_image_ != nullptr) {
        received_image_->Confirm(kSystemBlock, item, payload[0] + 256 * payload[1]);
      }
      return;
  }
}

}  // namespace kc

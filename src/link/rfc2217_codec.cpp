#include "link/rfc2217_codec.h"

namespace kc {
namespace {

// Telnet commands.
constexpr uint8_t kIac = 255;
constexpr uint8_t kDont = 254;
constexpr uint8_t kDo = 253;
constexpr uint8_t kWont = 252;
constexpr uint8_t kWill = 251;
constexpr uint8_t kSb = 250;
constexpr uint8_t kSe = 240;

// Telnet options.
constexpr uint8_t kBinary = 0;
constexpr uint8_t kSuppressGoAhead = 3;
constexpr uint8_t kComPort = 44;

// COM-PORT-OPTION subcommands from client to server; the server answers each with it + 100.
constexpr uint8_t kSetBaudRate = 1;
constexpr uint8_t kSetDataSize = 2;
constexpr uint8_t kSetParity = 3;
constexpr uint8_t kSetStopSize = 4;
constexpr uint8_t kSetControl = 5;
constexpr uint8_t kServerReplyOffset = 100;

constexpr uint8_t kParityNone = 1;
constexpr uint8_t kOneStopBit = 1;
constexpr uint8_t kNoFlowControl = 1;
constexpr uint8_t kDtrOn = 8;
constexpr uint8_t kRtsOn = 11;

// A subnegotiation longer than this is not one the client reads; its excess bytes are dropped
// so that a server that never ends one cannot grow the buffer without bound.
constexpr std::size_t kMaxSubnegotiation = 64;

bool SupportedLocally(uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

bool WantedFromServer(uint8_t option) { return option == kBinary || option == kSuppressGoAhead; }

void AppendEscaped(const uint8_t* data, std::size_t size, std::vector<uint8_t>* out) {
  for (std::size_t i = 0; i < size; ++i) {
    out->push_back(data[i]);
    if (data[i] == kIac) out->push_back(kIac);
  }
}

void AppendCommand(uint8_t verb, uint8_t option, std::vector<uint8_t>* out) {
  out->insert(out->end(), {kIac, verb, option});
}

void AppendComPort(uint8_t command, const std::vector<uint8_t>& value, std::vector<uint8_t>* out) {
  out->insert(out->end(), {kIac, kSb, kComPort, command});
  AppendEscaped(value.data(), value.size(), out);
  out->insert(out->end(), {kIac, kSe});
}

}  // namespace

Rfc2217Codec::Rfc2217Codec(uint32_t baud_rate) : baud_rate_(baud_rate) {
  // The requests of Greeting().
  local_[kComPort].asked = true;
  local_[kBinary].asked = true;
  remote_[kBinary].asked = true;
  remote_[kSuppressGoAhead].asked = true;
}

std::vector<uint8_t> Rfc2217Codec::Greeting() const {
  std::vector<uint8_t> out;
  AppendCommand(kWill, kComPort, &out);
  AppendCommand(kWill, kBinary, &out);
  AppendCommand(kDo, kBinary, &out);
  AppendCommand(kDo, kSuppressGoAhead, &out);
  AppendComPort(kSetBaudRate,
                {static_cast<uint8_t>(baud_rate_ >> 24), static_cast<uint8_t>(baud_rate_ >> 16),
                 static_cast<uint8_t>(baud_rate_ >> 8), static_cast<uint8_t>(baud_rate_)},
                &out);
  AppendComPort(kSetDataSize, {8}, &out);
  AppendComPort(kSetParity, {kParityNone}, &out);
  AppendComPort(kSetStopSize, {kOneStopBit}, &out);
  AppendComPort(kSetControl, {kNoFlowControl}, &out);
  AppendComPort(kSetControl, {kDtrOn}, &out);
  AppendComPort(kSetControl, {kRtsOn}, &out);
  return out;
}

std::vector<uint8_t> Rfc2217Codec::Escape(const uint8_t* data, std::size_t size) {
  std::vector<uint8_t> out;
  out.reserve(size);
  AppendEscaped(data, size, &out);
  return out;
}

void Rfc2217Codec::Receive(const uint8_t* bytes, std::size_t size, std::vector<uint8_t>* data,
                           std::vector<uint8_t>* reply) {
  for (std::size_t i = 0; i < size; ++i) {
    const uint8_t byte = bytes[i];
    switch (state_) {
      case State::kData:
        if (byte == kIac) {
          state_ = State::kIac;
        } else {
          data->push_back(byte);
        }
        break;
      case State::kIac:
        HandleCommand(byte, data);
        break;
      case State::kOption:
        HandleOption(verb_, byte, reply);
        state_ = State::kData;
        break;
      case State::kSubnegotiation:
        if (byte == kIac) {
          state_ = State::kSubnegotiationIac;
        } else if (subnegotiation_.size() < kMaxSubnegotiation) {
          subnegotiation_.push_back(byte);
        }
        break;
      case State::kSubnegotiationIac:
        if (byte == kIac) {
          if (subnegotiation_.size() < kMaxSubnegotiation) subnegotiation_.push_back(kIac);
          state_ = State::kSubnegotiation;
        } else if (byte == kSe) {
          HandleSubnegotiation();
          state_ = State::kData;
        } else {
          // A server that forgot IAC SE: the subnegotiation is dropped and the byte read as the
          // command it is, so that the data after it is not swallowed.
          HandleCommand(byte, data);
        }
        break;
    }
  }
}

void Rfc2217Codec::HandleCommand(uint8_t command, std::vector<uint8_t>* data) {
  state_ = State::kData;
  if (command == kIac) {
    data->push_back(kIac);
  } else if (command >= kWill) {
    verb_ = command;
    state_ = State::kOption;
  } else if (command == kSb) {
    subnegotiation_.clear();
    state_ = State::kSubnegotiation;
  }
  // NOP, GA, a stray SE and the other two-byte commands carry nothing for the line, and an
  // IAC before a byte that is no command is dropped with it.
}

void Rfc2217Codec::HandleOption(uint8_t verb, uint8_t option, std::vector<uint8_t>* reply) {
  switch (verb) {
    case kDo: {
      OptionSide& side = local_[option];
      if (!SupportedLocally(option)) {
        AppendCommand(kWont, option, reply);
        break;
      }
      if (!side.asked && !side.enabled) AppendCommand(kWill, option, reply);
      side = {true, false};
      if (option == kComPort) {
        com_port_accepted_ = true;
        com_port_refused_ = false;
      }
      break;
    }
    case kDont: {
      OptionSide& side = local_[option];
      if (side.enabled) AppendCommand(kWont, option, reply);
      side = {false, false};
      if (option == kComPort) {
        com_port_accepted_ = false;
        com_port_refused_ = true;
      }
      break;
    }
    case kWill: {
      OptionSide& side = remote_[option];
      if (!WantedFromServer(option)) {
        AppendCommand(kDont, option, reply);
        break;
      }
      if (!side.asked && !side.enabled) AppendCommand(kDo, option, reply);
      side = {true, false};
      break;
    }
    case kWont: {
      OptionSide& side = remote_[option];
      if (side.enabled) AppendCommand(kDont, option, reply);
      side = {false, false};
      break;
    }
  }
}

void Rfc2217Codec::HandleSubnegotiation() {
  // Of the server's COM-PORT-OPTION messages only the baud rate answer is kept; the other
  // answers and the line state, modem state and flow control notices are not the line's data.
  const std::vector<uint8_t>& s = subnegotiation_;
  if (s.size() == 6 && s[0] == kComPort && s[1] == kSetBaudRate + kServerReplyOffset) {
    reported_baud_rate_ =
        (uint32_t{s[2]} << 24) | (uint32_t{s[3]} << 16) | (uint32_t{s[4]} << 8) | uint32_t{s[5]};
  }
  subnegotiation_.clear();
}

}  // namespace kc

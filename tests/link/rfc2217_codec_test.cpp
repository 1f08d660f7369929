#include "link/rfc2217_codec.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace kc {
namespace {

using Bytes = std::vector<uint8_t>;

// Bytes written out as hex pairs separated by spaces: "FF FB 2C".
Bytes Hex(const std::string& text) {
  std::istringstream in(text);
  Bytes bytes;
  for (unsigned int byte = 0; in >> std::hex >> byte;) bytes.push_back(static_cast<uint8_t>(byte));
  return bytes;
}

TEST(Rfc2217CodecTest, GreetingAsksForOptionsAndSetsTheLine) {
  const std::string options = "FF FB 2C  FF FB 00  FF FD 00  FF FD 03 ";
  const std::string settings =
      " FF FA 2C 02 08 FF F0  FF FA 2C 03 01 FF F0  FF FA 2C 04 01 FF F0"   // 8N1
      " FF FA 2C 05 01 FF F0  FF FA 2C 05 08 FF F0  FF FA 2C 05 0B FF F0";  // no flow, DTR, RTS
  const struct {
    uint32_t baud;
    const char* set_baud;
  } cases[] = {
      {57600, "FF FA 2C 01 00 00 E1 00 FF F0"},
      {0x01FF00FF, "FF FA 2C 01 01 FF FF 00 FF FF FF F0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Rfc2217Codec(c.baud).Greeting(), Hex(options + c.set_baud + settings)) << c.baud;
  }
}

TEST(Rfc2217CodecTest, EscapeDoublesEvery0xFF) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"FC B1 04 A0 09 40 54", "FC B1 04 A0 09 40 54"},
      {"FF FF", "FF FF FF FF"},
      {"00 FF FE", "00 FF FF FE"},
  };
  for (const auto& c : cases) {
    const Bytes in = Hex(c.in);
    EXPECT_EQ(Rfc2217Codec::Escape(in.data(), in.size()), Hex(c.out)) << c.in;
  }
}

TEST(Rfc2217CodecTest, ReceiveSplitsDataFromCommandsAtEveryChunkBoundary) {
  enum ComPort { kUndecided, kAccepted, kRefused };
  struct Case {
    const char* name;
    const char* in;
    const char* data;
    const char* reply;
    ComPort com_port;
    uint32_t baud;
  };
  const Case cases[] = {
      {"plain data", "01 02 03", "01 02 03", "", kUndecided, 0},
      {"IAC IAC is one 0xFF", "FC FF FF B1", "FC FF B1", "", kUndecided, 0},
      {"answers to the greeting need no reply", "FF FD 2C  FF FB 00  FF FB 03  FF FD 00  FF FD 2C",
       "", "", kAccepted, 0},
      {"DO SGA agreed once", "FF FD 03  FF FD 03", "", "FF FB 03", kUndecided, 0},
      {"WILL ECHO and DO TERMINAL-TYPE refused each time", "FF FB 01  FF FD 18  FF FB 01", "",
       "FF FE 01  FF FC 18  FF FE 01", kUndecided, 0},
      // DO SGA, DONT SGA twice; WILL BINARY, WONT BINARY; WILL ECHO, WONT ECHO; DONT COM-PORT.
      {"disabling answered only when enabled",
       "FF FD 03  FF FE 03  FF FE 03  FF FB 00  FF FC 00  FF FB 01  FF FC 01  FF FE 2C", "",
       "FF FB 03  FF FC 03  FF FE 00  FF FE 01", kRefused, 0},
      {"baud rate answer with 0xFF in its value", "11  FF FA 2C 65 00 01 FF FF 00 FF F0  22",
       "11 22", "", kUndecided, 0x0001FF00},
      {"NOTIFY-MODEMSTATE inside data", "01  FF FA 2C 6B 30 FF F0  02", "01 02", "", kUndecided, 0},
      {"NOP and GA between data bytes", "01 FF F1 02 FF F9 03", "01 02 03", "", kUndecided, 0},
      {"subnegotiation without IAC SE ends at the next command", "FF FA 2C 65 00  FF F1  05", "05",
       "", kUndecided, 0},
  };
  for (const Case& c : cases) {
    const Bytes in = Hex(c.in);
    // Split points 0..size give two chunks; size + 1 stands for one byte per call.
    for (std::size_t split = 0; split <= in.size() + 1; ++split) {
      SCOPED_TRACE(std::string(c.name) + ", split " + std::to_string(split));
      Rfc2217Codec codec;
      Bytes data, reply;
      if (split <= in.size()) {
        codec.Receive(in.data(), split, &data, &reply);
        codec.Receive(in.data() + split, in.size() - split, &data, &reply);
      } else {
        for (uint8_t byte : in) codec.Receive(&byte, 1, &data, &reply);
      }
      EXPECT_EQ(data, Hex(c.data));
      EXPECT_EQ(reply, Hex(c.reply));
      EXPECT_EQ(codec.com_port_accepted(), c.com_port == kAccepted);
      EXPECT_EQ(codec.com_port_refused(), c.com_port == kRefused);
      EXPECT_EQ(codec.reported_baud_rate(), c.baud);
    }
  }
}

}  // namespace
}  // namespace kc

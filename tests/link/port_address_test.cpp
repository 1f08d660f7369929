#include "link/port_address.h"

#include <gtest/gtest.h>

#include <string>

namespace kc {
namespace {

TEST(PortAddressTest, ParsesDevicesAndBothNetworkFormsAndSaysWhyOthersAreRefused) {
  struct Case {
    const char* name;
    bool ok;
    PortKind kind;
    const char* host;
    uint16_t port;
    const char* text_or_error;  // canonical text when ok, else the error
  };
  constexpr PortKind kDev = PortKind::kDevice;
  constexpr PortKind kTcp = PortKind::kTcp;
  constexpr PortKind kRfc = PortKind::kRfc2217;
  const Case cases[] = {
      {"/dev/ttyUSB0", true, kDev, "", 0, ""},
      {" ttyS0", true, kDev, "", 0, ""},
      {"tcp://box-1.local:4001", true, kTcp, "box-1.local", 4001, "tcp://box-1.local:4001"},
      {"RFC2217://192.168.1.20:1", true, kRfc, "192.168.1.20", 1, "rfc2217://192.168.1.20:1"},
      {"Tcp://h:65535", true, kTcp, "h", 65535, "tcp://h:65535"},
      {"rfc2217://[::1]:4001", true, kRfc, "::1", 4001, "rfc2217://[::1]:4001"},
      {"tcp://[::ffff:10.0.0.1]:007", true, kTcp, "::ffff:10.0.0.1", 7,
       "tcp://[::ffff:10.0.0.1]:7"},
      {"udp://h:1", false, kDev, "", 0, "unknown scheme 'udp' (use tcp:// or rfc2217://)"},
      {"://h:1", false, kDev, "", 0, "no scheme (use tcp:// or rfc2217://)"},
      {" tcp://h:1", false, kDev, "", 0, "spaces around the address are not allowed"},
      {"tcp://h:1\n", false, kDev, "", 0, "spaces around the address are not allowed"},
      {"tcp://h", false, kDev, "", 0, "no port number (write HOST:PORT)"},
      {"tcp://h:", false, kDev, "", 0, "no port number (write HOST:PORT)"},
      {"tcp://[::1]/x", false, kDev, "", 0, "no port number (write HOST:PORT)"},
      {"tcp://h:+1", false, kDev, "", 0, "port number must be decimal digits"},
      {"tcp://h:1x", false, kDev, "", 0, "port number must be decimal digits"},
      {"tcp://h:0", false, kDev, "", 0, "port number must be 1 to 65535"},
      {"tcp://h:65536", false, kDev, "", 0, "port number must be 1 to 65535"},
      {"tcp://h:99999999999999999999", false, kDev, "", 0, "port number must be 1 to 65535"},
      {"tcp://:1", false, kDev, "", 0, "no host"},
      {"tcp://[]:1", false, kDev, "", 0, "no host"},
      {"tcp://h_1:1", false, kDev, "", 0, "host may hold only letters, digits, '.' and '-'"},
      {"tcp://::1:5", false, kDev, "", 0, "IPv6 address must be in brackets"},
      {"tcp://[fe80::1%eth0]:5000", false, kDev, "", 0,
       "IPv6 address may hold only hex digits, ':' and '.'"},
      {"tcp://[::1:5", false, kDev, "", 0, "no ']' after the IPv6 address"},
      {"tcp://[10.0.0.1]:5", false, kDev, "", 0, "brackets are only for IPv6 addresses"},
      {"tcp://[::1]x:5", false, kDev, "", 0, "unexpected text after the host"},
      {"tcp://h:1/x", false, kDev, "", 0, "unexpected text after the port number"},
      {"rfc2217://h:1?a", false, kDev, "", 0, "unexpected text after the port number"},
      {"tcp://u@h:1", false, kDev, "", 0, "user name before the host is not allowed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PortAddress address{kRfc, "unchanged", 9};
    std::string error;
    ASSERT_EQ(ParsePortAddress(c.name, &address, &error), c.ok) << error;
    EXPECT_EQ(IsNetworkPortName(c.name), !(c.ok && c.kind == kDev));
    if (c.ok) {
      EXPECT_EQ(address.kind, c.kind);
      EXPECT_EQ(address.host, c.host);
      EXPECT_EQ(address.port, c.port);
      EXPECT_EQ(PortAddressText(address), c.text_or_error);
    } else {
      EXPECT_EQ(error, c.text_or_error);
      EXPECT_EQ(address.host, "unchanged");
    }
  }
}

}  // namespace
}  // namespace kc

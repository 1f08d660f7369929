// Port names that are network addresses: besides a local serial device name, a port may be
// named "tcp://HOST:PORT" (raw TCP to a serial device server) or "rfc2217://HOST:PORT" (Telnet
// with the COM Port Control option). Standard library only.
#pragma once

#include <cstdint>
#include <string>

namespace kc {

enum class PortKind { kDevice, kTcp, kRfc2217 };

struct PortAddress {
  PortKind kind = PortKind::kDevice;
  std::string host;   // without brackets for IPv6; empty for a device
  uint16_t port = 0;  // 0 for a device
};

// True when the name is meant as a network address: it contains "://" (whatever the scheme).
bool IsNetworkPortName(const std::string& name);

// Parses a port name. A name without "://" is a device (kind kDevice, nothing else checked).
// A network name must be exactly SCHEME://HOST:PORT with SCHEME tcp or rfc2217 in any case,
// HOST a name of letters, digits, '.' and '-', or an IPv6 address in brackets (hex digits, ':'
// and '.'; a zone such as "%eth0" is refused), and PORT decimal 1..65535. On failure returns
// false, leaves *address alone and sets *error (when not null) to a short English reason that
// does not repeat the name.
bool ParsePortAddress(const std::string& name, PortAddress* address, std::string* error);

// Canonical text of a network address (scheme lower-case, IPv6 host in brackets), e.g.
// "tcp://[::1]:4001". A device address keeps no name, so its text is empty.
std::string PortAddressText(const PortAddress& address);

}  // namespace kc

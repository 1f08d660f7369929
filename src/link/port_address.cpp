#include "link/port_address.h"

#include <algorithm>
#include <cctype>

namespace kc {
namespace {

constexpr char kSeparator[] = "://";

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-';
}

bool IsIpv6Char(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool Fail(std::string* error, const std::string& reason) {
  if (error != nullptr) *error = reason;
  return false;
}

}  // namespace

bool IsNetworkPortName(const std::string& name) {
  return name.find(kSeparator) != std::string::npos;
}

bool ParsePortAddress(const std::string& name, PortAddress* address, std::string* error) {
  const std::size_t separator = name.find(kSeparator);
  if (separator == std::string::npos) {
    if (address != nullptr) *address = PortAddress{};
    return true;
  }
  if (IsSpace(name.front()) || IsSpace(name.back())) {
    return Fail(error, "spaces around the address are not allowed");
  }

  PortAddress parsed;
  const std::string scheme = Lower(name.substr(0, separator));
  if (scheme == "tcp") {
    parsed.kind = PortKind::kTcp;
  } else if (scheme == "rfc2217") {
    parsed.kind = PortKind::kRfc2217;
  } else if (scheme.empty()) {
    return Fail(error, "no scheme (use tcp:// or rfc2217://)");
  } else {
    return Fail(error, "unknown scheme '" + scheme + "' (use tcp:// or rfc2217://)");
  }

  // The host and port run up to the first '/', '?' or '#'; whatever follows is refused once the
  // port number has been read, so that a missing port is reported as such.
  const std::string rest = name.substr(separator + sizeof(kSeparator) - 1);
  const std::size_t authority_end = rest.find_first_of("/?#");
  const std::string authority = rest.substr(0, authority_end);
  if (authority.find('@') != std::string::npos) {
    return Fail(error, "user name before the host is not allowed");
  }

  std::string after_host;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string::npos) return Fail(error, "no ']' after the IPv6 address");
    parsed.host = authority.substr(1, close - 1);
    if (parsed.host.empty()) return Fail(error, "no host");
    for (char c : parsed.host) {
      if (!IsIpv6Char(c)) {
        return Fail(error, "IPv6 address may hold only hex digits, ':' and '.'");
      }
    }
    if (parsed.host.find(':') == std::string::npos) {
      return Fail(error, "brackets are only for IPv6 addresses");
    }
    after_host = authority.substr(close + 1);
  } else {
    const std::size_t colon = authority.find(':');
    if (colon != std::string::npos && authority.find(':', colon + 1) != std::string::npos) {
      return Fail(error, "IPv6 address must be in brackets");
    }
    parsed.host = authority.substr(0, colon);
    if (parsed.host.empty()) return Fail(error, "no host");
    for (char c : parsed.host) {
      if (!IsNameChar(c)) {
        return Fail(error, "host may hold only letters, digits, '.' and '-'");
      }
    }
    if (colon != std::string::npos) after_host = authority.substr(colon);
  }

  if (after_host.empty() || after_host == ":") {
    return Fail(error, "no port number (write HOST:PORT)");
  }
  if (after_host.front() != ':') return Fail(error, "unexpected text after the host");
  unsigned long port = 0;
  for (std::size_t i = 1; i < after_host.size(); ++i) {
    const char c = after_host[i];
    if (c < '0' || c > '9') return Fail(error, "port number must be decimal digits");
    // Capped so that a long run of digits cannot overflow; anything above 65535 is refused.
    port = std::min(port * 10 + static_cast<unsigned long>(c - '0'), 65536UL);
  }
  if (port < 1 || port > 65535) return Fail(error, "port number must be 1 to 65535");
  if (authority_end != std::string::npos) {
    return Fail(error, "unexpected text after the port number");
  }
  parsed.port = static_cast<uint16_t>(port);

  if (address != nullptr) *address = parsed;
  return true;
}

std::string PortAddressText(const PortAddress& address) {
  std::string text;
  switch (address.kind) {
    case PortKind::kDevice:
      return text;
    case PortKind::kTcp:
      text = "tcp://";
      break;
    case PortKind::kRfc2217:
      text = "rfc2217://";
      break;
  }
  if (address.host.find(':') != std::string::npos) {
    text += "[" + address.host + "]";
  } else {
    text += address.host;
  }
  return text + ":" + std::to_string(address.port);
}

}  // namespace kc

#include "modes/scramble.h"

#include <charconv>

namespace kc {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string ScrambleLine(std::string_view plain) {
  std::string stored;
  stored.reserve(plain.size() * 2);
  for (size_t i = 0; i < plain.size(); ++i) {
    const uint8_t byte = static_cast<uint8_t>(plain[i]) ^ kModeLineKey[i % kModeLineKey.size()];
    stored.push_back(kHexDigits[byte >> 4]);
    stored.push_back(kHexDigits[byte & 0x0F]);
  }
  return stored;
}

std::optional<std::string> UnscrambleLine(std::string_view stored) {
  std::string plain;
  plain.reserve(stored.size() / 2);
  for (size_t i = 0; i + 1 < stored.size(); i += 2) {
    const int high = HexValue(stored[i]);
    const int low = HexValue(stored[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    const uint8_t byte =
        static_cast<uint8_t>((high << 4) | low) ^ kModeLineKey[(i / 2) % kModeLineKey.size()];
    plain.push_back(static_cast<char>(byte));
  }
  // The odd last digit carries no byte, but a stray character there is still damage.
  if (stored.size() % 2 != 0 && HexValue(stored.back()) < 0) return std::nullopt;
  return plain;
}

std::vector<std::string_view> SplitWords(std::string_view line) {
  std::vector<std::string_view> words;
  size_t start = 0;
  while (true) {
    const size_t space = line.find(' ', start);
    if (space == std::string_view::npos) {
      words.push_back(line.substr(start));
      return words;
    }
    words.push_back(line.substr(start, space - start));
    start = space + 1;
  }
}

std::optional<int32_t> ParseDecimal(std::string_view word) {
  // from_chars takes the "-" itself but no "+" and no spaces, which is the shape written here.
  if (word.empty()) return std::nullopt;
  int32_t value = 0;
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, value, 10);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace kc

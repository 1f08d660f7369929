// Line coding of mode files: every plain line is XORed with a fixed eight-byte key, restarted at
// the start of each line, and stored as uppercase hexadecimal digits.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kc {

inline constexpr std::array<uint8_t, 8> kModeLineKey = {0x5E, 0xC3, 0x17, 0xA8,
                                                        0x2D, 0xF1, 0x64, 0x9B};

// Plain line in, stored line out: two uppercase hexadecimal digits per byte.
std::string ScrambleLine(std::string_view plain);

// Stored line in, plain line out. Digits may be upper- or lowercase; an odd last digit is
// ignored. Any character that is not a hexadecimal digit makes the line unreadable (nullopt).
std::optional<std::string> UnscrambleLine(std::string_view stored);

// Cuts a line at every single space: two spaces in a row give an empty word, and a line without
// a space is one word.
std::vector<std::string_view> SplitWords(std::string_view line);

// Reads a whole word as a 32-bit signed decimal: an optional "-" then digits, nothing else.
std::optional<int32_t> ParseDecimal(std::string_view word);

}  // namespace kc

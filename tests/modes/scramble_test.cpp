#include "modes/scramble.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kc {
namespace {

TEST(ScrambleLine, XorsEachByteWithTheKeyRestartedPerLine) {
  // 'W' 0x57 ^ 0x5E = 0x09, '4' 0x34 ^ 0xC3 = 0xF7, ' ' 0x20 ^ 0x17 = 0x37.
  EXPECT_EQ(ScrambleLine("W4 "), "09F737");
  // The ninth byte uses the first key byte again: 0x00 ^ 0x5E.
  EXPECT_EQ(ScrambleLine(std::string(9, '\0')), "5EC317A82DF1649B5E");
  EXPECT_EQ(ScrambleLine(""), "");
}

TEST(UnscrambleLine, ReadsWhatScrambleWrote) {
  const std::vector<std::string> lines = {"", "W4 141", "Tovak 61", "-123456789 2147483647",
                                          std::string("\x00\xFF\x80 x", 5)};
  for (const std::string& plain : lines) {
    EXPECT_EQ(UnscrambleLine(ScrambleLine(plain)), plain) << plain;
  }
}

TEST(UnscrambleLine, DigitCasesAndDamage) {
  struct Case {
    const char* stored;
    std::optional<std::string> plain;
  };
  const Case cases[] = {
      {"09F737", "W4 "},
      {"09f737", "W4 "},   // lowercase digits read the same
      {"09F7370", "W4 "},  // an odd last digit is ignored
      {"09F73", "W4"},
      {"09G737", std::nullopt},   // not a hexadecimal digit
      {"09F737 ", std::nullopt},  // trailing space
      {"09F737\r", std::nullopt},
      {"0x1234", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UnscrambleLine(c.stored), c.plain) << c.stored;
  }
}

TEST(SplitWords, CutsAtEverySingleSpace) {
  using W = std::vector<std::string_view>;
  EXPECT_EQ(SplitWords("W4 141"), (W{"W4", "141"}));
  EXPECT_EQ(SplitWords("12  34"), (W{"12", "", "34"}));
  EXPECT_EQ(SplitWords("single"), (W{"single"}));
  EXPECT_EQ(SplitWords(""), (W{""}));
  EXPECT_EQ(SplitWords("a "), (W{"a", ""}));
}

TEST(ParseDecimal, AcceptsOnlyPlainSignedDecimals) {
  struct Case {
    const char* word;
    std::optional<int32_t> value;
  };
  const Case cases[] = {
      {"0", 0},
      {"515", 515},
      {"-7", -7},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},  // does not fit
      {"", std::nullopt},
      {"-", std::nullopt},
      {"+5", std::nullopt},
      {" 5", std::nullopt},
      {"5x", std::nullopt},
      {"0x1F", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseDecimal(c.word), c.value) << c.word;
  }
}

}  // namespace
}  // namespace kc

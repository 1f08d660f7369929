#include "model/value_scales.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace kc {
namespace {

struct FormatCase {
  int kind;
  double x;
  const char* text;
};

TEST(FormatValueTest, EveryKindShowsItsText) {
  const FormatCase cases[] = {
      // EQ edit boxes
      {kKindFrequency, 0, "19.7Hz"},
      {kKindFrequency, 204, "1000.0Hz"},
      {kKindFrequency, 205, "1020.0Hz"},
      {kKindFrequency, 361, "20600.0Hz"},
      {kKindFrequency, 204.9, "1000.0Hz"},
      {kKindGain, 0, "-24.0dB"},
      {kKindGain, 102, "-3.6dB"},
      {kKindGain, 120, "0.0dB"},
      {kKindGain, 121, "0.2dB"},
      {kKindGain, 180, "12.0dB"},
      {kKindGain, 120.6, "0.1dB"},    // a fractional step from the graph shows its fraction
      {kKindGain, 120.25, "0.1dB"},   // 0.05 dB is a half and rounds up
      {kKindGain, 119.75, "-0.1dB"},  // and away from zero when negative
      {kKindGain, 119.9, "0.0dB"},    // rounds to zero: no sign
      {kKindQ, 0, "0.40"},
      {kKindQ, 10, "0.71"},
      {kKindQ, 16, "1.00"},
      {kKindQ, 23, "1.50"},
      {kKindQ, 28, "2.00"},
      {kKindQ, 56, "10.10"},
      {kKindQ, 100, "128.00"},
      // Panes
      {kKindHighPass, 0, "Off"},
      {kKindHighPass, 1, "19.7Hz"},
      {kKindHighPass, 143, "303.0Hz"},
      {kKindHighPass, 241, "2000.0Hz"},
      {kKindEffectHighPass, 0, "Off"},
      {kKindEffectHighPass, 143, "303.0Hz"},
      {kKindLowPass, 0, "500.0Hz"},
      {kKindLowPass, 193, "20600.0Hz"},
      {kKindLowPass, 194, "Off"},
      {kKindPercent, 0, "0%"},
      {kKindPercent, 40, "40%"},
      {kKindPercent, 100, "100%"},
      {kKindOutputLevel, 0, "0%"},
      {kKindOutputLevel, 50, "100%"},
      {kKindOutputLevel, 200, "400%"},
      {kKindRightDelay, 0, "-50%"},
      {kKindRightDelay, 50, "0%"},
      {kKindRightDelay, 100, "50%"},
      {kKindDelay2ms, 0, "0ms"},
      {kKindDelay2ms, 125, "250ms"},
      {kKindDelay2ms, 250, "500ms"},
      {kKindReverbTime, 0, "0ms"},
      {kKindReverbTime, 1, "63ms"},
      {kKindReverbTime, 2, "125ms"},
      {kKindReverbTime, 3, "188ms"},
      {kKindReverbTime, 80, "5000ms"},
      {kKindThreshold, 0, "-20dBu"},
      {kKindThreshold, 14, "-6dBu"},
      {kKindThreshold, 20, "0dBu"},
      {kKindThreshold, 34, "14dBu"},
      {kKindRatio, 0, "1.0"},
      {kKindRatio, 26, "11.4"},
      {kKindRatio, 27, "12"},
      {kKindRatio, 39, "30"},
      {kKindRatio, 40, "100"},
      {kKindRelease, 0, "2"},
      {kKindRelease, 7, "32"},
      {kKindAttack, 0, "0.5ms"},
      {kKindAttack, 9, "11ms"},
      {kKindAttack, 15, "90ms"},
      {kKindDelayTenthMs, 0, "0.0ms"},
      {kKindDelayTenthMs, 5, "0.5ms"},
      {kKindDelayTenthMs, 123, "12.3ms"},
      {kKindDelayTenthMs, 500, "50.0ms"},
      {kKindUserQ, 0, "0.40"},
      {kKindUserQ, 23, "1.50"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatValue(c.kind, c.x), std::optional<std::string>(c.text))
        << "kind=" << c.kind << " x=" << c.x;
  }
}

TEST(FormatValueTest, KindsWithoutTextWriteNothing) {
  for (const int kind : {-1, int{kKindNone}, int{kKindBandType}, int{kKindUnused}, 20, 99}) {
    EXPECT_EQ(FormatValue(kind, 3), std::nullopt) << "kind=" << kind;
    EXPECT_FALSE(KindShowsText(kind)) << "kind=" << kind;
  }
  for (int kind = 2; kind <= 19; ++kind) {
    if (kind == kKindUnused) continue;
    EXPECT_TRUE(KindShowsText(kind)) << "kind=" << kind;
    EXPECT_TRUE(FormatValue(kind, 0).has_value()) << "kind=" << kind;
  }
}

TEST(FormatValueTest, StepsOutsideATableReadItsNearestEnd) {
  // Values the box may send that no control produces must never read beyond a table.
  const FormatCase cases[] = {
      {kKindFrequency, 400, "20600.0Hz"},
      {kKindFrequency, -3, "19.7Hz"},
      {kKindQ, 101, "128.00"},
      {kKindQ, -1, "0.40"},
      {kKindHighPass, 500, "20600.0Hz"},
      {kKindHighPass, -7, "Off"},
      {kKindLowPass, -200, "19.7Hz"},
      {kKindLowPass, 300, "Off"},
      {kKindRatio, 41, "100"},
      {kKindRelease, 8, "32"},
      {kKindAttack, 16, "90ms"},
      {kKindUserQ, 200, "128.00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatValue(c.kind, c.x), std::optional<std::string>(c.text))
        << "kind=" << c.kind << " x=" << c.x;
  }
}

TEST(ScaleTablesTest, FrequencyTableFollowsThirtySixStepsPerOctave) {
  const auto table = FrequencyTable();
  ASSERT_EQ(table.size(), 362u);
  for (size_t s = 0; s < table.size(); ++s) {
    if (s > 0) {
      EXPECT_GT(table[s], table[s - 1]) << "step " << s;
    }
    // Entries are rounded to about three significant digits of 19.7 * 2^(s/36).
    const double ideal = 19.7 * std::pow(2.0, s / 36.0);
    EXPECT_NEAR(table[s] / ideal, 1.0, 0.012) << "step " << s;
    EXPECT_EQ(FrequencyOfStep(static_cast<int>(s)), table[s]);
  }
  EXPECT_EQ(FrequencyText(0), "19.7");
  EXPECT_EQ(FrequencyText(80), "91.9");
  EXPECT_EQ(FrequencyText(204), "1000.0");
  EXPECT_EQ(FrequencyText(361), "20600.0");
}

TEST(ScaleTablesTest, QTableDoublesAboutEveryTwelveSteps) {
  const auto table = QTable();
  ASSERT_EQ(table.size(), 101u);
  for (size_t s = 0; s < table.size(); ++s) {
    if (s > 0) {
      EXPECT_GT(table[s], table[s - 1]) << "step " << s;
    }
    const double ideal = 0.4 * std::pow(2.0, s / 12.0);
    EXPECT_NEAR(table[s] / ideal, 1.0, 0.06) << "step " << s;
  }
  EXPECT_EQ(QText(10), "0.71");
  EXPECT_EQ(QText(16), "1.00");
  EXPECT_EQ(QText(57), "10.70");
  EXPECT_EQ(QOfStep(100), 128.0);
  EXPECT_EQ(QLimitOfBandType(0), 100);
  for (const int type : {1, 2, 3, -1}) EXPECT_EQ(QLimitOfBandType(type), 28) << type;
}

TEST(ScaleTablesTest, GainStepsAreFifthsOfADecibelAroundStep120) {
  EXPECT_EQ(GainDbOfStep(kZeroDbGainStep), 0.0);
  EXPECT_EQ(GainDbOfStep(0), -24.0);
  EXPECT_EQ(GainDbOfStep(kMaxGainStep), 12.0);
  EXPECT_DOUBLE_EQ(GainDbOfStep(102), -3.6);
}

struct ParseCase {
  int kind;
  double number;
  double raw;  // before the clamp
};

TEST(ParseEditValueTest, TypedNumbersBecomeRawSteps) {
  const ParseCase cases[] = {
      // Frequency: nearest table step, halfway takes the lower one.
      {kKindFrequency, 1000, 204},
      {kKindFrequency, 1009, 204},
      {kKindFrequency, 1010, 204},
      {kKindFrequency, 1011, 205},
      {kKindFrequency, 1020, 205},
      {kKindFrequency, 5, 0},
      {kKindFrequency, -100, 0},
      {kKindFrequency, 19.7, 0},
      {kKindFrequency, 19.9, 0},  // halfway between 19.7 and 20.1
      {kKindFrequency, 19.91, 1},
      {kKindFrequency, 21.1, 3},    // halfway between 20.9 and 21.3
      {kKindFrequency, 42.95, 40},  // halfway between 42.5 and 43.4
      {kKindFrequency, 92.9, 80},   // nearer 91.9 than 94.0
      {kKindFrequency, 93.0, 81},
      {kKindFrequency, 20000, 359},  // halfway between 19800.0 and 20200.0
      {kKindFrequency, 20001, 360},
      {kKindFrequency, 20200, 360},
      // Above the second-last entry the walk ends on the last step.
      {kKindFrequency, 20250, 361},
      {kKindFrequency, 20300, 361},
      {kKindFrequency, 1e9, 361},
      {kKindFrequency, INFINITY, 361},
      // Gain: Round((number + 24) * 5), halves to even.
      {kKindGain, -3.6, 102},
      {kKindGain, -3.65, 102},
      {kKindGain, 0, 120},
      {kKindGain, 0.1, 120},   // 120.5 -> 120
      {kKindGain, 0.3, 122},   // 121.5 -> 122
      {kKindGain, -3.7, 102},  // 101.5 -> 102
      {kKindGain, -3.3, 104},  // 103.5 -> 104
      {kKindGain, -23.9, 0},   // 0.5 -> 0
      {kKindGain, -22.1, 10},  // 9.5 -> 10
      {kKindGain, -16.1, 40},  // 39.5 -> 40
      {kKindGain, 11.9, 180},  // 179.5 -> 180
      {kKindGain, 99, 615},
      {kKindGain, -30, -30},
      // Q: first table step at or above the number.
      {kKindQ, 1.0, 16},
      {kKindQ, 1.03, 17},
      {kKindQ, 3, 35},
      {kKindQ, 0, 0},
      {kKindQ, -5, 0},
      {kKindQ, 128, 100},
      {kKindQ, 128.01, 101},
      // Every other kind takes the number as it is.
      {kKindPercent, 55.5, 55.5},
      {kKindNone, -7, -7},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseEditValue(c.kind, c.number), c.raw)
        << "kind=" << c.kind << " number=" << c.number;
  }
}

struct TypedCase {
  int kind;
  int band_type;  // for Q boxes
  const char* typed;
  const char* shown;
};

TEST(ParseEditValueTest, TypedTextIsClampedAndShownAsTheBoxWould) {
  // Extract, parse, clamp to the kind (and for Q to the band's limit), format the stored step.
  const TypedCase cases[] = {
      {kKindFrequency, 0, "1000", "1000.0Hz"},
      {kKindFrequency, 0, "1011Hz", "1020.0Hz"},
      {kKindFrequency, 0, "20300", "20600.0Hz"},
      {kKindFrequency, 0, "5", "19.7Hz"},
      {kKindGain, 0, "-3.6dB", "-3.6dB"},
      {kKindGain, 0, "-3.65", "-3.6dB"},
      {kKindGain, 0, "99", "12.0dB"},
      {kKindGain, 0, "-30", "-24.0dB"},
      {kKindQ, 0, "1.03", "1.06"},
      {kKindQ, 1, "3", "2.00"},
      {kKindQ, 0, "500", "128.00"},
      {kKindQ, 2, "0.1", "0.40"},
  };
  for (const auto& c : cases) {
    const auto number = ExtractEditNumber(c.typed);
    ASSERT_TRUE(number.has_value()) << c.typed;
    double raw = ClampToKind(c.kind, ParseEditValue(c.kind, *number));
    if (c.kind == kKindQ) raw = std::min<double>(raw, QLimitOfBandType(c.band_type));
    EXPECT_EQ(FormatValue(c.kind, raw), std::optional<std::string>(c.shown)) << c.typed;
  }
}

TEST(ParseEditValueTest, EveryShownTextParsesBackToItsStep) {
  for (int s = 0; s <= kMaxFrequencyStep; ++s) {
    const auto number = ExtractEditNumber(*FormatValue(kKindFrequency, s));
    ASSERT_TRUE(number.has_value());
    EXPECT_EQ(ParseEditValue(kKindFrequency, *number), s) << "frequency step " << s;
  }
  for (int s = 0; s <= kMaxGainStep; ++s) {
    const auto number = ExtractEditNumber(*FormatValue(kKindGain, s));
    ASSERT_TRUE(number.has_value());
    EXPECT_EQ(ParseEditValue(kKindGain, *number), s) << "gain step " << s;
  }
  for (int s = 0; s <= kMaxPeqQStep; ++s) {
    const auto number = ExtractEditNumber(*FormatValue(kKindQ, s));
    ASSERT_TRUE(number.has_value());
    EXPECT_EQ(ParseEditValue(kKindQ, *number), s) << "Q step " << s;
  }
}

struct ExtractCase {
  const char* text;
  std::optional<double> number;
};

TEST(ExtractEditNumberTest, KeepsSignPointAndDigitsOnly) {
  const std::string too_long(400, '9');
  const ExtractCase cases[] = {
      {"1000.0Hz", 1000.0},
      {"-3.6dB", -3.6},
      {"0.71", 0.71},
      {" 1 000 ", 1000.0},
      {"增益-3.6dB", -3.6},  // non-ASCII text is dropped byte by byte
      {"1e5", 15.0},         // the letter goes, the digits stay
      {".5", 0.5},
      {"5.", 5.0},
      {"-0", 0.0},
      {"", std::nullopt},
      {"Hz", std::nullopt},
      {"-", std::nullopt},
      {"-.", std::nullopt},
      {".", std::nullopt},
      {"1.2.3", std::nullopt},
      {"3-4", std::nullopt},
      {"--1", std::nullopt},
      {"1-", std::nullopt},
      {"１２", std::nullopt},  // full-width digits are not digits here
      {too_long.c_str(), std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractEditNumber(c.text), c.number) << "text=\"" << c.text << "\"";
  }
}

TEST(KindTest, RangesClampValuesOfEachKind) {
  struct RangeCase {
    int kind;
    int high;
  };
  const RangeCase ranges[] = {
      {2, 361}, {3, 180},  {4, 100}, {6, 241}, {7, 194}, {8, 100}, {9, 200},  {10, 100}, {11, 250},
      {12, 80}, {13, 241}, {14, 34}, {15, 40}, {16, 7},  {17, 15}, {18, 500}, {19, 23},
  };
  for (const auto& r : ranges) {
    const auto range = RangeOfKind(r.kind);
    ASSERT_TRUE(range.has_value()) << "kind=" << r.kind;
    EXPECT_EQ(range->low, 0);
    EXPECT_EQ(range->high, r.high) << "kind=" << r.kind;
    EXPECT_EQ(ClampToKind(r.kind, r.high + 0.5), r.high) << "kind=" << r.kind;
    EXPECT_EQ(ClampToKind(r.kind, -1), 0) << "kind=" << r.kind;
    EXPECT_EQ(ClampToKind(r.kind, 1.5), 1.5) << "kind=" << r.kind;
  }
  for (const int kind : {-1, 0, 1, 5, 20}) {
    EXPECT_FALSE(RangeOfKind(kind).has_value()) << "kind=" << kind;
    EXPECT_EQ(ClampToKind(kind, 1234.5), 1234.5) << "kind=" << kind;
  }
}

TEST(KindTest, HintTextNamesTheKind) {
  EXPECT_EQ(KindOfHint("6"), 6);
  EXPECT_EQ(KindOfHint("19"), 19);
  EXPECT_EQ(KindOfHint("0"), 0);
  EXPECT_EQ(KindOfHint(""), std::nullopt);
  EXPECT_EQ(KindOfHint("x"), std::nullopt);
  EXPECT_EQ(KindOfHint("12a"), std::nullopt);
  EXPECT_EQ(KindOfHint("99999999999"), std::nullopt);
}

}  // namespace
}  // namespace kc

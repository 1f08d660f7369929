#include "model/value_scales.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "model/rounding.h"

namespace kc {
namespace {

// clang-format off
// Frequency of each step in Hz, nine steps per line, four lines per octave.
constexpr std::array<double, kFrequencyStepCount> kFrequencies = {
       19.7,    20.1,    20.5,    20.9,    21.3,    21.7,    22.1,    22.5,    23.0,
       23.4,    23.9,    24.3,    24.8,    25.3,    25.8,    26.3,    26.8,    27.3,
       27.8,    28.4,    28.9,    29.5,    30.1,    30.7,    31.3,    31.9,    32.5,
       33.1,    33.8,    34.4,    35.1,    35.8,    36.5,    37.2,    37.9,    38.6,
       39.4,    40.1,    40.9,    41.7,    42.5,    43.4,    44.2,    45.1,    45.9,
       46.8,    47.7,    48.7,    49.6,    50.6,    51.6,    52.6,    53.6,    54.6,
       55.7,    56.8,    57.9,    59.0,    60.1,    61.3,    62.5,    63.7,    65.0,
       66.2,    67.5,    68.8,    70.2,    71.5,    72.9,    74.3,    75.8,    77.2,
       78.7,    80.3,    81.8,    83.4,    85.0,    86.7,    88.4,    90.1,    91.9,
       94.0,    95.0,    97.0,    99.0,   101.0,   103.0,   105.0,   107.0,   109.0,
      111.0,   114.0,   116.0,   118.0,   120.0,   123.0,   125.0,   127.0,   130.0,
      132.0,   135.0,   138.0,   140.0,   143.0,   146.0,   149.0,   152.0,   154.0,
      157.0,   161.0,   164.0,   167.0,   170.0,   173.0,   177.0,   180.0,   184.0,
      187.0,   191.0,   195.0,   198.0,   202.0,   206.0,   210.0,   214.0,   218.0,
      223.0,   227.0,   231.0,   236.0,   241.0,   245.0,   250.0,   255.0,   260.0,
      265.0,   270.0,   275.0,   281.0,   286.0,   292.0,   297.0,   303.0,   309.0,
      315.0,   321.0,   327.0,   334.0,   340.0,   347.0,   354.0,   360.0,   367.0,
      375.0,   382.0,   389.0,   397.0,   405.0,   412.0,   420.0,   429.0,   437.0,
      445.0,   454.0,   463.0,   472.0,   481.0,   490.0,   500.0,   510.0,   520.0,
      530.0,   540.0,   551.0,   561.0,   572.0,   583.0,   595.0,   606.0,   618.0,
      630.0,   642.0,   655.0,   667.0,   680.0,   694.0,   707.0,   721.0,   735.0,
      749.0,   764.0,   779.0,   794.0,   809.0,   825.0,   841.0,   857.0,   874.0,
      891.0,   908.0,   926.0,   944.0,   962.0,   981.0,  1000.0,  1020.0,  1040.0,
     1060.0,  1080.0,  1100.0,  1120.0,  1140.0,  1170.0,  1190.0,  1210.0,  1240.0,
     1260.0,  1280.0,  1310.0,  1330.0,  1360.0,  1390.0,  1410.0,  1440.0,  1470.0,
     1500.0,  1530.0,  1560.0,  1590.0,  1620.0,  1650.0,  1680.0,  1710.0,  1750.0,
     1780.0,  1820.0,  1850.0,  1890.0,  1920.0,  1960.0,  2000.0,  2040.0,  2080.0,
     2120.0,  2160.0,  2200.0,  2240.0,  2290.0,  2330.0,  2380.0,  2420.0,  2470.0,
     2520.0,  2570.0,  2620.0,  2670.0,  2720.0,  2770.0,  2830.0,  2880.0,  2940.0,
     3000.0,  3050.0,  3110.0,  3170.0,  3240.0,  3300.0,  3360.0,  3430.0,  3500.0,
     3560.0,  3630.0,  3700.0,  3780.0,  3850.0,  3920.0,  4000.0,  4080.0,  4160.0,
     4240.0,  4320.0,  4400.0,  4490.0,  4580.0,  4670.0,  4760.0,  4850.0,  4940.0,
     5040.0,  5140.0,  5240.0,  5340.0,  5440.0,  5550.0,  5660.0,  5770.0,  5880.0,
     5990.0,  6110.0,  6230.0,  6350.0,  6470.0,  6600.0,  6730.0,  6860.0,  6990.0,
     7130.0,  7270.0,  7410.0,  7550.0,  7700.0,  7850.0,  8000.0,  8160.0,  8310.0,
     8480.0,  8640.0,  8810.0,  8980.0,  9150.0,  9330.0,  9510.0,  9700.0,  9890.0,
    10100.0, 10300.0, 10500.0, 10700.0, 10900.0, 11100.0, 11300.0, 11500.0, 11800.0,
    12000.0, 12200.0, 12500.0, 12700.0, 12900.0, 13200.0, 13500.0, 13700.0, 14000.0,
    14300.0, 14500.0, 14800.0, 15100.0, 15400.0, 15700.0, 16000.0, 16300.0, 16600.0,
    17000.0, 17300.0, 17600.0, 18000.0, 18300.0, 18700.0, 19000.0, 19400.0, 19800.0,
    20200.0, 20600.0,
};
// clang-format on

// clang-format off
// Q of each step, twelve steps per line: about one doubling per line.
constexpr std::array<double, kQStepCount> kQs = {
      0.40,   0.42,   0.45,   0.47,   0.50,   0.53,   0.56,   0.59,   0.63,   0.67,   0.71,   0.75,
      0.79,   0.84,   0.89,   0.94,   1.00,   1.06,   1.12,   1.19,   1.26,   1.30,   1.40,   1.50,
      1.60,   1.70,   1.80,   1.90,   2.00,   2.10,   2.20,   2.40,   2.50,   2.70,   2.80,   3.00,
      3.20,   3.40,   3.60,   3.80,   4.00,   4.20,   4.50,   4.80,   5.00,   5.30,   5.70,   6.00,
      6.30,   6.70,   7.10,   7.60,   8.00,   8.50,   9.00,   9.50,  10.10,  10.70,  11.30,  12.00,
     12.70,  13.50,  14.00,  15.00,  16.00,  17.00,  18.00,  19.00,  20.00,  21.00,  23.00,  24.00,
     25.00,  27.00,  29.00,  30.00,  32.00,  34.00,  36.00,  38.00,  40.00,  43.00,  45.00,  48.00,
     51.00,  54.00,  57.00,  60.00,  64.00,  68.00,  72.00,  76.00,  81.00,  85.00,  91.00,  96.00,
    102.00, 108.00, 114.00, 121.00, 128.00,
};
// clang-format on

// Compressor ratio, release and attack texts, held as texts because their decimals vary.
constexpr std::array<std::string_view, 41> kRatios = {
    "1.0", "1.2", "1.4",  "1.6",  "1.8",  "2.0", "2.4", "2.8", "3.2", "3.6", "4.0",
    "4.4", "4.8", "5.2",  "5.6",  "6.0",  "6.4", "6.8", "7.2", "7.6", "8.0", "8.4",
    "9.0", "9.6", "10.2", "10.8", "11.4", "12",  "13",  "14",  "15",  "16",  "17",
    "18",  "19",  "20",   "22",   "24",   "26",  "30",  "100"};
constexpr std::array<std::string_view, 8> kReleases = {"2", "4", "6", "8", "12", "16", "24", "32"};
constexpr std::array<std::string_view, 16> kAttacks = {"0.5", "0.7", "1.0", "1.4", "2.0", "2.8",
                                                       "4.0", "5.7", "8.0", "11",  "16",  "23",
                                                       "32",  "45",  "64",  "90"};

// Index into a table of n entries for a step that may lie outside it.
int StepIn(int step, size_t n) { return std::clamp(step, 0, static_cast<int>(n) - 1); }

// Clamp bounds per kind; high < low marks a kind without a range.
constexpr std::array<KindRange, 20> kRanges = {{
    {0, -1},                      // 0 no text
    {0, -1},                      // 1 band type box
    {0, kMaxFrequencyStep},       // 2 frequency
    {0, kMaxGainStep},            // 3 gain
    {0, kMaxPeqQStep},            // 4 Q (shelf bands stop at kMaxShelfQStep)
    {0, -1},                      // 5 unused
    {0, kMaxEffectHighPassStep},  // 6 high-pass pane
    {0, kLowPassOffStep},         // 7 low-pass pane
    {0, 100},                     // 8 percent
    {0, 200},                     // 9 output level
    {0, 100},                     // 10 right-channel delay
    {0, 250},                     // 11 delay in 2 ms steps
    {0, 80},                      // 12 reverb time
    {0, kMaxEffectHighPassStep},  // 13 high-pass pane
    {0, 34},                      // 14 threshold
    {0, 40},                      // 15 ratio
    {0, 7},                       // 16 release
    {0, 15},                      // 17 attack
    {0, 500},                     // 18 delay in 0.1 ms steps
    {0, 23},                      // 19 user Q
}};

std::string FrequencyWithUnit(int step) { return FrequencyText(step) + "Hz"; }

}  // namespace

std::span<const double> FrequencyTable() { return kFrequencies; }
std::span<const double> QTable() { return kQs; }

double FrequencyOfStep(int step) { return kFrequencies[StepIn(step, kFrequencies.size())]; }

std::string FrequencyText(int step) { return FormatPattern(FrequencyOfStep(step), 1); }

double QOfStep(int step) { return kQs[StepIn(step, kQs.size())]; }

std::string QText(int step) { return FormatPattern(QOfStep(step), 2); }

std::string RatioText(int step) { return std::string(kRatios[StepIn(step, kRatios.size())]); }

std::string ReleaseText(int step) { return std::string(kReleases[StepIn(step, kReleases.size())]); }

std::string AttackText(int step) { return std::string(kAttacks[StepIn(step, kAttacks.size())]); }

double GainDbOfStep(double step) { return step / 5 - 24; }

int QLimitOfBandType(int band_type) { return band_type == 0 ? kMaxPeqQStep : kMaxShelfQStep; }

std::optional<KindRange> RangeOfKind(int kind) {
  if (kind < 0 || kind >= static_cast<int>(kRanges.size())) return std::nullopt;
  const KindRange& range = kRanges[kind];
  if (range.high < range.low) return std::nullopt;
  return range;
}

double ClampToKind(int kind, double x) {
  const auto range = RangeOfKind(kind);
  if (!range) return x;
  if (x < range->low) return range->low;
  if (x > range->high) return range->high;
  return x;
}

bool KindShowsText(int kind) { return (kind >= 2 && kind <= 4) || (kind >= 6 && kind <= 19); }

std::optional<int> KindOfHint(std::string_view hint) {
  int kind = 0;
  const char* end = hint.data() + hint.size();
  const auto [ptr, ec] = std::from_chars(hint.data(), end, kind);
  if (hint.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return kind;
}

std::optional<std::string> FormatValue(int kind, double x) {
  switch (kind) {
    case kKindFrequency:
      return FrequencyWithUnit(Trunc(x));
    case kKindGain:
      return FormatPattern(GainDbOfStep(x), 1) + "dB";
    case kKindQ:
    case kKindUserQ:
      return QText(Trunc(x));
    case kKindHighPass:
    case kKindEffectHighPass: {
      const int v = Trunc(x);
      if (v <= 0) return "Off";
      return FrequencyWithUnit(v - 1);
    }
    case kKindLowPass: {
      const int v = Trunc(x);
      if (v >= kLowPassOffStep) return "Off";
      return FrequencyWithUnit(kLowPassFirstFrequencyStep +
                               std::max(v, -kLowPassFirstFrequencyStep));
    }
    case kKindPercent:
      return FormatPattern(x, 0) + "%";
    case kKindOutputLevel:
      return FormatPattern(x * 2, 0) + "%";
    case kKindRightDelay:
      return FormatPattern(x - 50, 0) + "%";
    case kKindDelay2ms:
      return FormatPattern(x * 2, 0) + "ms";
    case kKindReverbTime:
      return FormatPattern(x * 62.5, 0) + "ms";
    case kKindThreshold:
      return FormatPattern(x - 20, 0) + "dBu";
    case kKindRatio:
      return RatioText(Trunc(x));
    case kKindRelease:
      return ReleaseText(Trunc(x));
    case kKindAttack:
      return AttackText(Trunc(x)) + "ms";
    case kKindDelayTenthMs:
      return FormatPattern(x / 10, 1) + "ms";
    default:
      return std::nullopt;
  }
}

double ParseEditValue(int kind, double number) {
  switch (kind) {
    case kKindFrequency: {
      int s = 0;
      while (s < kMaxFrequencyStep && kFrequencies[s] < number) ++s;
      // Past 20200.0 the walk ends on the last step without weighing the step below.
      if (s == kMaxFrequencyStep) return s;
      // Nearer to the entry below, or halfway: take the entry below. The margin keeps a typed
      // decimal halfway point halfway despite binary rounding.
      constexpr double kMargin = 1e-9;
      if (s > 0 && number - kFrequencies[s - 1] <= kFrequencies[s] - number + kMargin) return s - 1;
      return s;
    }
    case kKindGain: {
      double steps = (number + 24) * 5;
      // A typed decimal such as -3.7 is exactly a half step; keep it one despite binary rounding
      // so that the half goes to the even neighbour.
      const double half = std::floor(steps) + 0.5;
      if (std::fabs(steps - half) < 1e-9) steps = half;
      return RoundHalfEven(steps);
    }
    case kKindQ: {
      int s = 0;
      while (s < kQStepCount && kQs[s] < number) ++s;
      return s;  // 101 above the table; the clamp brings it back to the band's limit
    }
    default:
      return number;
  }
}

std::optional<double> ExtractEditNumber(std::string_view text) {
  std::string kept;
  for (const char c : text) {
    if (c == '-' || c == '.' || (c >= '0' && c <= '9')) kept += c;
  }
  if (kept.empty()) return std::nullopt;
  // A number is an optional leading minus, digits and at most one point, with at least one digit.
  const size_t body = kept[0] == '-' ? 1 : 0;
  const auto digits =
      std::count_if(kept.begin() + body, kept.end(), [](char c) { return c >= '0' && c <= '9'; });
  const auto points = std::count(kept.begin() + body, kept.end(), '.');
  const auto minuses = std::count(kept.begin() + body, kept.end(), '-');
  if (digits == 0 || points > 1 || minuses > 0) return std::nullopt;
  double value = 0;
  const char* end = kept.data() + kept.size();
  const auto [ptr, ec] = std::from_chars(kept.data(), end, value, std::chars_format::fixed);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace kc

// Value scales: how raw step counts of the parameter store read as texts on the editor, and how a
// number typed into an EQ edit box turns back into a raw step.
//
// A value control carries a display kind (0..19) in its Hint. The kind picks the clamp bounds,
// the text pattern and the table of a value:
//   0 no text            1 EQ band type box       2 EQ frequency        3 EQ gain
//   4 EQ Q               5 unused                 6 high-pass pane      7 low-pass pane
//   8 percent            9 output level           10 right delay %      11 delay, 2 ms steps
//   12 reverb time       13 high-pass pane        14 threshold dBu      15 compressor ratio
//   16 release           17 attack ms             18 delay, 0.1 ms      19 user Q
// The tables are data here so that the EQ graph and the editor read the same numbers.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kc {

// Frequency steps 0..361, 36 per octave, 19.7 Hz to 20600.0 Hz.
inline constexpr int kFrequencyStepCount = 362;
inline constexpr int kMaxFrequencyStep = 361;
// Q steps 0..100, 0.40 to 128.00. A PEQ band uses all of them, a shelf band steps 0..28.
inline constexpr int kQStepCount = 101;
inline constexpr int kMaxPeqQStep = 100;
inline constexpr int kMaxShelfQStep = 28;
// Gain steps 0..180 in 0.2 dB, step 120 being 0.0 dB.
inline constexpr int kMaxGainStep = 180;
inline constexpr int kZeroDbGainStep = 120;
// The high-pass value: 0 means no filter, any other value v the frequency step v - 1. Controls of
// kKindHighPass stop at kMaxHighPassStep, those of kKindEffectHighPass (echo and reverb) at
// kMaxEffectHighPassStep.
inline constexpr int kMaxHighPassStep = 143;
inline constexpr int kMaxEffectHighPassStep = 241;
// The echo and reverb low-pass value, up to kLowPassOffStep: kLowPassOffStep means no filter, any
// other value v the frequency step v + kLowPassFirstFrequencyStep (500.0 Hz upwards).
inline constexpr int kLowPassOffStep = 194;
inline constexpr int kLowPassFirstFrequencyStep = 168;

// Display kinds by name, for the controls that carry them.
enum DisplayKind : int {
  kKindNone = 0,
  kKindBandType = 1,
  kKindFrequency = 2,
  kKindGain = 3,
  kKindQ = 4,
  kKindUnused = 5,
  kKindHighPass = 6,
  kKindLowPass = 7,
  kKindPercent = 8,
  kKindOutputLevel = 9,
  kKindRightDelay = 10,
  kKindDelay2ms = 11,
  kKindReverbTime = 12,
  kKindEffectHighPass = 13,
  kKindThreshold = 14,
  kKindRatio = 15,
  kKindRelease = 16,
  kKindAttack = 17,
  kKindDelayTenthMs = 18,
  kKindUserQ = 19,
};

// Items of the band type boxes: 0 PEQ, 1 LSEQ (low shelf), 2 HSEQ (high shelf).
inline constexpr std::string_view kBandTypeNames[] = {"PEQ", "LSEQ", "HSEQ"};

// The frequency table in Hz, steps 0..361, and the Q table, steps 0..100, read as numbers.
std::span<const double> FrequencyTable();
std::span<const double> QTable();

// Table entries by step; a step outside the table reads the nearest end of it.
double FrequencyOfStep(int step);
std::string FrequencyText(int step);  // one decimal, no unit: "1000.0"
double QOfStep(int step);
std::string QText(int step);  // two decimals: "0.71"
// Compressor tables: ratio (steps 0..40), release (0..7) and attack (0..15, without "ms").
std::string RatioText(int step);
std::string ReleaseText(int step);
std::string AttackText(int step);

// Gain in dB of a (possibly fractional) gain step: step / 5 - 24.
double GainDbOfStep(double step);

// Highest Q step a band of this type allows: 100 for a PEQ band (type 0), 28 for any other type.
int QLimitOfBandType(int band_type);

// The raw range a value of a kind is clamped to. Kind 4 gives the whole Q table (0..100); the
// narrower shelf limit comes from QLimitOfBandType. Kinds 0, 1, 5 and any kind outside 0..19 have
// no range.
struct KindRange {
  int low;
  int high;
};
std::optional<KindRange> RangeOfKind(int kind);

// x limited to the kind's range; unchanged for a kind without a range.
double ClampToKind(int kind, double x);

// True for the kinds that write a text (2, 3, 4 and 6..19).
bool KindShowsText(int kind);

// The display kind a control's Hint text names: its decimal number, or nullopt when the Hint is
// empty or not a whole number.
std::optional<int> KindOfHint(std::string_view hint);

// The text a value control shows for raw value x of a kind ("1000.0Hz", "-3.6dB", "0.71", "Off",
// "40%", "125ms", "-6dBu"), or nullopt for the kinds that write no text (0, 1, 5, above 19).
// x is expected clamped to the kind's range (ClampToKind). Number patterns are formed from x
// itself, so a fractional gain step shows its fraction; table kinds look up Trunc(x), and a step
// outside a table reads the nearest end of it rather than anything beyond.
std::optional<std::string> FormatValue(int kind, double x);

// The raw value that a number typed into an edit box of a kind stands for, before clamping:
//   kind 2: the nearest frequency step (a number halfway between two entries takes the lower;
//           anything above 20200.0 gives 361);
//   kind 3: Round((number + 24) * 5);
//   kind 4: the first Q step at or above the number (above 128.00 gives 101);
//   other kinds: the number itself.
double ParseEditValue(int kind, double number);

// The number in the text of an edit box: keeps only '-', '.' and the digits 0..9, in order
// ("1000.0Hz" -> 1000.0, "-3.6dB" -> -3.6), then reads that with '.' as the decimal point.
// nullopt when nothing is left or what is left is not a number (a lone '-', two '.', a '-' after
// the first character) or is too large to hold; the caller then puts back the last good text.
std::optional<double> ExtractEditNumber(std::string_view text);

}  // namespace kc

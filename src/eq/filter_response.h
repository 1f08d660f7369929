// Magnitude responses of the EQ bands and pass filters, in dB on the graph's fixed logarithmic
// grid of 513 points from 10 Hz to 24000 Hz.
//
// The curves are a display approximation: every filter is designed once at the normalised centre
// ω0 = π/2, evaluated at 513 template points, and the template is slid along the grid so that its
// middle point lands on the band's grid point. Only the position of a curve depends on the band's
// frequency; its shape depends on the family, the gain and the Q.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace kc {

// Grid intervals and points of a response array.
inline constexpr int kResponseIntervals = 512;
inline constexpr int kResponsePoints = kResponseIntervals + 1;
// Decades from 10 Hz to 24000 Hz: log10(2400).
inline constexpr double kGridDecades = 3.380211241711606;

using ResponseArray = std::array<float, kResponsePoints>;

// Response type codes. 3..99 draw a flat line; 100 + k is a high-pass and 200 + k a low-pass of
// kind k (code mod 10).
inline constexpr int kCodePeaking = 0;
inline constexpr int kCodeLowShelf = 1;
inline constexpr int kCodeHighShelf = 2;
inline constexpr int kCodeHighPass = 100;
inline constexpr int kCodeLowPass = 200;

// Grid index of a frequency, a real number: (log10(max(f, 1)) - 1) / D * 512.
double GridIndexOf(double frequency_hz);
// Frequency of grid point i: 10^(1 + i * D / 512).
double GridFrequency(int point);
// The band frequency moved onto the nearest grid point, rounded to whole hertz, at least 10 Hz.
// 1000 Hz gives 1001 Hz, 20600 Hz gives 20615 Hz.
int64_t SnapToGrid(int frequency_hz);

// Fills all 513 values of `response` with the magnitude response of one band or pass filter.
// `gain_db` is used by codes 0, 1 and 2 only; `q` is the Q of a peaking band, the slope of a
// shelf and the user Q of the pass filters that take one. A q of 0.1 or less counts as 0.1.
void ComputeBandResponse(ResponseArray& response, int frequency_hz, uint8_t code, float q,
                         float gain_db);

// One band slot of the graph: what a section's band or pass filter contributes to the curve.
struct BandSlot {
  int code = kCodePeaking;
  float frequency = 1000.0f;  // Hz
  float gain = 0.0f;          // dB; 0 for pass filters
  float q = 1.0f;             // Q, shelf slope or user Q
};

inline constexpr int kBandSlots = 17;
// Q of the extra second-order section that turns a 12 dB pass filter into a 24 dB one.
inline constexpr float kExtraSectionQ = 0.8f;

// The responses of the section on show: 17 band slots plus the extra high-pass and low-pass
// sections of the 24 dB-per-octave pass filters. A slot's array is kept until that slot is
// computed again, so a change of one band recomputes one array and re-sums.
class SectionResponse {
 public:
  SectionResponse();

  // Which extra pass sections the section uses; set for every redraw before any slot is computed.
  void SetExtraInUse(bool high_pass, bool low_pass);
  bool extra_high_pass_in_use() const { return extra_high_pass_in_use_; }
  bool extra_low_pass_in_use() const { return extra_low_pass_in_use_; }

  // Recomputes slot k (0..16) from `slot`, and the extra section that belongs to it: the extra
  // low-pass for a 24 dB low-pass code (above 210), the extra high-pass for a 24 dB high-pass code
  // (111..199), each when in use. Slots outside 0..16 are ignored.
  void ComputeSlot(int k, const BandSlot& slot);
  // Recomputes slots 0 .. slots.size() - 1 (at most 17).
  void ComputeAll(std::span<const BandSlot> slots);

  // Single-precision sum over slots 0..last, then the extra high-pass and the extra low-pass
  // when in use. `last` is clamped to 0..16.
  void Sum(int last, ResponseArray& out) const;

  const ResponseArray& slot_response(int k) const { return slots_[k]; }
  const ResponseArray& extra_high_pass() const { return extra_high_pass_; }
  const ResponseArray& extra_low_pass() const { return extra_low_pass_; }

 private:
  std::array<ResponseArray, kBandSlots> slots_;
  ResponseArray extra_high_pass_;
  ResponseArray extra_low_pass_;
  bool extra_high_pass_in_use_ = false;
  bool extra_low_pass_in_use_ = false;
};

}  // namespace kc

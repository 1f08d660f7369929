#include "eq/filter_response.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "model/rounding.h"

namespace kc {
namespace {

constexpr double kPi = 3.141592653589793;
// The design centre of every filter, held as a single.
constexpr float kOmega0 = static_cast<float>(kPi / 2);
// The template point that lands on the band's grid point.
constexpr int kTemplateCentre = 256;
// Template points 0..511 are placed; point 512 would never be.
constexpr int kTemplatePlaced = 512;

// How a family spreads the angular frequencies 0..π over the template points.
enum class Spread { kPeaking, kShelf, kPass };

// u(j) of template point j; the point is evaluated at w = u·π/512.
double SpreadU(Spread spread, int j) {
  if (spread == Spread::kPeaking) return j;
  const int t = spread == Spread::kShelf ? 120 : 140;
  const double width = 256 - t;
  if (j <= kTemplateCentre) {
    // The shelf starts at its stretch's first point, the pass filters one point later.
    const bool inside = spread == Spread::kShelf ? j >= t : j > t;
    return inside ? (j - t) * 256.0 / width : 1.0;
  }
  if (j <= 512 - t) return 256.0 + (j - 256) * 256.0 / width;
  return 511.0;
}

// s = (2·sin(w/2))² of every template point, per spread. The grid is fixed, so these are built
// once and every response is then a few multiplications and one logarithm per point.
struct SpreadTables {
  std::array<std::array<double, kTemplatePlaced>, 3> s;
  SpreadTables() {
    for (int k = 0; k < 3; ++k) {
      for (int j = 0; j < kTemplatePlaced; ++j) {
        const double w = SpreadU(static_cast<Spread>(k), j) * kPi / 512.0;
        const double h = 2.0 * std::sin(w / 2.0);
        s[k][j] = h * h;
      }
    }
  }
};

const std::array<double, kTemplatePlaced>& SquaredSines(Spread spread) {
  static const SpreadTables tables;
  return tables.s[static_cast<int>(spread)];
}

// Natural logarithm of a positive normal single, to a few units in the last place: the mantissa
// is brought into [√½, √2) and its logarithm taken from the atanh series, whose argument stays
// below 0.172. Branch-free so that a block of points is computed side by side; inputs that are
// not positive normal numbers give meaningless results and are put right by the caller.
inline float FastLog(float x) {
  constexpr uint32_t kSqrtHalfBits = 0x3F3504F3u;
  const uint32_t shifted = std::bit_cast<uint32_t>(x) - kSqrtHalfBits;
  const int32_t k = static_cast<int32_t>(shifted) >> 23;
  const float m = std::bit_cast<float>((shifted & 0x007FFFFFu) + kSqrtHalfBits);
  const float f = m - 1.0f;
  const float t = f / (2.0f + f);
  const float t2 = t * t;
  const float series = t * (2.0f + t2 * (2.0f / 3 + t2 * (2.0f / 5 + t2 * (2.0f / 7))));
  return static_cast<float>(k) * 0.69314718f + series;
}

bool IsPositiveNormal(float x) {
  return x >= std::numeric_limits<float>::min() && x <= std::numeric_limits<float>::max();
}

// Numerator b and denominator a of one second-order section, single precision.
struct Section {
  float b0, b1, b2, a0, a1, a2;
};

Section MakeSection(double b0, double b1, double b2, double a0, double a1, double a2) {
  return {static_cast<float>(b0), static_cast<float>(b1), static_cast<float>(b2),
          static_cast<float>(a0), static_cast<float>(a1), static_cast<float>(a2)};
}

// P(x) = s·(s·x0·x2 − ((x0 + x2)·x1 + 4·x0·x2)) + (x0 + x1 + x2)², the squared magnitude of
// x0 + x1·z⁻¹ + x2·z⁻² on the unit circle written in s = 4·sin²(w/2).
struct Squared {
  double c2, c1, c0;
  Squared(float x0, float x1, float x2) {
    const double d0 = x0, d1 = x1, d2 = x2;
    const double sum = d0 + d1 + d2;
    c2 = d0 * d2;
    c1 = (d0 + d2) * d1 + 4.0 * d0 * d2;
    c0 = sum * sum;
  }
  double At(double s) const { return s * (s * c2 - c1) + c0; }
};

// Evaluates the section over the template and slides the template onto the grid so that its
// centre sits at grid point c. Only the blocks of template points the placement reads are
// evaluated. `hold_zeros`: a point whose numerator or denominator is exactly 0 repeats the point
// before it (the low-pass numerator vanishes where w = π).
void PlaceSection(ResponseArray& out, const Section& section, Spread spread, int c,
                  bool hold_zeros) {
  const Squared num(section.b0, section.b1, section.b2);
  const Squared den(section.a0, section.a1, section.a2);
  const std::array<double, kTemplatePlaced>& s = SquaredSines(spread);
  constexpr float kDbPerNeper = 4.34294482f;  // 10 / ln 10
  constexpr int kBlock = 8;

  const int first = std::clamp(kTemplateCentre - c, 0, kTemplatePlaced - 1);
  const int last = std::clamp(kTemplateCentre + kResponseIntervals - c, 0, kTemplatePlaced - 1);
  int start = first / kBlock * kBlock;
  const int end = (last / kBlock + 1) * kBlock;  // at most 512
  if (hold_zeros) {
    // A held point needs the point before it, even when that one is not placed.
    while (start > 0 && (num.At(s[start]) == 0.0 || den.At(s[start]) == 0.0)) start -= kBlock;
  }

  // The squared magnitudes need double precision: far down a pass filter's slope they are tiny
  // differences of numbers near 16. Their ratio fits a single comfortably.
  alignas(32) std::array<float, kTemplatePlaced> ratio;
  alignas(32) std::array<float, kTemplatePlaced> tmpl;
  for (int j0 = start; j0 < end; j0 += kBlock) {
    for (int j = j0; j < j0 + kBlock; ++j) {
      ratio[j] = static_cast<float>(num.At(s[j]) / den.At(s[j]));
    }
    for (int j = j0; j < j0 + kBlock; ++j) tmpl[j] = kDbPerNeper * FastLog(ratio[j]);
  }
  // Points whose ratio is no positive normal single: held zeros, or ratios beyond single range.
  for (int j = start; j < end; ++j) {
    if (IsPositiveNormal(ratio[j])) continue;
    const double pb = num.At(s[j]);
    const double pa = den.At(s[j]);
    if (hold_zeros && (pb == 0.0 || pa == 0.0)) {
      tmpl[j] = j > start ? tmpl[j - 1] : 0.0f;
    } else {
      tmpl[j] = static_cast<float>(10.0 * std::log10(pb) - 10.0 * std::log10(pa));
    }
  }

  // Outside the template the curve is held at its outermost points.
  const int left = std::clamp(c - kTemplateCentre, 0, kResponsePoints);
  const int right = std::clamp(c - kTemplateCentre + kTemplatePlaced, left, kResponsePoints);
  // (Point 0 is evaluated whenever left > 0, point 511 whenever right < 513.)
  if (left > 0) std::fill(out.begin(), out.begin() + left, tmpl[0]);
  if (right > left) {
    std::copy(tmpl.begin() + (kTemplateCentre + left - c),
              tmpl.begin() + (kTemplateCentre + right - c), out.begin() + left);
  }
  if (right < kResponsePoints) std::fill(out.begin() + right, out.end(), tmpl[kTemplatePlaced - 1]);
}

Section PeakingSection(float gain, float q) {
  const double a = std::pow(10.0, gain / 40.0);
  const double q_prime = (q + 0.01) / 0.35714285714285715;  // the template is 2.8 times narrower
  const double alpha = std::sin(kOmega0) / (2.0 * q_prime);
  const double c = std::cos(kOmega0);
  return MakeSection(1 + alpha * a, -2 * c, 1 - alpha * a, 1 + alpha / a, -2 * c, 1 - alpha / a);
}

Section ShelfSection(float gain, float q, bool high) {
  const double slope = std::min(q, 4.0f) + 0.001;
  const double a = std::pow(10.0, gain / 40.0);
  const double alpha =
      std::sin(kOmega0) / 2.0 * std::sqrt(std::fabs((a + 1 / a) * (1 / slope - 1) + 2));
  const double c = std::cos(kOmega0);
  const double r = 2 * std::sqrt(a) * alpha;
  if (!high) {
    return MakeSection(a * ((a + 1) - (a - 1) * c + r), 2 * a * ((a - 1) - (a + 1) * c),
                       a * ((a + 1) - (a - 1) * c - r), (a + 1) + (a - 1) * c + r,
                       -2 * ((a - 1) + (a + 1) * c), (a + 1) + (a - 1) * c - r);
  }
  return MakeSection(a * ((a + 1) + (a - 1) * c + r), -2 * a * ((a - 1) + (a + 1) * c),
                     a * ((a + 1) + (a - 1) * c - r), (a + 1) - (a - 1) * c + r,
                     2 * ((a - 1) - (a + 1) * c), (a + 1) - (a - 1) * c - r);
}

// Second-order pass section with the given α.
Section PassSection(double alpha, bool high) {
  const double c = std::cos(kOmega0);
  if (high) {
    return MakeSection((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
  }
  return MakeSection((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Section HighPassSection(int kind, float q) {
  const double user_q = std::min(q, 4.0f) + 0.001;
  const double sin_w0 = std::sin(kOmega0);
  switch (kind) {
    case 0:
      return MakeSection(1, 0, 0, 1, 0, 0);
    case 1:
      return PassSection(sin_w0 / (2 / std::sqrt(3.0)), true);
    case 2:
      return PassSection(sin_w0 / (2 / std::sqrt(2.0)), true);
    case 3:
    case 4:
    case 5:
      return PassSection(sin_w0 / (2 * user_q), true);
    default: {
      // Fixed bilinear section with Q = 1; K = tan(π/4) = 1.
      const double k = 1.0;
      const double d = k * k + k + 1;
      return MakeSection(1 / d, -2 / d, 1 / d, 1, 2 * (k * k - 1) / d, (k * k - k + 1) / d);
    }
  }
}

Section LowPassSection(int kind, float q) {
  const double user_q = std::min(q, 4.0f) + 0.001;
  const double sin_w0 = std::sin(kOmega0);
  switch (kind) {
    case 0:
      return MakeSection(1, 0, 0, 1, 0, 0);
    case 1:
      return PassSection(sin_w0 / (2 / std::sqrt(3.0)), false);
    case 2:
      return PassSection(sin_w0 / (2 / std::sqrt(2.0)), false);
    case 3: {
      // Fixed bilinear section with 1/Q = 2·cos(π/8); K = tan(π/4) = 1.
      const double k = 1.0;
      const double e = 2 * std::cos(kPi / 8);
      const double d = k * k + e * k + 1;
      return MakeSection(k * k / d, 2 * k * k / d, k * k / d, 1, 2 * (k * k - 1) / d,
                         (k * k - e * k + 1) / d);
    }
    case 4:
    case 5:
      return PassSection(sin_w0 / (2 * user_q), false);
    default:
      return PassSection(sin_w0 / 1.414, false);
  }
}

}  // namespace

double GridIndexOf(double frequency_hz) {
  return (std::log10(std::max(frequency_hz, 1.0)) - 1.0) / kGridDecades * kResponseIntervals;
}

double GridFrequency(int point) {
  return std::pow(10.0, 1.0 + point * kGridDecades / kResponseIntervals);
}

int64_t SnapToGrid(int frequency_hz) {
  const int c0 = RoundHalfEven(GridIndexOf(frequency_hz));
  // Far beyond the grid the rounding saturates at the largest int, still beyond point 512.
  const int64_t snapped = RoundHalfEven(GridFrequency(c0));
  return std::max<int64_t>(snapped, 10);
}

void ComputeBandResponse(ResponseArray& response, int frequency_hz, uint8_t code, float q,
                         float gain_db) {
  const int group = code / 100;
  if (group > 2) return;
  const int64_t frequency = SnapToGrid(frequency_hz);
  // Negated so that a NaN q is raised to the floor as well.
  if (!(q > 0.1f)) q = 0.1f;
  const int c = RoundHalfEven(GridIndexOf(static_cast<double>(frequency)));

  if (group == 0) {
    switch (code) {
      case kCodePeaking:
        PlaceSection(response, PeakingSection(gain_db, q), Spread::kPeaking, c, false);
        break;
      case kCodeLowShelf:
        PlaceSection(response, ShelfSection(gain_db, q, false), Spread::kShelf, c, false);
        break;
      case kCodeHighShelf:
        PlaceSection(response, ShelfSection(gain_db, q, true), Spread::kShelf, c, false);
        break;
      default:
        // Unknown band types draw a flat line (a peaking band without gain).
        PlaceSection(response, PeakingSection(0.0f, q), Spread::kPeaking, c, false);
        break;
    }
  } else if (group == 1) {
    PlaceSection(response, HighPassSection(code % 10, q), Spread::kPass, c, false);
  } else {
    PlaceSection(response, LowPassSection(code % 10, q), Spread::kPass, c, true);
  }
}

namespace {

// Round(frequency) of a slot, kept inside int for any stored single.
int SlotFrequency(float frequency) {
  if (!(frequency > 0.0f)) return 0;
  return RoundHalfEven(std::min(static_cast<double>(frequency), 1e9));
}

}  // namespace

SectionResponse::SectionResponse() {
  for (ResponseArray& slot : slots_) slot.fill(0.0f);
  extra_high_pass_.fill(0.0f);
  extra_low_pass_.fill(0.0f);
}

void SectionResponse::SetExtraInUse(bool high_pass, bool low_pass) {
  extra_high_pass_in_use_ = high_pass;
  extra_low_pass_in_use_ = low_pass;
}

void SectionResponse::ComputeSlot(int k, const BandSlot& slot) {
  if (k < 0 || k >= kBandSlots) return;
  // A code of no family draws nothing: the slot is summed, so it must not keep the response of
  // a band of another section.
  if (slot.code < 0 || slot.code > 255) {
    slots_[k].fill(0.0f);
    return;
  }
  const int frequency = SlotFrequency(slot.frequency);
  if (slot.code > 210 && extra_low_pass_in_use_) {
    ComputeBandResponse(extra_low_pass_, frequency, kCodeLowPass + 4, kExtraSectionQ, slot.gain);
  } else if (slot.code > 110 && slot.code < 200 && extra_high_pass_in_use_) {
    ComputeBandResponse(extra_high_pass_, frequency, kCodeHighPass + 4, kExtraSectionQ, slot.gain);
  }
  ComputeBandResponse(slots_[k], frequency, static_cast<uint8_t>(slot.code), slot.q, slot.gain);
}

void SectionResponse::ComputeAll(std::span<const BandSlot> slots) {
  const int count = static_cast<int>(std::min<size_t>(slots.size(), kBandSlots));
  for (int k = 0; k < count; ++k) ComputeSlot(k, slots[k]);
}

void SectionResponse::Sum(int last, ResponseArray& out) const {
  last = std::clamp(last, 0, kBandSlots - 1);
  // Added array by array: each point still sums slot 0, 1, ... last, then the extras.
  out = slots_[0];
  auto add = [&out](const ResponseArray& response) {
    for (int i = 0; i < kResponsePoints; ++i) out[i] += response[i];
  };
  for (int k = 1; k <= last; ++k) add(slots_[k]);
  if (extra_high_pass_in_use_) add(extra_high_pass_);
  if (extra_low_pass_in_use_) add(extra_low_pass_);
}

}  // namespace kc

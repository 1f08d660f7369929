#include "eq/filter_response.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "direct_response.h"

namespace kc {
namespace {

int PointOf(double frequency) { return static_cast<int>(std::nearbyint(GridIndexOf(frequency))); }

TEST(GridTest, SnapsFrequenciesToTheNearestGridPoint) {
  struct Case {
    int frequency;
    int64_t snapped;
  } cases[] = {
      {1000, 1001}, {20, 20}, {20600, 20615}, {10, 10},   {24000, 24000},
      {11, 11},     {5, 10},  {0, 10},        {-500, 10},
  };
  for (const Case& c : cases) EXPECT_EQ(SnapToGrid(c.frequency), c.snapped) << c.frequency;
  EXPECT_EQ(PointOf(1000), 303);
  EXPECT_EQ(PointOf(19.7), 45);
  EXPECT_EQ(PointOf(20600), 502);
  EXPECT_NEAR(GridFrequency(256), 489.9, 0.05);
  EXPECT_NEAR(GridFrequency(512), 24000.0, 1e-6);
  // Far beyond the grid the snap still lands within half a grid step (a factor 1.0077).
  EXPECT_NEAR(static_cast<double>(SnapToGrid(INT_MAX)) / INT_MAX, 1.0, 0.0077);
}

TEST(BandResponseTest, MatchesKnownValuesAtTheirGridPoints) {
  struct Case {
    const char* what;
    uint8_t code;
    int frequency;
    float q, gain;
    double probe_hz, expected_db, tolerance;
  } cases[] = {
      {"peak +12 centre", 0, 1000, 1.0f, 12.0f, 1000, 12.00, 0.005},
      {"peak +12 octave below", 0, 1000, 1.0f, 12.0f, 500, 3.56, 0.005},
      {"peak +12 octave above", 0, 1000, 1.0f, 12.0f, 2000, 3.56, 0.005},
      {"peak -12 centre", 0, 1000, 1.0f, -12.0f, 1000, -12.00, 0.005},
      {"peak -12 octave below", 0, 1000, 1.0f, -12.0f, 500, -3.56, 0.005},
      {"peak -12 octave above", 0, 1000, 1.0f, -12.0f, 2000, -3.56, 0.005},
      {"low shelf below", 1, 200, 1.0f, 12.0f, 20, 12.00, 0.005},
      {"low shelf corner", 1, 200, 1.0f, 12.0f, 200, 6.00, 0.005},
      {"low shelf above", 1, 200, 1.0f, 12.0f, 2000, 0.00, 0.005},
      {"high shelf corner", 2, 5000, 1.0f, -6.0f, 5000, -3.00, 0.005},
      {"high shelf above", 2, 5000, 1.0f, -6.0f, 20000, -5.97, 0.01},
      {"high shelf below", 2, 5000, 1.0f, -6.0f, 500, 0.00, 0.005},
      {"high-pass corner", 102, 100, 1.0f, 0.0f, 100, -3.01, 0.005},
      {"high-pass octave below", 102, 100, 1.0f, 0.0f, 50, -11.62, 0.005},
      {"high-pass 20 Hz", 102, 100, 1.0f, 0.0f, 20, -45.1, 0.05},
      {"high-pass pass band", 102, 100, 1.0f, 0.0f, 1000, 0.00, 0.005},
      {"low-pass bilinear corner", 203, 5000, 1.0f, 0.0f, 5000, -5.33, 0.005},
      {"low-pass 1/sqrt3 corner", 201, 5000, 1.0f, 0.0f, 5000, -4.77, 0.005},
  };
  for (const Case& c : cases) {
    ResponseArray r;
    ComputeBandResponse(r, c.frequency, c.code, c.q, c.gain);
    EXPECT_NEAR(r[PointOf(c.probe_hz)], c.expected_db, c.tolerance) << c.what;
  }
}

TEST(BandResponseTest, FlatFamiliesGiveZeroEverywhere) {
  struct Case {
    uint8_t code;
    int frequency;
    float gain;
  } cases[] = {{0, 1000, 0.0f}, {3, 1000, 12.0f},   {50, 100, -24.0f}, {99, 20000, 6.0f},
               {100, 19, 0.0f}, {100, 20600, 0.0f}, {200, 19, 0.0f},   {200, 20600, 0.0f}};
  for (const Case& c : cases) {
    ResponseArray r;
    ComputeBandResponse(r, c.frequency, c.code, 1.0f, c.gain);
    for (int i = 0; i < kResponsePoints; ++i) {
      ASSERT_EQ(r[i], 0.0f) << "code " << int(c.code) << " at point " << i;
    }
  }
}

TEST(BandResponseTest, QFloorAndSlopeCeiling) {
  struct Case {
    const char* what;
    uint8_t code;
    float q, same_as_q;
  } cases[] = {
      {"peak q below floor", 0, 0.05f, 0.1f},
      {"peak q negative", 0, -3.0f, 0.1f},
      {"peak q NaN", 0, NAN, 0.1f},
      {"shelf q below floor", 1, 0.0f, 0.1f},
      {"shelf slope above 4", 1, 9.5f, 4.0f},
      {"high shelf slope above 4", 2, 100.0f, 4.0f},
      {"high-pass user q above 4", 104, 7.0f, 4.0f},
      {"low-pass user q floor", 205, 0.01f, 0.1f},
  };
  for (const Case& c : cases) {
    ResponseArray r, expected;
    ComputeBandResponse(r, 1000, c.code, c.q, 9.0f);
    ComputeBandResponse(expected, 1000, c.code, c.same_as_q, 9.0f);
    EXPECT_EQ(r, expected) << c.what;
  }
  // Sanity: the clamped q really matters, so the comparisons above can fail.
  ResponseArray narrow, wide;
  ComputeBandResponse(narrow, 1000, 1, 4.0f, 9.0f);
  ComputeBandResponse(wide, 1000, 1, 1.0f, 9.0f);
  EXPECT_NE(narrow, wide);
}

TEST(BandResponseTest, CurveIsHeldFlatBeyondTheTemplate) {
  // At 10 Hz the band sits on point 0: points 256.. read the last placed template point.
  ResponseArray r;
  ComputeBandResponse(r, 10, 0, 1.0f, 12.0f);
  EXPECT_NEAR(r[0], 12.0f, 0.005f);
  for (int i = 256; i < kResponsePoints; ++i) ASSERT_EQ(r[i], r[255]) << i;
  // At 24000 Hz the band sits on point 512: points ..256 read template point 0.
  ComputeBandResponse(r, 24000, 1, 1.0f, 12.0f);
  for (int i = 0; i <= 256; ++i) ASSERT_EQ(r[i], r[0]) << i;
  EXPECT_NEAR(r[0], 12.0f, 0.01f);
  EXPECT_NEAR(r[512], 6.0f, 0.01f);
  // A frequency beyond the grid still fills exactly the 513 points with finite values.
  for (int frequency : {30000, 1000000, INT_MAX}) {
    ComputeBandResponse(r, frequency, 2, 1.0f, 6.0f);
    for (float v : r) ASSERT_TRUE(std::isfinite(v)) << frequency;
  }
}

TEST(BandResponseTest, LowPassHoldsThePointWhereItsNumeratorVanishes) {
  // 490 Hz sits on grid point 256, so output point i shows template point i. Template point 372
  // is at w = π, where the low-pass numerator is exactly zero.
  ASSERT_EQ(PointOf(static_cast<double>(SnapToGrid(490))), 256);
  for (uint8_t code : {201, 202, 203, 204, 206}) {
    ResponseArray r;
    ComputeBandResponse(r, 490, code, 1.0f, 0.0f);
    for (float v : r) ASSERT_TRUE(std::isfinite(v)) << int(code);
    EXPECT_EQ(r[372], r[371]) << int(code);
    EXPECT_LT(r[371], -60.0f) << int(code);
  }
  // The held point is found even when the placement starts right on it (band at point 140).
  const int frequency = static_cast<int>(std::nearbyint(GridFrequency(140)));
  ASSERT_EQ(PointOf(static_cast<double>(SnapToGrid(frequency))), 140);
  ResponseArray r;
  ComputeBandResponse(r, frequency, 202, 1.0f, 0.0f);
  EXPECT_EQ(r[256], DirectResponse(frequency, 202, 1.0f, 0.0f)[256]);
  EXPECT_TRUE(std::isfinite(r[256]));
}

TEST(BandResponseTest, AgreesWithDirectFormulasOverRandomBands) {
  std::mt19937 rng(20240611);
  const std::vector<int> codes = {0,   1,   2,   7,   100, 101, 102, 103, 104, 105, 106, 109,
                                  111, 115, 200, 201, 202, 203, 204, 205, 206, 209, 211, 215};
  std::uniform_int_distribution<int> pick_code(0, static_cast<int>(codes.size()) - 1);
  std::uniform_real_distribution<double> log_frequency(0.0, std::log10(30000.0));
  std::uniform_int_distribution<int> gain_step(0, 180);
  std::uniform_real_distribution<float> q_value(0.0f, 130.0f);
  std::uniform_real_distribution<float> small_q(0.0f, 5.0f);
  double worst = 0.0;
  for (int n = 0; n < 3000; ++n) {
    const int code = codes[pick_code(rng)];
    const int frequency = static_cast<int>(std::pow(10.0, log_frequency(rng)));
    const float gain = gain_step(rng) / 5.0f - 24.0f;
    const float q = (n % 2) ? q_value(rng) : small_q(rng);
    ResponseArray fast;
    ComputeBandResponse(fast, frequency, static_cast<uint8_t>(code), q, gain);
    const ResponseArray direct = DirectResponse(frequency, code, q, gain);
    for (int i = 0; i < kResponsePoints; ++i) {
      const double diff = std::fabs(double(fast[i]) - double(direct[i]));
      worst = std::max(worst, diff);
      ASSERT_LT(diff, 0.01) << "code " << code << " f " << frequency << " q " << q << " gain "
                            << gain << " point " << i << ": " << fast[i] << " vs " << direct[i];
    }
  }
  // The approximation is far finer than the tolerance; a coarse one would show here first.
  EXPECT_LT(worst, 1e-3);
}

TEST(BandResponseTest, RatiosBeyondSingleRangeStillAgree) {
  // Gains far outside the box's range give magnitude ratios no single can hold (and, in the
  // single-precision coefficients, points of exactly zero magnitude): those points take the
  // slow path and must still agree with the plain evaluation, infinities and
  // undefined results included.
  for (const float gain : {400.0f, -400.0f, 800.0f, -800.0f}) {
    for (const uint8_t code : {0, 1, 2}) {
      ResponseArray r;
      ComputeBandResponse(r, 1000, code, 1.0f, gain);
      const ResponseArray direct = DirectResponse(1000, code, 1.0f, gain);
      int beyond_single = 0;
      for (int i = 0; i < kResponsePoints; ++i) {
        if (std::fabs(direct[i]) > 380.0f) ++beyond_single;
        if (std::isfinite(direct[i])) {
          ASSERT_NEAR(r[i], direct[i], 0.01 + 1e-6 * std::fabs(direct[i]))
              << int(code) << " " << gain << " at " << i;
        } else if (std::isnan(direct[i])) {
          ASSERT_TRUE(std::isnan(r[i])) << int(code) << " " << gain << " at " << i;
        } else {
          ASSERT_EQ(r[i], direct[i]) << int(code) << " " << gain << " at " << i;
        }
      }
      if (code == 0) {
        EXPECT_GT(beyond_single, 0) << gain;
      }
    }
  }
}

TEST(SectionResponseTest, FlatSectionSumsToZero) {
  SectionResponse section;
  std::vector<BandSlot> slots(10, BandSlot{kCodePeaking, 1000.0f, 0.0f, 1.4f});
  slots.push_back({100, 19.0f, 0.0f, 1.0f});
  section.SetExtraInUse(false, false);
  section.ComputeAll(slots);
  ResponseArray sum;
  section.Sum(10, sum);
  for (float v : sum) ASSERT_EQ(v, 0.0f);
}

TEST(SectionResponseTest, SumsSlotsAndExtraSectionsInUse) {
  struct Case {
    const char* what;
    BandSlot pass;
    bool extra_high, extra_low;
    int extra_code;  // the extra section expected: 104, 204 or 0 for none
  } cases[] = {
      {"24 dB high-pass", {111, 120.0f, 0.0f, 1.0f}, true, false, 104},
      {"24 dB low-pass", {212, 8000.0f, 0.0f, 1.0f}, false, true, 204},
      {"12 dB high-pass", {102, 120.0f, 0.0f, 1.0f}, false, false, 0},
      {"user 12 dB low-pass", {204, 8000.0f, 0.0f, 2.0f}, false, false, 0},
      {"24 dB code, extra not in use", {113, 120.0f, 0.0f, 1.0f}, false, false, 0},
  };
  for (const Case& c : cases) {
    SectionResponse section;
    section.SetExtraInUse(c.extra_high, c.extra_low);
    const BandSlot bands[] = {
        {0, 1000.0f, 6.0f, 1.4f}, {1, 99.6f, -3.2f, 0.6f}, {2, 12000.0f, 4.0f, 1.0f}, c.pass};
    section.ComputeAll(bands);
    ResponseArray sum;
    section.Sum(3, sum);

    ResponseArray expected, one;
    expected.fill(0.0f);
    for (const BandSlot& b : bands) {
      ComputeBandResponse(one, static_cast<int>(std::nearbyint(b.frequency)),
                          static_cast<uint8_t>(b.code), b.q, b.gain);
      for (int i = 0; i < kResponsePoints; ++i) expected[i] += one[i];
    }
    if (c.extra_code != 0) {
      ComputeBandResponse(one, static_cast<int>(std::nearbyint(c.pass.frequency)),
                          static_cast<uint8_t>(c.extra_code), kExtraSectionQ, 0.0f);
      for (int i = 0; i < kResponsePoints; ++i) expected[i] += one[i];
    }
    EXPECT_EQ(sum, expected) << c.what;
  }
}

TEST(SectionResponseTest, RecomputingOneSlotKeepsTheOthers) {
  SectionResponse section;
  section.SetExtraInUse(false, false);
  const BandSlot bands[] = {{0, 100.0f, 6.0f, 1.0f}, {0, 5000.0f, -6.0f, 2.0f}};
  section.ComputeAll(bands);
  const ResponseArray first = section.slot_response(0);
  section.ComputeSlot(1, {0, 5000.0f, 9.0f, 2.0f});
  EXPECT_EQ(section.slot_response(0), first);
  ResponseArray alone;
  ComputeBandResponse(alone, 5000, 0, 2.0f, 9.0f);
  EXPECT_EQ(section.slot_response(1), alone);
  // Slots outside the table are ignored rather than written out of bounds.
  section.ComputeSlot(17, bands[0]);
  section.ComputeSlot(-1, bands[0]);
  EXPECT_EQ(section.slot_response(0), first);
  // A code of no family leaves the slot flat: it is summed, and must not keep the band before.
  section.ComputeSlot(0, {300, 100.0f, 6.0f, 1.0f});
  for (float point : section.slot_response(0)) ASSERT_EQ(point, 0.0f);
}

}  // namespace
}  // namespace kc

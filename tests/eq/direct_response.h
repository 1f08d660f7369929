// The yardstick for the library's fast response evaluation, shared by the EQ unit tests and the
// response benchmark.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>

#include "eq/filter_response.h"

namespace kc {

// A plain evaluation of the response formulas, written independently of the library: double
// precision, a sine and two logarithms per template point, every template point computed.
inline ResponseArray DirectResponse(int frequency, int code, float q, float gain) {
  const double pi = std::acos(-1.0);
  const float w0 = static_cast<float>(pi / 2);
  const double sn = std::sin(static_cast<double>(w0));
  const double cs = std::cos(static_cast<double>(w0));
  auto idx = [](double f) { return (std::log10(std::max(f, 1.0)) - 1) / kGridDecades * 512; };
  auto round_even = [](double x) { return std::nearbyint(x); };  // default mode: half to even

  const double c0 = round_even(idx(frequency));
  double snapped = round_even(std::pow(10.0, 1 + c0 * kGridDecades / 512));
  if (snapped <= 10) snapped = 10;
  if (q <= 0.1f) q = 0.1f;
  const int c = static_cast<int>(round_even(idx(snapped)));

  double b[3], a[3];
  auto set = [&](double b0, double b1, double b2, double a0, double a1, double a2) {
    b[0] = static_cast<float>(b0), b[1] = static_cast<float>(b1), b[2] = static_cast<float>(b2);
    a[0] = static_cast<float>(a0), a[1] = static_cast<float>(a1), a[2] = static_cast<float>(a2);
  };
  const int group = code / 100;
  const int kind = code % 10;
  const double qu = std::min(q, 4.0f) + 0.001;
  int t = 0;  // 0 peaking spread, 120 shelf, 140 pass
  if (group == 0) {
    const double g = code <= 2 ? gain : 0.0;
    const double big_a = std::pow(10.0, g / 40);
    if (code == 1 || code == 2) {
      t = 120;
      const double s = std::min(q, 4.0f) + 0.001;
      const double alpha = sn / 2 * std::sqrt(std::fabs((big_a + 1 / big_a) * (1 / s - 1) + 2));
      const double r = 2 * std::sqrt(big_a) * alpha;
      const double ap = big_a + 1, am = big_a - 1;
      if (code == 1) {
        set(big_a * (ap - am * cs + r), 2 * big_a * (am - ap * cs), big_a * (ap - am * cs - r),
            ap + am * cs + r, -2 * (am + ap * cs), ap + am * cs - r);
      } else {
        set(big_a * (ap + am * cs + r), -2 * big_a * (am + ap * cs), big_a * (ap + am * cs - r),
            ap - am * cs + r, 2 * (am - ap * cs), ap - am * cs - r);
      }
    } else {
      const double alpha = sn / (2 * ((q + 0.01) * 2.8));
      set(1 + alpha * big_a, -2 * cs, 1 - alpha * big_a, 1 + alpha / big_a, -2 * cs,
          1 - alpha / big_a);
    }
  } else {
    t = 140;
    const bool high = group == 1;
    double alpha = 0;
    if (kind == 1) alpha = sn / (2 / std::sqrt(3.0));
    if (kind == 2) alpha = sn / (2 / std::sqrt(2.0));
    if (kind == 3 || kind == 4 || kind == 5) alpha = sn / (2 * qu);
    if (kind >= 6) alpha = sn / 1.414;
    if (high) {
      set((1 + cs) / 2, -(1 + cs), (1 + cs) / 2, 1 + alpha, -2 * cs, 1 - alpha);
    } else {
      set((1 - cs) / 2, 1 - cs, (1 - cs) / 2, 1 + alpha, -2 * cs, 1 - alpha);
    }
    const double k = std::tan(pi / 4);
    if (!high && kind == 3) {
      const double e = 2 * std::cos(pi / 8), d = k * k + e * k + 1;
      set(k * k / d, 2 * k * k / d, k * k / d, 1, 2 * (k * k - 1) / d, (k * k - e * k + 1) / d);
    }
    if (high && kind >= 6) {
      const double d = k * k + k + 1;
      set(1 / d, -2 / d, 1 / d, 1, 2 * (k * k - 1) / d, (k * k - k + 1) / d);
    }
    if (kind == 0) set(1, 0, 0, 1, 0, 0);
  }

  auto p = [](const double* x, double s) {
    return s * (s * x[0] * x[2] - ((x[0] + x[2]) * x[1] + 4 * x[0] * x[2])) +
           (x[0] + x[1] + x[2]) * (x[0] + x[1] + x[2]);
  };
  std::array<float, 513> tmpl;
  for (int j = 0; j <= 512; ++j) {
    double u = j;
    if (t == 120) {
      if (j <= 256)
        u = j >= 120 ? (j - 120) * 256.0 / 136 : 1;
      else
        u = j <= 392 ? 256 + (j - 256) * 256.0 / 136 : 511;
    } else if (t == 140) {
      if (j <= 256)
        u = j > 140 ? (j - 140) * 256.0 / 116 : 1;
      else
        u = j <= 372 ? 256 + (j - 256) * 256.0 / 116 : 511;
    }
    const double h = 2 * std::sin(u * pi / 512 / 2);
    const double s = h * h;
    const double pb = p(b, s), pa = p(a, s);
    if (group == 2 && (pb == 0 || pa == 0)) {
      tmpl[j] = j > 0 ? tmpl[j - 1] : 0.0f;
    } else {
      tmpl[j] = static_cast<float>(10 * std::log10(pb) - 10 * std::log10(pa));
    }
  }
  ResponseArray out;
  for (int i = 0; i <= 512; ++i) out[i] = tmpl[std::clamp(256 + i - c, 0, 511)];
  return out;
}

}  // namespace kc

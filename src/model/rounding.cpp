#include "model/rounding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kc {
namespace {

constexpr double kIntLow = static_cast<double>(std::numeric_limits<int>::min());
constexpr double kIntHigh = static_cast<double>(std::numeric_limits<int>::max());

// x must already be whole (or NaN/infinite); brings it into int without overflow.
int SaturateWhole(double x) {
  if (std::isnan(x)) return 0;
  if (x <= kIntLow) return std::numeric_limits<int>::min();
  if (x >= kIntHigh) return std::numeric_limits<int>::max();
  return static_cast<int>(x);
}

// Adds one to a string of decimal digits.
void IncrementDigits(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  digits.insert(digits.begin(), '1');
}

}  // namespace

int Trunc(double x) { return SaturateWhole(std::trunc(x)); }

int RoundHalfEven(double x) {
  if (std::isnan(x)) return 0;
  // Halves go to the even neighbour; done by hand so the result does not depend on the
  // floating-point rounding mode in force.
  const double below = std::floor(x);
  const double fraction = x - below;
  double whole = below;
  if (fraction > 0.5) {
    whole = below + 1;
  } else if (fraction == 0.5) {
    whole = std::fmod(below, 2.0) == 0 ? below : below + 1;
  }
  return SaturateWhole(whole);
}

std::string FormatPattern(double x, int decimals) {
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
  decimals = std::clamp(decimals, 0, 15);
  constexpr int kSignificant = 15;

  // |x| as 15 significant digits d0.d1...d14 times 10^exponent.
  char text[48];
  std::snprintf(text, sizeof text, "%.*e", kSignificant - 1, std::fabs(x));
  std::string digits(1, text[0]);
  digits.append(text + 2, kSignificant - 1);
  const int exponent = std::atoi(std::strchr(text, 'e') + 1);

  // n = |x| * 10^decimals rounded half away from zero, as a digit string: keep is the number
  // of leading significant digits that lie before the rounding position.
  const int keep = exponent + 1 + decimals;
  std::string n;
  if (keep < 0) {
    n = "0";
  } else if (keep == 0) {
    n = digits[0] >= '5' ? "1" : "0";
  } else if (keep >= kSignificant) {
    n = digits + std::string(keep - kSignificant, '0');
  } else {
    n = digits.substr(0, keep);
    if (digits[keep] >= '5') IncrementDigits(n);
  }
  const auto first_nonzero = n.find_first_not_of('0');
  const bool zero = first_nonzero == std::string::npos;
  n.erase(0, zero ? n.size() : first_nonzero);
  if (n.size() < static_cast<size_t>(decimals) + 1) n.insert(0, decimals + 1 - n.size(), '0');

  std::string out;
  if (x < 0 && !zero) out += '-';
  out.append(n, 0, n.size() - decimals);
  if (decimals > 0) {
    out += '.';
    out.append(n, n.size() - decimals, std::string::npos);
  }
  return out;
}

}  // namespace kc

// The number rules of the controller, one helper per rule, so that every module rounds alike:
// stored values and table look-ups truncate, slider positions, typed gains and graph coordinates
// round halves to the even neighbour, displayed numbers use the patterns "#0", "#0.0" and "#0.00",
// which round halves away from zero, and graph data are single-precision numbers.
#pragma once

#include <string>

namespace kc {

// Cuts towards zero. Saturates at the limits of int; NaN gives 0.
int Trunc(double x);

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
// Saturates at the limits of int; NaN gives 0.
int RoundHalfEven(double x);

// The number pattern "#0" (decimals 0), "#0.0" (decimals 1), "#0.00" (decimals 2) and so on:
// the whole part without leading zeros but at least one digit, exactly `decimals` digits after
// the point, a minus sign for a negative value. The value is read as the decimal number it stands
// for (15 significant digits), so 0.05 counts as a half at the first decimal, and a half at the
// last shown digit rounds away from zero: 62.5 -> "63", -0.25 -> "-0.3". A value that rounds to
// zero shows no sign. Infinities and NaN give "INF", "-INF" and "NAN". decimals is limited to
// 0..15.
std::string FormatPattern(double x, int decimals);

}  // namespace kc

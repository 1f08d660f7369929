// Where the graph's painting puts things on the bitmap's pixels, shared by the whole paint and
// the cached one so that both give the same pixels.
#pragma once

#include <QColor>

#include "eq/graph_axes.h"
#include "model/rounding.h"

namespace kc {

inline constexpr double kCurvePenWidth = 1.8;
// The frame's one-pixel lines and the curve are drawn half a pixel in, so that a line at whole
// coordinate k covers pixel k, as the grid's pixel rows and columns are counted.
inline constexpr double kPixelCentre = 0.5;

inline QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

// The curve runs through whole pixels of the bitmap: a logical coordinate v is put on the device
// pixel whose centre is nearest to v's own centre (v * ratio + ratio / 2), and given back in
// logical units before the half-pixel shift. At ratio 1 that is Round(v); at ratio 2 the
// points lie on half logical pixels, within a quarter pixel of v.
inline double SnapToDevicePixel(double v, double ratio) {
  const int pixel = RoundCoordinate(v * ratio + (ratio - 1) / 2);
  return (pixel + kPixelCentre) / ratio - kPixelCentre;
}

}  // namespace kc

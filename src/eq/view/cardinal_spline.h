// A cardinal spline through a row of points, as cubic Bézier segments: the curve the graph draws
// through the 513 points of the summed response.
//
// With c = tension / 3, the tangent at an inner point is c * (P[i+1] - P[i-1]) and at the two
// ends c * (P[1] - P[0]) and c * (P[n-1] - P[n-2]); segment i runs from P[i] with the control
// points P[i] + T[i] and P[i+1] - T[i+1]. Tension 0.5 gives the smooth curve the graph uses.
#pragma once

#include <QPainterPath>
#include <QPointF>
#include <span>
#include <vector>

namespace kc {

inline constexpr double kCurveTension = 0.5;

struct BezierSegment {
  QPointF control1;
  QPointF control2;
  QPointF end;
};

// The n - 1 segments through n points; none for fewer than two points.
std::vector<BezierSegment> CardinalSegments(std::span<const QPointF> points, double tension);

// The path through the points: moveTo(P[0]), then one cubicTo per segment. Empty for no points.
QPainterPath CardinalSplinePath(std::span<const QPointF> points, double tension);

}  // namespace kc

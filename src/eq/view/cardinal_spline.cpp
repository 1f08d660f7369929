#include "eq/view/cardinal_spline.h"

namespace kc {
namespace {

// Tangent at point i, scaled by c = tension / 3.
QPointF Tangent(std::span<const QPointF> points, size_t i, double c) {
  const size_t last = points.size() - 1;
  const QPointF& before = points[i == 0 ? 0 : i - 1];
  const QPointF& after = points[i == last ? last : i + 1];
  return c * (after - before);
}

}  // namespace

std::vector<BezierSegment> CardinalSegments(std::span<const QPointF> points, double tension) {
  std::vector<BezierSegment> segments;
  if (points.size() < 2) return segments;
  const double c = tension / 3.0;
  segments.reserve(points.size() - 1);
  QPointF tangent = Tangent(points, 0, c);
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    const QPointF next_tangent = Tangent(points, i + 1, c);
    segments.push_back({points[i] + tangent, points[i + 1] - next_tangent, points[i + 1]});
    tangent = next_tangent;
  }
  return segments;
}

QPainterPath CardinalSplinePath(std::span<const QPointF> points, double tension) {
  QPainterPath path;
  if (points.empty()) return path;
  path.reserve(static_cast<int>(points.size() * 3));
  path.moveTo(points[0]);
  for (const BezierSegment& s : CardinalSegments(points, tension)) {
    path.cubicTo(s.control1, s.control2, s.end);
  }
  return path;
}

}  // namespace kc

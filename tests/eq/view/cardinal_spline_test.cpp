#include "eq/view/cardinal_spline.h"

#include <gtest/gtest.h>

#include <vector>

namespace kc {
namespace {

struct SplineCase {
  const char* name;
  std::vector<QPointF> points;
  std::vector<BezierSegment> expected;
};

void ExpectNear(const QPointF& actual, const QPointF& expected, const char* what, size_t i) {
  EXPECT_NEAR(actual.x(), expected.x(), 1e-9) << what << " of segment " << i;
  EXPECT_NEAR(actual.y(), expected.y(), 1e-9) << what << " of segment " << i;
}

TEST(CardinalSplineTest, ControlPointsFollowTheTangentRuleAtTensionHalf) {
  const std::vector<SplineCase> cases = {
      {"inner and end tangents",
       {{0, 0}, {10, 10}, {10, 20}, {30, 10}},
       {{{10.0 / 6, 10.0 / 6}, {10 - 10.0 / 6, 10 - 20.0 / 6}, {10, 10}},
        {{10 + 10.0 / 6, 10 + 20.0 / 6}, {10 - 20.0 / 6, 20}, {10, 20}},
        {{10 + 20.0 / 6, 20}, {30 - 20.0 / 6, 10 + 10.0 / 6}, {30, 10}}}},
      // Two points: both ends use the one chord, so the segment is a straight third-split line.
      {"two points", {{0, 0}, {12, 6}}, {{{2, 1}, {10, 5}, {12, 6}}}},
      // The first tangent looks only forward and the last only back.
      {"end tangents of three points",
       {{0, 0}, {6, 12}, {18, 0}},
       {{{1, 2}, {6 - 3, 12}, {6, 12}}, {{6 + 3, 12}, {18 - 2, 2}, {18, 0}}}},
      {"one point", {{4, 4}}, {}},
      {"no points", {}, {}},
  };
  for (const SplineCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<BezierSegment> segments = CardinalSegments(c.points, 0.5);
    ASSERT_EQ(segments.size(), c.expected.size());
    for (size_t i = 0; i < segments.size(); ++i) {
      ExpectNear(segments[i].control1, c.expected[i].control1, "control 1", i);
      ExpectNear(segments[i].control2, c.expected[i].control2, "control 2", i);
      ExpectNear(segments[i].end, c.expected[i].end, "end", i);
    }
  }
}

TEST(CardinalSplineTest, ExampleControlPointsToTwoDecimals) {
  const std::vector<QPointF> points = {{0, 0}, {10, 10}, {10, 20}, {30, 10}};
  const std::vector<BezierSegment> s = CardinalSegments(points, 0.5);
  ASSERT_EQ(s.size(), 3u);
  const QPointF expected[] = {{1.67, 1.67}, {8.33, 6.67}, {11.67, 13.33},
                              {6.67, 20.0}, {13.33, 20},  {26.67, 11.67}};
  const QPointF actual[] = {s[0].control1, s[0].control2, s[1].control1,
                            s[1].control2, s[2].control1, s[2].control2};
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(actual[i].x(), expected[i].x(), 0.005) << i;
    EXPECT_NEAR(actual[i].y(), expected[i].y(), 0.005) << i;
  }
}

TEST(CardinalSplineTest, TensionScalesTheTangents) {
  const std::vector<QPointF> points = {{0, 0}, {10, 10}, {20, 0}};
  // Tension 0: the control points sit on the points themselves, a polyline.
  const std::vector<BezierSegment> straight = CardinalSegments(points, 0.0);
  EXPECT_EQ(straight[0].control1, points[0]);
  EXPECT_EQ(straight[0].control2, points[1]);
  EXPECT_EQ(straight[1].control1, points[1]);
  // Tension 1.5: c = 0.5, three times the tangents of tension 0.5.
  const std::vector<BezierSegment> steep = CardinalSegments(points, 1.5);
  ExpectNear(steep[0].control1, {5, 5}, "control 1", 0);
  ExpectNear(steep[0].control2, {0, 10}, "control 2", 0);
  ExpectNear(steep[1].control2, {15, 5}, "control 2", 1);
}

TEST(CardinalSplineTest, PathIsOneMoveAndACubicPerSegment) {
  std::vector<QPointF> points;
  for (int i = 0; i < 513; ++i) points.emplace_back(i * 2, (i % 7) * 3);
  const QPainterPath path = CardinalSplinePath(points, 0.5);
  ASSERT_EQ(path.elementCount(), 1 + 3 * 512);
  EXPECT_EQ(path.elementAt(0).type, QPainterPath::MoveToElement);
  EXPECT_EQ(QPointF(path.elementAt(0)), points[0]);
  for (int i = 0; i < 512; ++i) {
    EXPECT_EQ(path.elementAt(1 + 3 * i).type, QPainterPath::CurveToElement) << i;
    EXPECT_EQ(QPointF(path.elementAt(3 + 3 * i)), points[i + 1]) << i;
  }
  EXPECT_TRUE(CardinalSplinePath({}, 0.5).isEmpty());
}

}  // namespace
}  // namespace kc

#include "eq/graph_axes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace kc {
namespace {

constexpr int kDesignWidth = 1049;
constexpr int kDesignHeight = 273;

TEST(GraphAxesTest, MapsAtTheDesignSize) {
  const double scale = ScaleForWidth(kDesignWidth);
  struct XCase {
    double frequency, x;
  } x_cases[] = {{10, 0.0},       {20, 93.42},      {100, 310.34},  {1000, 620.67},
                 {10000, 931.01}, {20000, 1024.43}, {24000, 1049.0}};
  for (const XCase& c : x_cases) {
    EXPECT_NEAR(FrequencyToX(c.frequency, scale), c.x, 0.005) << c.frequency;
  }
  struct YCase {
    double gain, y;
  } y_cases[] = {{12, 0.0}, {0, 90.67}, {-6, 136.0}, {-24, 272.0}, {24, -90.67}, {-30, 317.33}};
  for (const YCase& c : y_cases) EXPECT_NEAR(GainToY(c.gain, kDesignHeight), c.y, 0.005) << c.gain;
}

TEST(GraphAxesTest, BeforeTheFirstFrameTheAxisIs512PixelsWide) {
  EXPECT_NEAR(FrequencyToX(24000, kInitialScale), 512.0, 1e-9);
  EXPECT_NEAR(XToFrequency(256, kInitialScale), 489.9, 0.05);
}

TEST(GraphAxesTest, MappingsInvertEachOtherForAnySize) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> size(2, 4000);
  std::uniform_real_distribution<double> log_frequency(0.0, 6.0);
  std::uniform_real_distribution<double> gain(-60.0, 40.0);
  for (int n = 0; n < 2000; ++n) {
    const double scale = ScaleForWidth(size(rng));
    const int height = size(rng);
    const double f = std::pow(10.0, log_frequency(rng));
    const double g = gain(rng);
    EXPECT_NEAR(XToFrequency(FrequencyToX(f, scale), scale) / f, 1.0, 1e-12);
    EXPECT_NEAR(YToGain(GainToY(g, height), height), g, 1e-9);
  }
}

TEST(GraphAxesTest, CoordinatesRoundHalfToEven) {
  struct Case {
    double value;
    int rounded;
  } cases[] = {{0.5, 0},          {1.5, 2},    {2.5, 2},    {-0.5, 0},
               {-1.5, -2},        {90.67, 91}, {2.4999, 2}, {1e300, 1000000000},
               {NAN, -1000000000}};
  for (const Case& c : cases) EXPECT_EQ(RoundCoordinate(c.value), c.rounded) << c.value;
}

TEST(GraphFrameTest, LinesInDrawingOrderWithTheirColours) {
  const std::vector<GridLine> lines = FrameLines(kDesignWidth, kDesignHeight);
  ASSERT_EQ(lines.size(), 37u + 4u + 25u + 2u);
  // Whole-dB lines from -24 dB (bottom row) up to +12 dB (top row).
  EXPECT_EQ(lines[0], (GridLine{0, 272, kDesignWidth, 272, kGridBright}));
  EXPECT_EQ(lines[36], (GridLine{0, 0, kDesignWidth, 0, kGridBright}));
  struct Case {
    int gain;
    int y;
    Rgb colour;
  } cases[] = {{0, 91, kGridBright}, {-3, 113, kGridMiddle}, {9, 23, kGridMiddle},
               {-1, 98, kGridFaint}, {11, 8, kGridFaint},    {-6, 136, kGridMiddle}};
  for (const Case& c : cases) {
    const GridLine& line = lines[c.gain + 24];
    EXPECT_EQ(line.y1, c.y) << c.gain;
    EXPECT_EQ(line.y2, c.y) << c.gain;
    EXPECT_EQ(line.colour, c.colour) << c.gain;
  }
  // The left edge and the decades, bright, full height.
  const int decade_x[] = {0, 310, 621, 931};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(lines[37 + k], (GridLine{decade_x[k], 0, decade_x[k], kDesignHeight, kGridBright}));
  }
  EXPECT_EQ(lines[41], (GridLine{93, 0, 93, kDesignHeight, kGridMiddle}));      // 20 Hz
  EXPECT_EQ(lines[65], (GridLine{1024, 0, 1024, kDesignHeight, kGridMiddle}));  // 20 kHz
  // Top and bottom lines drawn again over the verticals.
  EXPECT_EQ(lines[66], lines[36]);
  EXPECT_EQ(lines[67], lines[0]);
}

TEST(GraphFrameTest, AxisLabelNamesTextsAndPlaces) {
  struct Case {
    int i;
    const char* name;
    const char* text;
  } cases[] = {{0, "EQLabelY0", "-24dB"},   {4, "EQLabelY4", "0dB"},    {6, "EQLabelY6", "12dB"},
               {10, "EQLabelY10", "36dB"},  {11, "EQLabelX11", "20Hz"}, {16, "EQLabelX16", "1KHz"},
               {20, "EQLabelX20", "20KHz"}, {21, "EQLabelX21", ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(AxisLabelName(c.i), c.name);
    EXPECT_EQ(AxisLabelText(c.i), c.text);
  }
  // Inner panel at (40, 13) in the outer panel; a 30 x 13 gain label and a 36-wide frequency one.
  EXPECT_EQ(GainLabelPlace(0, 40, 13, kDesignHeight, 30, 13), (LabelPlace{8, 272 + 13 - 6}));
  EXPECT_EQ(GainLabelPlace(4, 40, 13, kDesignHeight, 30, 13), (LabelPlace{8, 91 + 13 - 6}));
  // Labels above +12 dB fall above the panel.
  EXPECT_LT(GainLabelPlace(10, 40, 13, kDesignHeight, 30, 13).top, 0);
  const double scale = ScaleForWidth(kDesignWidth);
  EXPECT_EQ(FrequencyLabelPlace(11, 40, 13, kDesignHeight, scale, 36),
            (LabelPlace{93 + 40 - 18, 13 + kDesignHeight}));
  EXPECT_EQ(FrequencyLabelPlace(16, 40, 13, kDesignHeight, scale, 36),
            (LabelPlace{621 + 40 - 18, 13 + kDesignHeight}));
}

}  // namespace
}  // namespace kc

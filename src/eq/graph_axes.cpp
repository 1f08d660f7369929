#include "eq/graph_axes.h"

#include <algorithm>
#include <cmath>

#include "eq/filter_response.h"
#include "model/rounding.h"

namespace kc {
namespace {

constexpr double kGainSpan = kGainTop - kGainBottom;  // 36 dB

// Frequencies of the decade lines and of the minor lines between them.
constexpr std::array<int, 3> kDecadeLines{100, 1000, 10000};
constexpr std::array<int, 25> kMinorLines{20,   30,   40,   50,   60,   70,   80,   90,   200,
                                          300,  400,  500,  600,  700,  800,  900,  2000, 3000,
                                          4000, 5000, 6000, 7000, 8000, 9000, 20000};

}  // namespace

double ScaleForWidth(int width) { return static_cast<double>(width) / kResponseIntervals; }

double FrequencyToX(double frequency_hz, double scale) {
  return (std::log10(frequency_hz) - 1.0) / kGridDecades * kResponseIntervals * scale;
}

double XToFrequency(double x, double scale) {
  return std::pow(10.0, x * kGridDecades / (kResponseIntervals * scale) + 1.0);
}

double GainToY(double gain_db, int height) {
  return (kGainTop - gain_db) / kGainSpan * (height - 1);
}

double YToGain(double y, int height) { return kGainTop - y / (height - 1) * kGainSpan; }

int RoundCoordinate(double value) {
  // Coordinates far outside any image are held to a range where the conversion is defined.
  if (!(value > -1e9)) value = -1e9;
  if (value > 1e9) value = 1e9;
  return RoundHalfEven(value);
}

std::vector<GridLine> FrameLines(int width, int height) {
  const double scale = ScaleForWidth(width);
  std::vector<GridLine> lines;
  lines.reserve(37 + 4 + kMinorLines.size() + 2);
  auto horizontal = [&](int gain, Rgb colour) {
    const int y = RoundCoordinate(GainToY(gain, height));
    lines.push_back({0, y, width, y, colour});
  };
  auto vertical = [&](double x, Rgb colour) {
    const int xi = RoundCoordinate(x);
    lines.push_back({xi, 0, xi, height, colour});
  };
  for (int g = kGainBottom; g <= kGainTop; ++g) {
    Rgb colour = kGridFaint;
    if (g == kGainBottom || g == 0 || g == kGainTop) {
      colour = kGridBright;
    } else if (g % 3 == 0) {
      colour = kGridMiddle;
    }
    horizontal(g, colour);
  }
  vertical(0.0, kGridBright);
  for (int f : kDecadeLines) vertical(FrequencyToX(f, scale), kGridBright);
  for (int f : kMinorLines) vertical(FrequencyToX(f, scale), kGridMiddle);
  horizontal(kGainTop, kGridBright);
  horizontal(kGainBottom, kGridBright);
  return lines;
}

std::string AxisLabelName(int i) {
  return (i < kFirstFrequencyLabel ? "EQLabelY" : "EQLabelX") + std::to_string(i);
}

std::string AxisLabelText(int i) {
  if (i >= 0 && i < kGainLabelCount) return std::to_string(kGainBottom + 6 * i) + "dB";
  if (i >= kFirstFrequencyLabel && i <= kLastFrequencyLabel) {
    return kFrequencyLabels[i - kFirstFrequencyLabel].text;
  }
  return {};
}

LabelPlace GainLabelPlace(int i, int panel_left, int panel_top, int image_height, int label_width,
                          int label_height) {
  const int y = RoundCoordinate(GainToY(kGainBottom + 6 * i, image_height));
  return {panel_left - label_width - 2, y + panel_top - label_height / 2};
}

LabelPlace FrequencyLabelPlace(int i, int panel_left, int panel_top, int image_height, double scale,
                               int label_width) {
  const int index = std::clamp(i - kFirstFrequencyLabel, 0, 9);
  const int x = RoundCoordinate(FrequencyToX(kFrequencyLabels[index].frequency, scale));
  return {x + panel_left - label_width / 2, panel_top + image_height};
}

}  // namespace kc

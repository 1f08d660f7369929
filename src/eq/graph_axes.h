// Geometry of the EQ graph: frequency on a logarithmic x axis from 10 Hz to 24000 Hz, gain on a
// linear y axis from +12 dB (top row) to −24 dB (bottom row), and the lines and axis labels of
// the frame, as plain numbers for whatever draws them.
//
// The x mapping uses the scale latched at the last frame build (width / 512, 1.0 before the
// first build); the y mapping uses the image's current height. None of the mappings clamps.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kc {

inline constexpr int kGainTop = 12;      // dB at y = 0
inline constexpr int kGainBottom = -24;  // dB at y = height - 1
// Scale before the first frame build: a 512-pixel-wide axis.
inline constexpr double kInitialScale = 1.0;

// Pixels per grid interval for an image `width` pixels wide.
double ScaleForWidth(int width);

// x = (log10(f) - 1) / D * 512 * scale: 10 Hz maps to 0, 24000 Hz to 512 * scale.
double FrequencyToX(double frequency_hz, double scale);
// f = 10^(x * D / (512 * scale) + 1).
double XToFrequency(double x, double scale);
// y = (12 - g) / 36 * (height - 1): +12 dB maps to 0, -24 dB to height - 1.
double GainToY(double gain_db, int height);
// g = 12 - y / (height - 1) * 36.
double YToGain(double y, int height);

// Pixel coordinate of a mapped value: rounded half to even.
int RoundCoordinate(double value);

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kGraphBackground{21, 21, 21};
inline constexpr Rgb kGridFaint{23, 23, 23};   // whole dB
inline constexpr Rgb kGridMiddle{64, 64, 64};  // every 3 dB, and the minor frequencies
inline constexpr Rgb kGridBright{80, 80, 80};  // 0, +12 and -24 dB, and the decades
inline constexpr Rgb kAxisLabelColour{255, 255, 255};

// One one-pixel line of the frame, in image coordinates.
struct GridLine {
  int x1, y1, x2, y2;
  Rgb colour;
  bool operator==(const GridLine&) const = default;
};

// The frame's lines in drawing order for an image of width x height, drawn over a fill of
// kGraphBackground: 37 whole-dB lines, the left edge and the decades, the 25 minor frequencies,
// then the +12 dB and -24 dB lines again over the verticals.
std::vector<GridLine> FrameLines(int width, int height);

// Axis labels: 11 gain labels "EQLabelY0".."EQLabelY10" and 10 frequency labels
// "EQLabelX11".."EQLabelX20", placed around the inner panel in the outer panel's coordinates.
inline constexpr int kGainLabelCount = 11;
inline constexpr int kFirstFrequencyLabel = 11;
inline constexpr int kLastFrequencyLabel = 20;

struct FrequencyLabel {
  const char* text;
  int frequency;  // Hz
};
inline constexpr std::array<FrequencyLabel, 10> kFrequencyLabels{{{"20Hz", 20},
                                                                  {"50Hz", 50},
                                                                  {"100Hz", 100},
                                                                  {"200Hz", 200},
                                                                  {"500Hz", 500},
                                                                  {"1KHz", 1000},
                                                                  {"2KHz", 2000},
                                                                  {"5KHz", 5000},
                                                                  {"10KHz", 10000},
                                                                  {"20KHz", 20000}}};

// Name of label i (0..20): "EQLabelY" + i for 0..10, "EQLabelX" + i for 11..20.
std::string AxisLabelName(int i);
// Text of label i: "-24dB" .. "36dB" in steps of 6 for 0..10, the frequency texts for 11..20.
std::string AxisLabelText(int i);

// Where a label goes, given the inner panel's place and the label's own size after it has
// sized itself to its text.
struct LabelPlace {
  int left, top;
  bool operator==(const LabelPlace&) const = default;
};
// Gain label i (0..10): right of it 2 pixels short of the panel, centred on its dB line.
LabelPlace GainLabelPlace(int i, int panel_left, int panel_top, int image_height, int label_width,
                          int label_height);
// Frequency label i (11..20): centred on its frequency line, just below the image.
LabelPlace FrequencyLabelPlace(int i, int panel_left, int panel_top, int image_height, double scale,
                               int label_width);

}  // namespace kc

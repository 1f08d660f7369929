// The graph's cached painting (the frame painted once per size, then only the columns where the
// curve moved) and the comparison overlay (a mode file's curve under the editor's, its legend).
//
// Why a strip gives the pixels of a whole paint: a Bézier segment of the spline depends only on
// its four neighbouring points, so where no point moved no segment moved. The stroker offsets
// and joins each segment from itself and its neighbours, and the rasterizer gives a pixel the
// area of the stroke inside it, so a pixel gets the same coverage from any run of segments that
// covers it with a few segments to spare on each side. Inside the strip the cached layer's pixels
// (the frame, and the overlay's curve, which a whole paint strokes first) come back wherever the
// old curve may have covered them before the curve is blended over them, as a whole paint blends
// it over a fresh frame; elsewhere the bitmap holds the layer's pixels already. Only the rows
// around the old curve are copied, so a strip costs its stroke and little more.
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "eq/view/cardinal_spline.h"
#include "eq/view/eq_graph.h"
#include "eq/view/graph_pixels.h"

namespace kc {
namespace {

// Logical pixels beside the changed segments' points that their stroke can reach: the pen's half
// width, the round joins and the antialiased pixel beyond.
constexpr int kStripMargin = 3;
// Logical pixels beyond the strip that the stroked run of segments reaches, so that its ends
// (flat caps where the whole curve has joins) lie well outside the strip.
constexpr int kRunBeyondStrip = 6;
// Gap between the legend and the image's top right corner.
constexpr int kLegendMargin = 4;
// The name of the editor's own curve in the legend and the readout.
constexpr char kDeviceCurveName[] = "设备";

QString ColourCss(const QColor& c) {
  return QStringLiteral("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// The first and last index where two rows of points differ; last < 0 when they do not.
void WidenChange(const std::vector<QPointF>& now, const std::vector<QPointF>& shown, int& first,
                 int& last) {
  const int n = static_cast<int>(std::min(now.size(), shown.size()));
  for (int i = 0; i < n; ++i) {
    if (now[i] != shown[i]) {
      first = std::min(first, i);
      break;
    }
  }
  for (int i = n - 1; i >= 0; --i) {
    if (now[i] != shown[i]) {
      last = std::max(last, i);
      break;
    }
  }
}

}  // namespace

void EqGraph::set_paint_mode(PaintMode mode) {
  paint_mode_ = mode;
  frame_valid_ = false;
  shown_.valid = false;
}

QColor EqGraph::OverlayColour(const QColor& curve) {
  const QColor background = ToQColor(kGraphBackground);
  return QColor((curve.red() + background.red()) / 2, (curve.green() + background.green()) / 2,
                (curve.blue() + background.blue()) / 2);
}

// ---------------------------------------------------------------------------------------------
// Cached painting

void EqGraph::EnsureFrame() {
  EnsureBitmap();
  const QPoint panel = widgets_.inner != nullptr ? widgets_.inner->pos() : QPoint();
  if (frame_valid_ && frame_.size() == bitmap_.size() &&
      frame_.devicePixelRatio() == bitmap_.devicePixelRatio() && panel == frame_panel_ &&
      scale_ == ScaleForWidth(Width())) {
    return;
  }
  frame_ = QImage(bitmap_.size(), QImage::Format_RGB32);
  frame_.setDevicePixelRatio(bitmap_.devicePixelRatio());
  PaintFrameOn(frame_);
  BuildAxisLabels(false);
  frame_valid_ = true;
  frame_panel_ = panel;
  shown_.valid = false;
}

void EqGraph::PaintChanges() {
  QColor colour = host_.curve_colour();
  colour.setAlpha(255);
  const qreal ratio = bitmap_.devicePixelRatio();
  const int n = static_cast<int>(curve_points_.size());
  // A fractional ratio puts logical columns across device pixels: painted whole. So is a new
  // overlay (or none), which lies under the curve in the cached layer.
  const bool whole = !shown_.valid || ratio != std::floor(ratio) || shown_.colour != colour ||
                     shown_.points.size() != curve_points_.size() ||
                     shown_.overlay != overlay_points_ || bitmap_.size() != frame_.size() || n < 2;
  int first = n;
  int last = -1;
  if (!whole) {
    WidenChange(curve_points_, shown_.points, first, last);
    if (last < 0) {
      last_painted_ = QRect();
      return;
    }
  }

  int run_first = 0;
  int run_last = n - 2;
  QRect strip(QPoint(0, 0), bitmap_.size());
  // The image shows the published pixmap, which shares the bitmap's pixels: it lets go of them
  // until the new pixmap is published, so that the bitmap is painted where it lies instead of
  // being copied whole first. Nothing is shown in between: painting waits for the event loop.
  widgets_.image->setPixmap(QPixmap());
  if (whole) {
    // The layer under the curve: the frame, and the overlay's curve stroked whole over it as the
    // whole paint strokes it first.
    if (overlay_points_.size() >= 2) {
      under_ = frame_.copy();
      QPainter painter(&under_);
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.translate(kPixelCentre, kPixelCentre);
      StrokeCurve(painter, overlay_points_, 0, static_cast<int>(overlay_points_.size()) - 2,
                  OverlayColour(colour));
    } else {
      under_ = frame_;
    }
    if (bitmap_.size() == under_.size() && !bitmap_.isDetached()) bitmap_ = QImage();
    if (bitmap_.size() == under_.size()) {
      std::memcpy(bitmap_.bits(), under_.constBits(), under_.sizeInBytes());
    } else {
      bitmap_ = under_.copy();
    }
  } else {
    // Segment j runs from point j to j + 1 and follows points j - 1 .. j + 2.
    const int changed_first = std::max(0, first - 2);
    const int changed_last = std::min(n - 2, last + 1);
    const int left =
        std::max(0, static_cast<int>(std::floor(curve_points_[changed_first].x())) - kStripMargin);
    const int right = std::min(
        Width(), static_cast<int>(std::ceil(curve_points_[changed_last + 1].x())) + kStripMargin);
    while (run_first < changed_first &&
           curve_points_[run_first + 1].x() <= left - kRunBeyondStrip) {
      ++run_first;
    }
    while (run_last > changed_last && curve_points_[run_last].x() >= right + kRunBeyondStrip) {
      --run_last;
    }
    const int r = static_cast<int>(ratio);
    strip = QRect(left * r, 0, std::min(bitmap_.width(), right * r) - left * r, bitmap_.height());
    RestoreUnderShownCurve(strip, run_first, run_last);
  }

  {
    QPainter painter(&bitmap_);
    if (!whole) {
      painter.setClipRect(QRect(strip.left() / static_cast<int>(ratio), 0,
                                strip.width() / static_cast<int>(ratio), Height() + 1));
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(kPixelCentre, kPixelCentre);
    StrokeCurve(painter, curve_points_, run_first, run_last, colour);
  }
  last_painted_ = strip;
  shown_.valid = true;
  shown_.colour = colour;
  shown_.points = curve_points_;
  shown_.overlay = overlay_points_;
  Publish();
}

void EqGraph::RestoreUnderShownCurve(const QRect& strip, int first, int last) {
  // Outside the curve's stroke the bitmap holds the layer's pixels already, so only the rows the
  // shown curve can have covered are copied: a Bézier segment lies inside the hull of its four
  // points, and its stroke, with the antialiased pixel, within kStripMargin of them.
  const std::vector<BezierSegment> segments = CardinalSegments(shown_.points, kCurveTension);
  const double ratio = bitmap_.devicePixelRatio();
  const int columns = strip.width();
  const int rows = bitmap_.height();
  if (columns <= 0 || rows <= 0) return;
  restore_top_.assign(columns, rows);
  restore_bottom_.assign(columns, -1);
  // Logical to device pixel: as painted, half a pixel in, then times the ratio.
  const auto device = [ratio](double v) { return (v + kPixelCentre) * ratio; };
  for (int j = first; j <= last; ++j) {
    const QPointF& start = shown_.points[j];
    const BezierSegment& s = segments[j];
    const double x_low = std::min({start.x(), s.control1.x(), s.control2.x(), s.end.x()});
    const double x_high = std::max({start.x(), s.control1.x(), s.control2.x(), s.end.x()});
    const double y_low = std::min({start.y(), s.control1.y(), s.control2.y(), s.end.y()});
    const double y_high = std::max({start.y(), s.control1.y(), s.control2.y(), s.end.y()});
    const int c0 =
        std::max(0, static_cast<int>(std::floor(device(x_low - kStripMargin))) - strip.left());
    const int c1 = std::min(
        columns - 1, static_cast<int>(std::ceil(device(x_high + kStripMargin))) - strip.left());
    const int top = std::max(0, static_cast<int>(std::floor(device(y_low - kStripMargin))));
    const int bottom =
        std::min(rows - 1, static_cast<int>(std::ceil(device(y_high + kStripMargin))));
    if (top > bottom) continue;
    for (int c = c0; c <= c1; ++c) {
      restore_top_[c] = std::min(restore_top_[c], top);
      restore_bottom_[c] = std::max(restore_bottom_[c], bottom);
    }
  }
  // Blocks of columns of one cache line, each copied row by row over the rows any of its columns
  // needs.
  constexpr int kBlock = 16;
  for (int c = 0; c < columns; c += kBlock) {
    const int end = std::min(columns, c + kBlock);
    int top = rows;
    int bottom = -1;
    for (int k = c; k < end; ++k) {
      top = std::min(top, restore_top_[k]);
      bottom = std::max(bottom, restore_bottom_[k]);
    }
    const std::size_t offset = static_cast<std::size_t>(strip.left() + c) * 4;
    const std::size_t bytes = static_cast<std::size_t>(end - c) * 4;
    for (int y = top; y <= bottom; ++y) {
      std::memcpy(bitmap_.scanLine(y) + offset, under_.constScanLine(y) + offset, bytes);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Comparison overlay

void EqGraph::SetOverlay(const ParameterStore* image, const QString& name) {
  overlay_image_ = image;
  overlay_name_ = name;
  overlay_key_ = -1;
  if (image == nullptr) {
    overlay_points_.clear();
    overlay_sum_.fill(0.0f);
  }
  PlaceLegend();
  const int selector = host_.page_selector();
  DrawSectionCurve(kAllSlots, selector >> 8);
}

void EqGraph::ComputeOverlay(int block) {
  if (overlay_image_ == nullptr) {
    overlay_points_.clear();
    return;
  }
  const ParameterStore& editor = host_.store();
  const int key = block * 4 + editor.disco() * 2 + editor.mic_group();
  if (key != overlay_key_) {
    // The file's image under the set and group the editor shows.
    ParameterStore file = *overlay_image_;
    file.set_observer(nullptr);
    file.set_disco(editor.disco());
    file.set_mic_group(editor.mic_group());
    file.RebuildWorkingTable();
    const std::optional<SectionLayout> layout = ReadSectionLayout(file, block);
    if (!layout) {
      overlay_points_.clear();
      return;
    }
    overlay_responses_.SetExtraInUse(layout->extra_high_pass, layout->extra_low_pass);
    for (int k = 0; k <= layout->LastSlot(); ++k) {
      overlay_responses_.ComputeSlot(k, layout->band_slots[k]);
    }
    overlay_responses_.Sum(layout->LastSlot(), overlay_sum_);
    overlay_key_ = key;
  }
  const int height = Height();
  const double ratio = bitmap_.devicePixelRatio();
  const std::vector<double>& xs = CurveXs();
  overlay_points_.clear();
  overlay_points_.reserve(kResponsePoints);
  for (int i = 0; i < kResponsePoints; ++i) {
    const double y = SnapToDevicePixel(kc::GainToY(overlay_sum_[i], height), ratio);
    overlay_points_.emplace_back(xs[i], y);
  }
  PlaceLegend();
}

double EqGraph::OverlayResponseAt(double x) const {
  const double t = std::clamp(x / scale_, 0.0, static_cast<double>(kResponseIntervals));
  const int i = std::min(static_cast<int>(t), kResponseIntervals - 1);
  const double fraction = t - i;
  return overlay_sum_[i] + (overlay_sum_[i + 1] - overlay_sum_[i]) * fraction;
}

void EqGraph::PlaceLegend() {
  if (overlay_image_ == nullptr) {
    if (legend_ != nullptr) legend_->hide();
    return;
  }
  if (legend_ == nullptr) {
    QWidget* parent = widgets_.inner != nullptr ? widgets_.inner : widgets_.image->parentWidget();
    legend_ = new QLabel(parent);
    legend_->setObjectName(QStringLiteral("EQLegend"));
    legend_->setAttribute(Qt::WA_TransparentForMouseEvents);
    legend_->setTextFormat(Qt::RichText);
    QFont font = legend_->font();
    font.setPixelSize(11);
    legend_->setFont(font);
    legend_->setStyleSheet(
        QStringLiteral("color: rgb(240,240,240); background: rgb(0,0,0);"
                       " border: 1px solid rgb(110,110,110); padding: 1px 4px;"));
    legend_->setAutoFillBackground(true);
    if (widgets_.handles[0] != nullptr && widgets_.handles[0]->parentWidget() == parent) {
      legend_->stackUnder(widgets_.handles[0]);
    }
  }
  QColor colour = host_.curve_colour();
  colour.setAlpha(255);
  const QString text = QStringLiteral(
                           "<span style=\"color:%1\">━━</span> %2&nbsp;&nbsp;"
                           "<span style=\"color:%3\">━━</span> %4")
                           .arg(ColourCss(colour), QString::fromUtf8(kDeviceCurveName),
                                ColourCss(OverlayColour(colour)), overlay_name_.toHtmlEscaped());
  if (legend_->text() != text) {
    legend_->setText(text);
    legend_->adjustSize();
  }
  const QRect image = widgets_.image->geometry();
  legend_->move(image.right() + 1 - kLegendMargin - legend_->width(), image.top() + kLegendMargin);
  legend_->show();
}

}  // namespace kc

// Frame, section layout and curve of the EQ graph. The point dragging and the timer are in
// eq_drag.cpp.
#include "eq/view/eq_graph.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "eq/graph_axes.h"
#include "eq/view/cardinal_spline.h"
#include "eq/view/graph_pixels.h"
#include "model/rounding.h"

namespace kc {
namespace {

// The dynamic property that carries a control's Tag (the same name the editor's controls use).
constexpr char kTag[] = "Tag";

QString LabelStyle(const QColor& colour) {
  return QStringLiteral("color: rgb(%1,%2,%3); background: transparent;")
      .arg(colour.red())
      .arg(colour.green())
      .arg(colour.blue());
}

}  // namespace

EqGraph::EqGraph(GraphWidgets widgets, GraphHost& host, QObject* parent)
    : QObject(parent), widgets_(widgets), host_(host) {
  timer1_.setInterval(10);
  connect(&timer1_, &QTimer::timeout, this, &EqGraph::Timer1Timer);
  for (int i = 0; i < kHandleCount; ++i) {
    QLabel* handle = widgets_.handles[i];
    if (handle == nullptr) continue;
    handle->setProperty(kTag, i);
    handle->installEventFilter(this);
  }
  // What the two pass-filter points stand for; the band points carry their numbers.
  if (QLabel* h = widgets_.handles[kHighPassHandle]) {
    h->setToolTip(QStringLiteral("H：高通滤波器，左右拖动改变截止频率，滤除其下的低频"));
  }
  if (QLabel* l = widgets_.handles[kLowPassHandle]) {
    l->setToolTip(QStringLiteral("L：低通滤波器，左右拖动改变截止频率，滤除其上的高频"));
  }
  // The inner panel's resizes rebuild the frame at the new size.
  if (widgets_.inner != nullptr) widgets_.inner->installEventFilter(this);
  // Image1's mouse moves feed the readout, also with no button held; so do the points'.
  widgets_.image->installEventFilter(this);
  widgets_.image->setMouseTracking(true);
  // The bitmap starts at Image1's corner also where a fractional pixel ratio makes it a fraction
  // of a pixel larger than Image1.
  widgets_.image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  for (int i = 0; i < kHandleCount; ++i) {
    if (widgets_.handles[i] == nullptr) continue;
    widgets_.handles[i]->setMouseTracking(true);
    handle_tops_[i] = widgets_.handles[i]->y();
  }
  // The band's values are read over the points, also over the points of other bands.
  if (widgets_.eq_label != nullptr) widgets_.eq_label->raise();
  CreateReadout();
  CreateAutomaticHint();
  curve_points_.reserve(kResponsePoints);
  EnsureBitmap();
  DrawGraphFrame(true);
}

EqGraph::~EqGraph() = default;

int EqGraph::Width() const { return widgets_.image->width(); }
int EqGraph::Height() const { return widgets_.image->height(); }

double EqGraph::FrequencyToX(double frequency_hz) const {
  return kc::FrequencyToX(frequency_hz, scale_);
}
double EqGraph::XToFrequency(double x) const { return kc::XToFrequency(x, scale_); }
double EqGraph::GainToY(double gain_db) const { return kc::GainToY(gain_db, Height()); }
double EqGraph::YToGain(double y) const { return kc::YToGain(y, Height()); }

QLabel* EqGraph::axis_label(int i) const {
  return i >= 0 && i < static_cast<int>(axis_labels_.size()) ? axis_labels_[i] : nullptr;
}

int EqGraph::handle_top(int handle) const {
  return handle >= 0 && handle < kHandleCount ? handle_tops_[handle] : 0;
}

qreal EqGraph::DevicePixelRatio() const {
  const qreal ratio = widgets_.image->devicePixelRatioF();
  return ratio > 0 ? ratio : 1.0;
}

void EqGraph::EnsureBitmap() {
  const qreal ratio = DevicePixelRatio();
  // Whole device pixels covering the whole logical area.
  const QSize size(static_cast<int>(std::ceil(std::max(Width(), 1) * ratio)),
                   static_cast<int>(std::ceil(std::max(Height(), 1) * ratio)));
  if (bitmap_.size() != size || bitmap_.devicePixelRatio() != ratio) {
    bitmap_ = QImage(size, QImage::Format_RGB32);
    bitmap_.setDevicePixelRatio(ratio);
  }
}

void EqGraph::Publish() { widgets_.image->setPixmap(QPixmap::fromImage(bitmap_)); }

// ---------------------------------------------------------------------------------------------
// Frame

void EqGraph::DrawGraphFrame(bool create_labels) {
  // The bitmap holds the bare frame now; the next redraw paints its curve whole.
  frame_valid_ = false;
  shown_.valid = false;
  PaintFrame();
  BuildAxisLabels(create_labels);
  Publish();
}

void EqGraph::PaintFrame() {
  EnsureBitmap();
  PaintFrameOn(bitmap_);
}

void EqGraph::PaintFrameOn(QImage& image) {
  const int width = Width();
  const int height = Height();
  scale_ = ScaleForWidth(width);
  // Every device pixel, also the fraction of a logical pixel that a fractional ratio leaves.
  image.fill(ToQColor(kGraphBackground));
  QPainter painter(&image);
  painter.translate(kPixelCentre, kPixelCentre);
  QPen pen;
  pen.setWidth(1);
  pen.setCapStyle(Qt::FlatCap);
  for (const GridLine& line : FrameLines(width, height)) {
    pen.setColor(ToQColor(line.colour));
    painter.setPen(pen);
    painter.drawLine(line.x1, line.y1, line.x2, line.y2);
  }
}

void EqGraph::BuildAxisLabels(bool create) {
  if (create && axis_labels_.empty() && widgets_.outer != nullptr) {
    for (int i = 0; i <= kLastFrequencyLabel; ++i) {
      auto* label = new QLabel(widgets_.outer);
      label->setObjectName(QString::fromStdString(AxisLabelName(i)));
      const bool gain = i < kFirstFrequencyLabel;
      label->resize(gain ? 32 : 36, 13);
      label->setAlignment(gain ? (Qt::AlignRight | Qt::AlignVCenter) : Qt::AlignCenter);
      QFont font = label->font();
      font.setBold(true);
      label->setFont(font);
      label->setAutoFillBackground(false);
      label->setStyleSheet(LabelStyle(ToQColor(kAxisLabelColour)));
      axis_labels_.push_back(label);
    }
  }
  if (axis_labels_.empty()) return;
  const QPoint panel = widgets_.inner->pos();
  const int height = Height();
  for (int i = 0; i <= kLastFrequencyLabel; ++i) {
    QLabel* label = axis_labels_[i];
    label->setText(QString::fromStdString(AxisLabelText(i)));
    label->adjustSize();
    const LabelPlace place =
        i < kFirstFrequencyLabel
            ? GainLabelPlace(i, panel.x(), panel.y(), height, label->width(), label->height())
            : FrequencyLabelPlace(i, panel.x(), panel.y(), height, scale_, label->width());
    label->move(place.left, place.top);
    label->show();
  }
}

void EqGraph::Rebuild() {
  if (widgets_.inner != nullptr) widgets_.image->setGeometry(widgets_.inner->rect());
  EnsureBitmap();
  DrawGraphFrame(false);
  const int selector = host_.page_selector();
  const int block = selector >> 8;
  DrawSectionCurve(kAllSlots, block);
  DrawSectionCurve(host_.current_band(selector & 0xFF), block);
}

// ---------------------------------------------------------------------------------------------
// Section and curve

const SectionLayout* EqGraph::LoadSectionLayout(int block) {
  handle_controls_.fill(SlotControls{});
  const std::optional<SectionLayout> layout = ReadSectionLayout(host_.store(), block);
  if (!layout) return nullptr;
  layout_ = *layout;
  responses_.SetExtraInUse(layout_.extra_high_pass, layout_.extra_low_pass);
  const int b = layout_.block;
  for (int i = 0; i < layout_.eq_bands; ++i) {
    const int frequency = layout_.frequency_index[i];
    handle_controls_[i] = {host_.PrimaryOf(MakeId(b, frequency)),
                           host_.PrimaryOf(MakeId(b, frequency + 1)),
                           host_.PrimaryOf(MakeId(b, frequency + 2))};
  }
  for (int k = layout_.eq_bands; k <= layout_.LastSlot(); ++k) {
    const int handle = HandleOfSlot(k, layout_.band_slots[k].code);
    if (handle < 0) continue;
    handle_controls_[handle] = {host_.SecondaryOf(MakeId(b, layout_.frequency_index[k])), nullptr,
                                nullptr};
  }
  return &layout_;
}

void EqGraph::DrawSectionCurve(int selection, int block) {
  if (host_.bulk_refresh() || block < 0 || block >= kSystemBlock) return;
  const std::optional<int> section = SectionBlockOf(block);
  if (!section) return;
  responses_.SetExtraInUse(false, false);
  widgets_.pass_label->setVisible(host_.eq_bypass(*section) != 0);
  const SectionLayout* loaded = LoadSectionLayout(*section);
  if (loaded == nullptr) return;
  if (paint_mode_ == PaintMode::kEveryTime) {
    PaintFrame();
    BuildAxisLabels(false);
  } else {
    EnsureFrame();
  }

  for (int h = loaded->eq_bands; h < kHandleCount; ++h) widgets_.handles[h]->hide();
  if (loaded->pass_slots >= 1) widgets_.handles[kHighPassHandle]->show();
  if (loaded->pass_slots >= 2) widgets_.handles[kLowPassHandle]->show();
  const int last = layout_.LastSlot();
  // After another section was on show the other slots hold its bands: all are filled anew.
  const bool every_slot = selection == kAllSlots || slots_section_ != *section;
  slots_section_ = *section;
  for (int k = 0; k <= last; ++k) {
    if (!every_slot && selection != k) continue;
    responses_.ComputeSlot(k, layout_.band_slots[k]);
    PlaceHandle(HandleOfSlot(k, layout_.band_slots[k].code), layout_.band_slots[k]);
  }
  // A selection outside the section has no values of this section to show.
  if (selection >= 0 && selection <= last) FillEqLabel(selection);
  ComputeOverlay(*section);
  if (paint_mode_ == PaintMode::kEveryTime) {
    PaintCurve(last);
    Publish();
  } else {
    ComputeCurvePoints(last);
    PaintChanges();
  }
  UpdateAutomaticHint();
  // A readout on show follows the new curve under the resting mouse.
  if (readout_->isVisible()) ShowReadout(readout_x_);
}

void EqGraph::PlaceHandle(int handle, const BandSlot& slot) {
  if (handle < 0) return;
  QLabel* h = widgets_.handles[handle];
  const int half = h->height() / 2;
  MoveHandle(handle, RoundCoordinate(FrequencyToX(slot.frequency) - half),
             RoundCoordinate(GainToY(slot.gain) - half));
  h->show();
}

void EqGraph::MoveHandle(int handle, int left, int top) {
  QLabel* h = widgets_.handles[handle];
  handle_tops_[handle] = top;
  // A point's centre may lie on the image's first or last row; the point is still seen whole.
  const QRect image = widgets_.image->geometry();
  const int shown_top =
      std::clamp(top, image.top(), std::max(image.top(), image.bottom() + 1 - h->height()));
  h->move(left, shown_top);
}

void EqGraph::FillEqLabel(int slot) {
  const BandSlot& s = layout_.band_slots[slot];
  const int handle = HandleOfSlot(slot, s.code);
  if (handle < 0) return;
  QLabel* label = widgets_.eq_label;
  const QColor colour = host_.label_colour();
  if (colour != applied_label_colour_) {
    label->setStyleSheet(LabelStyle(colour));
    applied_label_colour_ = colour;
  }
  std::string text;
  if (s.code < kCodeHighPass) {
    // Three lines: gain, Q, frequency.
    text = FormatPattern(s.gain, 1) + "dB\nQ:" + FormatPattern(s.q, 2) + "\n" +
           FormatPattern(s.frequency, 2) + "Hz";
  } else if (s.code == kCodeHighPass || s.code == kCodeLowPass) {
    text = "OFF";
  } else {
    text = FormatPattern(s.frequency, 2) + "Hz";
  }
  label->setText(QString::fromStdString(text));
  label->adjustSize();
  const QLabel* h = widgets_.handles[handle];
  int left = h->x() - label->width() / 2 + h->width() / 2;
  int top;
  if (s.code >= kCodeHighPass) {
    top = h->y() + h->height() - 5;
  } else if (s.gain >= 0) {
    top = h->y() + h->height();
  } else {
    top = h->y() - label->height() - 1;
  }
  // Kept inside the image, so that "20600.00Hz" and the values of a point at +12 dB or -24 dB
  // are read whole.
  const QRect image = widgets_.image->geometry();
  const auto inside_x = [&](int x) {
    return std::clamp(x, image.left(), std::max(image.left(), image.right() + 1 - label->width()));
  };
  left = inside_x(left);
  top = std::clamp(top, image.top(), std::max(image.top(), image.bottom() + 1 - label->height()));
  // A band's values are read beside a pass-filter point (the output and microphone graphs' H
  // at 19 Hz lies next to band 1), not through its face.
  if (s.code < kCodeHighPass) {
    for (int pass : {kHighPassHandle, kLowPassHandle}) {
      const QLabel* p = widgets_.handles[pass];
      if (p == nullptr || !p->isVisibleTo(p->parentWidget())) continue;
      const QRect face = p->geometry();
      if (!QRect(left, top, label->width(), label->height()).intersects(face)) continue;
      left = inside_x(face.center().x() <= h->geometry().center().x()
                          ? face.right() + 2
                          : face.left() - 2 - label->width());
    }
  }
  label->move(left, top);
}

void EqGraph::ComputeCurvePoints(int last) {
  responses_.Sum(last, sum_);
  curve_drawn_ = true;
  const int height = Height();
  const double ratio = bitmap_.devicePixelRatio();
  const std::vector<double>& xs = CurveXs();
  curve_points_.clear();
  for (int i = 0; i < kResponsePoints; ++i) {
    const double y = SnapToDevicePixel(kc::GainToY(sum_[i], height), ratio);
    curve_points_.emplace_back(xs[i], y);
  }
}

const std::vector<double>& EqGraph::CurveXs() {
  const int width = Width();
  const double ratio = bitmap_.devicePixelRatio();
  if (width != curve_xs_width_ || ratio != curve_xs_ratio_ ||
      curve_xs_.size() != static_cast<std::size_t>(kResponsePoints)) {
    curve_xs_.resize(kResponsePoints);
    for (int i = 0; i < kResponsePoints; ++i) {
      // i * width is whole before the division.
      curve_xs_[i] = SnapToDevicePixel(static_cast<double>(i * width) / kResponseIntervals, ratio);
    }
    curve_xs_width_ = width;
    curve_xs_ratio_ = ratio;
  }
  return curve_xs_;
}

// The whole curve over the frame as it lies in the bitmap: the paint of every redraw before the
// frame was cached, kept as PaintMode::kEveryTime.
void EqGraph::PaintCurve(int last) {
  ComputeCurvePoints(last);
  shown_.valid = false;
  last_painted_ = QRect(QPoint(0, 0), bitmap_.size());
  QPainter painter(&bitmap_);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.translate(kPixelCentre, kPixelCentre);
  QColor colour = host_.curve_colour();
  colour.setAlpha(255);
  if (!overlay_points_.empty()) {
    StrokeCurve(painter, overlay_points_, 0, kResponseIntervals - 1, OverlayColour(colour));
  }
  StrokeCurve(painter, curve_points_, 0, kResponseIntervals - 1, colour);
}

void EqGraph::StrokeCurve(QPainter& painter, const std::vector<QPointF>& points, int first,
                          int last, const QColor& colour) const {
  QPen pen(colour, kCurvePenWidth, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  if (first == 0 && last == static_cast<int>(points.size()) - 2) {
    painter.drawPath(CardinalSplinePath(points, kCurveTension));
    return;
  }
  // The same segments as the whole path's, from the same points.
  const std::vector<BezierSegment> segments = CardinalSegments(points, kCurveTension);
  QPainterPath path;
  path.reserve((last - first + 1) * 3 + 1);
  path.moveTo(points[first]);
  for (int j = first; j <= last; ++j) {
    path.cubicTo(segments[j].control1, segments[j].control2, segments[j].end);
  }
  painter.drawPath(path);
}

// ---------------------------------------------------------------------------------------------
// Events

bool EqGraph::eventFilter(QObject* watched, QEvent* event) {
  if (watched == widgets_.inner) {
    if (event->type() == QEvent::Resize && widgets_.inner->size() != widgets_.image->size()) {
      Rebuild();
    }
    return false;
  }
  if (watched == widgets_.image) return FilterImageEvent(event);
  const int index = HandleIndexOf(watched);
  if (index < 0) return false;
  auto* point = static_cast<QLabel*>(watched);
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      EP1MouseDown(point, static_cast<QMouseEvent*>(event)->position().toPoint());
      return true;
    case QEvent::MouseButtonDblClick: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      EP1MouseDown(point, mouse->position().toPoint());
      if (mouse->button() == Qt::LeftButton) EP1DblClick(point);
      return true;
    }
    case QEvent::MouseMove: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      FilterPointEvent(point, event);
      // Moves with no button held come only from the readout's mouse tracking; a drag sees
      // exactly the moves it saw before tracking was on.
      if (mouse->buttons() != Qt::NoButton) EP1MouseMove(point, mouse->position().toPoint());
      return true;
    }
    case QEvent::MouseButtonRelease:
      EP1MouseUp(point);
      return true;
    default:
      return FilterPointEvent(point, event);
  }
}

int EqGraph::HandleIndexOf(const QObject* point) const {
  for (int i = 0; i < kHandleCount; ++i) {
    if (widgets_.handles[i] != point || point == nullptr) continue;
    bool ok = false;
    const int tag = point->property(kTag).toInt(&ok);
    return ok && tag >= 0 && tag < kHandleCount ? tag : -1;
  }
  return -1;
}

}  // namespace kc

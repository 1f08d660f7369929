// What the graph does with the mouse besides dragging: the readout of the frequency and summed
// response under the cursor, the wheel over a band point (one Q table step per notch) and the
// double click on a band point (gain to 0 dB). The wheel and the double click ask the host, so
// the band's own Q spin buttons and gain edit box make the edit, with their limits, display,
// store, transmission and redraw.
#include <QEnterEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "eq/graph_axes.h"
#include "eq/view/eq_graph.h"
#include "model/parameter_store.h"
#include "model/rounding.h"

namespace kc {
namespace {

// One notch of a common mouse wheel.
constexpr int kWheelNotch = 120;
// Gap between the readout and the top left corner of the image, where the fewest points and
// curves come (+12 dB below 30 Hz).
constexpr int kReadoutMargin = 4;
// The widest text the readout shows in practice, so that it keeps one width while it follows
// the mouse.
constexpr char kReadoutWidest[] = "24000.0Hz  -100.0dB";
// While the Music EQ is automatic the box sets it and its points do not answer.
constexpr char kAutomaticHintText[] = "自动模式：EQ 由设备控制，按下方“手动”后可编辑";

}  // namespace

bool EqGraph::BandPointAnswers(int index) const {
  if (index < 0 || index >= kHighPassHandle || index >= layout_.eq_bands) return false;
  if (!host_.ready()) return false;
  const int page = host_.page_selector() & 0xFF;
  if (page > kLastEqPage) return false;
  return !(page == kMusicPage && AutomaticEq());
}

// ---------------------------------------------------------------------------------------------
// Readout

void EqGraph::CreateReadout() {
  QWidget* parent = widgets_.inner != nullptr ? widgets_.inner : widgets_.image->parentWidget();
  readout_ = new QLabel(parent);
  readout_->setObjectName(QStringLiteral("EQReadout"));
  // The mouse goes through it to the image and the points below.
  readout_->setAttribute(Qt::WA_TransparentForMouseEvents);
  QFont font = readout_->font();
  font.setPixelSize(11);
  readout_->setFont(font);
  readout_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // An opaque backing: no grid line or curve runs through the digits.
  readout_->setStyleSheet(
      QStringLiteral("color: rgb(240,240,240); background: rgb(0,0,0);"
                     " border: 1px solid rgb(110,110,110); padding: 1px 4px;"));
  readout_->setAutoFillBackground(true);
  readout_->setMinimumWidth(QFontMetrics(font).horizontalAdvance(QLatin1String(kReadoutWidest)) +
                            12);
  // Below the points, so that a point it overlaps is still seen whole.
  if (widgets_.handles[0] != nullptr && widgets_.handles[0]->parentWidget() == parent) {
    readout_->stackUnder(widgets_.handles[0]);
  }
  readout_->hide();
}

void EqGraph::CreateAutomaticHint() {
  QWidget* parent = widgets_.inner != nullptr ? widgets_.inner : widgets_.image->parentWidget();
  automatic_hint_ = new QLabel(QString::fromUtf8(kAutomaticHintText), parent);
  automatic_hint_->setObjectName(QStringLiteral("EQAutoHint"));
  automatic_hint_->setAttribute(Qt::WA_TransparentForMouseEvents);
  QFont font = automatic_hint_->font();
  font.setPixelSize(12);
  automatic_hint_->setFont(font);
  automatic_hint_->setStyleSheet(
      QStringLiteral("color: rgb(255,214,140); background: rgb(0,0,0);"
                     " border: 1px solid rgb(150,110,40); padding: 2px 8px;"));
  automatic_hint_->setAutoFillBackground(true);
  automatic_hint_->adjustSize();
  if (widgets_.handles[0] != nullptr && widgets_.handles[0]->parentWidget() == parent) {
    automatic_hint_->stackUnder(widgets_.handles[0]);
  }
  automatic_hint_->hide();
}

void EqGraph::UpdateAutomaticHint() {
  if (automatic_hint_ == nullptr) return;
  const bool shown = (host_.page_selector() & 0xFF) == kMusicPage && AutomaticEq();
  if (shown) {
    // Top centre, clear of the readout in the top left corner.
    const QRect image = widgets_.image->geometry();
    automatic_hint_->move(image.left() + (image.width() - automatic_hint_->width()) / 2,
                          image.top() + kReadoutMargin);
  }
  if (automatic_hint_->isVisibleTo(automatic_hint_->parentWidget()) != shown) {
    automatic_hint_->setVisible(shown);
  }
}

double EqGraph::ResponseAt(double x) const {
  // Grid point i lies at x = i * scale.
  const double t = std::clamp(x / scale_, 0.0, static_cast<double>(kResponseIntervals));
  const int i = std::min(static_cast<int>(t), kResponseIntervals - 1);
  const double fraction = t - i;
  return sum_[i] + (sum_[i + 1] - sum_[i]) * fraction;
}

void EqGraph::ShowReadout(double x) {
  if (readout_ == nullptr || !curve_drawn_) return;
  x = std::clamp(x, 0.0, static_cast<double>(Width()));
  readout_x_ = x;
  const std::string text =
      FormatPattern(XToFrequency(x), 1) + "Hz  " + FormatPattern(ResponseAt(x), 1) + "dB";
  QString shown = QString::fromStdString(text);
  if (overlay_on()) {
    // Both curves under the mouse: the box's (the editor's) and the compared file's.
    shown = QString::fromStdString(FormatPattern(XToFrequency(x), 1)) + QStringLiteral("Hz  ") +
            QStringLiteral("设备 ") + QString::fromStdString(FormatPattern(ResponseAt(x), 1)) +
            QStringLiteral("dB  ") + overlay_name_ + QLatin1Char(' ') +
            QString::fromStdString(FormatPattern(OverlayResponseAt(x), 1)) + QStringLiteral("dB");
  }
  readout_->setText(shown);
  readout_->adjustSize();
  const QRect image = widgets_.image->geometry();
  readout_->move(image.left() + kReadoutMargin, image.top() + kReadoutMargin);
  readout_->show();
}

void EqGraph::HideReadout() {
  if (readout_ != nullptr) readout_->hide();
}

bool EqGraph::FilterImageEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseMove:
      ShowReadout(static_cast<QMouseEvent*>(event)->position().x());
      break;
    case QEvent::Enter:
      ShowReadout(static_cast<QEnterEvent*>(event)->position().x());
      break;
    case QEvent::Leave:
      HideReadout();
      break;
    case QEvent::ScreenChangeInternal:
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    case QEvent::DevicePixelRatioChange:
#endif
      // A screen of another pixel ratio: paint everything again at its resolution.
      if (DevicePixelRatio() != bitmap_.devicePixelRatio()) Rebuild();
      break;
    default:
      break;
  }
  return false;
}

bool EqGraph::FilterPointEvent(QLabel* point, QEvent* event) {
  // Positions in the point's own coordinates, moved into Image1's.
  const QPointF offset = point->pos() - widgets_.image->pos();
  switch (event->type()) {
    case QEvent::MouseMove:
      ShowReadout(offset.x() + static_cast<QMouseEvent*>(event)->position().x());
      return false;
    case QEvent::Enter:
      ShowReadout(offset.x() + static_cast<QEnterEvent*>(event)->position().x());
      return false;
    case QEvent::Leave:
      HideReadout();
      return false;
    case QEvent::Wheel:
      return EP1MouseWheel(point, static_cast<QWheelEvent*>(event)->angleDelta().y());
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------------
// Wheel and double click

bool EqGraph::EP1MouseWheel(QLabel* point, int angle_delta) {
  const int index = HandleIndexOf(point);
  if (!BandPointAnswers(index)) return false;
  if (index != wheel_handle_) {
    wheel_handle_ = index;
    wheel_remainder_ = 0;
  }
  wheel_remainder_ += angle_delta;
  const int page = host_.page_selector() & 0xFF;
  // Away from the user raises the Q, towards the user lowers it.
  while (wheel_remainder_ >= kWheelNotch) {
    wheel_remainder_ -= kWheelNotch;
    host_.StepBandQ(page, index, true);
  }
  while (wheel_remainder_ <= -kWheelNotch) {
    wheel_remainder_ += kWheelNotch;
    host_.StepBandQ(page, index, false);
  }
  return true;
}

bool EqGraph::EP1DblClick(QLabel* point) {
  const int index = HandleIndexOf(point);
  if (!BandPointAnswers(index)) return false;
  host_.SetBandGainToZero(host_.page_selector() & 0xFF, index);
  // No drag from the second press: a slip of the hand before the release would otherwise send
  // the point's old height again after the 0 dB.
  drag_.dragging = false;
  return true;
}

}  // namespace kc

#include "ui/pages/control_factory.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolButton>
#include <QtDebug>

namespace kc {

int TagOf(const QObject* control) { return control ? control->property(kTagProperty).toInt() : 0; }

void SetTag(QObject* control, int tag) { control->setProperty(kTagProperty, tag); }

QString HintOf(const QObject* control) {
  return control ? control->property(kHintProperty).toString() : QString();
}

void SetHint(QObject* control, const QString& hint) { control->setProperty(kHintProperty, hint); }

QFont ValueFont(const QFont& base) {
  QFont font = base;
  font.setFamilies({kValueFontFamily, kCjkFontFamily});
  font.setPixelSize(kValueFontPixelSize);
  return font;
}

namespace {

// A plain light face of fixed colours, so that the black sign reads on any desktop palette; a
// disabled button keeps its sign and shows a paler frame.
constexpr char kSignButtonStyle[] =
    "QPushButton { border: 1px solid rgb(128,128,128); background: rgb(240,240,240);"
    " padding: 0px; }"
    "QPushButton:pressed { background: rgb(200,200,200); }"
    "QPushButton:disabled { border-color: rgb(192,192,192); }";

}  // namespace

SignButton::SignButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
  setStyleSheet(kSignButtonStyle);
}

void SignButton::paintEvent(QPaintEvent* event) {
  const QString caption = text();
  const bool plus = caption == QLatin1String("+");
  if (!plus && caption != QLatin1String("-")) {
    QPushButton::paintEvent(event);
    return;
  }
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButton, option);

  // Strokes of even length and width, so that the plus is symmetric about its centre: 8 x 2
  // pixels on a 15-pixel face, leaving the frame and a margin of three pixels clear.
  const int side = qMin(width(), height());
  const int length = qMax(2, side * 3 / 5) & ~1;
  const int thickness = side >= 12 ? 2 : 1;
  const QRect bar((width() - length) / 2, (height() - thickness) / 2, length, thickness);
  // A disabled button's sign takes the editor's disabled text colour, as its disabled captions
  // do (the button's style sheet keeps a palette of its own).
  const QColor ink = isEnabled()
                         ? QColor(Qt::black)
                         : QColor(kDisabledTextRgb[0], kDisabledTextRgb[1], kDisabledTextRgb[2]);
  painter.fillRect(bar, ink);
  if (plus) {
    const QRect stem((width() - thickness) / 2, (height() - length) / 2, thickness, length);
    painter.fillRect(stem, ink);
  }
}

namespace {

// The disc is dark enough for white digits (about 6 : 1); the ring ties it to the curve.
const QColor kPointFill(0, 92, 160);
const QColor kPointRing(0, 204, 255);
constexpr int kPointLargestPixelSize = 11;
constexpr int kPointSmallestPixelSize = 7;

}  // namespace

BandPoint::BandPoint(const QString& number, QWidget* parent) : QLabel(number, parent) {
  setAttribute(Qt::WA_TranslucentBackground);
}

QFont BandPoint::NumberFont() const {
  QFont face = font();
  face.setFamilies({kValueFontFamily, QStringLiteral("DejaVu Sans Condensed"), kCjkFontFamily});
  face.setBold(true);
  // Inside the ring, with a pixel to spare on either side.
  const int room = qMax(1, width() - 4);
  for (int size = kPointLargestPixelSize; size > kPointSmallestPixelSize; --size) {
    face.setPixelSize(size);
    if (QFontMetrics(face).boundingRect(text()).width() <= room) return face;
  }
  face.setPixelSize(kPointSmallestPixelSize);
  return face;
}

void BandPoint::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(kPointRing, 1.0));
  painter.setBrush(kPointFill);
  painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
  painter.setFont(NumberFont());
  painter.setPen(Qt::white);
  painter.drawText(rect(), Qt::AlignCenter, text());
}

namespace {

void ShowTip(QWidget* control) {
  const QString own = control->property(kOwnTipProperty).toString();
  const QString reason = control->property(kDisabledReasonProperty).toString();
  // Disabled by its own setting, not by a disabled parent: the parent names its own reason.
  const bool disabled = control->testAttribute(Qt::WA_ForceDisabled);
  if (!disabled || reason.isEmpty()) {
    control->setToolTip(own);
  } else {
    control->setToolTip(own.isEmpty() ? reason : own + QLatin1Char('\n') + reason);
  }
}

}  // namespace

void SetOwnTip(QWidget* control, const QString& tip) {
  if (control == nullptr) return;
  control->setProperty(kOwnTipProperty, tip);
  ShowTip(control);
}

void SetEnabledBecause(QWidget* control, bool enabled, const QString& reason) {
  if (control == nullptr) return;
  control->setEnabled(enabled);
  control->setProperty(kDisabledReasonProperty, reason);
  ShowTip(control);
}

void ShowPhase(QAbstractButton* button, const QString& caption) {
  if (button == nullptr) return;
  button->setText(caption);
  // "+" keeps the signal's polarity, "-" inverts it.
  SetOwnTip(button, caption == QLatin1String("-") ? QStringLiteral("相位：反相")
                                                  : QStringLiteral("相位：正相"));
}

void SetReadableDisabledTexts(QPalette& palette) {
  const QColor ink(kDisabledTextRgb[0], kDisabledTextRgb[1], kDisabledTextRgb[2]);
  for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText}) {
    palette.setColor(QPalette::Disabled, role, ink);
  }
}

SpinButtons::SpinButtons(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent),
      orientation_(orientation),
      down_left_(new QToolButton(this)),
      up_right_(new QToolButton(this)) {
  const bool vertical = orientation == Qt::Vertical;
  down_left_->setArrowType(vertical ? Qt::DownArrow : Qt::LeftArrow);
  up_right_->setArrowType(vertical ? Qt::UpArrow : Qt::RightArrow);
  for (QToolButton* button : {down_left_, up_right_}) {
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(false);
  }
  connect(down_left_, &QToolButton::clicked, this, &SpinButtons::DownLeftClick);
  connect(up_right_, &QToolButton::clicked, this, &SpinButtons::UpRightClick);
}

void SpinButtons::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int w = width();
  const int h = height();
  if (orientation_ == Qt::Vertical) {
    up_right_->setGeometry(0, 0, w, h / 2);
    down_left_->setGeometry(0, h / 2, w, h - h / 2);
  } else {
    const int arrow = qMin(10, w / 2);
    down_left_->setGeometry(0, 0, arrow, h);
    up_right_->setGeometry(w - arrow, 0, arrow, h);
  }
}

void ControlFactory::Register(QWidget* control, const QString& name) {
  control->setObjectName(name);
  SetTag(control, 0);
  SetHint(control, QString());
  if (registry_->contains(name)) {
    // Two controls under one name would leave handlers and tests looking at the wrong one.
    qWarning("editor control name used twice: %s", qPrintable(name));
    return;
  }
  registry_->insert(name, control);
}

QSlider* ControlFactory::Slider(QWidget* parent, const QString& name, const QRect& geometry,
                                int max, int position, Qt::Orientation orientation) {
  auto* slider = new QSlider(orientation, parent);
  Register(slider, name);
  slider->setGeometry(geometry);
  slider->setRange(0, max);
  slider->setValue(position);
  slider->setPageStep(1);
  slider->setFocusPolicy(Qt::StrongFocus);
  return slider;
}

QString PaneNameOf(const QString& slider) {
  QString pane = slider;
  if (pane.endsWith(QLatin1String("Bar"))) pane.replace(pane.size() - 3, 3, QLatin1String("Pane"));
  return pane;
}

QLabel* ControlFactory::Pane(QWidget* parent, const QString& name, const QRect& geometry,
                             const QString& text, const QString& hint) {
  auto* pane = new QLabel(text, parent);
  Register(pane, name);
  SetHint(pane, hint);
  pane->setGeometry(geometry);
  pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  pane->setAlignment(Qt::AlignCenter);
  pane->setAutoFillBackground(true);
  pane->setProperty("role", "pane");
  pane->setFont(ValueFont(pane->font()));
  return pane;
}

QLineEdit* ControlFactory::Edit(QWidget* parent, const QString& name, const QRect& geometry,
                                const QString& text, const QString& hint) {
  auto* edit = new QLineEdit(text, parent);
  Register(edit, name);
  SetHint(edit, hint);
  edit->setGeometry(geometry);
  return edit;
}

QComboBox* ControlFactory::DropDown(QWidget* parent, const QString& name, const QRect& geometry,
                                    const QStringList& items, int index, const QString& hint) {
  auto* box = new QComboBox(parent);
  Register(box, name);
  SetHint(box, hint);
  box->setGeometry(geometry);
  box->addItems(items);
  box->setCurrentIndex(index);
  return box;
}

QPushButton* ControlFactory::Button(QWidget* parent, const QString& name, const QRect& geometry,
                                    const QString& caption, const QString& hint, int tag) {
  auto* button = new QPushButton(caption, parent);
  Register(button, name);
  SetHint(button, hint);
  SetTag(button, tag);
  button->setGeometry(geometry);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

QPushButton* ControlFactory::Sign(QWidget* parent, const QString& name, const QRect& geometry,
                                  const QString& caption, const QString& hint) {
  auto* button = new SignButton(caption, parent);
  Register(button, name);
  SetHint(button, hint);
  button->setGeometry(geometry);
  button->setFocusPolicy(Qt::NoFocus);
  ShowPhase(button, caption);
  return button;
}

QPushButton* ControlFactory::TwoState(QWidget* parent, const QString& name, const QRect& geometry,
                                      const QString& caption, const QString& hint, int tag) {
  QPushButton* button = Button(parent, name, geometry, caption, hint, tag);
  button->setCheckable(true);
  return button;
}

QRadioButton* ControlFactory::Radio(QWidget* parent, QButtonGroup* group, const QString& name,
                                    const QRect& geometry, const QString& caption,
                                    const QString& hint, int tag) {
  auto* radio = new QRadioButton(caption, parent);
  Register(radio, name);
  SetHint(radio, hint);
  SetTag(radio, tag);
  radio->setGeometry(geometry);
  radio->setFocusPolicy(Qt::NoFocus);
  group->addButton(radio, hint.toInt());
  return radio;
}

QLabel* ControlFactory::Label(QWidget* parent, const QString& name, const QRect& geometry,
                              const QString& text) {
  auto* label = new QLabel(text, parent);
  if (!name.isEmpty()) Register(label, name);
  label->setGeometry(geometry);
  return label;
}

QGroupBox* ControlFactory::Group(QWidget* parent, const QString& name, const QRect& geometry,
                                 const QString& caption) {
  auto* group = new QGroupBox(caption, parent);
  if (!name.isEmpty()) Register(group, name);
  group->setGeometry(geometry);
  return group;
}

SpinButtons* ControlFactory::Spin(QWidget* parent, const QString& name, const QRect& geometry,
                                  Qt::Orientation orientation) {
  auto* spin = new SpinButtons(orientation, parent);
  Register(spin, name);
  spin->setGeometry(geometry);
  return spin;
}

}  // namespace kc

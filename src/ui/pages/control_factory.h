// Building blocks of the editor pages: the Tag and Hint properties that every handler reads, the
// spin-button pair, and a factory that creates a named control, gives it its Tag and Hint and
// records it in the editor's name registry.
//
// Control classes, so that handlers can tell the kinds apart by class:
//   slider          QSlider (horizontal unless vertical is asked for; minimum always 0)
//   value pane      QLabel with a sunken frame (read-only text beside a slider)
//   edit box        QLineEdit
//   drop-down list  QComboBox (fixed items, not editable)
//   group / frame   QGroupBox (the frames around EQ edit boxes have no title)
//   bitmap button   QPushButton; two-state ones (mute, EQ bypass, the exclusive pairs, the tabs)
//                   are checkable; the phase buttons are kc::SignButton (a QPushButton)
//   radio button    QRadioButton, the buttons of one group share an exclusive QButtonGroup and
//                   the first of a group has Hint "0"
//   spin buttons    kc::SpinButtons (a pair of arrow buttons, no text field of its own)
//   label           QLabel without frame
//   scroll box      QScrollArea
//   grid            QTableWidget
//   hidden list     QPlainTextEdit / QListWidget
#pragma once

#include <QFont>
#include <QHash>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QSlider;
class QToolButton;

namespace kc {

// Tag: an int, the parameter identifier (block * 256 + index) or another number a handler reads.
// Every named control carries it; 0 where nothing else is given.
inline constexpr char kTagProperty[] = "Tag";
// Hint: a QString, because handlers keep text in it (a display kind "0".."19", a button's value
// "0"/"1", a two-state button's state, a volume pane's previous position). Every named control
// carries it; "" where nothing else is given.
inline constexpr char kHintProperty[] = "Hint";

// Dynamic property of a band's point label (MusEQPointLabel1, ...): its band counted from 0.
inline constexpr char kBandProperty[] = "Band";

// Style sheet of a masked password field: a filled circle for each character.
inline constexpr char kMaskedStyle[] = "QLineEdit { lineedit-password-character: 9679; }";

// The value pane beside a slider is named after it: "Bar" at the end of the slider's name turns
// into "Pane" (MicHPFreBar, MicHPFrePane); a name without it is its own pane name.
QString PaneNameOf(const QString& slider);

int TagOf(const QObject* control);
void SetTag(QObject* control, int tag);
QString HintOf(const QObject* control);
void SetHint(QObject* control, const QString& hint);

// Font of the value texts (value panes and EQ edit boxes). A narrow Latin face at 11 px (8 pt)
// puts the widest texts, "20600.0Hz" and "18000.0Hz", inside the 46 pixels that a 48- or 50-pixel
// box leaves for text; the CJK face stands in for any character the narrow face lacks.
inline constexpr char kValueFontFamily[] = "Liberation Sans Narrow";
inline constexpr char kCjkFontFamily[] = "WenQuanYi Zen Hei";
inline constexpr int kValueFontPixelSize = 11;
QFont ValueFont(const QFont& base);

// A small button whose caption "+" or "-" (the phase buttons) is drawn as a sign of fixed
// strokes centred on a plain face: at 15 x 15 pixels a font's plus or hyphen is a few grey
// pixels, or is clipped away by a style's padding. The sign is black, and the disabled text
// colour (kDisabledTextRgb) while the button is disabled. Any other caption is drawn as usual.
class SignButton : public QPushButton {
  Q_OBJECT

 public:
  explicit SignButton(const QString& caption, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// A band point of the EQ graph (14 x 14): a dark disc with a ring of the curve's cyan and its
// band number in white, in a narrow bold face sized so that "10" to "15" fit inside the ring.
class BandPoint : public QLabel {
  Q_OBJECT

 public:
  BandPoint(const QString& number, QWidget* parent = nullptr);

  // The face the number is drawn in: the largest narrow bold size whose text fits the disc.
  QFont NumberFont() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Tooltips. A control's own tooltip (kOwnTipProperty) says what its symbol or abbreviation
// means; while the control is disabled, the reason (kDisabledReasonProperty) is added below it,
// so that a greyed control says why it cannot be used.
inline constexpr char kOwnTipProperty[] = "OwnTip";
inline constexpr char kDisabledReasonProperty[] = "DisabledReason";
// Reasons a control is disabled.
inline const QString kAutoModeReason = QStringLiteral("自动模式下由设备控制");
inline const QString kAdministratorReason = QStringLiteral("需以管理员身份解锁");
inline const QString kUnlockReason = QStringLiteral("输入系统密码并按“确定”解锁");
inline const QString kOldPasswordReason = QStringLiteral("先输入正确的旧密码");
void SetOwnTip(QWidget* control, const QString& tip);
// Enables or disables the control; reason: why it is disabled (kept for when it is).
void SetEnabledBecause(QWidget* control, bool enabled, const QString& reason);
// A phase button's caption "+" (in phase) or "-" (inverted), with the tooltip that names it.
void ShowPhase(QAbstractButton* button, const QString& caption);

// Colours of the editor's texts and fields while they are disabled: dark enough to read at
// 4.5 : 1 or better against the white fields and the window's background, still lighter than
// the black of enabled texts.
inline constexpr int kDisabledTextRgb[3] = {80, 80, 80};
// Gives a palette its disabled text colours (Text, ButtonText, WindowText).
void SetReadableDisabledTexts(QPalette& palette);

// A pair of arrow buttons. Vertical: up above down, filling the widget. Horizontal: the left arrow
// at the left edge and the right arrow at the right edge, so that the pair can lie around a frame
// placed between them.
class SpinButtons : public QWidget {
  Q_OBJECT

 public:
  SpinButtons(Qt::Orientation orientation, QWidget* parent = nullptr);

  Qt::Orientation orientation() const { return orientation_; }
  QToolButton* down_left() const { return down_left_; }
  QToolButton* up_right() const { return up_right_; }

 signals:
  void DownLeftClick();
  void UpRightClick();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  Qt::Orientation orientation_;
  QToolButton* down_left_;
  QToolButton* up_right_;
};

// Name -> control of every named control of the editor.
using ControlRegistry = QHash<QString, QWidget*>;

class ControlFactory {
 public:
  explicit ControlFactory(ControlRegistry* registry) : registry_(registry) {}

  QSlider* Slider(QWidget* parent, const QString& name, const QRect& geometry, int max,
                  int position, Qt::Orientation orientation = Qt::Horizontal);
  QLabel* Pane(QWidget* parent, const QString& name, const QRect& geometry, const QString& text,
               const QString& hint);
  QLineEdit* Edit(QWidget* parent, const QString& name, const QRect& geometry, const QString& text,
                  const QString& hint = QString());
  QComboBox* DropDown(QWidget* parent, const QString& name, const QRect& geometry,
                      const QStringList& items, int index, const QString& hint = QString());
  QPushButton* Button(QWidget* parent, const QString& name, const QRect& geometry,
                      const QString& caption, const QString& hint = QString(), int tag = 0);
  // A 15 x 15 phase button showing "+" or "-".
  QPushButton* Sign(QWidget* parent, const QString& name, const QRect& geometry,
                    const QString& caption, const QString& hint = QString());
  // A checkable button that is shown pressed while checked.
  QPushButton* TwoState(QWidget* parent, const QString& name, const QRect& geometry,
                        const QString& caption, const QString& hint = QString(), int tag = 0);
  QRadioButton* Radio(QWidget* parent, QButtonGroup* group, const QString& name,
                      const QRect& geometry, const QString& caption, const QString& hint, int tag);
  // A plain text label; registered only when it has a name.
  QLabel* Label(QWidget* parent, const QString& name, const QRect& geometry, const QString& text);
  QGroupBox* Group(QWidget* parent, const QString& name, const QRect& geometry,
                   const QString& caption);
  SpinButtons* Spin(QWidget* parent, const QString& name, const QRect& geometry,
                    Qt::Orientation orientation);

  // Gives an already created widget its name, Tag 0 and Hint "" and records it.
  void Register(QWidget* control, const QString& name);

 private:
  ControlRegistry* registry_;
};

}  // namespace kc

#include "app/message_box.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <algorithm>

namespace kc {

QtMessageBoxes::QtMessageBoxes(std::function<QWidget*()> owner) : owner_(std::move(owner)) {}

namespace {

// Room a window manager takes beside the caption for the box's icon and its buttons.
constexpr int kCaptionDecorationWidth = 160;

// QMessageBox sizes itself from its layout's minimum on every show; a spanning spacer of the
// wanted width is the minimum it keeps.
void KeepCaptionWhole(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  const QFontMetrics metrics(box.font());
  const int width = std::max(kMessageBoxMinimumWidth, metrics.horizontalAdvance(box.windowTitle()) +
                                                          kCaptionDecorationWidth);
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

QMessageBox::StandardButton Ask(QWidget* owner, QMessageBox::Icon icon, const QString& caption,
                                const QString& text, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton default_button,
                                const QString& hint = QString()) {
  QMessageBox box(icon, caption, text, buttons, owner);
  box.setDefaultButton(default_button);
  if (!hint.isEmpty()) box.setInformativeText(hint);
  KeepCaptionWhole(box);
  // The editor and the status box stay on top; a box under them could not be answered.
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

void QtMessageBoxes::Information(const QString& caption, const QString& text) {
  Ask(owner_ ? owner_() : nullptr, QMessageBox::Information, caption, text, QMessageBox::Ok,
      QMessageBox::Ok);
}

void QtMessageBoxes::InformationWithHint(const QString& caption, const QString& text,
                                         const QString& hint) {
  Ask(owner_ ? owner_() : nullptr, QMessageBox::Information, caption, text, QMessageBox::Ok,
      QMessageBox::Ok, hint);
}

bool QtMessageBoxes::YesNo(const QString& caption, const QString& text) {
  return Ask(owner_ ? owner_() : nullptr, QMessageBox::Question, caption, text,
             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtMessageBoxes::YesNoDefaultNo(const QString& caption, const QString& text) {
  return Ask(owner_ ? owner_() : nullptr, QMessageBox::Question, caption, text,
             QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

bool QtMessageBoxes::OkCancel(const QString& caption, const QString& text) {
  return Ask(owner_ ? owner_() : nullptr, QMessageBox::Question, caption, text,
             QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

}  // namespace kc

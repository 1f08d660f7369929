#include "app/message_box.h"

#include <QMessageBox>

namespace kc {

QtMessageBoxes::QtMessageBoxes(std::function<QWidget*()> owner) : owner_(std::move(owner)) {}

namespace {

QMessageBox::StandardButton Ask(QWidget* owner, QMessageBox::Icon icon, const QString& caption,
                                const QString& text, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton default_button) {
  QMessageBox box(icon, caption, text, buttons, owner);
  box.setDefaultButton(default_button);
  // The editor and the status box stay on top; a box under them could not be answered.
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

void QtMessageBoxes::Information(const QString& caption, const QString& text) {
  Ask(owner_ ? owner_() : nullptr, QMessageBox::Information, caption, text, QMessageBox::Ok,
      QMessageBox::Ok);
}

bool QtMessageBoxes::YesNo(const QString& caption, const QString& text) {
  return Ask(owner_ ? owner_() : nullptr, QMessageBox::Question, caption, text,
             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtMessageBoxes::OkCancel(const QString& caption, const QString& text) {
  return Ask(owner_ ? owner_() : nullptr, QMessageBox::Question, caption, text,
             QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

}  // namespace kc

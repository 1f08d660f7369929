#include "app/message_box.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpacerItem>
#include <algorithm>
#include <vector>

namespace kc {

namespace {

// Room a window manager takes beside the caption for the box's icon and its buttons.
constexpr int kCaptionDecorationWidth = 160;
// Marks the layout that holds the spacer below.
constexpr char kCaptionKeptProperty[] = "kcCaptionKept";

// QMessageBox sizes itself from its layout's minimum on every show; a spanning spacer of the
// wanted width is the minimum it keeps. QMessageBox builds its layout anew when a hint is set,
// without the spacer: this adds it again, once per layout.
void KeepCaptionWhole(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr || grid->property(kCaptionKeptProperty).toBool()) return;
  const QFontMetrics metrics(box.font());
  const int width = std::max(kMessageBoxMinimumWidth, metrics.horizontalAdvance(box.windowTitle()) +
                                                          kCaptionDecorationWidth);
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
  grid->setProperty(kCaptionKeptProperty, true);
}

// The second, smaller text under the first (empty for none).
void SetHint(QMessageBox& box, const QString& hint) {
  if (hint.isEmpty() && box.informativeText().isEmpty()) return;
  box.setInformativeText(hint);
  KeepCaptionWhole(box);
}

// Marks a notice's box: a box that waits is never put under one (see QtMessageBoxes::Owner).
constexpr char kNoticeProperty[] = "kcNotice";

// Closes a box, unanswered, when the dialog that owns it is hidden or closed (the list of changes
// answered): Qt leaves a child window open when its parent window hides, and a question about a
// dialog that is gone has nothing left to answer.
class ClosesWithOwner : public QObject {
 public:
  ClosesWithOwner(QDialog& box, QWidget& owner) : QObject(&box), box_(box) {
    owner.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    // A minimised owner hides spontaneously and comes back with its box.
    if (event->type() == QEvent::Hide && !event->spontaneous() && box_.isVisible()) box_.done(0);
    return false;
  }

 private:
  QDialog& box_;
};

void CloseWithModalOwner(QDialog& box) {
  QWidget* owner = box.parentWidget();
  if (owner != nullptr && owner->isModal()) new ClosesWithOwner(box, *owner);
}

// What every box of the program has besides its texts and buttons.
void SetUp(QMessageBox& box, QMessageBox::StandardButton default_button, const QString& hint) {
  box.setDefaultButton(default_button);
  SetHint(box, hint);
  KeepCaptionWhole(box);
  // The editor and the status box stay on top; a box under them could not be answered.
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

QMessageBox::StandardButton Ask(QWidget* owner, QMessageBox::Icon icon, const QString& caption,
                                const QString& text, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton default_button,
                                const QString& hint = QString()) {
  QMessageBox box(icon, caption, text, buttons, owner);
  SetUp(box, default_button, hint);
  CloseWithModalOwner(box);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

// A notice's box: deleted by Qt once it is answered or closed, or with its owner window.
class QtNoticeBox : public NoticeBox {
 public:
  explicit QtNoticeBox(QMessageBox* box) : box_(box) {}
  ~QtNoticeBox() override { Close(); }

  bool IsOpen() const override { return !box_.isNull() && box_->isVisible(); }
  void SetText(const QString& text, const QString& hint) override {
    if (!IsOpen()) return;
    box_->setText(text);
    SetHint(*box_, hint);
    box_->raise();
  }
  void Close() override {
    if (box_.isNull()) return;
    QMessageBox* box = box_;
    box_.clear();
    if (box->isVisible()) {
      box->done(QMessageBox::Ok);  // closes it, and Qt deletes it (WA_DeleteOnClose)
    } else {
      box->deleteLater();  // answered (already on its way out), or hidden with its owner
    }
  }

 private:
  QPointer<QMessageBox> box_;
};

}  // namespace

QtMessageBoxes::QtMessageBoxes(std::function<QWidget*()> owner) : owner_(std::move(owner)) {}

QWidget* QtMessageBoxes::Owner() const {
  // Under a modal dialog (the list of changes, another question) a box of another window would be
  // blocked by it, seen but not answered: the box belongs to the dialog, above it.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != nullptr && !modal->property(kNoticeProperty).toBool()) return modal;
  return owner_ ? owner_() : nullptr;
}

void QtMessageBoxes::Information(const QString& caption, const QString& text) {
  Ask(Owner(), QMessageBox::Information, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtMessageBoxes::InformationWithHint(const QString& caption, const QString& text,
                                         const QString& hint) {
  Ask(Owner(), QMessageBox::Information, caption, text, QMessageBox::Ok, QMessageBox::Ok, hint);
}

bool QtMessageBoxes::YesNo(const QString& caption, const QString& text) {
  return Ask(Owner(), QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
             QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtMessageBoxes::YesNoDefaultNo(const QString& caption, const QString& text) {
  return Ask(Owner(), QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
             QMessageBox::No) == QMessageBox::Yes;
}

bool QtMessageBoxes::OkCancel(const QString& caption, const QString& text) {
  return Ask(Owner(), QMessageBox::Question, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
             QMessageBox::Ok) == QMessageBox::Ok;
}

int QtMessageBoxes::Choose(const QString& caption, const QString& text, const QStringList& buttons,
                           int default_index) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, Owner());
  std::vector<QAbstractButton*> added;
  for (int i = 0; i < buttons.size(); ++i) {
    QPushButton* button = box.addButton(buttons[i], QMessageBox::ActionRole);
    added.push_back(button);
    if (i == default_index) box.setDefaultButton(button);
  }
  box.setMinimumWidth(kMessageBoxMinimumWidth);
  CloseWithModalOwner(box);
  box.exec();
  const auto chosen = std::find(added.begin(), added.end(), box.clickedButton());
  return chosen == added.end() ? -1 : static_cast<int>(chosen - added.begin());
}

bool QtMessageBoxes::AskText(const QString& caption, const QString& label, QString* text) {
  QInputDialog dialog(Owner());
  dialog.setWindowTitle(caption);
  dialog.setLabelText(label);
  dialog.setTextValue(*text);
  CloseWithModalOwner(dialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  *text = dialog.textValue();
  return true;
}

std::unique_ptr<NoticeBox> QtMessageBoxes::Notice(const QString& caption, const QString& text,
                                                  const QString& hint) {
  auto* box = new QMessageBox(QMessageBox::Information, caption, text, QMessageBox::Ok, Owner());
  box->setAttribute(Qt::WA_DeleteOnClose, true);
  box->setProperty(kNoticeProperty, true);
  SetUp(*box, QMessageBox::Ok, hint);
  CloseWithModalOwner(*box);
  // Application modal like the boxes that wait (QMessageBox is modal from its creation), but
  // shown without a nested event loop: the caller returns, and its timer fires again.
  box->show();
  return std::make_unique<QtNoticeBox>(box);
}

}  // namespace kc

// The System page: construction, the password groups and the identity pane. The device modes and
// the PC library are in mode_groups.cpp.
#include "ui/system/system_page.h"

#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QTableWidget>

#include "ui/editing/edit_session.h"
#include "ui/message_boxes.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

enum class KeyKind {
  kPassOn,   // a key that types no character (arrows, Delete, Tab): the field handles it
  kAccept,   // a digit, Backspace or Enter: the change procedure sees it, then the field
  kDiscard,  // any other character
};

KeyKind KindOfKey(const QKeyEvent& key) {
  switch (key.key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return KeyKind::kAccept;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
      return KeyKind::kPassOn;
    default:
      break;
  }
  const QString text = key.text();
  if (text.isEmpty()) return KeyKind::kPassOn;
  if (text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9')) {
    return KeyKind::kAccept;
  }
  // Letters, signs, Space and control characters (Ctrl+V among them, so nothing is pasted).
  return KeyKind::kDiscard;
}

bool HoldsDigitsOnly(const QString& text) {
  for (QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  }
  return true;
}

}  // namespace

SystemPage::SystemPage(EditSession& session, MessageBoxes& boxes, ModeFiles* files, QObject* parent)
    : QObject(parent), session_(session), boxes_(boxes), files_(files) {
  ConnectDeviceModes();
  ConnectLibrary();
  ConnectPasswords();
  identity_ = session_.pages().Find<QLabel>(QStringLiteral("DeviceIDLabel"));
  ListModeLibrary();
}

SystemPage::~SystemPage() = default;

void SystemPage::ConnectPasswords() {
  EditorPages& pages = session_.pages();
  const auto field = [&pages](const char* name) {
    return pages.Find<QLineEdit>(QString::fromLatin1(name));
  };
  unlock_field_ = field("SysPassEdit");
  choice_group_ = pages.Find<QGroupBox>(QStringLiteral("SysUserMangerGrop"));
  system_group_ = {field("SysPanelLabel1"), field("NewSysPassLabel1"), field("NewSysPassLabel2"),
                   kSystemPasswordLength, kSystemPasswordParameter};
  keylock_group_ = {field("PassPanelLabel1"), field("NewPassLabel1"), field("NewPassLabel2"),
                    kKeylockPasswordLength, kKeylockPasswordParameter};

  // The old key-lock password is a password like every other: it is masked too.
  if (QLineEdit* old_keylock = keylock_group_.old_field) {
    old_keylock->setEchoMode(QLineEdit::Password);
    old_keylock->setStyleSheet(QString::fromLatin1(kMaskedStyle));
  }
  const QRegularExpression digits(QStringLiteral("[0-9]*"));
  for (QLineEdit* edit : {unlock_field_, system_group_.old_field, system_group_.new_field,
                          system_group_.confirm_field, keylock_group_.old_field,
                          keylock_group_.new_field, keylock_group_.confirm_field}) {
    if (edit == nullptr) continue;
    // The key filter below sees typed keys; the validator also holds back text that arrives
    // another way (an input method, a drop).
    edit->setValidator(new QRegularExpressionValidator(digits, edit));
    edit->installEventFilter(this);
  }
  if (auto* unlock = pages.Find<QPushButton>(QStringLiteral("RzBmpButton118"))) {
    connect(unlock, &QPushButton::clicked, this, [this] { RzBmpButton118Click(); });
  }
}

bool SystemPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    if (auto* field = qobject_cast<QLineEdit*>(watched)) {
      if (PasswordKey(field, static_cast<QKeyEvent*>(event))) return true;
    } else if (grid_ != nullptr && watched == static_cast<QObject*>(grid_)) {
      return GridKey(static_cast<QKeyEvent*>(event));
    }
  }
  return QObject::eventFilter(watched, event);
}

bool SystemPage::PasswordKey(QLineEdit* field, QKeyEvent* key) {
  const KeyKind kind = KindOfKey(*key);
  if (kind == KeyKind::kDiscard) return true;
  if (kind == KeyKind::kPassOn) return false;
  ChangeGroup* group = GroupOf(field);
  if (group == nullptr) return false;  // the unlock field only filters
  // A key that completes or ends a change has done its work: it types nothing into the emptied
  // fields.
  return AdvanceChange(*group);
}

SystemPage::ChangeGroup* SystemPage::GroupOf(const QLineEdit* field) {
  for (ChangeGroup* group : {&system_group_, &keylock_group_}) {
    if (field != nullptr &&
        (field == group->old_field || field == group->new_field || field == group->confirm_field)) {
      return group;
    }
  }
  return nullptr;
}

std::string SystemPage::PasswordCopy(const ChangeGroup& group) const {
  return group.parameter == kSystemPasswordParameter ? session_.link().system_password()
                                                     : session_.link().keylock_password();
}

bool SystemPage::AdvanceChange(ChangeGroup& group) {
  if (!group.old_field || !group.new_field || !group.confirm_field) return false;
  const std::string copy = PasswordCopy(group);
  const QString old_text = group.old_field->text();
  if (old_text.toStdString() != copy || static_cast<int>(copy.size()) != group.length ||
      !session_.link().ready()) {
    return false;
  }
  SetEnabledBecause(group.new_field, true, kOldPasswordReason);
  const QString new_text = group.new_field->text();
  const QString confirm_text = group.confirm_field->text();
  if (new_text.size() == group.length) {
    SetEnabledBecause(group.confirm_field, true, kOldPasswordReason);
  }
  if (new_text.size() != group.length || confirm_text.size() != group.length) return false;

  const std::string new_password = new_text.toStdString();
  if (new_password != copy && new_text == confirm_text) {
    ResetGroup(group);
    // The fields' validators let digits only, so the link can turn every character into a byte.
    if (HoldsDigitsOnly(new_text)) session_.link().SendPassword(group.parameter, new_password);
  } else if (new_text != confirm_text) {
    ResetGroup(group);
    boxes_.Information(kHintCaption, kPasswordsDifferText);
  } else {
    ResetGroup(group);  // the new password is the one in force: nothing to change
  }
  return true;
}

void SystemPage::ResetGroup(ChangeGroup& group) {
  SetEnabledBecause(group.new_field, false, kOldPasswordReason);
  SetEnabledBecause(group.confirm_field, false, kOldPasswordReason);
  group.old_field->clear();
  group.new_field->clear();
  group.confirm_field->clear();
}

void SystemPage::RzBmpButton118Click() {
  if (unlock_field_ == nullptr) return;
  const QString entered = unlock_field_->text();
  unlock_field_->clear();
  const std::string copy = session_.link().system_password();
  if (entered.size() != kSystemPasswordLength || entered.toStdString() != copy) {
    boxes_.Information(kHintCaption, kWrongPasswordText);
    return;
  }
  if (!LinkAvailable()) return;
  if (choice_group_) {
    SetEnabledBecause(choice_group_, true, kUnlockReason);
    // The choice is open now: said beside it, as the password field was emptied.
    if (auto* unlocked = choice_group_->findChild<QLabel*>(QStringLiteral("SysUnlockedLabel"))) {
      unlocked->show();
    }
  }
  session_.link().SendPassword(kSystemPasswordParameter, entered.toStdString());
}

void SystemPage::ShowIdentity() {
  const std::string id = session_.link().device_id();
  if (identity_ != nullptr && !id.empty()) identity_->setText(QString::fromStdString(id));
}

}  // namespace kc

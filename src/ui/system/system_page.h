// The System page's own groups: the device modes ("修改设备模式": recall and store a numbered,
// named mode on the box), the PC mode library ("电脑存储模式": list, store and send mode files),
// the unlock of the user/administrator choice with the system password, the two password-change
// groups and the hidden identity pane.
//
// The page's controls are built elsewhere (pages_system.cpp); this class finds them by name and
// connects to them. The user/administrator and key-lock radio buttons belong to the shared radio
// handler, not to this class.
//
// Password fields take digits only. Each key of a change group is looked at before it takes
// effect, so the stage a group reaches depends on the texts as they were before that key: the
// sixth digit of the old password does not yet enable the new-password field, the next key does.
#pragma once

#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "model/parameter_ids.h"

class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace kc {

class EditSession;
class MessageBoxes;
class ModeFiles;

// Texts of the System page's messages that are not the link's or the mode files'.
inline const QString kStoreInUserModeText = QStringLiteral("用户模式无法执行保存操作!");
inline const QString kWrongPasswordText = QStringLiteral("密码错误!");
inline const QString kPasswordsDifferText = QStringLiteral("密码不一致!");
inline const QString kOverwriteCaption = QStringLiteral("*系统提示*");
inline const QString kOverwriteText = QStringLiteral("文件已存在,覆盖它吗?");
inline const QString kSendFileCaption = QStringLiteral("Confirm");
// A mode name reaches the box as printable ASCII only; anything else is refused, not sent.
inline const QString kModeNameAsciiText = QStringLiteral("模式名称只能使用英文字母、数字和符号!");
// A command for the box while there is none, or while it is busy with a transfer.
inline const QString kNotConnectedText = QStringLiteral("设备未连接!");
inline const QString kBusyText = QStringLiteral("设备忙，请稍后再试!");
// The library folder could not be prepared at start-up.
inline const QString kNoLibraryText = QStringLiteral("无法使用电脑存储模式文件夹!");

// Parameters of the System block that this page sends or reads.
inline constexpr int kStoreModeParameter = 0x0901;
inline constexpr int kRecallModeParameter = 0x0902;
inline constexpr int kSystemPasswordParameter = 0x0904;
inline constexpr int kKeylockPasswordParameter = 0x0905;
// The user/administrator choice is kAccessLevelId (model/parameter_ids.h).

class SystemPage : public QObject {
  Q_OBJECT

 public:
  // files: the mode files of the library folder; nullptr when no folder could be prepared (the
  // library then lists nothing and its buttons only say so).
  SystemPage(EditSession& session, MessageBoxes& boxes, ModeFiles* files,
             QObject* parent = nullptr);
  ~SystemPage() override;
  SystemPage(const SystemPage&) = delete;
  SystemPage& operator=(const SystemPage&) = delete;

  // Device modes.
  // Puts the name part of the selected SysModeBox item into PresetModeEdit.
  void SysModeBoxChange();
  // Recall for "调用模式" (RzBmpButton121), store for "保存模式" (RzBmpButton138).
  void RzBmpButton121Click(QObject* sender);
  // SysModeBox rebuilt from the mode names the link holds, keeping the selection (after a store
  // the box acknowledged: the list shows the new name without a download).
  void ModeNamesChanged();

  // PC mode library.
  // Fills the grid from the library folder and puts the current row's name into FileEdit.
  void ListModeLibrary();
  // A row picked with the mouse: its name to FileEdit, keyboard focus to FileEdit.
  void ValueListEditor1Click(int row);
  // "存储到电脑": stores the current mode as a file, asking before it replaces one.
  void RzBmpButton120Click();
  // "上传到设备": sends the named file's mode to the box after a question.
  void RzBmpButton119Click();
  // Names shown in the grid, in grid order.
  const std::vector<QString>& library_names() const { return library_names_; }

  // Passwords.
  // "确定": unlocks the user/administrator choice with the system password.
  void RzBmpButton118Click();
  // The device identity the box reported, in the hidden identity pane (placeholder kept until
  // a report arrives).
  void ShowIdentity();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // One password-change group: the old, new and confirmation fields.
  struct ChangeGroup {
    QLineEdit* old_field = nullptr;
    QLineEdit* new_field = nullptr;
    QLineEdit* confirm_field = nullptr;
    int length = 0;
    int parameter = 0;
  };

  void ConnectDeviceModes();
  void ConnectLibrary();
  void ConnectPasswords();
  void Recall();
  // True when the link can take a command for the box now; otherwise tells the user why.
  bool LinkAvailable();
  void Store();
  void ShowWorkingCopy();
  QString GridName(int row) const;
  // The grid takes no typed character; navigation keys move the current row.
  bool GridKey(QKeyEvent* key);

  // Digit filter of every password field and the change procedure of the two groups.
  bool PasswordKey(QLineEdit* field, QKeyEvent* key);
  ChangeGroup* GroupOf(const QLineEdit* field);
  std::string PasswordCopy(const ChangeGroup& group) const;
  // Runs one step of a change with the texts before the key; true when the group was reset.
  bool AdvanceChange(ChangeGroup& group);
  static void ResetGroup(ChangeGroup& group);

  EditSession& session_;
  MessageBoxes& boxes_;
  ModeFiles* files_;

  QComboBox* mode_box_ = nullptr;
  QLineEdit* preset_edit_ = nullptr;
  QPushButton* recall_button_ = nullptr;
  QPushButton* store_button_ = nullptr;

  QTableWidget* grid_ = nullptr;
  QLineEdit* file_edit_ = nullptr;
  QPlainTextEdit* working_copy_ = nullptr;  // Memo1
  std::vector<QString> library_names_;
  bool filling_grid_ = false;

  QLineEdit* unlock_field_ = nullptr;
  QGroupBox* choice_group_ = nullptr;
  ChangeGroup system_group_;
  ChangeGroup keylock_group_;
  QLabel* identity_ = nullptr;
};

}  // namespace kc

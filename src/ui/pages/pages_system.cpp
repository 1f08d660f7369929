// Page 7 System: usage notes, the device modes, the user/administrator choice and the password
// groups, the automatic key lock, the PC mode library and the volume limits.
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTableWidget>

#include "model/parameter_ids.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/page_builders.h"

namespace kc {
namespace {

struct PasswordField {
  const char* caption;
  const char* name;
  bool masked;
  bool enabled;
};

// Three labelled password fields, one below the other.
void AddPasswordFields(ControlFactory& make, QWidget* group, const PasswordField (&fields)[3],
                       int length, int y) {
  for (const PasswordField& field : fields) {
    make.Label(group, QString(), QRect(14, y + 3, 100, 16), QString::fromUtf8(field.caption));
    QLineEdit* edit = make.Edit(group, field.name, QRect(116, y, 120, 22), QString());
    edit->setMaxLength(length);
    if (field.masked) {
      edit->setEchoMode(QLineEdit::Password);
      edit->setStyleSheet(kMaskedStyle);
    }
    SetEnabledBecause(edit, field.enabled, kOldPasswordReason);
    y += 28;
  }
}

void BuildNotesAndDeviceModes(ControlFactory& make, QWidget* page) {
  make.Label(page, QString(), QRect(14, 10, 320, 16), "使用注意：");
  make.Label(page, QString(), QRect(14, 32, 330, 16),
             "1、连接机器请使用质量可靠的USB转串口连接线。");
  make.Label(page, QString(), QRect(14, 52, 330, 16), "2、修改完所有数据后，请点下方的");
  QLabel* save = make.Label(page, QString(), QRect(34, 70, 200, 16), "“保存模式”。");
  save->setStyleSheet("color: rgb(200,0,0);");

  QGroupBox* modes = make.Group(page, QString(), QRect(8, 100, 334, 130), "修改设备模式");
  make.Label(modes, "CurrentModeLabel", QRect(12, 22, 220, 18), "（ 当前模式：3 ）");
  QStringList placeholders;
  for (int n = 1; n <= kModeCount; ++n) placeholders << QString::number(n) + "-";
  // The narrow face of the value texts: the last mode's number, "-" and a name of
  // kModeNameMaxLength characters fit the box whole.
  QComboBox* mode_box = make.DropDown(modes, "SysModeBox", QRect(12, 46, 150, 24), placeholders, 0);
  mode_box->setFont(ValueFont(mode_box->font()));
  make.Edit(modes, "PresetModeEdit", QRect(172, 46, 150, 24), QString())
      ->setMaxLength(kModeNameMaxLength);
  make.Button(modes, "RzBmpButton121", QRect(12, 86, 110, 28), "调用模式");
  // Storing a mode is allowed in administrator mode only; the note beside it says so while it
  // is locked.
  SetEnabledBecause(make.Button(modes, "RzBmpButton138", QRect(132, 86, 110, 28), "保存模式"),
                    false, kAdministratorReason);
  QLabel* note =
      make.Label(modes, "SysStoreNeedsAdminLabel", QRect(248, 86, 82, 28), "需管理员身份");
  note->setStyleSheet("color: rgb(200,0,0);");

  // The device identity, never shown; a fixed placeholder until the box reports one.
  QGroupBox* identity = make.Group(page, QString(), QRect(8, 240, 334, 40), QString());
  make.Label(identity, QString(), QRect(12, 12, 100, 16), "设备管理码：");
  make.Pane(identity, "DeviceIDLabel", QRect(116, 10, 100, 20), "00000000", QString());
  identity->hide();
}

void BuildAccessGroups(ControlFactory& make, QWidget* page) {
  constexpr int kX = 350;
  constexpr int kWidth = 330;
  QGroupBox* unlock = make.Group(page, QString(), QRect(kX, 8, kWidth, 112), "选择：用户/管理模式");
  make.Label(unlock, QString(), QRect(14, 27, 100, 16), "系统密码：");
  QLineEdit* password = make.Edit(unlock, "SysPassEdit", QRect(116, 24, 120, 22), QString());
  password->setMaxLength(kSystemPasswordLength);
  password->setEchoMode(QLineEdit::Password);
  password->setStyleSheet(kMaskedStyle);
  make.Button(unlock, "RzBmpButton118", QRect(246, 23, 70, 24), "确定");
  QGroupBox* choice = make.Group(unlock, "SysUserMangerGrop", QRect(10, 56, 310, 46), QString());
  auto* choice_group = new QButtonGroup(choice);
  make.Radio(choice, choice_group, "SysUserBtn", QRect(16, 13, 100, 20), "用户", "0", 0)
      ->setChecked(true);
  make.Radio(choice, choice_group, "SysManagerBtn", QRect(140, 13, 100, 20), "管理员", "1", 2316);
  // Shown once the system password unlocked the choice.
  QLabel* unlocked = make.Label(choice, "SysUnlockedLabel", QRect(244, 13, 60, 20), "已解锁");
  unlocked->setStyleSheet("color: rgb(0,128,0); font-weight: bold;");
  unlocked->hide();

  QGroupBox* change =
      make.Group(page, QString(), QRect(kX, 126, kWidth, 112), "选择：用户/管理模式");
  static constexpr PasswordField kSystemFields[] = {
      {"旧密码：", "SysPanelLabel1", true, true},
      {"新密码输入：", "NewSysPassLabel1", true, false},
      {"新密码确定：", "NewSysPassLabel2", true, false},
  };
  AddPasswordFields(make, change, kSystemFields, kSystemPasswordLength, 22);

  QGroupBox* lock = make.Group(page, QString(), QRect(kX, 244, kWidth, 176), "自动锁键");
  auto* lock_group = new QButtonGroup(lock);
  make.Radio(lock, lock_group, "SysPanelBtn1", QRect(16, 22, 100, 20), "禁用", "0", 0)
      ->setChecked(true);
  make.Radio(lock, lock_group, "SysPanelBtn2", QRect(140, 22, 100, 20), "开启", "1", 2317);
  make.Label(lock, QString(), QRect(14, 50, 300, 16), "自动键盘锁密码修改");
  static constexpr PasswordField kLockFields[] = {
      {"旧密码：", "PassPanelLabel1", false, true},
      {"新密码输入：", "NewPassLabel1", true, false},
      {"新密码确定：", "NewPassLabel2", true, false},
  };
  AddPasswordFields(make, lock, kLockFields, kKeylockPasswordLength, 72);
}

void BuildLibraryAndLimits(ControlFactory& make, QWidget* page) {
  constexpr int kX = 692;
  constexpr int kWidth = 408;
  QGroupBox* library = make.Group(page, QString(), QRect(kX, 8, kWidth, 250), "电脑存储模式");
  auto* grid = new QTableWidget(0, 2, library);
  make.Register(grid, "ValueListEditor1");
  grid->setGeometry(10, 22, kWidth - 20, 150);
  grid->setHorizontalHeaderLabels({"      序号", "                   （电脑）数据名称"});
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->verticalHeader()->hide();
  grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  grid->setColumnWidth(0, 100);
  grid->horizontalHeader()->setStretchLastSection(true);
  make.Label(library, QString(), QRect(10, 184, 100, 16), "备份文件名称：");
  make.Edit(library, "FileEdit", QRect(112, 181, kWidth - 122, 22), QString());
  make.Button(library, "RzBmpButton120", QRect(10, 212, 120, 28), "存储到电脑");
  make.Button(library, "RzBmpButton119", QRect(140, 212, 120, 28), "上传到设备");

  // Volume limits: per source a start volume (slider Hint "1") and a maximum (Hint "2").
  struct LimitRow {
    const char* caption;
    const char* slider;
    const char* role;
  };
  static constexpr LimitRow kLimits[] = {
      {"音乐起始音量：", "SysMusStartVolBar", "1"}, {"音乐最大音量：", "SysMusMaxVolBar", "2"},
      {"话筒起始音量：", "SysMicStartVolBar", "1"}, {"话筒最大音量：", "SysMicMaxVolBar", "2"},
      {"效果起始音量：", "SysEffStartVolBar", "1"}, {"效果最大音量：", "SysEffMaxVolBar", "2"},
  };
  QGroupBox* limits = make.Group(page, QString(), QRect(kX, 264, kWidth, 140), "修改设备模式");
  constexpr int kColumnWidth = 200;
  for (int i = 0; i < 6; ++i) {
    const ValueRow row = {kLimits[i].caption, kLimits[i].slider, "100", false, 50};
    const int x = (i % 2) * kColumnWidth;
    const int y = 22 + (i / 2) * 38;
    auto* cell = new QWidget(limits);
    cell->setGeometry(x + 2, y, kColumnWidth, 36);
    QWidget* slider = AddValueRow(make, cell, row, QString(), 0, kColumnWidth);
    SetHint(slider, QString::fromLatin1(kLimits[i].role));
  }
}

}  // namespace

void BuildSystemPage(ControlFactory& make, QWidget* page) {
  BuildNotesAndDeviceModes(make, page);
  BuildAccessGroups(make, page);
  BuildLibraryAndLimits(make, page);
}

}  // namespace kc

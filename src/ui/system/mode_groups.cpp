// The System page's mode groups: the modes stored on the box ("修改设备模式") and the mode files
// of the PC library ("电脑存储模式").
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTableWidget>

#include "model/parameter_ids.h"
#include "modes/mode_file.h"
#include "modes/mode_library.h"
#include "ui/editing/edit_session.h"
#include "ui/message_boxes.h"
#include "ui/pages/editor_pages.h"
#include "ui/system/system_page.h"

namespace kc {
namespace {

// The box takes a mode name as printable ASCII, each character as its code minus 32.
bool IsBoxModeName(const QString& name) {
  if (name.size() > kModeNameMaxLength) return false;
  for (QChar c : name) {
    if (c.unicode() < 0x20 || c.unicode() > 0x7E) return false;
  }
  return true;
}

}  // namespace

void SystemPage::ConnectDeviceModes() {
  EditorPages& pages = session_.pages();
  mode_box_ = pages.Find<QComboBox>(QStringLiteral("SysModeBox"));
  preset_edit_ = pages.Find<QLineEdit>(QStringLiteral("PresetModeEdit"));
  recall_button_ = pages.Find<QPushButton>(QStringLiteral("RzBmpButton121"));
  store_button_ = pages.Find<QPushButton>(QStringLiteral("RzBmpButton138"));
  if (mode_box_) {
    connect(mode_box_, &QComboBox::currentIndexChanged, this, [this] { SysModeBoxChange(); });
  }
  if (preset_edit_) {
    // Only what the box can hold can be typed: printable ASCII, at most 20 characters.
    preset_edit_->setMaxLength(kModeNameMaxLength);
    const QRegularExpression ascii(QStringLiteral("[\\x20-\\x7E]{0,%1}").arg(kModeNameMaxLength));
    preset_edit_->setValidator(new QRegularExpressionValidator(ascii, preset_edit_));
  }
  for (QPushButton* button : {recall_button_, store_button_}) {
    if (button == nullptr) continue;
    connect(button, &QPushButton::clicked, this, [this, button] { RzBmpButton121Click(button); });
  }
}

void SystemPage::SysModeBoxChange() {
  if (mode_box_ == nullptr || preset_edit_ == nullptr) return;
  const int selected = mode_box_->currentIndex();
  if (selected < 0) return;
  // Cut off "n-": one character wider from the tenth item on.
  preset_edit_->setText(mode_box_->itemText(selected).mid(selected + 1 < 10 ? 2 : 3));
}

void SystemPage::RzBmpButton121Click(QObject* sender) {
  if (sender == nullptr) return;
  if (sender == recall_button_) {
    Recall();
  } else if (sender == store_button_) {
    Store();
  }
}

void SystemPage::Recall() {
  if (mode_box_ == nullptr) return;
  const int selected = mode_box_->currentIndex();
  // The box holds kModeCount modes: no other number is recalled.
  if (selected < 0 || selected >= kModeCount) return;
  // A recall that cannot go out now is not recorded either: a later refresh would show the
  // unsent mode as the current one.
  if (!LinkAvailable()) return;
  if (!boxes_.YesNo(kHintCaption, QStringLiteral("模式切换为") + mode_box_->itemText(selected) +
                                      QStringLiteral("?"))) {
    return;
  }
  // The link sends the recall, then reloads the mode and repaints the pages.
  session_.link().SendParam(kRecallModeParameter, selected);
}

bool SystemPage::LinkAvailable() {
  if (session_.link().ready()) return true;
  boxes_.Information(kHintCaption, session_.link().busy() ? kBusyText : kNotConnectedText);
  return false;
}

void SystemPage::Store() {
  if (mode_box_ == nullptr || preset_edit_ == nullptr) return;
  if (session_.store().Working(kAccessLevelId) != 1) {
    boxes_.Information(kHintCaption, kStoreInUserModeText);
    return;
  }
  const int selected = mode_box_->currentIndex();
  if (selected < 0 || selected >= kModeCount) return;
  const QString name = preset_edit_->text();
  if (!IsBoxModeName(name)) {
    boxes_.Information(kHintCaption, kModeNameAsciiText);
    return;
  }
  // A store starts an exchange that only a connected, idle link can complete.
  if (!LinkAvailable()) return;
  if (!boxes_.YesNo(kHintCaption, QStringLiteral("保存当前模式为 ") +
                                      QString::number(selected + 1) + QStringLiteral("-") + name +
                                      QStringLiteral("?"))) {
    return;
  }
  // The link takes the name into its mode names, sends the store-mode command and completes
  // with "保存成功!" and the list rebuilt when the box acknowledges.
  session_.link().StoreMode(selected, name.toStdString());
}

void SystemPage::ModeNamesChanged() {
  if (mode_box_ == nullptr) return;
  const int selected = mode_box_->currentIndex();
  const QSignalBlocker quiet(mode_box_);
  mode_box_->clear();
  for (int n = 1; n <= kModeCount; ++n) {
    mode_box_->addItem(QString::number(n) + QLatin1Char('-') +
                       QString::fromStdString(session_.link().mode_name(n)));
  }
  mode_box_->setCurrentIndex(selected < kModeCount ? selected : -1);
}

void SystemPage::ConnectLibrary() {
  EditorPages& pages = session_.pages();
  grid_ = pages.Find<QTableWidget>(QStringLiteral("ValueListEditor1"));
  file_edit_ = pages.Find<QLineEdit>(QStringLiteral("FileEdit"));
  working_copy_ = pages.Find<QPlainTextEdit>(QStringLiteral("Memo1"));
  if (grid_) {
    grid_->installEventFilter(this);
    connect(grid_, &QTableWidget::cellClicked, this,
            [this](int row, int) { ValueListEditor1Click(row); });
    // A row reached with the keyboard also names the file.
    connect(grid_, &QTableWidget::currentCellChanged, this, [this](int row) {
      if (!filling_grid_ && file_edit_ && row >= 0) file_edit_->setText(GridName(row));
    });
  }
  if (auto* store = pages.Find<QPushButton>(QStringLiteral("RzBmpButton120"))) {
    connect(store, &QPushButton::clicked, this, [this] { RzBmpButton120Click(); });
  }
  if (auto* send = pages.Find<QPushButton>(QStringLiteral("RzBmpButton119"))) {
    connect(send, &QPushButton::clicked, this, [this] { RzBmpButton119Click(); });
  }
}

bool SystemPage::GridKey(QKeyEvent* key) {
  if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return false;
  return !key->text().isEmpty();  // characters are swallowed; arrows and paging move the row
}

QString SystemPage::GridName(int row) const {
  const QTableWidgetItem* item = grid_ ? grid_->item(row, 1) : nullptr;
  return item ? item->text() : QString();
}

void SystemPage::ListModeLibrary() {
  if (grid_ == nullptr) return;
  const int previous = grid_->currentRow();
  std::vector<LibraryEntry> entries;
  if (files_ != nullptr) entries = kc::ListModeLibrary(files_->library());

  filling_grid_ = true;
  grid_->setRowCount(0);
  library_names_.clear();
  grid_->setRowCount(static_cast<int>(entries.size()));
  for (int row = 0; row < static_cast<int>(entries.size()); ++row) {
    const QString name = QString::fromStdString(entries[static_cast<std::size_t>(row)].name);
    auto* key = new QTableWidgetItem(QString::number(row));
    auto* value = new QTableWidgetItem(name);
    for (QTableWidgetItem* item : {key, value}) {
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    grid_->setItem(row, 0, key);
    grid_->setItem(row, 1, value);
    library_names_.push_back(name);
  }
  const int rows = grid_->rowCount();
  const int current = previous >= 0 && previous < rows ? previous : (rows > 0 ? 0 : -1);
  if (current >= 0) grid_->setCurrentCell(current, 1);
  filling_grid_ = false;
  if (file_edit_) file_edit_->setText(current >= 0 ? GridName(current) : QString());
}

void SystemPage::ValueListEditor1Click(int row) {
  if (grid_ == nullptr || file_edit_ == nullptr || row < 0 || row >= grid_->rowCount()) return;
  file_edit_->setText(GridName(row));
  file_edit_->setFocus();
}

void SystemPage::RzBmpButton120Click() {
  if (file_edit_ == nullptr) return;
  if (files_ == nullptr) {
    boxes_.Information(kHintCaption, kNoLibraryText);
    return;
  }
  const std::string name = file_edit_->text().toStdString();
  // Ask whenever the file is there, as the file system sees it: on a file system that ignores
  // letter case "rock" would replace "Rock.Nddt". A name that is no plain file name is left to
  // the save, which refuses it with its own message.
  if (IsValidModeName(name) && TargetExists(files_->PathOf(name)) &&
      !boxes_.OkCancel(kOverwriteCaption, kOverwriteText)) {
    return;
  }
  const ModeStatus status = files_->SaveModeFile(name);
  ShowWorkingCopy();
  if (status == ModeStatus::kOk) ListModeLibrary();
}

void SystemPage::RzBmpButton119Click() {
  if (file_edit_ == nullptr) return;
  if (files_ == nullptr) {
    boxes_.Information(kHintCaption, kNoLibraryText);
    return;
  }
  const QString name = file_edit_->text();
  if (!boxes_.YesNo(kSendFileCaption, QStringLiteral("加载模式：") + name + QStringLiteral("?"))) {
    return;
  }
  // Checks the file and, when the link is Ready, has it upload the mode and repaint the pages.
  files_->LoadModeFile(name.toStdString());
  ShowWorkingCopy();
}

void SystemPage::ShowWorkingCopy() {
  if (working_copy_ == nullptr || files_ == nullptr) return;
  QStringList lines;
  for (const std::string& line : files_->working_copy()) lines << QString::fromStdString(line);
  working_copy_->setPlainText(lines.join(QLatin1Char('\n')));
}

}  // namespace kc

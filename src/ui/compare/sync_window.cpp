#include "ui/compare/sync_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "model/mode_compare.h"
#include "model/mode_view.h"
#include "ui/compare/compare_window.h"

namespace kc {
namespace {

enum Column { kPage, kCaption, kEditor, kBox, kColumns = kDifferenceColumns };
constexpr QSize kPreferredSize(720, 420);

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::vector<SyncRow> SyncRows(const ParameterStore& editor, const ParameterStore& box,
                              const QWidget* pages_root) {
  std::vector<SyncRow> rows;
  // Slots no control shows are not listed: they keep the box's values.
  for (const ViewRow* differing : CompareModes(editor, box, true, 0).rows) {
    const ViewRow& row = *differing;
    const ParameterNames names = NamesOfRow(row, pages_root);
    rows.push_back({row.row, row.slot, names.page, names.caption, Text(row.info->name),
                    Text(RowText(row, editor)), Text(RowText(row, box))});
  }
  return rows;
}

SyncWindow::SyncWindow(QWidget* editor)
    : QDialog(editor),
      text_(new QLabel(this)),
      all_(new QCheckBox(QStringLiteral("全选"), this)),
      list_(new QTableWidget(0, kColumns, this)),
      send_(new QPushButton(this)),
      keep_(new QPushButton(QStringLiteral("保留设备设置"), this)) {
  setObjectName(QStringLiteral("SyncWindow"));
  setWindowTitle(QStringLiteral("提示"));
  // Modal to the editor without a loop of its own: open, never exec.
  setWindowModality(Qt::WindowModal);
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(kPreferredSize);
  text_->setObjectName(QStringLiteral("SyncText"));
  text_->setWordWrap(true);
  all_->setObjectName(QStringLiteral("SyncAllBox"));
  all_->setToolTip(QStringLiteral("全部选中或全部不选（Ctrl+A）"));
  list_->setObjectName(QStringLiteral("SyncList"));
  SetUpDifferenceList(list_, QStringLiteral("设备"));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->installEventFilter(this);
  send_->setObjectName(QStringLiteral("SyncSendBtn"));
  keep_->setObjectName(QStringLiteral("SyncKeepBtn"));
  send_->setToolTip(QStringLiteral("把选中的项发送到设备；未选中的项在编辑器中换成设备中的值"));
  keep_->setToolTip(QStringLiteral("编辑器中的修改全部放弃，保留设备中的设置"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(all_);
  layout->addWidget(list_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(send_);
  buttons->addWidget(keep_);
  layout->addLayout(buttons);

  // A click on the header's first column toggles all, as the checkbox above it does.
  connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
    if (section == kPage) SetAll(CheckedCount() < static_cast<int>(rows_.size()));
  });
  connect(all_, &QCheckBox::clicked, this,
          [this] { SetAll(CheckedCount() < static_cast<int>(rows_.size())); });
  connect(list_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (item->column() == kPage) CountChanged();
  });
  connect(send_, &QPushButton::clicked, this, [this] { Answer(true); });
  connect(keep_, &QPushButton::clicked, this, [this] { Answer(false); });
}

void SyncWindow::Offer(std::vector<SyncRow> rows, bool same_box, const QString& box_id) {
  rows_ = std::move(rows);
  answered_ = false;
  const int count = static_cast<int>(rows_.size());
  text_->setText(
      same_box
          ? QStringLiteral("编辑器中有 %1 项修改设备 %2 中还没有。\n"
                           "勾选的项发送到设备；未勾选的项保留设备中的设置。")
                .arg(count)
                .arg(box_id)
          : QStringLiteral("编辑器中有 %1 项修改，是为另一台设备所做的；现在连接的是设备 "
                           "%2。\n只有勾选的项发送到这台设备；未勾选的项保留这台设备中的设置。")
                .arg(count)
                .arg(box_id));
  const QSignalBlocker quiet(list_);
  list_->setUpdatesEnabled(false);
  list_->clearContents();
  list_->setRowCount(count);
  const Qt::CheckState initial = same_box ? Qt::Checked : Qt::Unchecked;
  for (int at = 0; at < count; ++at) {
    const SyncRow& row = rows_[at];
    const QString cells[kColumns] = {row.page, row.caption, row.editor, row.box};
    for (int column = 0; column < kColumns; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (column == kPage) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(initial);
      }
      list_->setItem(at, column, item);
    }
  }
  list_->resizeColumnsToContents();
  list_->setUpdatesEnabled(true);
  if (count > 0) list_->setCurrentCell(0, kPage);
  CountChanged();
  PlaceOverEditor();
  open();
  raise();
  list_->setFocus();
}

std::vector<std::pair<int, int>> SyncWindow::Checked() const {
  std::vector<std::pair<int, int>> cells;
  for (int at = 0; at < static_cast<int>(rows_.size()); ++at) {
    const QTableWidgetItem* item = list_->item(at, kPage);
    if (item != nullptr && item->checkState() == Qt::Checked) {
      cells.emplace_back(rows_[at].block, rows_[at].slot);
    }
  }
  return cells;
}

int SyncWindow::CheckedCount() const { return static_cast<int>(Checked().size()); }

void SyncWindow::SetAll(bool checked) {
  {
    const QSignalBlocker quiet(list_);
    for (int at = 0; at < list_->rowCount(); ++at) {
      if (QTableWidgetItem* item = list_->item(at, kPage)) {
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
      }
    }
  }
  list_->viewport()->update();
  CountChanged();
}

void SyncWindow::Toggle(int row) {
  QTableWidgetItem* item = list_->item(row, kPage);
  if (item == nullptr) return;
  item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void SyncWindow::CountChanged() {
  const int checked = CheckedCount();
  const int count = static_cast<int>(rows_.size());
  send_->setText(QStringLiteral("发送选中项（%1）").arg(checked));
  send_->setEnabled(checked > 0);
  const QSignalBlocker quiet(all_);
  all_->setCheckState(checked == 0       ? Qt::Unchecked
                      : checked == count ? Qt::Checked
                                         : Qt::PartiallyChecked);
}

bool SyncWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
      if (list_->currentRow() >= 0) Toggle(list_->currentRow());
      return true;
    }
    if (key->matches(QKeySequence::SelectAll)) {
      SetAll(CheckedCount() < static_cast<int>(rows_.size()));
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void SyncWindow::Answer(bool send) {
  if (answered_) return;
  answered_ = true;
  std::vector<std::pair<int, int>> cells = send ? Checked() : std::vector<std::pair<int, int>>{};
  hide();
  emit Answered(std::move(cells));
}

void SyncWindow::closeEvent(QCloseEvent* event) {
  // Closing the window keeps the box's settings.
  Answer(false);
  QDialog::closeEvent(event);
}

void SyncWindow::reject() {
  Answer(false);
  QDialog::reject();
}

void SyncWindow::PlaceOverEditor() {
  const QWidget* editor = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
  QScreen* on = editor != nullptr ? editor->screen() : screen();
  if (on == nullptr) return;
  const QRect screen = on->availableGeometry();
  // Room for a window manager's frame, which is known only once shown.
  const QSize frame(8, 30);
  const QSize size = kPreferredSize.boundedTo(screen.size() - frame);
  resize(size);
  const QRect over = editor != nullptr && editor->isVisible() ? editor->frameGeometry() : screen;
  QPoint at = over.center() - QPoint(size.width() / 2, size.height() / 2);
  at.setX(std::clamp(at.x(), screen.left(), screen.right() + 1 - size.width() - frame.width()));
  at.setY(std::clamp(at.y(), screen.top(), screen.bottom() + 1 - size.height() - frame.height()));
  move(at);
}

}  // namespace kc

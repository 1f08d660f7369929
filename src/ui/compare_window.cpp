#include "ui/compare_window.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <fstream>
#include <sstream>

#include "model/mode_view.h"
#include "modes/mode_file.h"
#include "ui/edit_session.h"
#include "ui/editor_pages.h"
#include "ui/message_boxes.h"

namespace kc {
namespace {

const QColor kMarkColour(230, 40, 40);

QString Text(const std::string& text) { return QString::fromStdString(text); }

// True when the editor shows this row of the image through its control right now: the row's
// cell is the one the control writes under the Sing/Disco set and microphone group in force.
bool ShownNow(const ViewRow& row, const ParameterStore& store) {
  const int id = MakeId(row.info->block, row.info->index);
  return store.DeviceRowOf(id) == row.row &&
         DeviceSlot(row.info->block, row.info->index, store.disco()) == row.slot;
}

// The page of a row as the tab strip names it; the Disco set is marked as the scene strip
// names it.
QString PageCaption(const ViewRow& row) {
  static const char* const kTabs[] = {"音乐", "麦克风A", "效果",     "主输出",
                                      "中置", "超低音",  "后置输出", "系统设定"};
  const int page = row.info->page;
  QString caption = page >= 0 && page < 8 ? QString::fromUtf8(kTabs[page]) : QString();
  if (row.row == 2) caption = QStringLiteral("麦克风B");
  const int block = row.info->block;
  const int index = row.info->index;
  if (DeviceSlot(block, index, 1) == row.slot && DeviceSlot(block, index, 0) != row.slot) {
    caption += QStringLiteral("（舞蹈）");
  }
  return caption;
}

}  // namespace

DifferenceMarks::DifferenceMarks(QWidget* pages) : QWidget(pages) {
  setObjectName(QStringLiteral("DifferenceMarks"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setGeometry(pages->rect());
  hide();
}

void DifferenceMarks::SetMarked(std::vector<QWidget*> controls) {
  marked_ = std::move(controls);
  setGeometry(parentWidget()->rect());
  setVisible(!marked_.empty());
  raise();
  update();
}

void DifferenceMarks::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(QPen(kMarkColour, 2));
  for (QWidget* control : marked_) {
    if (control == nullptr || !control->isVisibleTo(parentWidget())) continue;
    const QPoint top_left = control->mapTo(parentWidget(), QPoint(0, 0));
    painter.drawRect(QRect(top_left, control->size()).adjusted(-1, -1, 0, 0));
  }
}

CompareWindow::CompareWindow(EditSession& session, MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint),
      session_(session),
      boxes_(boxes),
      table_(new QTableWidget(0, 4, this)),
      marks_(new DifferenceMarks(&session.pages())) {
  setObjectName(QStringLiteral("CompareWindow"));
  setWindowTitle(QStringLiteral("与模式文件比较"));
  resize(620, 360);
  table_->setObjectName(QStringLiteral("CompareTable"));
  table_->setHorizontalHeaderLabels({QStringLiteral("页面"), QStringLiteral("参数"),
                                     QStringLiteral("编辑器"), QStringLiteral("文件")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  auto* caption = new QLabel(this);
  caption->setObjectName(QStringLiteral("CompareCaption"));
  layout->addWidget(caption);
  layout->addWidget(table_);
  // The marks follow the page on show.
  connect(&session.pages(), &EditorPages::TabClicked, marks_, [this] {
    marks_->raise();
    marks_->update();
  });
}

CompareWindow::~CompareWindow() = default;

bool CompareWindow::CompareWith(const std::filesystem::path& path, const QString& name) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  ModeCheck check;
  check.status = ModeStatus::kFileMissing;
  if (in) check = CheckModeText(text.str());
  if (check.status != ModeStatus::kOk) {
    boxes_.Information(kHintCaption, Text(std::string(ModeStatusChinese(check.status))));
    return false;
  }
  const ParameterStore& editor = session_.store();
  ParameterStore file;
  for (int row = 0; row < kBlockCount; ++row) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      file.SetDevice(row, slot, editor.Device(row, slot));
    }
  }
  for (const ModeEntry& entry : check.entries) file.SetDevice(entry.block, entry.slot, entry.value);

  table_->setRowCount(0);
  std::vector<QWidget*> marked;
  for (const ViewRow& row : ViewRows(false)) {
    if (RowValue(row, editor) == RowValue(row, file)) continue;
    const int at = table_->rowCount();
    table_->insertRow(at);
    const QString cells[] = {PageCaption(row), Text(row.info->label + " (" + row.info->name + ")"),
                             Text(RowText(row, editor)), Text(RowText(row, file))};
    for (int column = 0; column < 4; ++column) {
      table_->setItem(at, column, new QTableWidgetItem(cells[column]));
    }
    if (ShownNow(row, editor)) {
      if (QWidget* control = session_.pages().FindControl(Text(row.info->name))) {
        marked.push_back(control);
      }
    }
  }
  table_->resizeColumnsToContents();
  if (auto* caption = findChild<QLabel*>(QStringLiteral("CompareCaption"))) {
    caption->setText(
        table_->rowCount() == 0
            ? QStringLiteral("与模式文件“%1”相同").arg(name)
            : QStringLiteral("与模式文件“%1”不同的参数：%2").arg(name).arg(table_->rowCount()));
  }
  marks_->SetMarked(std::move(marked));
  show();
  raise();
  return true;
}

void CompareWindow::EndComparison() {
  marks_->SetMarked({});
  hide();
}

void CompareWindow::closeEvent(QCloseEvent* event) {
  marks_->SetMarked({});
  QWidget::closeEvent(event);
}

void CompareWindow::hideEvent(QHideEvent* event) {
  marks_->SetMarked({});
  QWidget::hideEvent(event);
}

}  // namespace kc

#include "ui/compare/compare_window.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTableWidget>
#include <QVBoxLayout>

#include "model/mode_compare.h"
#include "model/mode_view.h"
#include "modes/mode_file.h"
#include "ui/editing/edit_history.h"
#include "ui/editing/edit_session.h"
#include "ui/message_boxes.h"
#include "ui/pages/control_factory.h"
#include "ui/pages/editor_pages.h"

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

// Captions of the four rows of an EQ group, by band field (type, frequency, gain, PEQ Q and
// shelf Q, which share the Q box).
constexpr const char* kBandFieldCaptions[5] = {"类型", "频率", "增益", "Q值", "Q值（LS/HS）"};

constexpr int kColumns = kDifferenceColumns;
constexpr int kGap = 8;
// Narrowest the list is made to stand beside the editor rather than over it.
constexpr int kMinimumWidth = 360;
constexpr QSize kPreferredSize(620, 360);

QString WithoutColon(QString text) {
  text = text.trimmed();
  while (text.endsWith(QChar(0xFF1A)) || text.endsWith(QLatin1Char(':'))) text.chop(1);
  return text.trimmed();
}

// A row caption on the pages ends in a colon ("回声效果音量：", "左：").
bool IsRowCaption(const QLabel* label) {
  const QString text = label->text().trimmed();
  return label->objectName().isEmpty() && !text.isEmpty() &&
         (text.endsWith(QChar(0xFF1A)) || text.endsWith(QLatin1Char(':')));
}

// The row caption of a control: the nearest caption label of its own group that lies above it
// (overlapping its columns) or to its left (overlapping its rows).
QString RowCaptionOf(const QWidget* control) {
  const QWidget* group = control->parentWidget();
  if (group == nullptr) return {};
  const QRect place = control->geometry();
  QString best;
  int best_distance = 1 << 30;
  for (const QLabel* label : group->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
    if (!IsRowCaption(label)) continue;
    const QRect r = label->geometry();
    int distance = -1;
    if (r.bottom() <= place.top() + 2 && r.left() <= place.right() && r.right() >= place.left()) {
      distance = place.top() - r.bottom();
    } else if (r.right() <= place.left() + 2 && r.top() <= place.bottom() &&
               r.bottom() >= place.top()) {
      distance = place.left() - r.right();
    }
    if (distance >= 0 && distance < best_distance) {
      best_distance = distance;
      best = WithoutColon(label->text());
    }
  }
  return best;
}

// A caption under the control ("音乐" under a volume slider), named with its group's title.
QString CaptionBelow(const QWidget* control) {
  const QWidget* group = control->parentWidget();
  if (group == nullptr) return {};
  const QRect place = control->geometry();
  for (const QLabel* label : group->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
    const QRect r = label->geometry();
    if (!label->objectName().isEmpty() || label->text().trimmed().isEmpty()) continue;
    if (r.top() >= place.bottom() && r.top() - place.bottom() <= 24 && r.left() <= place.right() &&
        r.right() >= place.left()) {
      const auto* box = qobject_cast<const QGroupBox*>(group);
      const QString title = box != nullptr ? WithoutColon(box->title()) : QString();
      return title.isEmpty() ? label->text().trimmed()
                             : title + QLatin1Char(' ') + label->text().trimmed();
    }
  }
  return {};
}

}  // namespace

QRect PlaceBeside(const QRect& anchor, const QSize& size, int min_width, const QRect& screen,
                  int gap) {
  const int height = std::min(size.height(), screen.height());
  // Level with the anchor's top, moved up or down as far as the screen needs.
  const int level = std::clamp(anchor.top(), screen.top(), screen.bottom() + 1 - height);
  const int right_room = screen.right() - anchor.right() - gap;
  const int left_room = anchor.left() - gap - screen.left();
  if (right_room >= size.width() || (right_room >= left_room && right_room >= min_width)) {
    return {anchor.right() + 1 + gap, level, std::min(size.width(), right_room), height};
  }
  if (left_room >= min_width) {
    const int width = std::min(size.width(), left_room);
    return {anchor.left() - gap - width, level, width, height};
  }
  const int width = std::min(size.width(), screen.width());
  const int left = std::clamp(anchor.left(), screen.left(), screen.right() + 1 - width);
  if (screen.bottom() - anchor.bottom() - gap >= height) {
    return {left, anchor.bottom() + 1 + gap, width, height};
  }
  if (anchor.top() - gap - screen.top() >= height) {
    return {left, anchor.top() - gap - height, width, height};
  }
  // No room anywhere: over the editor's right part, whole on the screen.
  return {screen.right() + 1 - width, level, width, height};
}

QString ParameterCaption(const QString& control_name, const QWidget* pages_root, int band,
                         int field, const QString& fallback) {
  if (band >= 0 && field >= 0 && field < 5) {
    return QStringLiteral("EQ %1 %2")
        .arg(band + 1)
        .arg(QString::fromUtf8(kBandFieldCaptions[field]));
  }
  const QWidget* control =
      pages_root != nullptr ? pages_root->findChild<QWidget*>(control_name) : nullptr;
  if (control == nullptr) return fallback;
  const QString row = RowCaptionOf(control);
  if (qobject_cast<const SignButton*>(control) != nullptr) {
    return row.isEmpty() ? fallback : row + QStringLiteral(" 相位");
  }
  if (auto* button = qobject_cast<const QPushButton*>(control)) {
    // Two-state buttons name themselves ("EQ 旁通", "静音"), after their row's caption if any;
    // an exclusive pair by both its captions ("手动/自动").
    const QString text = button->text().trimmed();
    if (!row.isEmpty()) return text.isEmpty() ? row : row + QLatin1Char(' ') + text;
    if (const QButtonGroup* pair = button->group()) {
      QStringList captions;
      for (const QAbstractButton* member : pair->buttons()) captions << member->text().trimmed();
      return captions.join(QLatin1Char('/'));
    }
    if (!text.isEmpty()) return text;
  }
  if (!row.isEmpty()) return row;
  if (qobject_cast<const QSlider*>(control) != nullptr) {
    const QString below = CaptionBelow(control);
    if (!below.isEmpty()) return below;
  }
  // Radio buttons and lists inside a group: the group's title, or the caption of an untitled
  // frame's row (the frame of the music input gain list).
  const bool radio = qobject_cast<const QRadioButton*>(control) != nullptr;
  for (const QWidget* up = control->parentWidget(); up != nullptr && up != pages_root;
       up = up->parentWidget()) {
    const auto* box = qobject_cast<const QGroupBox*>(up);
    if (box == nullptr) continue;
    if (!WithoutColon(box->title()).isEmpty()) return WithoutColon(box->title());
    if (radio) continue;
    const QString caption = RowCaptionOf(box);
    if (!caption.isEmpty()) return caption;
  }
  return fallback;
}

ParameterNames NamesOfRow(const ViewRow& row, const QWidget* pages_root) {
  const QString name = Text(row.info->name);
  const auto* pages = qobject_cast<const EditorPages*>(pages_root);
  if (pages == nullptr && pages_root != nullptr) pages = pages_root->findChild<EditorPages*>();
  const QWidget* control = pages != nullptr ? pages->FindControl(name) : nullptr;
  const int page = control != nullptr ? pages->PageShowing(control) : -1;
  const QString tab =
      page < 0 || page == row.info->page ? Text(row.tab) : Text(std::string(TabCaption(page)));
  return {tab, ParameterCaption(name, pages_root, row.info->band, row.info->field,
                                Text(row.info->label))};
}

void SetUpDifferenceList(QTableWidget* list, const QString& other) {
  list->setHorizontalHeaderLabels(
      {QStringLiteral("页面"), QStringLiteral("参数"), QStringLiteral("编辑器"), other});
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->verticalHeader()->hide();
  list->horizontalHeader()->setStretchLastSection(true);
}

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
      table_(new QTableWidget(0, kColumns, this)),
      apply_(new QPushButton(QStringLiteral("应用选中项"), this)),
      marks_(new DifferenceMarks(&session.pages())) {
  setObjectName(QStringLiteral("CompareWindow"));
  setWindowTitle(QStringLiteral("与模式文件比较"));
  resize(kPreferredSize);
  table_->setObjectName(QStringLiteral("CompareTable"));
  SetUpDifferenceList(table_, QStringLiteral("文件"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  auto* caption = new QLabel(this);
  caption->setObjectName(QStringLiteral("CompareCaption"));
  layout->addWidget(caption);
  layout->addWidget(table_);
  apply_->setObjectName(QStringLiteral("CompareApplyBtn"));
  apply_->setToolTip(
      QStringLiteral("把勾选行的文件值放进编辑器（已连接时同时发送到设备），可撤销"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(apply_);
  layout->addLayout(buttons);
  connect(apply_, &QPushButton::clicked, this, [this] { ApplyChecked(); });
  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (item->column() == 0) UpdateApply();
  });
  UpdateApply();
  // The marks follow the page on show.
  connect(&session.pages(), &EditorPages::TabClicked, marks_, [this] {
    marks_->raise();
    marks_->update();
  });
}

CompareWindow::~CompareWindow() = default;

bool CompareWindow::CompareWith(const std::filesystem::path& path, const QString& name) {
  const ModeFileCheck check = ReadModeFile(path);
  if (!check.ok()) {
    boxes_.Information(kHintCaption, Text(std::string(ModeStatusChinese(check.status()))));
    return false;
  }
  const ParameterStore& editor = session_.store();
  ParameterStore& file = file_;
  for (int row = 0; row < kBlockCount; ++row) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      file.SetDevice(row, slot, editor.Device(row, slot));
    }
  }
  ApplyModeEntries(check.entries, file);

  const QSignalBlocker quiet(table_);
  table_->setRowCount(0);
  rows_.clear();
  path_ = path;
  std::vector<QWidget*> marked;
  // The controls' rows only: a slot no control shows has no place on the pages.
  for (const ViewRow* differing : CompareModes(editor, file, false).rows) {
    const ViewRow& row = *differing;
    const int at = table_->rowCount();
    table_->insertRow(at);
    const ParameterNames names = NamesOfRow(row, &session_.pages());
    const QString cells[kColumns] = {names.page, names.caption, Text(RowText(row, editor)),
                                     Text(RowText(row, file))};
    for (int column = 0; column < kColumns; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (column == 0) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
      }
      table_->setItem(at, column, item);
    }
    rows_.push_back(differing);
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
  UpdateApply();
  file_name_ = name;
  shown_ = true;
  PlaceBesideParent();
  show();
  raise();
  emit FileShown();
  return true;
}

void CompareWindow::PlaceBesideParent() {
  const QWidget* editor = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
  QScreen* on = editor != nullptr ? editor->screen() : screen();
  if (on == nullptr) return;
  // A window manager adds a frame the size of which is known only once shown; room for it.
  const QSize frame = isVisible() ? frameGeometry().size() - geometry().size() : QSize(8, 30);
  const QSize outer = kPreferredSize + frame;
  const QRect anchor = editor != nullptr && editor->isVisible()
                           ? editor->frameGeometry()
                           : QRect(on->availableGeometry().topLeft(), QSize(0, 0));
  const QRect place = PlaceBeside(anchor, outer, kMinimumWidth, on->availableGeometry(), kGap);
  resize(place.size() - frame);
  move(place.topLeft());
}

void CompareWindow::UpdateApply() {
  int checked = 0;
  for (int at = 0; at < table_->rowCount(); ++at) {
    const QTableWidgetItem* item = table_->item(at, 0);
    if (item != nullptr && item->checkState() == Qt::Checked) ++checked;
  }
  apply_->setEnabled(history_ != nullptr && checked > 0);
  apply_->setText(checked > 0 ? QStringLiteral("应用选中项（%1）").arg(checked)
                              : QStringLiteral("应用选中项"));
}

int CompareWindow::ApplyChecked() {
  if (history_ == nullptr || !shown_) return 0;
  const ParameterStore& editor = session_.store();
  std::vector<ChangedCell> cells;
  for (int at = 0; at < table_->rowCount() && at < static_cast<int>(rows_.size()); ++at) {
    const QTableWidgetItem* item = table_->item(at, 0);
    if (item == nullptr || item->checkState() != Qt::Checked) continue;
    const ViewRow& row = *rows_[at];
    const int32_t before = editor.Device(row.row, row.slot);
    const int32_t after = file_.Device(row.row, row.slot);
    if (before != after) cells.push_back({row.row, row.slot, before, after});
    // A Q row that differs by its band's type comes with the type.
    if (row.type_slot >= 0) {
      const int32_t type_before = editor.Device(row.row, row.type_slot);
      const int32_t type_after = file_.Device(row.row, row.type_slot);
      const bool listed = std::any_of(cells.begin(), cells.end(), [&](const ChangedCell& c) {
        return c.row == row.row && c.slot == row.type_slot;
      });
      if (type_before != type_after && !listed) {
        cells.push_back({row.row, row.type_slot, type_before, type_after});
      }
    }
  }
  const int applied = static_cast<int>(cells.size());
  if (applied == 0) return 0;
  history_->ApplyStep(std::move(cells), editor.disco());
  // The list shows what still differs.
  const std::filesystem::path path = path_;
  const QString name = file_name_;
  CompareWith(path, name);
  return applied;
}

void CompareWindow::EndComparison() {
  Ended();
  hide();
}

void CompareWindow::Ended() {
  marks_->SetMarked({});
  if (!shown_) return;
  shown_ = false;
  emit ComparisonEnded();
}

void CompareWindow::closeEvent(QCloseEvent* event) {
  Ended();
  QWidget::closeEvent(event);
}

void CompareWindow::hideEvent(QHideEvent* event) {
  Ended();
  QWidget::hideEvent(event);
}

}  // namespace kc

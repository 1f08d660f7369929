#include "app/venue_window.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>

namespace kc {
namespace {

enum Column { kName, kPort, kState, kIdentity, kColumns };

// The colour of the editor's own room.
const QColor kCurrentColour(187, 222, 251);

}  // namespace

QString RoomStateWords(RoomState state) {
  switch (state) {
    case RoomState::kOk:
      return QStringLiteral("已连接");
    case RoomState::kNoAnswer:
      return QStringLiteral("无应答");
    case RoomState::kRefused:
      return QStringLiteral("拒绝连接");
    case RoomState::kBusy:
      return QStringLiteral("被占用");
    case RoomState::kUnreachable:
      return QStringLiteral("不可达");
    case RoomState::kAnotherBox:
      return QStringLiteral("设备不符");
  }
  return QStringLiteral("无应答");
}

QColor RoomStateColour(RoomState state) {
  switch (state) {
    case RoomState::kOk:
      return QColor(200, 230, 201);  // green
    case RoomState::kNoAnswer:
      return QColor(255, 224, 178);  // orange
    case RoomState::kRefused:
      return QColor(255, 205, 210);  // red
    case RoomState::kBusy:
      return QColor(255, 245, 157);  // yellow
    case RoomState::kUnreachable:
      return QColor(224, 224, 224);  // grey
    case RoomState::kAnotherBox:
      return QColor(225, 190, 231);  // purple
  }
  return QColor(224, 224, 224);
}

VenueWindow::VenueWindow(Venue venue, std::string source, Hooks hooks, QWidget* parent)
    // A dialog-type window with the usual buttons: on X11 only dialogs and tool windows are
    // made transient for their parent, so that raising the maximised main window (a click on
    // it, or the message of a room that could not be opened) leaves the venue above it.
    : QWidget(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      venue_(std::move(venue)),
      source_(std::move(source)),
      hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("VenueWindow"));
  setAttribute(Qt::WA_QuitOnClose, false);
  const QString name = venue_.name.empty() ? QFileInfo(QString::fromStdString(source_)).fileName()
                                           : QString::fromStdString(venue_.name);
  setWindowTitle(QStringLiteral("场所：%1").arg(name));

  list_ = new QTableWidget(static_cast<int>(venue_.rooms.size()), kColumns, this);
  list_->setObjectName(QStringLiteral("VenueList"));
  list_->setHorizontalHeaderLabels({QStringLiteral("房间"), QStringLiteral("端口"),
                                    QStringLiteral("状态"), QStringLiteral("设备识别码")});
  list_->verticalHeader()->setVisible(false);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->horizontalHeader()->setSectionResizeMode(kPort, QHeaderView::Stretch);
  for (int row = 0; row < list_->rowCount(); ++row) {
    const VenueRoom& room = venue_.rooms[static_cast<std::size_t>(row)];
    list_->setItem(row, kName, new QTableWidgetItem(QString::fromStdString(room.name)));
    list_->setItem(row, kPort, new QTableWidgetItem(QString::fromStdString(room.port)));
    list_->setItem(row, kState, new QTableWidgetItem(QStringLiteral("...")));
    list_->setItem(row, kIdentity, new QTableWidgetItem(QString::fromStdString(room.identity)));
  }
  list_->resizeColumnsToContents();
  list_->horizontalHeader()->setSectionResizeMode(kPort, QHeaderView::Stretch);
  // The state and identity columns hold their widest texts from the start, not "...".
  const QFontMetrics metrics(list_->font());
  list_->setColumnWidth(kState, metrics.horizontalAdvance(QStringLiteral("正在查找设备...")) + 24);
  list_->setColumnWidth(kIdentity, metrics.horizontalAdvance(QStringLiteral("设备识别码 ")) + 24);
  list_->setColumnWidth(kName, std::max(list_->columnWidth(kName),
                                        metrics.horizontalAdvance(QStringLiteral("房间名称名称"))));
  if (list_->rowCount() > 0) list_->selectRow(0);

  open_ = new QPushButton(QStringLiteral("打开"), this);
  open_->setObjectName(QStringLiteral("VenueOpenBtn"));
  auto* hint =
      new QLabel(QStringLiteral("双击一个房间或按“打开”，编辑器即连接该房间的设备。"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hint, 1);
  buttons->addWidget(open_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  // What the file holds that was ignored or looks wrong (an unknown key, two rooms on one port).
  if (!venue_.warnings.empty()) {
    QStringList lines;
    for (const std::string& warning : venue_.warnings) lines << QString::fromStdString(warning);
    auto* warnings = new QLabel(lines.join(QLatin1Char('\n')), this);
    warnings->setObjectName(QStringLiteral("VenueWarnings"));
    warnings->setStyleSheet(QStringLiteral("color: #b71c1c;"));
    warnings->setWordWrap(true);
    layout->addWidget(warnings);
  }
  layout->addLayout(buttons);
  resize(760, 120 + 30 * std::min(list_->rowCount(), 15));
  // Over the middle of the main window, not wherever the window manager starts new windows.
  if (parent != nullptr) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(parent->geometry().center());
    move(frame.topLeft());
  }

  connect(open_, &QPushButton::clicked, this, &VenueWindow::OpenSelected);
  connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    list_->selectRow(row);
    OpenSelected();
  });
  refresh_.setInterval(kRefreshMs);
  connect(&refresh_, &QTimer::timeout, this, &VenueWindow::Refresh);
  refresh_.start();
  current_timer_.setInterval(500);
  connect(&current_timer_, &QTimer::timeout, this, &VenueWindow::ShowCurrent);
  current_timer_.start();
  Refresh();
}

VenueWindow::~VenueWindow() {
  refresh_.stop();
  for (auto& probe : probes_) probe->Stop();
}

bool VenueWindow::IsCurrent(const VenueRoom& room) const {
  if (hooks_.current_room && hooks_.current_room() == room.name) return true;
  return hooks_.current_port && !room.port.empty() && hooks_.current_port() == room.port;
}

void VenueWindow::ShowState(int row, const QString& words, const QColor& colour,
                            const std::string& identity, const QString& tooltip) {
  QTableWidgetItem* state = list_->item(row, kState);
  if (state->text() != words) state->setText(words);
  state->setBackground(colour);
  state->setToolTip(tooltip);
  const VenueRoom& room = venue_.rooms[static_cast<std::size_t>(row)];
  // The identity the box gave; the one the file expects until a box has answered.
  const QString shown = QString::fromStdString(identity.empty() ? room.identity : identity);
  QTableWidgetItem* id = list_->item(row, kIdentity);
  if (id->text() != shown) id->setText(shown);
}

void VenueWindow::ShowCurrent() {
  for (int row = 0; row < list_->rowCount(); ++row) {
    const VenueRoom& room = venue_.rooms[static_cast<std::size_t>(row)];
    QFont font = list_->item(row, kName)->font();
    const bool current = hooks_.current_room && hooks_.current_room() == room.name;
    if (font.bold() != current) {
      font.setBold(current);
      for (int column = 0; column < kColumns; ++column) list_->item(row, column)->setFont(font);
    }
    if (!IsCurrent(room)) continue;
    const QString words = hooks_.current_state ? hooks_.current_state() : QString();
    ShowState(row, words, kCurrentColour, {}, QStringLiteral("编辑器正连接这个房间"));
  }
}

void VenueWindow::Refresh() {
  if (left_ > 0) return;  // the last round is still looking
  probes_.clear();
  for (std::size_t i = 0; i < venue_.rooms.size(); ++i) {
    const VenueRoom& room = venue_.rooms[i];
    if (IsCurrent(room)) continue;
    auto probe = std::make_unique<BoxProbe>(room.port, room.identity);
    const int row = static_cast<int>(i);
    probe->SetFinished([this, row](BoxProbe& done) {
      // The editor may have opened the room meanwhile: its row is the editor's.
      if (!IsCurrent(venue_.rooms[static_cast<std::size_t>(row)])) {
        ShowState(row, RoomStateWords(done.state()), RoomStateColour(done.state()), done.identity(),
                  QString::fromStdString(done.detail()));
      }
      if (--left_ == 0) RoundDone();
    });
    probes_.push_back(std::move(probe));
  }
  left_ = static_cast<int>(probes_.size());
  ShowCurrent();
  if (left_ == 0) {
    RoundDone();
    return;
  }
  // Started after the count is set: a look may end at once.
  for (std::size_t i = 0; i < probes_.size(); ++i) probes_[i]->Start();
}

void VenueWindow::RoundDone() { ++rounds_; }

void VenueWindow::OpenSelected() {
  const int row = list_->currentRow();
  if (row < 0 || row >= static_cast<int>(venue_.rooms.size()) || !hooks_.open_room) return;
  const VenueRoom room = venue_.rooms[static_cast<std::size_t>(row)];
  // A look at that room under way would hold its port while the editor opens it.
  for (auto& probe : probes_) {
    if (probe->port() == room.port && !probe->done()) {
      probe->Stop();
      --left_;
      if (left_ == 0) RoundDone();
    }
  }
  hooks_.open_room(room);
  ShowCurrent();
}

}  // namespace kc

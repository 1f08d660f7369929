#include "app/venue_window.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStringList>
#include <QTableWidgetItem>
#include <QVBoxLayout>
#include <algorithm>

#include "link/port_address.h"

namespace kc {
namespace {

// The colour of the editor's own room.
const QColor kCurrentColour(187, 222, 251);

}  // namespace

QString RoomStateWords(RoomState state) {
  switch (state) {
    case RoomState::kOk:
      return QStringLiteral("在线");
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

QString RoomStateTip(RoomState state) {
  switch (state) {
    case RoomState::kOk:
      return QStringLiteral("设备有应答，可以打开这个房间编辑");
    case RoomState::kNoAnswer:
      return QStringLiteral("端口可以打开，但设备没有应答：请检查设备电源和连线");
    case RoomState::kRefused:
      return QStringLiteral(
          "无法使用端口：当前用户没有权限（Linux 下需加入 dialout 组），或串口服务器拒绝连接");
    case RoomState::kBusy:
      return QStringLiteral("端口正被其他程序使用");
    case RoomState::kUnreachable:
      return QStringLiteral("端口不存在，或网络地址无法到达");
    case RoomState::kAnotherBox:
      return QStringLiteral("这个端口上的设备不是场所文件中这个房间的设备");
  }
  return {};
}

QString RoomIdentityText(const std::string& found, const std::string& expected) {
  if (found.empty()) return QString::fromStdString(expected);
  if (expected.empty() || found == expected) return QString::fromStdString(found);
  return QStringLiteral("%1（应为 %2）")
      .arg(QString::fromStdString(found), QString::fromStdString(expected));
}

VenueWindow::VenueWindow(Venue venue, std::string source, Hooks hooks, QWidget* parent)
    : QWidget(parent),
      venue_(std::move(venue)),
      source_(std::move(source)),
      hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("VenueWindow"));
  setWindowTitle(Title());

  list_ = new QTableWidget(static_cast<int>(venue_.rooms.size()), kColumns, this);
  list_->setObjectName(QStringLiteral("VenueList"));
  list_->setHorizontalHeaderLabels({QStringLiteral("房间"), QStringLiteral("状态"),
                                    QStringLiteral("未发送"), QStringLiteral("检查"),
                                    QStringLiteral("设备识别码"), QStringLiteral("端口")});
  list_->verticalHeader()->setVisible(false);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  for (int row = 0; row < list_->rowCount(); ++row) {
    const VenueRoom& room = venue_.rooms[static_cast<std::size_t>(row)];
    const QString port = QString::fromStdString(room.port);
    auto* name = new QTableWidgetItem(QString::fromStdString(room.name));
    name->setToolTip(QStringLiteral("%1\n端口：%2").arg(name->text(), port));
    list_->setItem(row, kName, name);
    list_->setItem(row, kState, new QTableWidgetItem(QStringLiteral("...")));
    list_->setItem(row, kPending, new QTableWidgetItem(QString()));
    list_->item(row, kPending)->setTextAlignment(Qt::AlignCenter);
    auto* check = new QTableWidgetItem(QStringLiteral("未检查"));
    check->setToolTip(
        QStringLiteral("基准：%1").arg(QString::fromStdString(BaselineOf(room).string())));
    list_->setItem(row, kCheck, check);
    list_->setItem(row, kIdentity, new QTableWidgetItem(RoomIdentityText({}, room.identity)));
    list_->setItem(row, kPort, new QTableWidgetItem(port));
    list_->item(row, kPort)->setToolTip(port);
  }
  list_->resizeColumnsToContents();
  // The state and identity columns hold their widest texts from the start, not "...".
  const QFontMetrics metrics(list_->font());
  list_->setColumnWidth(kState, metrics.horizontalAdvance(QStringLiteral("正在查找设备...")) + 16);
  list_->setColumnWidth(kPending, metrics.horizontalAdvance(QStringLiteral("未发送")) + 16);
  list_->setColumnWidth(kCheck, metrics.horizontalAdvance(QStringLiteral("123 项不同")) + 16);
  list_->setColumnWidth(
      kIdentity, metrics.horizontalAdvance(QStringLiteral("2B000007（应为 1A000007）")) + 16);
  list_->setColumnWidth(
      kName,
      std::clamp(list_->columnWidth(kName), metrics.horizontalAdvance(QStringLiteral("房间名称")),
                 metrics.horizontalAdvance(QStringLiteral("房间名称名称"))));
  list_->horizontalHeader()->setStretchLastSection(true);
  if (list_->rowCount() > 0) list_->selectRow(0);

  open_ = new QPushButton(QStringLiteral("打开"), this);
  open_->setObjectName(QStringLiteral("VenueOpenBtn"));
  open_->setToolTip(QStringLiteral("编辑器连接选中房间的设备（也可双击房间）"));
  refresh_button_ = new QPushButton(QStringLiteral("刷新"), this);
  refresh_button_->setObjectName(QStringLiteral("VenueRefreshBtn"));
  refresh_button_->setToolTip(
      QStringLiteral("现在查看每个房间的设备，包括串口服务器上的房间（它们不会自动刷新）"));
  check_button_ = new QPushButton(QStringLiteral("全部检查"), this);
  check_button_->setObjectName(QStringLiteral("VenueCheckBtn"));
  check_button_->setToolTip(
      QStringLiteral("在后台读取每个房间的设备（正在编辑的房间除外），与它的基准比较"));
  apply_button_ = new QPushButton(QStringLiteral("恢复基准..."), this);
  apply_button_->setObjectName(QStringLiteral("VenueApplyBtn"));
  apply_button_->setToolTip(QStringLiteral(
      "列出编辑器所在房间的设备与基准的不同之处，先备份设备，再把勾选的项恢复为基准"));
  auto* other = new QPushButton(QStringLiteral("打开其他场所..."), this);
  other->setObjectName(QStringLiteral("VenueOtherBtn"));
  other->setToolTip(QStringLiteral("换用另一个场所文件"));
  // Two rows of buttons: the panel may be no wider than the space the editor leaves.
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(open_);
  buttons->addWidget(refresh_button_);
  auto* more = new QHBoxLayout;
  more->addWidget(check_button_);
  more->addWidget(apply_button_);
  auto* other_row = new QHBoxLayout;
  other_row->addStretch(1);
  other_row->addWidget(other);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(list_, 1);
  // What the file holds that was ignored or looks wrong (an unknown key).
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
  layout->addLayout(more);
  layout->addLayout(other_row);

  connect(open_, &QPushButton::clicked, this, &VenueWindow::OpenSelected);
  connect(refresh_button_, &QPushButton::clicked, this, &VenueWindow::Refresh);
  connect(check_button_, &QPushButton::clicked, this, &VenueWindow::CheckAll);
  connect(apply_button_, &QPushButton::clicked, this, &VenueWindow::ApplySelected);
  connect(other, &QPushButton::clicked, this, [this] {
    if (hooks_.open_other) hooks_.open_other();
  });
  connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    list_->selectRow(row);
    OpenSelected();
  });
  refresh_.setInterval(kRefreshMs);
  connect(&refresh_, &QTimer::timeout, this, [this] { LookAt(false); });
  refresh_.start();
  current_timer_.setInterval(500);
  connect(&current_timer_, &QTimer::timeout, this, &VenueWindow::ShowCurrent);
  current_timer_.start();
  Refresh();
}

VenueWindow::~VenueWindow() {
  refresh_.stop();
  for (Look& look : looks_) look.probe->Stop();
}

bool VenueWindow::Looking(const std::string& port) const {
  return std::any_of(looks_.begin(), looks_.end(), [&](const Look& look) {
    return look.probe->port() == port && !look.probe->done();
  });
}

QString VenueWindow::Title() const {
  const QString name = venue_.name.empty() ? QFileInfo(QString::fromStdString(source_)).fileName()
                                           : QString::fromStdString(venue_.name);
  return QStringLiteral("场所：%1").arg(name);
}

bool VenueWindow::IsCurrent(const VenueRoom& room) const {
  // In a room the editor's is that room alone; outside one, any room on the port it has open.
  const std::string current = hooks_.current_room ? hooks_.current_room() : std::string();
  if (!current.empty()) return current == room.name;
  return hooks_.current_port && !room.port.empty() && hooks_.current_port() == room.port;
}

bool VenueWindow::OnEditorsPort(const VenueRoom& room) const {
  if (IsCurrent(room)) return true;
  // A room sharing its box with the editor's room: its line is the editor's now.
  const std::string current = hooks_.current_room ? hooks_.current_room() : std::string();
  return std::any_of(venue_.rooms.begin(), venue_.rooms.end(), [&](const VenueRoom& other) {
    return !current.empty() && other.name == current && other.port == room.port;
  });
}

void VenueWindow::ShowState(int row, const QString& words, const QColor& colour,
                            const std::string& identity, const QString& tooltip) {
  QTableWidgetItem* state = list_->item(row, kState);
  if (state->text() != words) state->setText(words);
  state->setBackground(colour);
  state->setToolTip(tooltip);
  const VenueRoom& room = venue_.rooms[static_cast<std::size_t>(row)];
  const QString shown = RoomIdentityText(identity, room.identity);
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
    QTableWidgetItem* pending = list_->item(row, kPending);
    if (!IsCurrent(room)) {
      // Changes are the editor's: a room it is not on has none waiting.
      if (pending->text() != QStringLiteral("0")) pending->setText(QStringLiteral("0"));
      continue;
    }
    const int count = hooks_.current_pending ? hooks_.current_pending() : 0;
    if (pending->text() != QString::number(count)) pending->setText(QString::number(count));
    pending->setToolTip(count > 0 ? QStringLiteral("设备还没有收到编辑器的 %1 项修改").arg(count)
                                  : QStringLiteral("设备已有编辑器的全部修改"));
    QString words = hooks_.current_state ? hooks_.current_state() : QString();
    const std::string identity = hooks_.current_identity ? hooks_.current_identity() : "";
    const bool other_box = !identity.empty() && !room.identity.empty() && identity != room.identity;
    QColor colour(187, 222, 251);  // the editor's own room
    QString tip = QStringLiteral("编辑器正在这个房间");
    if (other_box) {
      words = QStringLiteral("设备不符");
      colour = RoomStateColour(RoomState::kAnotherBox);
      tip = QStringLiteral("连接的设备 %1 不是这个房间的设备 %2")
                .arg(QString::fromStdString(identity), QString::fromStdString(room.identity));
    }
    ShowState(row, words, colour, identity, tip);
  }
}

void VenueWindow::LookAt(bool network) {
  if (left_ > 0) return;  // the last round is still looking
  // Looks that have ended are let go of here, never inside their own report.
  looks_.erase(std::remove_if(looks_.begin(), looks_.end(),
                              [](const Look& look) { return look.probe->done(); }),
               looks_.end());
  std::vector<int> rows;
  std::vector<std::string> ports;  // one look per port: rooms that share a box share it
  for (std::size_t i = 0; i < venue_.rooms.size(); ++i) {
    const VenueRoom& room = venue_.rooms[i];
    if (OnEditorsPort(room) || (!network && IsNetworkPortName(room.port))) continue;
    const bool checking = std::any_of(checks_.begin(), checks_.end(), [&](const auto& check) {
      return check->port() == room.port && !check->done();
    });
    if (checking || Looking(room.port) ||
        std::find(ports.begin(), ports.end(), room.port) != ports.end()) {
      continue;
    }
    ports.push_back(room.port);
    rows.push_back(static_cast<int>(i));
  }
  left_ = static_cast<int>(rows.size());
  ShowCurrent();
  if (left_ == 0) {
    RoundDone();
    return;
  }
  // Started after the count is set: a look may end at once.
  for (int row : rows) StartLook(row, true);
}

void VenueWindow::StartLook(int row, bool in_round) {
  const VenueRoom& room = venue_.rooms[static_cast<std::size_t>(row)];
  auto probe = std::make_unique<BoxProbe>(room.port, room.identity);
  BoxProbe* look = probe.get();
  probe->SetFinished([this, port = room.port, in_round](BoxProbe& done) {
    // Every room of that port, each judged by the box it expects. The editor may have opened
    // one meanwhile: its row is the editor's.
    for (std::size_t i = 0; i < venue_.rooms.size(); ++i) {
      const VenueRoom& same = venue_.rooms[i];
      if (same.port != port || OnEditorsPort(same)) continue;
      RoomState state = done.state();
      if (state == RoomState::kOk || state == RoomState::kAnotherBox) {
        const bool expected = same.identity.empty() || same.identity == done.identity();
        state = expected ? RoomState::kOk : RoomState::kAnotherBox;
      }
      ShowState(static_cast<int>(i), RoomStateWords(state), RoomStateColour(state), done.identity(),
                RoomStateTip(state));
    }
    if (in_round && --left_ == 0) RoundDone();
  });
  looks_.push_back({std::move(probe), in_round});
  look->Start();
}

void VenueWindow::RoundDone() { ++rounds_; }

std::filesystem::path VenueWindow::BaselineOf(const VenueRoom& room) const {
  return RoomBaselinePath(source_, room);
}

int VenueWindow::checks_running() const {
  return static_cast<int>(std::count_if(checks_.begin(), checks_.end(),
                                        [](const auto& check) { return !check->done(); }));
}

void VenueWindow::CheckAll() {
  if (checks_running() > 0) return;  // the last round of checks is still reading
  checks_.clear();
  for (std::size_t i = 0; i < venue_.rooms.size(); ++i) {
    const VenueRoom& room = venue_.rooms[i];
    const int row = static_cast<int>(i);
    if (OnEditorsPort(room)) {
      list_->item(row, kCheck)->setText(QStringLiteral("未检查"));
      list_->item(row, kCheck)
          ->setToolTip(QStringLiteral("编辑器正在这个房间：用“恢复基准...”比较"));
      continue;
    }
    // A look at the room would hold its port while the check reads the box.
    for (Look& look : looks_) {
      if (look.probe->port() == room.port && !look.probe->done()) {
        look.probe->Stop();
        if (look.in_round && --left_ == 0) RoundDone();
      }
    }
    list_->item(row, kCheck)->setText(QStringLiteral("检查中..."));
    auto check = std::make_unique<RoomCheck>(room, BaselineOf(room));
    check->SetFinished([this, row](RoomCheck& done) {
      QTableWidgetItem* cell = list_->item(row, kCheck);
      cell->setText(done.Words());
      cell->setToolTip(done.detail());
      const bool same = done.result() == RoomCheck::Result::kSame;
      const bool different = done.result() == RoomCheck::Result::kDifferent;
      cell->setBackground(same        ? RoomStateColour(RoomState::kOk)
                          : different ? RoomStateColour(RoomState::kNoAnswer)
                                      : RoomStateColour(RoomState::kUnreachable));
    });
    checks_.push_back(std::move(check));
  }
  for (auto& check : checks_) check->Start();
}

void VenueWindow::ApplySelected() {
  const int row = list_->currentRow();
  if (row < 0 || row >= static_cast<int>(venue_.rooms.size()) || !hooks_.apply_baseline) return;
  const VenueRoom& room = venue_.rooms[static_cast<std::size_t>(row)];
  hooks_.apply_baseline(room, BaselineOf(room));
}

void VenueWindow::RoomLeft(const std::string& room) {
  for (std::size_t i = 0; i < venue_.rooms.size(); ++i) {
    const VenueRoom& left = venue_.rooms[i];
    if (left.name != room || OnEditorsPort(left)) continue;
    const int row = static_cast<int>(i);
    ShowState(row, QStringLiteral("..."), QColor(224, 224, 224), {},
              QStringLiteral("正在查看这个房间的设备"));
    list_->item(row, kPending)->setText(QStringLiteral("0"));
    if (!Looking(left.port)) StartLook(row, false);  // outside a round: it counts in none
  }
}

void VenueWindow::OpenSelected() {
  const int row = list_->currentRow();
  if (row < 0 || row >= static_cast<int>(venue_.rooms.size()) || !hooks_.open_room) return;
  const VenueRoom room = venue_.rooms[static_cast<std::size_t>(row)];
  // A look at that room under way would hold its port while the editor opens it.
  for (Look& look : looks_) {
    if (look.probe->port() != room.port || look.probe->done()) continue;
    look.probe->Stop();  // ends without a report
    if (look.in_round && --left_ == 0) RoundDone();
  }
  const std::string before = hooks_.current_room ? hooks_.current_room() : std::string();
  const bool opened = hooks_.open_room(room);
  if (opened && !before.empty() && before != room.name) RoomLeft(before);
  ShowCurrent();
}

}  // namespace kc

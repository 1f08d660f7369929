#include "app/editor_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <exception>

#include "app/link_edit_adapter.h"
#include "app/message_box.h"
#include "app/status_box.h"
#include "app/venue_check.h"
#include "eq/view/eq_graph.h"
#include "link/box_image.h"
#include "link/link.h"
#include "link/port_address.h"
#include "link/qt/diagnostic_log.h"
#include "ui/binding/page_refresh.h"
#include "ui/compare/compare_window.h"
#include "ui/editing/edit_history.h"
#include "ui/editing/edit_session.h"
#include "ui/editing/graph_binding.h"
#include "ui/editing/handlers.h"
#include "ui/pages/editor_pages.h"
#include "ui/system/system_page.h"
#include "venue/plan.h"

namespace kc {
namespace {

const QString kNetworkDevicePrompt = QStringLiteral(
    "串口服务器的地址：\n"
    "tcp://主机:端口（原始 TCP，线路参数在服务器上设置）\n"
    "rfc2217://主机:端口（RFC 2217，由本程序设置 57600 8N1）");

// The reason a network address was refused, in the editor's words; a reason not in the table
// is shown as it is.
QString AddressReason(const std::string& reason) {
  static const struct {
    const char* begins;
    const char* text;
  } kReasons[] = {
      {"spaces around", "地址前后不能有空格"},
      {"no scheme", "缺少 tcp:// 或 rfc2217://"},
      {"unknown scheme", "只支持 tcp:// 和 rfc2217://"},
      {"user name", "主机前不能有用户名"},
      {"no ']'", "IPv6 地址缺少“]”"},
      {"no host", "缺少主机"},
      {"IPv6 address may hold only", "IPv6 地址只能包含十六进制数字、“:”和“.”"},
      {"brackets are only", "方括号只用于 IPv6 地址"},
      {"IPv6 address must be in brackets", "IPv6 地址须写在方括号中"},
      {"host may hold only", "主机名只能包含字母、数字、“.”和“-”"},
      {"no port number", "缺少端口号"},
      {"unexpected text after the host", "主机后有多余的文字"},
      {"port number must be decimal", "端口号须为数字"},
      {"port number must be 1 to 65535", "端口号须在 1 到 65535 之间"},
      {"unexpected text after the port", "端口号后有多余的文字"},
  };
  for (const auto& known : kReasons) {
    if (reason.rfind(known.begins, 0) == 0) return QString::fromUtf8(known.text);
  }
  return reason.empty() ? QStringLiteral("不是网络地址") : QString::fromStdString(reason);
}

QString NetworkAddressProblem(const QString& name, const std::string& reason) {
  return QStringLiteral(
             "“%1”不是可用的网络地址：%2。\n请写成 tcp://主机:端口 或 rfc2217://主机:端口。")
      .arg(name, AddressReason(reason));
}

}  // namespace

TForm1::TForm1(ParameterStore& store, Link& link, MessageBoxes& boxes, QWidget* parent)
    // A window of its own, owned by the main window when it has one. The dialog type makes it a
    // transient of that window for the window manager (X11 names the owner only for dialogs and
    // tools): kept above the main window only, never above other programs, and with it.
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint),
      store_(store),
      link_(link),
      boxes_(boxes) {
  setObjectName(QStringLiteral("Form1"));
  setAttribute(Qt::WA_QuitOnClose, false);
  setFixedSize(EditorPages::kWidth, EditorPages::kHeight);
  setAutoFillBackground(true);
  QPalette background = palette();
  background.setColor(QPalette::Window, QColor(245, 242, 242));
  setPalette(background);

  pages_ = new EditorPages(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(pages_);

  FormCreate();
}

TForm1::~TForm1() { store_.set_observer(nullptr); }

void TForm1::StoreEvents::SendEqBand(int id, int32_t value) { editor_.link_.SendEqBand(id, value); }

void TForm1::FormCreate() {
  store_.set_observer(&store_events_);
  // Bind every parameter to its controls before the first refresh paints them.
  control_map_ = BuildControlMap(*pages_);
  // The refresh raises the send-suppress switch and reads mode names where the handlers do.
  edit_link_ = std::make_unique<LinkEditAdapter>(link_);
  RefreshHooks hooks;
  hooks.send_suppress = [this] { return edit_link_->send_suppress(); };
  hooks.set_send_suppress = [this](bool raised) { edit_link_->set_send_suppress(raised); };
  hooks.mode_name = [this](int number) { return edit_link_->mode_name(number); };
  hooks.set_eq_bypass = [this](int block, int state) {
    if (session_) session_->set_eq_bypass(block, state);
  };
  // Every slot of the section on show, then its current band: the band label would otherwise
  // keep the values of the mode that was on show before the refresh.
  hooks.redraw_curve = [this] {
    if (session_) session_->RedrawSection();
  };
  refresher_ = std::make_unique<PageRefresher>(*pages_, store_, control_map_, std::move(hooks));
  session_ = std::make_unique<EditSession>(*pages_, store_, control_map_, *refresher_, *edit_link_,
                                           session_view_);
  handlers_ = std::make_unique<EditorHandlers>(*session_);
  handlers_->Connect();
  history_ = std::make_unique<EditHistory>(*session_);
  // The graph's frame and labels come first; the first page shown then draws its curve.
  graph_host_ = std::make_unique<SessionGraphHost>(*session_, *handlers_,
                                                   [this] { return startup_complete_; });
  graph_ = std::make_unique<EqGraph>(GraphWidgetsOf(*pages_), *graph_host_);
  session_view_.set_graph(graph_.get());
  // Every EQ band to its defaults; this also refreshes every page.
  store_.ResetEq(kAllBlocks);
  // Start on the Music page through the path a click on its tab takes.
  if (QPushButton* music = pages_->tab_button(0)) music->click();
  PrepareModeFolders();
  // The System page's groups; this also lists the PC mode library.
  system_page_ = std::make_unique<SystemPage>(*session_, boxes_, mode_files_.get());
  // A tool window of the editor: it stays with it and is placed beside it.
  compare_ = std::make_unique<CompareWindow>(*session_, boxes_, this);
  compare_->set_history(history_.get());
  BindGraphTools(*graph_, *session_, *history_, boxes_, *compare_);  // copy/paste, overlay
  link_.TakeStartingImage();
  // On the free part of the tab strip, so it shows on every page; presses pass through to the
  // window, which is dragged from there.
  link_state_label_ = new QLabel(pages_);
  link_state_label_->setObjectName(QStringLiteral("LinkStateLabel"));
  link_state_label_->setGeometry(kDragLeft + 4, 7, kDragRight - kDragLeft - 8, 18);
  link_state_label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // Its tooltip names the port and the box; a press on it passes on to the window (a label
  // takes none), which is dragged from there.
  link_state_label_->setStyleSheet(QStringLiteral("color: white; font-size: 12px;"));
  link_state_label_->raise();
  link_state_label_->show();
  link_state_timer_.setInterval(100);
  connect(&link_state_timer_, &QTimer::timeout, this, &TForm1::UpdateLinkState);
  link_state_timer_.start();
  UpdateLinkState();
  startup_complete_ = true;
  graph_->Start();
}

void TForm1::UpdateLinkState() {
  if (link_state_label_ == nullptr) return;
  const Link& link = link_;
  QString text = LinkViewText(link);
  if (!room_.empty()) text = QString::fromStdString(room_) + QStringLiteral(" · ") + text;
  const int pending = link.PendingCount();
  if (pending > 0) text += QStringLiteral(" · %1 项未发送").arg(pending);
  if (link_state_label_->text() != text) link_state_label_->setText(text);
  const QString tip = LinkLabelTip(link, room_port_);
  if (link_state_label_->toolTip() != tip) link_state_label_->setToolTip(tip);
  const QString state = LinkViewText(link) + (open() ? QStringLiteral("|open") : QString());
  if (state != shown_state_) {
    shown_state_ = state;
    emit LinkStateChanged();
  }
}

LinkView TForm1::link_view() const { return link_.View(); }
bool TForm1::searching_quietly() const { return link_.SearchingQuietly(); }

void TForm1::ConnectAtStartUp(const PortLister& list_ports) {
  port_lister_ = list_ports;
  std::vector<std::string> names;
  try {
    names = ListPorts();
  } catch (const std::exception& error) {
    // Without a port list there is nothing to probe; the user connects from the menu.
    AppendLog(QStringLiteral("port list not available: ") + QString::fromUtf8(error.what()));
    return;
  } catch (...) {
    AppendLog(QStringLiteral("port list not available: unknown error"));
    return;
  }
  ConnectTo(names);
}

std::vector<std::string> TForm1::ListPorts(bool present_only) const {
  std::vector<std::string> names(network_devices_.rbegin(), network_devices_.rend());
  if (port_lister_) {
    for (std::string& name : port_lister_()) {
      if (present_only && !IsNetworkPortName(name) &&
          !QFileInfo::exists(QFile::decodeName(name.c_str()))) {
        continue;
      }
      if (std::find(names.begin(), names.end(), name) == names.end()) {
        names.push_back(std::move(name));
      }
    }
  }
  return names;
}

void TForm1::ConnectTo(const std::vector<std::string>& names) {
  if (QComboBox* ports = pages_->port_list()) {
    ports->clear();
    for (const auto& name : names) ports->addItem(QString::fromStdString(name));
    if (ports->count() > 0) ports->setCurrentIndex(0);
  }
  try {
    link_.SetPortNames(names);
    link_.Connect();
    UpdateLinkState();
  } catch (const std::exception& error) {
    // A failed start of the connection leaves the link idle; the menu can connect again.
    AppendLog(QStringLiteral("connection not started: ") + QString::fromUtf8(error.what()));
  } catch (...) {
    AppendLog(QStringLiteral("connection not started: unknown error"));
  }
}

bool TForm1::OpenRoom(const std::string& room, const std::string& port,
                      const std::string& identity) {
  const int pending = link_.PendingCount();
  if (pending > 0) {
    const QString here = room_.empty()
                             ? QStringLiteral("当前设备")
                             : QStringLiteral("房间“%1”的设备").arg(QString::fromStdString(room_));
    const QString text = QStringLiteral("编辑器中有 %1 项修改还没有发送到%2。\n打开房间“%3”之前：")
                             .arg(pending)
                             .arg(here, QString::fromStdString(room));
    const bool can_send = link_.state() == LinkState::kReady;
    QStringList buttons;
    if (can_send) buttons << QStringLiteral("发送后打开");
    buttons << QStringLiteral("放弃修改并打开") << QStringLiteral("留下");
    const int stay = static_cast<int>(buttons.size()) - 1;
    const int chosen = boxes_.Choose(kHintCaption, text, buttons, stay);
    if (chosen < 0 || chosen == stay) return false;
    if (can_send && chosen == 0) {
      if (!WaitUntilSent(5000)) {
        boxes_.Information(kHintCaption, QStringLiteral("设备没有确认全部修改，仍留在当前房间。"));
        return false;
      }
    } else {
      link_.DropEditorChanges();
    }
  }
  // The box of the room left is released, as on "断开".
  link_.Disconnect();
  SetRoom(room, port, identity);
  AppendLog(QStringLiteral("room: ") + QString::fromStdString(room) + QStringLiteral(" on ") +
            QString::fromStdString(port));
  ConnectTo({port});
  return true;
}

void TForm1::SetRoom(const std::string& room, const std::string& port,
                     const std::string& identity) {
  const bool changed = room != room_;
  room_ = room;
  room_port_ = port;
  // In a room the link searches the room's port alone, after a loss too, and asks about a box
  // that is not the room's; outside one it searches every port again.
  link_.SetRoom(room.empty() ? std::string() : port, room.empty() ? std::string() : identity);
  if (changed) {
    UpdateLinkState();
    emit RoomChanged(QString::fromStdString(room_));
  }
}

bool TForm1::WaitUntilSent(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (link_.PendingCount() > 0 && clock.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
  }
  return link_.PendingCount() == 0;
}

void TForm1::AddNetworkDevice() {
  QString text = network_devices_.empty() ? QStringLiteral("rfc2217://")
                                          : QString::fromStdString(network_devices_.back());
  if (!boxes_.AskText(QStringLiteral("网络设备"), kNetworkDevicePrompt, &text)) return;
  const std::string name = text.trimmed().toStdString();
  PortAddress address;
  std::string error;
  if (!ParsePortAddress(name, &address, &error) || address.kind == PortKind::kDevice) {
    boxes_.Information(kHintCaption, NetworkAddressProblem(QString::fromStdString(name), error));
    return;
  }
  network_devices_.erase(std::remove(network_devices_.begin(), network_devices_.end(), name),
                         network_devices_.end());
  network_devices_.push_back(name);
  AppendLog(QStringLiteral("network device: ") + QString::fromStdString(name));
  SetRoom({}, {});
  ConnectTo({name});
}

void TForm1::PrepareModeFolders() {
  // The mode root belongs below the program's folder; a system-wide install cannot write there
  // and keeps it in the user's data folder instead.
  const auto as_path = [](const QString& folder) {
    return std::filesystem::path(folder.toStdU16String());
  };
  const QString user_folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  std::string error;
  mode_folders_ = kc::PrepareModeFolders(
      as_path(QCoreApplication::applicationDirPath()),
      user_folder.isEmpty() ? std::filesystem::path() : as_path(user_folder), &error);
  if (!mode_folders_) {
    // Without a folder no mode can be stored on the PC; the box itself works as before.
    AppendLog(QStringLiteral("mode folders not available: ") + QString::fromStdString(error));
    return;
  }
  ModeHooks hooks;
  hooks.show_message = [this](const std::string& text) {
    boxes_.Information(kHintCaption, QString::fromStdString(text));
  };
  hooks.clear_log = [this] {
    if (QPlainTextEdit* log = pages_->diagnostic_log()) log->clear();
  };
  hooks.append_log = [this](const std::string& line) { AppendLog(QString::fromStdString(line)); };
  hooks.start_upload = [this] {
    if (link_.StartUpload()) return;
    // No box to take it now: the file is prepared in the editor, shown on the pages and graph,
    // and offered to the box when one is connected.
    link_.EditorImageLoaded();
    RepaintPages(kAllBlocks);
  };
  mode_files_ = std::make_unique<ModeFiles>(mode_folders_->library, store_, std::move(hooks));
}

void TForm1::CompareWithModeFile() {
  if (mode_files_ == nullptr) {
    boxes_.Information(kHintCaption, kNoLibraryText);
    return;
  }
  system_page_->ListModeLibrary();
  QStringList names;
  for (const QString& name : system_page_->library_names()) names << name;
  if (names.isEmpty()) {
    boxes_.Information(kHintCaption, QStringLiteral("电脑中没有模式文件!"));
    return;
  }
  bool chosen = false;
  const QString name =
      QInputDialog::getItem(this, QStringLiteral("与模式文件比较"), QStringLiteral("模式文件："),
                            names, 0, false, &chosen);
  if (!chosen) return;
  compare_->CompareWith(mode_files_->PathOf(name.toStdString()), name);
}

QPushButton* TForm1::LinkBtn() const { return pages_->link_button(); }
QPushButton* TForm1::UnLinkBtn() const { return pages_->unlink_button(); }

void TForm1::LinkBtnClick(QObject* sender) {
  if (sender == nullptr) return;
  if (sender == LinkBtn()) {
    // In a room it looks for the room's box again; elsewhere it searches every port.
    if (!room_.empty()) {
      ConnectTo({room_port_});
      return;
    }
    SetRoom({}, {});
    if (!port_lister_) {
      link_.Connect();
      return;
    }
    // Ports plugged in since the last search are probed too; without a list the last one is.
    std::vector<std::string> names;
    try {
      names = ListPorts();
    } catch (const std::exception& error) {
      AppendLog(QStringLiteral("port list not renewed: ") + QString::fromUtf8(error.what()));
      link_.Connect();
      return;
    } catch (...) {
      AppendLog(QStringLiteral("port list not renewed: unknown error"));
      link_.Connect();
      return;
    }
    ConnectTo(names);
  } else if (sender == UnLinkBtn()) {
    link_.Disconnect();
  }
}

void TForm1::ShowEditor() {
  if (parentWidget() != nullptr && parentWidget()->isMinimized()) {
    // It comes with the main window when that is restored.
    held_ = true;
    UpdateLinkState();
    return;
  }
  if (host_area_) {
    PlaceInHost();
  } else if (!centred_) {
    centred_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect frame(QPoint(0, 0), size());
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  show();
  raise();
  activateWindow();
  UpdateLinkState();
}

void TForm1::PlaceInHost() {
  if (!host_area_) return;
  const QRect area = host_area_();
  if (!area.isValid()) return;
  QRect frame(QPoint(0, 0), size());
  frame.moveCenter(area.center());
  // A client area smaller than the editor keeps its top left corner in view, below the menu.
  if (frame.left() < area.left()) frame.moveLeft(area.left());
  if (frame.top() < area.top()) frame.moveTop(area.top());
  if (pos() != frame.topLeft()) move(frame.topLeft());
}

void TForm1::HostMinimised(bool minimised) {
  // The window manager minimises and restores the editor with the main window it belongs to;
  // only an editor asked for while the main window was down is shown here.
  if (minimised || !held_) return;
  held_ = false;
  ShowEditor();
}

void TForm1::RefreshPages(int selection) {
  if (history_) history_->Clear();
  RepaintPages(selection);
}

void TForm1::RepaintPages(int selection) {
  // The refresher rebuilds the working table from the device image before it paints.
  if (refresher_) {
    refresher_->RefreshPages(selection);
  } else {
    store_.RebuildWorkingTable();
  }
}

void TForm1::ModeNamesChanged() {
  // The device mode list of the System page: "1-name" .. "15-name", keeping the selection.
  if (system_page_) system_page_->ModeNamesChanged();
}

void TForm1::SetDeviceId(const QString& text) {
  if (QLabel* label = pages_->device_id_label()) label->setText(text);
  if (system_page_) system_page_->ShowIdentity();
}

void TForm1::SetLinkText(const QString& text) {
  if (QLabel* label = pages_->link_label()) label->setText(text);
}

void TForm1::AppendLog(const QString& line) {
  if (QPlainTextEdit* log = pages_->diagnostic_log()) log->appendPlainText(line);
  LogLine(line);  // the category and the --log file
}

bool TForm1::SaveBaseline(const std::filesystem::path& path, const std::string& venue) {
  const QString room = QString::fromStdString(room_);
  if (room_.empty() || link_.View() != LinkView::kConnected) {
    boxes_.Information(kHintCaption, QStringLiteral("设为基准需要先打开一个房间并连接它的设备。"));
    return false;
  }
  const QString where = QString::fromStdString(path.string());
  std::error_code code;
  if (std::filesystem::exists(path, code) &&
      !boxes_.YesNoDefaultNo(kHintCaption,
                             QStringLiteral("房间“%1”已有基准：\n%2\n要用设备现在的设置替换它吗？")
                                 .arg(room, where))) {
    return false;
  }
  std::string error;
  if (!SaveBoxBackup(path, BackupOfBox(store_, link_, venue, room_), &error)) {
    boxes_.Information(kHintCaption,
                       QStringLiteral("无法保存基准：\n") + QString::fromStdString(error));
    return false;
  }
  AppendLog(QStringLiteral("baseline of ") + room + QStringLiteral(" saved: ") + where);
  boxes_.Information(kHintCaption, QStringLiteral("已保存房间“%1”的基准：\n%2").arg(room, where));
  return true;
}

bool TForm1::RestoreBaseline(const std::string& room, const std::filesystem::path& path,
                             const std::filesystem::path& backups, const std::string& venue) {
  const QString name = QString::fromStdString(room);
  if (room != room_ || link_.state() != LinkState::kReady) {
    boxes_.Information(kHintCaption,
                       QStringLiteral("请先打开房间“%1”并连接它的设备，再恢复基准。").arg(name));
    return false;
  }
  bool missing = false;
  std::string error;
  const std::optional<Baseline> baseline = ReadBaseline(path, &missing, &error);
  if (!baseline) {
    boxes_.Information(
        kHintCaption,
        missing ? QStringLiteral(
                      "房间“%1”还没有基准（%2）。连接它的设备后可用菜单“设备”→“设为基准”保存。")
                      .arg(name, QString::fromStdString(path.string()))
                : QStringLiteral("无法使用基准：\n") + QString::fromStdString(error));
    return false;
  }
  if (MakePlan(store_, baseline->image, baseline->with_system).empty()) {
    boxes_.Information(kHintCaption, QStringLiteral("房间“%1”的设备与基准一致。").arg(name));
    return false;
  }
  // The box as it is now is kept first: what the user puts back can be put back again.
  const std::filesystem::path copy = FreshBackupPath(backups, link_.device_id());
  if (!SaveBoxBackup(copy, BackupOfBox(store_, link_, venue, room_), &error)) {
    boxes_.Information(kHintCaption, QStringLiteral("无法先备份设备，没有恢复基准：\n") +
                                         QString::fromStdString(error));
    return false;
  }
  AppendLog(QStringLiteral("box of ") + name + QStringLiteral(" backed up: ") +
            QString::fromStdString(copy.string()));
  BoxImage::Rows rows = BoxImage::RowsOf(baseline->image);
  // A mode file holds no system item: the box keeps its own.
  if (!baseline->with_system) rows[kSystemBlock] = BoxImage::RowsOf(store_)[kSystemBlock];
  return link_.OfferImage(rows);
}

void TForm1::AskAboutOtherBox(const QString& expected, const QString& found) {
  const QString text =
      QStringLiteral("房间“%1”应是设备 %2，现在连接的是设备 %3。要编辑这台设备吗？")
          .arg(QString::fromStdString(room_), expected, found);
  const bool edit = boxes_.YesNoDefaultNo(kHintCaption, text);
  AppendLog(QStringLiteral("room ") + QString::fromStdString(room_) + QStringLiteral(": box ") +
            found + QStringLiteral(" where ") + expected + QStringLiteral(" belongs, ") +
            (edit ? QStringLiteral("edited") : QStringLiteral("not edited")));
  link_.AnswerOtherBox(edit);
  UpdateLinkState();
}

bool TForm1::StartsMove(const QPoint& pos) {
  return pos.x() >= kDragLeft && pos.x() < kDragRight && pos.y() >= 0 && pos.y() < kTabStripHeight;
}

void TForm1::mousePressEvent(QMouseEvent* event) {
  // Presses that no control took arrive here; on the free part of the tab strip they move the
  // window, as a caption bar would.
  const QPoint pos = mapFromGlobal(event->globalPosition().toPoint());
  if (event->button() == Qt::LeftButton && StartsMove(pos) && windowHandle() != nullptr) {
    windowHandle()->startSystemMove();
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
  // Closing the editor releases the box when it is connected; the close is never refused.
  if (!exiting_) link_.ReleaseOnClose();
  held_ = false;
  event->accept();
  QTimer::singleShot(0, this, &TForm1::UpdateLinkState);
}

}  // namespace kc

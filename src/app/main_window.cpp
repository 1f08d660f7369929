#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QLinearGradient>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <algorithm>

#include "app/editor_window.h"
#include "app/message_box.h"
#include "link/link.h"
#include "ui/editing/edit_history.h"

namespace kc {
namespace {

// The client area: the colour of an inactive caption, shaded from top to bottom.
class GradientPanel : public QWidget {
 public:
  explicit GradientPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("GradientPanel"));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, QColor(222, 231, 240));
    gradient.setColorAt(1.0, QColor(151, 172, 196));
    painter.fillRect(rect(), gradient);
  }
};

}  // namespace

TForm4::TForm4(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Form4"));
  setWindowTitle(kCreatedCaption);
  setCentralWidget(new GradientPanel(this));
  centralWidget()->installEventFilter(this);
  setDockOptions(QMainWindow::AnimatedDocks);

  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  QMenu* device = bar->addMenu(QStringLiteral("设备"));
  device->setObjectName(QStringLiteral("DeviceMenu"));
  // A greyed item says why it cannot act.
  device->setToolTipsVisible(true);
  connect(device, &QMenu::aboutToShow, this, &TForm4::UpdateDeviceMenu);
  logon1_ = AddItem(device, "Logon1", QStringLiteral("连接"));
  n1_ = AddItem(device, "N1", QStringLiteral("断开"));
  network_item_ = AddItem(device, "NetworkItem", QStringLiteral("网络设备..."));
  venue_item_ = AddItem(device, "VenueItem", QStringLiteral("场所..."));
  baseline_item_ = AddItem(device, "BaselineItem", QStringLiteral("设为基准"));
  device->addSeparator()->setObjectName(QStringLiteral("N2"));
  off_line_btn_ = AddItem(device, "OffLineBtn", QStringLiteral("离线设备"));
  // One-shot marker of the offline item: "0" until it has been used.
  off_line_btn_->setProperty("Hint", QStringLiteral("0"));
  device->addSeparator()->setObjectName(QStringLiteral("N4"));
  n5_ = AddItem(device, "N5", QStringLiteral("退出"));
  // Edit menu: undo and redo of the editor's edits, and the comparison with a mode file. The
  // shortcuts work from the editor window too, which is a window of its own.
  QMenu* edit = bar->addMenu(QStringLiteral("编辑"));
  edit->setObjectName(QStringLiteral("EditMenu"));
  undo_ = AddItem(edit, "UndoItem", QStringLiteral("撤销"));
  undo_->setShortcuts(EditHistory::UndoKeys());
  redo_ = AddItem(edit, "RedoItem", QStringLiteral("重做"));
  redo_->setShortcuts(EditHistory::RedoKeys());
  for (QAction* action : {undo_, redo_}) {
    action->setShortcutContext(Qt::ApplicationShortcut);
    action->setEnabled(false);
  }
  edit->addSeparator();
  compare_ = AddItem(edit, "CompareItem", QStringLiteral("与模式文件比较..."));
  compare_->setEnabled(false);
  QMenu* help = bar->addMenu(QStringLiteral("帮助"));
  help->setObjectName(QStringLiteral("HelpMenu"));
  aborat1_ = AddItem(help, "aborat1", QStringLiteral("关于"));

  connect(logon1_, &QAction::triggered, this, &TForm4::Logon1Click);
  connect(n1_, &QAction::triggered, this, &TForm4::N1Click);
  connect(network_item_, &QAction::triggered, this, &TForm4::NetworkItemClick);
  connect(venue_item_, &QAction::triggered, this, &TForm4::VenueItemClick);
  connect(off_line_btn_, &QAction::triggered, this, &TForm4::OffLineBtnClick);
  connect(n5_, &QAction::triggered, this, &TForm4::N5Click);
  connect(aborat1_, &QAction::triggered, this, &TForm4::aborat1Click);
}

void TForm4::SetEditor(TForm1* editor) {
  editor_ = editor;
  if (editor_ == nullptr) return;
  EditHistory& history = editor_->history();
  connect(undo_, &QAction::triggered, &history, &EditHistory::Undo);
  connect(redo_, &QAction::triggered, &history, &EditHistory::Redo);
  connect(&history.stack(), &QUndoStack::canUndoChanged, undo_, &QAction::setEnabled);
  connect(&history.stack(), &QUndoStack::canRedoChanged, redo_, &QAction::setEnabled);
  connect(compare_, &QAction::triggered, editor_, &TForm1::CompareWithModeFile);
  connect(editor_, &TForm1::LinkStateChanged, this, &TForm4::UpdateDeviceMenu);
  editor_->SetHostArea([this] { return ClientArea(); });
  UpdateDeviceMenu();
  compare_->setEnabled(true);
  undo_->setEnabled(history.stack().canUndo());
  redo_->setEnabled(history.stack().canRedo());
}

QAction* TForm4::AddItem(QMenu* menu, const char* name, const QString& caption) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

void TForm4::showEvent(QShowEvent* event) {
  ShowRoom(room_);
  QMainWindow::showEvent(event);
}

QRect TForm4::ClientArea() const {
  const QWidget* client = centralWidget();
  if (client == nullptr) return {};
  return QRect(client->mapToGlobal(QPoint(0, 0)), client->size());
}

void TForm4::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (editor_ && editor_->isVisible()) editor_->PlaceInHost();
}

void TForm4::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FitVenueDock();
  if (editor_ && editor_->isVisible()) editor_->PlaceInHost();
}

void TForm4::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && editor_) {
    editor_->HostMinimised(isMinimized());
  }
}

void TForm4::UpdateDeviceMenu() {
  if (editor_ == nullptr) return;
  const LinkView view = editor_->link_view();
  const bool connected = view == LinkView::kConnected;
  const bool connecting = view == LinkView::kConnecting;
  const auto show = [](QAction* item, bool enabled, const QString& reason) {
    item->setEnabled(enabled);
    item->setToolTip(enabled ? QString() : reason);
  };
  show(logon1_, !connected && !connecting,
       connected ? QStringLiteral("设备已连接") : QStringLiteral("正在连接设备"));
  show(n1_, connected || connecting || editor_->searching_quietly(),
       QStringLiteral("没有已连接或正在查找的设备"));
  show(baseline_item_, connected && !editor_->room().empty(),
       QStringLiteral("先打开场所中的一个房间并连接它的设备"));
  if (off_line_btn_->property("Hint").toString() != QStringLiteral("0")) {
    show(off_line_btn_, false, QStringLiteral("离线设备只能使用一次"));
  } else {
    show(off_line_btn_, !editor_->open(), QStringLiteral("编辑器已打开"));
  }
}

void TForm4::closeEvent(QCloseEvent* event) {
  emit Closing();
  QMainWindow::closeEvent(event);
}

void TForm4::Logon1Click() {
  if (editor_ == nullptr) return;
  editor_->LinkBtnClick(editor_->LinkBtn());
  editor_->UpdateLinkState();  // the label and this menu at once, not at the next refresh
}

void TForm4::N1Click() {
  if (editor_ == nullptr) return;
  editor_->LinkBtnClick(editor_->UnLinkBtn());
  editor_->UpdateLinkState();
}

void TForm4::NetworkItemClick() {
  if (editor_) editor_->AddNetworkDevice();
}

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
  if (watched == centralWidget() && editor_ && editor_->isVisible() &&
      (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
    editor_->PlaceInHost();
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm4::DockVenue(QWidget* panel, const QString& title) {
  if (venue_dock_ == nullptr) {
    venue_dock_ = new QDockWidget(this);
    venue_dock_->setObjectName(QStringLiteral("VenueDock"));
    // Part of the main window, never a window of its own that the editor could cover.
    venue_dock_->setFeatures(QDockWidget::DockWidgetClosable);
    venue_dock_->setAllowedAreas(Qt::LeftDockWidgetArea);
    addDockWidget(Qt::LeftDockWidgetArea, venue_dock_);
  }
  if (QWidget* old = venue_dock_->widget()) {
    old->hide();
    old->deleteLater();
  }
  venue_dock_->setWindowTitle(title);
  venue_dock_->setWidget(panel);
  venue_dock_->show();
  venue_dock_->raise();
  FitVenueDock();
}

void TForm4::FitVenueDock() {
  if (venue_dock_ == nullptr || !venue_dock_->isVisible()) return;
  // The editor's width (and the dock's separator) beside it, the rest for the rooms: at least
  // 200 and at most 520 pixels.
  const int editor_width = editor_ != nullptr ? editor_->width() : 1106;
  const int separator = style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, this);
  const int width = std::clamp(this->width() - editor_width - separator - 2, 200, 520);
  resizeDocks({venue_dock_}, {width}, Qt::Horizontal);
}

void TForm4::VenueItemClick() {
  if (venue_dock_ != nullptr && venue_dock_->widget() != nullptr) {
    venue_dock_->show();
    venue_dock_->raise();
    venue_dock_->widget()->setFocus();
    return;
  }
  ChooseVenueFile();
}

void TForm4::ChooseVenueFile() {
  const QString path = QFileDialog::getOpenFileName(
      this, QStringLiteral("场所"), QString(), QStringLiteral("场所文件 (*.toml);;所有文件 (*)"));
  if (!path.isEmpty()) emit VenueChosen(path);
}

void TForm4::ShowRoom(const QString& room) {
  room_ = room;
  setWindowTitle(room.isEmpty() ? kShownCaption : room + QStringLiteral(" - ") + kShownCaption);
}

void TForm4::OffLineBtnClick() {
  if (off_line_btn_->property("Hint").toString() == QStringLiteral("0") && editor_) {
    editor_->ShowEditor();
  }
  off_line_btn_->setEnabled(false);
  off_line_btn_->setProperty("Hint", QStringLiteral("1"));
  UpdateDeviceMenu();
}

void TForm4::N5Click() { close(); }

void TForm4::aborat1Click() {
  if (editor_) editor_->message_boxes().Information(QStringLiteral("关于"), kAboutText);
}

}  // namespace kc

#include "app/status_box.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <algorithm>

namespace kc {

QString LinkStatusText(LinkStatus status) {
  switch (status) {
    case LinkStatus::kSearching:
      return QStringLiteral("设备搜索...");
    case LinkStatus::kConnecting:
      return QStringLiteral("连接中...");
    case LinkStatus::kLoading:
      return QStringLiteral("加载中...");
    case LinkStatus::kUploading:
      return QStringLiteral("下载数据...");
    case LinkStatus::kSaving:
      return QStringLiteral("保存中...");
    case LinkStatus::kConnected:
      return QStringLiteral("设备已连接");
    case LinkStatus::kNotConnected:
      break;
  }
  return QStringLiteral("设备未连接");
}

QString LinkViewText(LinkView view) {
  switch (view) {
    case LinkView::kConnected:
      return LinkStatusText(LinkStatus::kConnected);
    case LinkView::kConnecting:
      return LinkStatusText(LinkStatus::kConnecting);
    case LinkView::kDisconnected:
      return QStringLiteral("已断开连接");
    case LinkView::kNeverConnected:
      break;
  }
  return QStringLiteral("离线编辑");
}

QString LinkViewText(const Link& link) {
  const LinkView view = link.View();
  if (link.LineTaken()) return QStringLiteral("串口服务器被占用");
  if (link.SearchingQuietly() && view != LinkView::kConnected && view != LinkView::kConnecting) {
    return QStringLiteral("正在查找设备...");
  }
  if (!link.declined_box().empty() && !link.busy() && view != LinkView::kConnected) {
    return QStringLiteral("设备不符");
  }
  return LinkViewText(view);
}

QString LinkLabelTip(const Link& link, const std::string& room_port) {
  std::string port = room_port.empty() ? link.box_port() : room_port;
  const QString where =
      port.empty() ? QStringLiteral("没有端口") : QString::fromLocal8Bit(port.c_str());
  QString box;
  if (link.View() == LinkView::kConnected && !link.device_id().empty()) {
    box = QStringLiteral("设备 ") + QString::fromStdString(link.device_id());
  } else if (!link.declined_box().empty()) {
    box = QStringLiteral("设备 %1（不是这个房间的设备，未编辑）")
              .arg(QString::fromStdString(link.declined_box()));
  } else {
    box = QStringLiteral("没有连接设备");
  }
  QString tip = where + QStringLiteral(" · ") + box;
  if (link.LineTaken()) {
    tip += QStringLiteral(
        "\n串口服务器断开了连接（可能已由其他程序使用），30 秒后再试；菜单“设备”→“连接”立即重试");
  }
  return tip;
}

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Form2"));
  // A dialog frame without caption buttons that stays above the other windows.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowStaysOnTopHint);
  setWindowTitle(QStringLiteral("设备状态"));
  setAttribute(Qt::WA_QuitOnClose, false);
  setFixedSize(306, 85);

  link_label_ = new QLabel(LinkStatusText(LinkStatus::kNotConnected), this);
  link_label_->setObjectName(QStringLiteral("LinkLabel"));
  link_label_->setGeometry(12, 6, 282, 18);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("RzProgressStatus1"));
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setFormat(QStringLiteral("%p%"));
  progress_->setTextVisible(true);
  progress_->setGeometry(12, 28, 282, 22);

  label1_ = new QLabel(QStringLiteral("请稍等,可能需要几秒钟才能完成操作！"), this);
  label1_->setObjectName(QStringLiteral("Label1"));
  label1_->setGeometry(12, 58, 282, 18);
}

void TForm2::SetStatus(const QString& text, int percent) {
  link_label_->setText(text);
  progress_->setValue(std::clamp(percent, 0, 100));
}

void TForm2::showEvent(QShowEvent* event) {
  if (!centred_) {
    centred_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect frame = geometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  QDialog::showEvent(event);
}

void TForm2::keyPressEvent(QKeyEvent* event) {
  // Only the connection logic shows and hides the box: Escape does not dismiss it.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace kc

#include "app/link_window.h"

#include <QCloseEvent>

#include "app/editor_window.h"
#include "app/message_box.h"
#include "app/status_box.h"
#include "link/qt/link_timers.h"
#include "model/parameter_store.h"

namespace kc {
namespace {

// No port answered the probe: the usual causes, in the order worth checking, and the way to
// work without a box.
constexpr char kConnectFailedHint[] =
    "没有找到设备。请检查：\n"
    "1. 设备已通电，USB 转串口线两端已插好；\n"
    "2. 当前用户有权使用该串口（Linux 下串口属于 dialout 组：sudo usermod -aG dialout "
    "$USER，重新登录后生效；安装软件包后的 USB 串口无需此步）；\n"
    "3. 没有其他程序占用该串口。\n"
    "然后用菜单“设备”→“连接”重新搜索；菜单“设备”→“离线设备”可不连接设备打开编辑器。";

}  // namespace

TForm3::TForm3(MessageBoxes& boxes, QWidget* parent) : QWidget(parent), boxes_(boxes) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("系统"));
  setAttribute(Qt::WA_QuitOnClose, false);
  com_port_.setObjectName(QStringLiteral("ComPort"));
  timer1_.setObjectName(QStringLiteral("Timer1"));
  timer2_.setObjectName(QStringLiteral("Timer2"));
  hold_timer_.setObjectName(QStringLiteral("HoldTimer"));
  SetUpLinkTimers(timer1_, timer2_, hold_timer_);
  hide();
}

TForm3::~TForm3() { Detach(); }

void TForm3::RecordTo(LineRecorder& recorder) {
  recording_port_ = std::make_unique<RecordingSerialPort>(com_port_, recorder);
}

void TForm3::Attach(ParameterStore& store, TForm1& editor, TForm2& status) {
  Detach();
  editor_ = &editor;
  status_ = &status;
  SerialPort& port = recording_port_ ? static_cast<SerialPort&>(*recording_port_) : com_port_;
  link_ = std::make_unique<Link>(port, store, *this);
  link_->set_auto_reconnect(true);
  connect(&timer1_, &QTimer::timeout, this, [this] { link_->Timer1Timer(); });
  connect(&timer2_, &QTimer::timeout, this, [this] { link_->Timer2Timer(); });
  connect(&hold_timer_, &QTimer::timeout, this, [this] { link_->HoldTimerTimer(); });
  com_port_.SetReceiveHandler([this](int count) { link_->ComPortRxChar(count); });
  com_port_.SetLogHandler([this](const std::string& line) { AppendLog(line); });
}

void TForm3::Detach() {
  if (!link_) return;
  for (QTimer* timer : {&timer1_, &timer2_, &hold_timer_}) {
    timer->stop();
    timer->disconnect(this);
  }
  com_port_.SetReceiveHandler(nullptr);
  com_port_.SetLogHandler(nullptr);
  link_.reset();
  editor_ = nullptr;
  status_ = nullptr;
}

void TForm3::closeEvent(QCloseEvent* event) {
  // The link window is never seen; asked to close, it only hides.
  hide();
  event->ignore();
}

void TForm3::ShowStatus(LinkStatus status, int percent, bool visible) {
  const QString status_text = LinkStatusText(status);
  if (editor_) editor_->SetLinkText(status_text);
  if (!status_) return;
  status_->SetStatus(status_text, percent);
  if (visible) {
    if (!status_->isVisible()) {
      // Shown without taking the focus: an edit box of the editor that lost it would apply its
      // text again, into the settings the download is writing.
      status_->setAttribute(Qt::WA_ShowWithoutActivating, true);
      status_->show();
      status_->raise();
    }
  } else if (status_->isVisible()) {
    status_->hide();
  }
}

void TForm3::ShowMessage(const LinkMessage& message) {
  switch (message.outcome) {
    case LinkOutcome::kSaved:
      boxes_.Information(kHintCaption, QStringLiteral("保存成功!"));
      return;
    case LinkOutcome::kLost:
      boxes_.Information(kHintCaption, QStringLiteral("已断开连接!"));
      return;
    case LinkOutcome::kFailed:
      if (message.failure == LinkFailure::kChecksum) {
        boxes_.Information(kHintCaption, QStringLiteral("数据校验错误，连接失败!"));
        return;
      }
      boxes_.InformationWithHint(kHintCaption, QStringLiteral("连接失败!"),
                                 QString::fromUtf8(kConnectFailedHint));
      return;
  }
}

void TForm3::ShowEditor() {
  if (transfer_clock_.isValid()) {
    last_transfer_ms_ = transfer_clock_.elapsed();
    transfer_clock_.invalidate();
    ++transfers_done_;
  }
  if (editor_) editor_->ShowEditor();
}

void TForm3::RefreshPages(int selection) {
  if (editor_) editor_->RefreshPages(selection);
}

void TForm3::ModeNamesChanged() {
  if (editor_) editor_->ModeNamesChanged();
}

void TForm3::DeviceIdChanged() {
  if (editor_ && link_) editor_->SetDeviceId(QString::fromStdString(link_->device_id()));
}

void TForm3::SetTimers(bool scan, bool transfer, bool hold) {
  if (transfer && !timer2_.isActive()) transfer_clock_.start();
  MirrorLinkTimer(timer1_, scan);
  MirrorLinkTimer(timer2_, transfer);
  MirrorLinkTimer(hold_timer_, hold);
}

void TForm3::AppendLog(const std::string& line) {
  if (editor_) editor_->AppendLog(QString::fromStdString(line));
}

void TForm3::OfferEditorChanges(int count, bool same_box) {
  // Asked once the link has finished its state changes; the box's settings are on the pages
  // until the answer.
  QTimer::singleShot(0, this, [this, count, same_box] {
    if (!link_) return;
    const QString id = QString::fromStdString(link_->device_id());
    bool send = false;
    if (same_box) {
      send = boxes_.YesNo(kHintCaption, QStringLiteral("编辑器中有 %1 项修改设备中还没有。\n"
                                                       "是否把编辑器中的设置发送到设备？\n"
                                                       "选“否”则保留设备中的设置。")
                                            .arg(count));
    } else {
      send = boxes_.YesNoDefaultNo(kHintCaption,
                                   QStringLiteral("编辑器中有 %1 项修改，是为另一台设备所做的；"
                                                  "现在连接的是设备 %2。\n"
                                                  "是否把编辑器中的设置发送到这台设备？\n"
                                                  "选“否”则保留这台设备中的设置。")
                                       .arg(count)
                                       .arg(id));
    }
    if (link_) link_->AnswerEditorChanges(send);
  });
}

bool TForm3::RelistPorts(std::vector<std::string>* names) {
  if (!port_lister_) return false;
  try {
    *names = port_lister_();
  } catch (...) {
    return false;  // the ports of the last round are tried again
  }
  return true;
}

}  // namespace kc

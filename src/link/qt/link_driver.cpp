#include "link/qt/link_driver.h"

#include "link/qt/link_timers.h"

namespace kc {

LinkDriver::LinkDriver(ParameterStore& store, LinkHost& host, LineRecorder* recorder,
                       QObject* parent)
    : QObject(parent), host_(host) {
  com_port_.setObjectName(QStringLiteral("ComPort"));
  timer1_.setObjectName(QStringLiteral("Timer1"));
  timer2_.setObjectName(QStringLiteral("Timer2"));
  hold_timer_.setObjectName(QStringLiteral("HoldTimer"));
  if (recorder != nullptr) {
    recording_port_ = std::make_unique<RecordingSerialPort>(com_port_, *recorder);
  }
  link_ = std::make_unique<Link>(line(), store, static_cast<LinkHost&>(*this));
  SetUpLinkTimers(timer1_, timer2_, hold_timer_);
  connect(&timer1_, &QTimer::timeout, this, [this] { link_->Timer1Timer(); });
  connect(&timer2_, &QTimer::timeout, this, [this] { link_->Timer2Timer(); });
  connect(&hold_timer_, &QTimer::timeout, this, [this] { link_->HoldTimerTimer(); });
  com_port_.SetReceiveHandler([this](int count) { link_->ComPortRxChar(count); });
  com_port_.SetLogHandler([this](const std::string& line) { host_.AppendLog(line); });
  com_port_.SetClosedHandler([this](bool by_server) { link_->LineClosed(by_server); });
}

LinkDriver::~LinkDriver() {
  Stop();
  link_.reset();
}

SerialPort& LinkDriver::line() {
  return recording_port_ ? static_cast<SerialPort&>(*recording_port_) : com_port_;
}

void LinkDriver::Stop() {
  for (QTimer* timer : {&timer1_, &timer2_, &hold_timer_}) timer->stop();
  com_port_.SetReceiveHandler(nullptr);
  com_port_.SetLogHandler(nullptr);
  com_port_.SetClosedHandler(nullptr);
}

void LinkDriver::ShowStatus(LinkStatus status, int percent, bool visible) {
  host_.ShowStatus(status, percent, visible);
}
void LinkDriver::ShowMessage(const LinkMessage& message) { host_.ShowMessage(message); }
void LinkDriver::ShowEditor() { host_.ShowEditor(); }
void LinkDriver::RefreshPages(int selection) { host_.RefreshPages(selection); }
void LinkDriver::ModeNamesChanged() { host_.ModeNamesChanged(); }
void LinkDriver::DeviceIdChanged() { host_.DeviceIdChanged(); }
void LinkDriver::AppendLog(const std::string& line) { host_.AppendLog(line); }
void LinkDriver::OfferEditorChanges(int count, bool same_box) {
  host_.OfferEditorChanges(count, same_box);
}
bool LinkDriver::RelistPorts(std::vector<std::string>* names) { return host_.RelistPorts(names); }
void LinkDriver::AskAboutOtherBox(const std::string& expected, const std::string& found) {
  host_.AskAboutOtherBox(expected, found);
}

void LinkDriver::SetTimers(bool scan, bool transfer, bool hold) {
  // The host learns of a transfer starting (to time it) before its first tick can run.
  host_.SetTimers(scan, transfer, hold);
  MirrorLinkTimer(timer1_, scan);
  MirrorLinkTimer(timer2_, transfer);
  MirrorLinkTimer(hold_timer_, hold);
}

}  // namespace kc

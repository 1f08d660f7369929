#include "link/qt/line_port.h"

#include "link/port_address.h"

namespace kc {

LinePort::LinePort(QObject* parent) : QObject(parent) {}

bool LinePort::Open(const std::string& name) {
  Close();
  name_ = name;
  active_ = IsNetworkPortName(name) ? static_cast<SerialPort*>(&network_) : &device_;
  return active_->Open(name);
}

bool LinePort::CanOpen(const std::string& name) {
  if (IsNetworkPortName(name)) return true;
  if (!device_.Open(name)) return false;
  device_.Close();
  return true;
}

void LinePort::Close() {
  if (active_ != nullptr) active_->Close();
}

bool LinePort::IsOpen() const { return active_ != nullptr && active_->IsOpen(); }

bool LinePort::Write(const uint8_t* data, std::size_t size) {
  return active_ != nullptr && active_->Write(data, size);
}

std::size_t LinePort::Read(uint8_t* data, std::size_t size) {
  return active_ != nullptr ? active_->Read(data, size) : 0;
}

std::size_t LinePort::BytesWaiting() const {
  return active_ != nullptr ? active_->BytesWaiting() : 0;
}

void LinePort::SetReceiveHandler(std::function<void(int count)> handler) {
  device_.SetReceiveHandler(handler);
  network_.SetReceiveHandler(std::move(handler));
}

void LinePort::SetLogHandler(std::function<void(const std::string& line)> log) {
  device_.SetLogHandler(log);
  network_.SetLogHandler(std::move(log));
}

}  // namespace kc

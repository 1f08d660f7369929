#include "link/qt/receive_notifier.h"

#include <QMetaObject>
#include <algorithm>

#include "link/qt/qt_serial_port.h"  // kReadBufferSize

namespace kc {

ReceiveNotifier::ReceiveNotifier(std::function<std::size_t()> waiting, QObject* parent)
    : QObject(parent), waiting_(std::move(waiting)) {}

void ReceiveNotifier::OnArrival() {
  if (busy_ > 0) {
    // The link is inside Read, Write or its handler: it must not be entered twice.
    missed_ = true;
    return;
  }
  Deliver();
}

void ReceiveNotifier::Schedule() {
  if (posted_) return;
  posted_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        posted_ = false;
        if (busy_ > 0) {
          missed_ = true;
          return;
        }
        Deliver();
      },
      Qt::QueuedConnection);
}

void ReceiveNotifier::Deliver() {
  missed_ = false;
  const std::size_t waiting = waiting_();
  if (waiting == 0 || !handler_) return;
  const std::size_t read_before = bytes_read_;
  {
    Busy busy(*this);
    handler_(static_cast<int>(std::min<std::size_t>(waiting, kReadBufferSize)));
  }
  // A receiver that took nothing is waiting for the rest of a frame; the next arrival will
  // notify it.
  if (waiting_() > 0 && (bytes_read_ != read_before || missed_)) Schedule();
}

}  // namespace kc

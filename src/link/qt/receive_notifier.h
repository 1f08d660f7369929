// The receive notification of a line to the box, on the user-interface thread, shared by every
// kind of line (a serial device, a serial device server on the network).
//
// The link must never be entered twice: a notification that comes up while it is inside Read,
// Write or its receive handler is delivered afterwards. And the receiver stops after an
// acknowledgement or a frame even when more bytes wait, so bytes left behind by a handler that
// made progress are handed over by a notification of their own rather than waiting for the box
// to send something else.
#pragma once

#include <QObject>
#include <cstddef>
#include <functional>

namespace kc {

class ReceiveNotifier : public QObject {
  Q_OBJECT

 public:
  // Marks the line busy (inside Read, Write or the handler) for its lifetime.
  class Busy {
   public:
    explicit Busy(ReceiveNotifier& notifier) : notifier_(notifier) { ++notifier_.busy_; }
    ~Busy() { --notifier_.busy_; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

   private:
    ReceiveNotifier& notifier_;
  };

  // `waiting` tells how many bytes the line holds for reading.
  explicit ReceiveNotifier(std::function<std::size_t()> waiting, QObject* parent = nullptr);

  void SetHandler(std::function<void(int count)> handler) { handler_ = std::move(handler); }
  // Bytes arrived on the line.
  void OnArrival();
  // The line handed `count` bytes to a reader.
  void NoteRead(std::size_t count) { bytes_read_ += count; }
  // A new connection: nothing missed on the old one is owed.
  void Reset() { missed_ = false; }

 private:
  void Schedule();
  void Deliver();

  std::function<std::size_t()> waiting_;
  std::function<void(int)> handler_;
  int busy_ = 0;
  bool posted_ = false;
  bool missed_ = false;
  std::size_t bytes_read_ = 0;
};

}  // namespace kc

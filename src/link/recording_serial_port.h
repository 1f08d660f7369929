// The line recorder: a SerialPort that passes everything on to the port it wraps and writes every
// frame sent and received to a text recording, one line per frame:
//
//   <seconds since the recording began> <port> TX|RX <bytes in hexadecimal>
//   0.613 /dev/pts/4 TX FC B1 06 A7 09 30 11 00 5C
//   0.640 /dev/pts/4 RX FE BB
//
// Opening and closing the port are noted as "OPEN" / "OPEN-FAILED" / "CLOSE" lines. What the box
// sends is read by the link a byte or a body at a time; the recorder cuts those reads back into
// acknowledgements and frames as they stood on the line, with bytes between them on a line of
// their own ("RX ... " of what was dropped). Lines starting with "#" are comments.
//
// Several ports may share one recorder (one file for all the boxes of a run). The clock is passed
// in, so tests need no sleep.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace kc {

enum class LineDirection { kSent, kReceived };

// One recording file, shared by the ports of a run.
class LineRecorder {
 public:
  // Microseconds from any fixed origin; the recording counts from its first reading.
  using Clock = std::function<int64_t()>;

  LineRecorder(std::ostream& out, Clock clock);

  void Frame(const std::string& port, LineDirection direction, const std::vector<uint8_t>& bytes);
  void Note(const std::string& port, const std::string& what);
  int lines() const { return lines_; }
  // True once a line could not be written (a full disk, a closed stream): the recording is
  // incomplete from then on, and whoever owns it must say so.
  bool failed() const { return out_.fail(); }

 private:
  std::string Stamp();

  std::ostream& out_;
  Clock clock_;
  int64_t origin_ = 0;
  bool started_ = false;
  int lines_ = 0;
};

// Cuts a received byte stream into acknowledgements, frames and stray bytes by the receiver's own
// rule (JudgeHead): FE BB or FE AA; FC B1 length access(A7|A0) and length - 1 more bytes; a head
// the receiver rejects (FE and another byte, a wrong second or access byte, a length below 4) is
// one piece of what it dropped; bytes between lead bytes are one stray piece.
class StreamCutter {
 public:
  // Adds bytes; every complete piece goes to `piece`.
  void Feed(const uint8_t* data, std::size_t size,
            const std::function<void(const std::vector<uint8_t>&)>& piece);
  // Hands over whatever is left (a partial frame), e.g. when the port closes.
  void Flush(const std::function<void(const std::vector<uint8_t>&)>& piece);

 private:
  std::vector<uint8_t> pending_;
  std::vector<uint8_t> stray_;
};

class RecordingSerialPort : public SerialPort {
 public:
  // Both must outlive this port.
  RecordingSerialPort(SerialPort& inner, LineRecorder& recorder);

  bool Open(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override;
  bool Write(const uint8_t* data, std::size_t size) override;
  std::size_t Read(uint8_t* data, std::size_t size) override;
  std::size_t BytesWaiting() const override;

 private:
  SerialPort& inner_;
  LineRecorder& recorder_;
  std::string name_;
  StreamCutter cutter_;
};

}  // namespace kc

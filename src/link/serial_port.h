// The serial line to the box as the link sees it. The program implements it with QSerialPort;
// tests use fakes that capture written bytes and feed received ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kc {

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens the named port at 57600 baud, 8 data bits, no parity, 1 stop bit, no flow control,
  // DTR and RTS asserted where the device allows it. False when it cannot be opened.
  virtual bool Open(const std::string& name) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Writes all bytes in one call. False when the write failed.
  virtual bool Write(const uint8_t* data, std::size_t size) = 0;
  // Reads up to size bytes, waiting at most the line's read time-out; returns the count read,
  // which may be fewer than asked for.
  virtual std::size_t Read(uint8_t* data, std::size_t size) = 0;
  // Number of bytes waiting in the input buffer.
  virtual std::size_t BytesWaiting() const = 0;
};

}  // namespace kc

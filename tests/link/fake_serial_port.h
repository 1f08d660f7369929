// A serial port held in memory: tests feed the bytes the box "sends", read back what the link
// wrote, make writes fail, make reads come up short and list the ports that open.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace kc::testing {

class FakeSerialPort : public SerialPort {
 public:
  bool Open(const std::string& name) override {
    opened.push_back(name);
    if (!openable.empty() && openable.count(name) == 0) return false;
    open_ = true;
    name_ = name;
    input_.clear();  // a freshly opened port has nothing waiting
    return true;
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  bool Write(const uint8_t* data, std::size_t size) override {
    if (fail_writes) return false;
    writes.emplace_back(data, data + size);
    if (on_write) on_write(writes.back());
    return true;
  }
  std::size_t Read(uint8_t* data, std::size_t size) override {
    std::size_t n = std::min(size, input_.size());
    if (short_reads > 0 && n > 0) {
      --short_reads;
      n = std::min<std::size_t>(n, short_read_size);
    }
    for (std::size_t i = 0; i < n; ++i) {
      data[i] = input_.front();
      input_.pop_front();
    }
    return n;
  }
  std::size_t BytesWaiting() const override { return input_.size(); }

  // Bytes the box sends; they wait until the link reads them.
  void Feed(const std::vector<uint8_t>& bytes) {
    input_.insert(input_.end(), bytes.begin(), bytes.end());
  }
  void Feed(const uint8_t* data, std::size_t size) {
    input_.insert(input_.end(), data, data + size);
  }
  const std::string& name() const { return name_; }

  // Open the port for a test that does not run the scan.
  void ForceOpen() { open_ = true; }

  std::vector<std::vector<uint8_t>> writes;
  std::vector<std::string> opened;
  // Names that open; empty means every name opens.
  std::set<std::string> openable;
  bool fail_writes = false;
  // The next short_reads reads return at most short_read_size bytes.
  int short_reads = 0;
  std::size_t short_read_size = 0;
  std::function<void(const std::vector<uint8_t>&)> on_write;

 private:
  bool open_ = false;
  std::string name_;
  std::deque<uint8_t> input_;
};

}  // namespace kc::testing

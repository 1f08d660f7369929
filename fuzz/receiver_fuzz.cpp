// Arbitrary byte streams, cut into arbitrary notifications, through the receiver and into a
// store. The last input byte seeds how the stream is cut and how many bytes each notification
// claims (sometimes more than are there, as a timed-out read would leave it).
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "../tests/link/fake_serial_port.h"
#include "link/receiver.h"
#include "model/parameter_store.h"

namespace {

class NullHost : public kc::LinkHost {
 public:
  void ShowStatus(const std::string&, int, bool) override {}
  void ShowMessage(const std::string&) override {}
  void ShowEditor() override {}
  void RefreshPages(int) override {}
  void ModeNamesChanged() override {}
  void DeviceIdChanged() override {}
  void SetTimers(bool, bool, bool) override {}
  void AppendLog(const std::string& line) override { log_bytes += line.size(); }
  std::size_t log_bytes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  kc::testing::FakeSerialPort port;
  kc::ParameterStore store;
  NullHost host;
  kc::Receiver rx(port, store, host);
  std::minstd_rand random(data[size - 1] * 131u + static_cast<unsigned>(size));
  rx.set_mode_name_index(static_cast<int>(random() % 17));

  std::size_t at = 0;
  while (at < size) {
    const std::size_t piece = std::min<std::size_t>(size - at, 1 + random() % 64);
    port.Feed(data + at, piece);
    at += piece;
    int count = static_cast<int>(port.BytesWaiting());
    if (random() % 8 == 0) count += static_cast<int>(random() % 300);
    if (random() % 16 == 0) {
      port.short_reads = 1;
      port.short_read_size = random() % 8;
    }
    rx.ComPortRxChar(count);
    if (random() % 4 == 0) rx.set_mode_name_index(static_cast<int>(random() % 17));
  }
  for (int guard = 0; port.BytesWaiting() > 0 && guard < 100000; ++guard) {
    rx.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
  }
  // Whole inputs as one frame as well.
  rx.ParseFrame(std::vector<uint8_t>(data, data + size));

  // The buffer never holds more than the largest frame; names never exceed 20 characters.
  if (rx.buffer().size() > 258) __builtin_trap();
  for (const std::string& name : rx.texts().mode_names) {
    if (name.size() > 20) __builtin_trap();
  }
  for (int block = 0; block < kc::kBlockCount; ++block) {
    for (int32_t v : store.DeviceRow(block)) {
      if (v < 0 || v > 0xFFFF) __builtin_trap();
    }
  }
  return 0;
}

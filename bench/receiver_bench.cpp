// Receiver throughput on the stream a whole download brings: block data, names, system items,
// passwords, identity and acknowledgements, in notifications of the sizes a serial driver gives.
#include <benchmark/benchmark.h>

#include <vector>

#include "../tests/link/fake_serial_port.h"
#include "../tests/link/mini_box.h"
#include "../tests/link/recording_link_host.h"
#include "link/frames.h"
#include "link/receiver.h"

namespace {

using kc::testing::Bytes;

// The answers to the 42 download requests with an acknowledgement after each, `downloads` times.
Bytes DownloadStream(int downloads) {
  kc::testing::MiniBox box;
  Bytes one;
  for (int step = 0; step <= 27; ++step) {
    for (int mode = 0; mode < (step == 9 ? 15 : 1); ++mode) {
      Bytes request;
      if (step <= 8) {
        request = kc::BuildFixedFrame(kc::kReadAccess, kc::kReadBlockId, step);
      } else {
        const uint8_t payload[2] = {static_cast<uint8_t>(mode), 0};
        request = kc::BuildVariableFrame(kc::kReadAccess, kc::DownloadStepId(step), payload,
                                         step == 9 ? 2 : 0);
      }
      const Bytes answer = box.Answer(request);
      one.insert(one.end(), answer.begin(), answer.end());
      one.push_back(kc::kAckLead);
      one.push_back(kc::kAckCodeBb);
    }
  }
  Bytes stream;
  for (int i = 0; i < downloads; ++i) stream.insert(stream.end(), one.begin(), one.end());
  return stream;
}

void BM_ReceiverDownloadStream(benchmark::State& state) {
  const Bytes stream = DownloadStream(20);
  const std::size_t piece = static_cast<std::size_t>(state.range(0));
  kc::testing::FakeSerialPort port;
  kc::ParameterStore store;
  kc::testing::RecordingLinkHost host;
  kc::Receiver rx(port, store, host);
  rx.set_mode_name_index(1);
  for (auto _ : state) {
    host.log.clear();
    // Bytes arrive `piece` at a time; each arrival gives one notification, and the port
    // notifies again while bytes are left.
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      port.Feed(stream.data() + at, std::min(piece, stream.size() - at));
      rx.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
    }
    while (port.BytesWaiting() > 0) rx.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
    benchmark::DoNotOptimize(store.Device(8, 52));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(stream.size()));
}
BENCHMARK(BM_ReceiverDownloadStream)->Arg(1)->Arg(32)->Arg(1024);

}  // namespace

BENCHMARK_MAIN();

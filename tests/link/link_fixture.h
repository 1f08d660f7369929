// The link under test against a minimal box, driven tick by tick.
#pragma once

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "fake_serial_port.h"
#include "link/link.h"
#include "mini_box.h"
#include "recording_link_host.h"

namespace kc::testing {

inline int IdOf(const Bytes& frame) { return frame[4] * 256 + frame[5]; }
inline int ValueOf(const Bytes& frame) { return frame[6] + 256 * frame[7]; }
// The device-identity read the link sends after a silence.
inline const Bytes kIdentityRead = {0xFC, 0xB1, 0x04, 0xA0, 0x09, 0x40, 0x54};

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() {
    port.on_write = [this](const Bytes& request) {
      if (answering) port.Feed(box.Answer(request));
    };
  }

  // One receive notification for whatever is waiting.
  void Notify() {
    if (port.BytesWaiting() > 0) link.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
  }
  void HoldTicks(int n) {
    for (int i = 0; i < n; ++i) {
      Notify();
      link.HoldTimerTimer();
    }
  }
  // Runs the transfer until Timer2 stops, at most `limit` ticks; returns the ticks run.
  int RunTransfer(int limit = 200) {
    int ticks = 0;
    while (host.transfer_on && ticks < limit) {
      Notify();
      link.Timer2Timer();
      ++ticks;
    }
    return ticks;
  }
  void ConnectReady() {
    link.SetPortNames({"COM1"});
    link.Connect();
    link.Timer1Timer();  // probe
    Notify();            // its acknowledgement
    link.Timer1Timer();  // download starts
    RunTransfer();
    ASSERT_EQ(link.state(), LinkState::kReady);
    port.writes.clear();
    host.messages.clear();
  }
  std::vector<int> WrittenIds() const {
    std::vector<int> ids;
    for (const Bytes& w : port.writes) ids.push_back(IdOf(w));
    return ids;
  }
  // (id, value) of every parameter frame written (fixed frames other than the link commands).
  std::vector<std::pair<int, int>> WrittenParams() const {
    std::vector<std::pair<int, int>> sent;
    for (const Bytes& w : port.writes) {
      if (w.size() == 9 && IdOf(w) != kLinkControlId) sent.push_back({IdOf(w), ValueOf(w)});
    }
    return sent;
  }

  FakeSerialPort port;
  ParameterStore store;
  RecordingLinkHost host;
  Link link{port, store, host};
  MiniBox box;
  bool answering = true;
};

}  // namespace kc::testing

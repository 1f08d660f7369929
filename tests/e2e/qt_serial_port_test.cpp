// The QSerialPort adapter against a pseudo-terminal whose other end this test drives.
#include "pty_box.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "link/qt/qt_serial_port.h"
// clang-format on

namespace kc {
namespace {

using e2e::PtyBox;
using e2e::WaitFor;

class QtSerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(box_.ok());
    box_.set_answering(false);
    port_.SetLogHandler([this](const std::string& line) { log_.push_back(line); });
  }

  PtyBox box_;
  QtSerialPort port_;
  std::vector<std::string> log_;
};

TEST_F(QtSerialPortTest, OpensByNameAndRefusesAPortThatDoesNotExist) {
  EXPECT_FALSE(port_.Open("/dev/no-such-serial-port"));
  EXPECT_FALSE(port_.IsOpen());
  // Writes to a closed port go nowhere and say so.
  const uint8_t probe[] = {0xFC, 0xB1, 0x06, 0xA7, 0x09, 0x30, 0x11, 0x00, 0x5C};
  EXPECT_FALSE(port_.Write(probe, sizeof probe));

  ASSERT_TRUE(port_.Open(box_.path()));
  EXPECT_TRUE(port_.IsOpen());
  port_.Close();
  EXPECT_FALSE(port_.IsOpen());
  // Reopening after a close works (the scan does this on every tick).
  EXPECT_TRUE(port_.Open(box_.path()));
}

TEST_F(QtSerialPortTest, WritesTheWholeFrameAndReadsWhatArrives) {
  ASSERT_TRUE(port_.Open(box_.path()));
  std::vector<int> counts;
  std::vector<uint8_t> got;
  port_.SetReceiveHandler([&](int count) {
    counts.push_back(count);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(count));
    buffer.resize(port_.Read(buffer.data(), buffer.size()));
    got.insert(got.end(), buffer.begin(), buffer.end());
  });

  const std::vector<uint8_t> probe = {0xFC, 0xB1, 0x06, 0xA7, 0x09, 0x30, 0x11, 0x00, 0x5C};
  ASSERT_TRUE(port_.Write(probe.data(), probe.size()));
  ASSERT_TRUE(WaitFor([&] { return box_.received().size() >= probe.size(); }, 2000));
  EXPECT_EQ(box_.received(), probe);

  // Every byte value goes through unchanged: no line editing, no flow control characters.
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
  box_.Send(all);
  ASSERT_TRUE(WaitFor([&] { return got.size() >= all.size(); }, 2000));
  EXPECT_EQ(got, all);
  ASSERT_FALSE(counts.empty());
  for (int count : counts) EXPECT_GT(count, 0);
}

TEST_F(QtSerialPortTest, BytesLeftByTheReceiverAreHandedOverAgain) {
  ASSERT_TRUE(port_.Open(box_.path()));
  // The receiver stops after an acknowledgement even when a frame follows in the same burst.
  std::vector<int> counts;
  port_.SetReceiveHandler([&](int count) {
    counts.push_back(count);
    uint8_t two[2];
    port_.Read(two, 2);
  });
  box_.Send({0xFE, 0xBB, 0xFC, 0xB1, 0x06, 0xA0});
  ASSERT_TRUE(WaitFor([&] { return counts.size() >= 3; }, 2000));
  e2e::RunEventLoopFor(50);
  EXPECT_EQ(counts, (std::vector<int>{6, 4, 2}));
}

TEST_F(QtSerialPortTest, AReceiverWaitingForMoreBytesIsNotCalledAgainUntilTheyCome) {
  ASSERT_TRUE(port_.Open(box_.path()));
  std::vector<int> counts;
  port_.SetReceiveHandler([&](int count) {
    counts.push_back(count);
    if (count >= 4) {
      uint8_t four[4];
      port_.Read(four, 4);
    }
  });
  box_.Send({0xFC, 0xB1});
  e2e::RunEventLoopFor(100);
  EXPECT_EQ(counts, (std::vector<int>{2}));
  box_.Send({0x06, 0xA0});
  ASSERT_TRUE(WaitFor([&] { return counts.size() >= 2; }, 2000));
  e2e::RunEventLoopFor(50);
  EXPECT_EQ(counts, (std::vector<int>{2, 4}));
}

TEST_F(QtSerialPortTest, ReadWaitsForMissingBytesUpToItsTimeOut) {
  ASSERT_TRUE(port_.Open(box_.path()));
  uint8_t byte = 0;
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(port_.Read(&byte, 1), 0u);
  const qint64 waited = clock.elapsed();
  std::printf("read of a missing byte returned after %lld ms (time-out 1000 ms)\n",
              static_cast<long long>(waited));
  // It waited rather than returned at once, and it came back: a busy machine only makes the
  // wait longer.
  EXPECT_GE(waited, 500);
  EXPECT_LT(waited, 30000);
}

TEST_F(QtSerialPortTest, TheReceiverIsNeverEnteredTwice) {
  ASSERT_TRUE(port_.Open(box_.path()));
  int depth = 0;
  int deepest = 0;
  int calls = 0;
  port_.SetReceiveHandler([&](int count) {
    ++calls;
    deepest = std::max(deepest, ++depth);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(count));
    port_.Read(buffer.data(), buffer.size());
    if (calls < 5) {
      // Bytes arrive while the handler waits in a blocking read: the port reports them from
      // inside that wait, and one of them is left for later.
      box_.Send({0xFE, 0xBB});
      uint8_t one;
      port_.Read(&one, 1);
    }
    --depth;
  });
  box_.Send({0xFE, 0xBB});
  ASSERT_TRUE(WaitFor([&] { return calls >= 5; }, 3000));
  e2e::RunEventLoopFor(50);
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(deepest, 1);
}

TEST_F(QtSerialPortTest, AHangUpEndsThePortOnceAndLeavesTheProcessIdle) {
  ASSERT_TRUE(port_.Open(box_.path()));
  port_.SetReceiveHandler([&](int count) {
    std::vector<uint8_t> buffer(static_cast<std::size_t>(count));
    port_.Read(buffer.data(), buffer.size());
  });
  box_.HangUp();
  ASSERT_TRUE(WaitFor([&] { return !port_.IsOpen(); }, 2000));

  const double cpu_before = e2e::ProcessCpuSeconds();
  e2e::RunEventLoopFor(1000);
  const double cpu_used = e2e::ProcessCpuSeconds() - cpu_before;
  std::printf("CPU time in the second after the hang-up: %.3f s\n", cpu_used);
  // A port spinning on its errors would take most of a core.
  EXPECT_LT(cpu_used, 0.5);
  EXPECT_EQ(port_.failures(), 1);
  EXPECT_EQ(log_.size(), 1u);
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(port_.BytesWaiting(), 0u);
  const uint8_t keepalive[] = {0xFC, 0xB1, 0x06, 0xA7, 0x09, 0x30, 0x66, 0x00, 0xF3};
  EXPECT_FALSE(port_.Write(keepalive, sizeof keepalive));
  uint8_t byte;
  EXPECT_EQ(port_.Read(&byte, 1), 0u);
}

}  // namespace
}  // namespace kc

// The receive path: cutting the stream, checking and applying frames.
#include "link/receiver.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "fake_serial_port.h"
#include "mini_box.h"
#include "recording_link_host.h"

namespace kc {
namespace {

using testing::AckBytes;
using testing::BoxFrame;
using testing::Bytes;
using testing::FakeSerialPort;
using testing::MiniBox;
using testing::RecordingLinkHost;
using testing::Values;

class ReceiverTest : public ::testing::Test {
 protected:
  // Bytes arrive and the port gives one notification with everything waiting.
  void Arrive(const Bytes& bytes) {
    port.Feed(bytes);
    rx.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
  }
  std::vector<std::string> LogWithout(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const std::string& line : host.log) {
      if (line.rfind(prefix, 0) != 0) lines.push_back(line);
    }
    return lines;
  }

  FakeSerialPort port;
  ParameterStore store;
  RecordingLinkHost host;
  Receiver rx{port, store, host};
};

TEST_F(ReceiverTest, Acknowledgements) {
  struct Case {
    Bytes bytes;
    bool ack;
  };
  const Case cases[] = {
      {{0xFE, 0xBB}, true}, {{0xFE, 0xAA}, true}, {{0xFE, 0x00}, false}, {{0xFE, 0xFE}, false}};
  for (const Case& c : cases) {
    rx.flags() = LinkFlags{};
    Arrive(c.bytes);
    EXPECT_EQ(rx.flags().answer_seen, c.ack) << HexBytes(c.bytes);
    EXPECT_EQ(rx.flags().clear_to_send, c.ack) << HexBytes(c.bytes);
    EXPECT_EQ(rx.flags().wait, c.ack ? WaitState::kAckReceived : WaitState::kIdle);
    EXPECT_EQ(rx.state(), RxState::kHunting);
  }
}

TEST_F(ReceiverTest, BlockDataFillsTheDeviceRow) {
  std::vector<int> values;
  for (int i = 0; i < 28; ++i) values.push_back(1000 + i * 7);
  const Bytes frame = BoxFrame(0x0300, Values(values));
  ASSERT_EQ(frame[2], 60);
  Arrive(frame);
  for (int i = 0; i < 28; ++i) EXPECT_EQ(store.Device(3, i), 1000 + i * 7) << i;
  EXPECT_EQ(store.Device(3, 28), 0);
  EXPECT_EQ(rx.flags().wait, WaitState::kFrameReceived);
  EXPECT_FALSE(rx.flags().clear_to_send);  // frames do not free the box
  EXPECT_EQ(host.log, std::vector<std::string>{"缓存长度K:C:L=63 63 59"});
  // A frame starting at slot 54 (the Disco set of Music).
  Arrive(BoxFrame(0x0036, Values({5, 6})));
  EXPECT_EQ(store.Device(0, 54), 5);
  EXPECT_EQ(store.Device(0, 55), 6);
}

TEST_F(ReceiverTest, SystemFrames) {
  rx.set_mode_name_index(1);
  Arrive(BoxFrame(0x0940, {0x12, 0xAB, 0x00, 0xFF}));
  EXPECT_EQ(rx.texts().device_id, "12AB00FF");
  EXPECT_EQ(host.device_id_changed, 1);
  Arrive(BoxFrame(0x0904, {1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(rx.texts().system_password, "123456");
  Arrive(BoxFrame(0x0905, {9, 12, 0}));
  EXPECT_EQ(rx.texts().keylock_password, "9120");
  Arrive(BoxFrame(0x0900, {33, 34, 0, 0}));
  EXPECT_EQ(rx.texts().mode_names[0], "AB  ");
  EXPECT_EQ(host.mode_names_changed, 1);
  Arrive(BoxFrame(0x0906, Values({300})));
  EXPECT_EQ(store.Device(9, 6), 300);
  Arrive(BoxFrame(0x0922, Values({17})));
  EXPECT_EQ(store.Device(9, 0x22), 17);
  // Echoes and items from 48 up change nothing.
  for (int item : {1, 2, 15, 16, 48, 50}) Arrive(BoxFrame(0x0900 + item, Values({999})));
  for (int item : {1, 2, 15, 16, 48, 50}) EXPECT_EQ(store.Device(9, item), 0) << item;
}

TEST_F(ReceiverTest, ModeNames) {
  struct Case {
    const char* name;
    Bytes payload;
    std::string expected;  // the name of mode 4 afterwards
  };
  const Bytes twenty_one(21, 33);
  const Bytes twenty_five(25, 34);
  const Case cases[] = {
      {"zero bytes become spaces", {0, 0, 0}, "   "},
      {"codes above 127 become ?", {33, 100, 95}, "A?\x7F"},
      {"21 characters are dropped: the name before stays", twenty_one, "A?\x7F"},
      {"more than 21 bytes keep the first 20", twenty_five, std::string(20, 'B')},
      {"an empty name", {}, ""},
  };
  rx.set_mode_name_index(5);
  for (const Case& c : cases) {
    Arrive(BoxFrame(0x0900, c.payload));
    EXPECT_EQ(rx.texts().mode_names[4], c.expected) << c.name;
  }
  EXPECT_EQ(rx.texts().mode_names[3], "");
}

TEST_F(ReceiverTest, WrongChecksumIsLoggedAndNothingIsStored) {
  Bytes frame = BoxFrame(0x0500, Values({321, 654}));
  frame.back() ^= 0x5A;
  rx.flags().wait = WaitState::kWaiting;
  Arrive(frame);
  EXPECT_EQ(store.Device(5, 0), 0);
  EXPECT_EQ(store.Device(5, 1), 0);
  // No answer as far as the transfer is concerned, but marked for asking again.
  EXPECT_EQ(rx.flags().wait, WaitState::kWaiting);
  EXPECT_TRUE(rx.flags().frame_rejected);
  EXPECT_EQ(rx.checksum_errors(), 1);
  const std::vector<std::string> lines = LogWithout("缓存长度");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "5********************");
  const int good = frame.back() ^ 0x5A;
  EXPECT_EQ(lines[1], "校验数据匹配不一致:" + std::to_string(good) + "得到的验证数据：" +
                          std::to_string(frame.back()));
  EXPECT_EQ(lines[2], "接收到的错误数据：" + HexBytes(frame));
  EXPECT_EQ(lines[2].substr(lines[2].size() - HexBytes(frame).size(), 8), "FC B1 08");
}

TEST_F(ReceiverTest, FrameSplitBetweenHeaderAndBody) {
  const Bytes frame = BoxFrame(0x0702, Values({11, 22, 33}));
  // GIVEN the header has arrived in one notification
  Arrive(Bytes(frame.begin(), frame.begin() + 4));
  EXPECT_EQ(rx.state(), RxState::kBody);
  // WHEN only part of the body follows
  Arrive(Bytes(frame.begin() + 4, frame.begin() + 8));
  // THEN nothing is read: the body waits until all of it is there
  EXPECT_EQ(port.BytesWaiting(), 4u);
  EXPECT_EQ(store.Device(7, 2), 0);
  // WHEN the rest arrives
  Arrive(Bytes(frame.begin() + 8, frame.end()));
  // THEN the frame is applied
  EXPECT_EQ(rx.state(), RxState::kHunting);
  EXPECT_EQ(store.Device(7, 2), 11);
  EXPECT_EQ(store.Device(7, 4), 33);
  EXPECT_EQ(port.BytesWaiting(), 0u);
}

TEST_F(ReceiverTest, FrameSplitInsideTheHeader) {
  const Bytes frame = BoxFrame(0x0800, Values({7}));
  // GIVEN the first two bytes arrive alone
  Arrive({frame[0], frame[1]});
  EXPECT_EQ(rx.state(), RxState::kHeader);
  // WHEN the rest arrives in one piece
  Arrive(Bytes(frame.begin() + 2, frame.end()));
  // THEN the frame is applied in that notification
  EXPECT_EQ(store.Device(8, 0), 7);
  EXPECT_EQ(rx.state(), RxState::kHunting);
}

TEST_F(ReceiverTest, NoiseBeforeAFrameIsSkippedInTheSameNotification) {
  Bytes bytes = {0x00, 0x13, 0xB1, 0xA7, 0xFF};
  const Bytes frame = BoxFrame(0x0403, Values({44}));
  bytes.insert(bytes.end(), frame.begin(), frame.end());
  Arrive(bytes);
  EXPECT_EQ(store.Device(4, 3), 44);
  EXPECT_EQ(port.BytesWaiting(), 0u);
}

TEST_F(ReceiverTest, AcknowledgementThenFrameInOneBurst) {
  // GIVEN an acknowledgement and a frame arrive together
  Bytes bytes = AckBytes();
  const Bytes frame = BoxFrame(0x0101, Values({5}));
  bytes.insert(bytes.end(), frame.begin(), frame.end());
  Arrive(bytes);
  // THEN the acknowledgement is handled and the frame waits in the port
  EXPECT_TRUE(rx.flags().clear_to_send);
  EXPECT_EQ(port.BytesWaiting(), frame.size());
  EXPECT_EQ(store.Device(1, 1), 0);
  // WHEN the next notification comes
  rx.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
  // THEN the frame is applied
  EXPECT_EQ(store.Device(1, 1), 5);
}

TEST_F(ReceiverTest, RejectedHeadersResumeHunting) {
  struct Case {
    const char* name;
    Bytes bytes;
  };
  const Case cases[] = {
      {"wrong second byte", {0xFC, 0xB2, 0x06, 0xA7}},
      {"wrong access byte", {0xFC, 0xB1, 0x06, 0xA5}},
  };
  for (const Case& c : cases) {
    Arrive(c.bytes);
    EXPECT_EQ(rx.state(), RxState::kHunting) << c.name;
    Arrive(BoxFrame(0x0300, Values({77})));
    EXPECT_EQ(store.Device(3, 0), 77) << c.name;
    store.SetDevice(3, 0, 0);
  }
}

TEST_F(ReceiverTest, FramesNoWorkingBoxSendsAreDroppedAndLogged) {
  struct Case {
    const char* name;
    Bytes bytes;
    int mode_name_index;
  };
  // Block 0 data from slot 110 with 4 values runs past the 113 slots of the row.
  const Case cases[] = {
      {"length byte below 4", {0xFC, 0xB1, 0x02, 0xA7, 0x00, 0x00, 0x00}, 1},
      {"length byte 0", {0xFC, 0xB1, 0x00, 0xA0}, 1},
      {"block data past the row", BoxFrame(0x006E, Values({1, 2, 3, 4})), 1},
      {"system frame of block 10", BoxFrame(0x0A06, Values({1})), 1},
      {"system frame of block 255", BoxFrame(0xFF00, Values({1})), 1},
      {"name while no name was asked for", BoxFrame(0x0900, {33, 33}), 0},
      {"system item without a value", BoxFrame(0x0906, {1}), 1},
      {"identity shorter than 4 bytes", BoxFrame(0x0940, {1, 2}), 1},
  };
  for (const Case& c : cases) {
    const ParameterStore before = store;
    const SystemTexts texts_before = rx.texts();
    rx.set_mode_name_index(c.mode_name_index);
    host.log.clear();
    Arrive(c.bytes);
    EXPECT_EQ(rx.state(), RxState::kHunting) << c.name;
    for (int block = 0; block < kBlockCount; ++block) {
      ASSERT_EQ(store.DeviceRow(block), before.DeviceRow(block)) << c.name;
    }
    EXPECT_EQ(rx.texts().mode_names, texts_before.mode_names) << c.name;
    EXPECT_EQ(rx.texts().device_id, texts_before.device_id) << c.name;
    const std::vector<std::string> lines = LogWithout("缓存长度");
    ASSERT_EQ(lines.size(), 1u) << c.name;
    EXPECT_EQ(lines[0].rfind("丢弃无效帧", 0), 0u) << c.name;
    // The stream goes on: the next frame is received.
    port.Feed(BoxFrame(0x0300, Values({88})));
    rx.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
    EXPECT_EQ(store.Device(3, 0), 88) << c.name;
    store.SetDevice(3, 0, 0);
  }
  // Block data ending exactly at the last slot is applied.
  Arrive(BoxFrame(0x006F, Values({1, 2})));
  EXPECT_EQ(store.Device(0, 112), 2);
}

TEST_F(ReceiverTest, ShortBodyReadResumesHunting) {
  const Bytes frame = BoxFrame(0x0500, Values({1, 2, 3}));
  // GIVEN the port reports the whole frame but its body read comes up short
  port.Feed(frame);
  port.short_reads = 0;
  rx.ComPortRxChar(4);  // reads the header only
  ASSERT_EQ(rx.state(), RxState::kBody);
  port.short_reads = 1;
  port.short_read_size = 3;
  rx.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
  // THEN the partial frame is dropped and logged, nothing is stored, hunting resumes
  EXPECT_EQ(rx.state(), RxState::kHunting);
  EXPECT_TRUE(rx.buffer().empty());
  EXPECT_EQ(store.Device(5, 0), 0);
  EXPECT_EQ(host.log.back().rfind("读取不足:3/", 0), 0u);
  // AND the next frame is received once its bytes are read
  while (port.BytesWaiting() > 0) rx.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
  Arrive(BoxFrame(0x0500, Values({9})));
  EXPECT_EQ(store.Device(5, 0), 9);
}

TEST_F(ReceiverTest, ReportedCountLargerThanTheBytesWaiting) {
  // A notification that over-reports never reads past what is there.
  const Bytes frame = BoxFrame(0x0600, Values({5}));
  port.Feed(Bytes(frame.begin(), frame.begin() + 6));
  rx.ComPortRxChar(500);
  EXPECT_NE(rx.state(), RxState::kHeader);
  port.Feed(Bytes(frame.begin() + 6, frame.end()));
  Arrive(BoxFrame(0x0600, Values({6})));
  while (port.BytesWaiting() > 0) rx.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
  EXPECT_EQ(store.Device(6, 0), 6);
}

// What a stream leaves behind: the store, the texts, the acknowledgements and the checksum log.
struct Outcome {
  std::array<ParameterStore::Row, kBlockCount> rows;
  SystemTexts texts;
  int acks = 0;
  std::vector<std::string> checksum_log;
  bool operator==(const Outcome& o) const {
    return rows == o.rows && texts.mode_names == o.texts.mode_names &&
           texts.system_password == o.texts.system_password &&
           texts.keylock_password == o.texts.keylock_password &&
           texts.device_id == o.texts.device_id && acks == o.acks && checksum_log == o.checksum_log;
  }
};

// Feeds the stream in pieces of the given sizes, one notification per piece, then lets the port
// notify until nothing is left (as further bytes arriving would).
Outcome FeedStream(const Bytes& stream, const std::vector<std::size_t>& pieces) {
  FakeSerialPort port;
  ParameterStore store;
  RecordingLinkHost host;
  Receiver rx(port, store, host);
  rx.set_mode_name_index(3);
  Outcome out;
  auto notify = [&] {
    rx.flags().answer_seen = false;
    rx.ComPortRxChar(static_cast<int>(port.BytesWaiting()));
    out.acks += rx.flags().answer_seen;
  };
  std::size_t at = 0;
  for (std::size_t piece : pieces) {
    port.Feed(stream.data() + at, piece);
    at += piece;
    notify();
  }
  for (int guard = 0; port.BytesWaiting() > 0 && guard < 100000; ++guard) notify();
  for (int block = 0; block < kBlockCount; ++block) out.rows[block] = store.DeviceRow(block);
  out.texts = rx.texts();
  for (const std::string& line : host.log) {
    if (line.rfind("缓存长度", 0) != 0) out.checksum_log.push_back(line);
  }
  return out;
}

TEST(ReceiverStreamTest, WholeChunkedAndByteByByteGiveTheSameResult) {
  MiniBox box;
  Bytes stream;
  std::mt19937 random(7);
  for (int block = 0; block <= 8; ++block) {
    const Bytes answer = box.Answer(BuildFixedFrame(kReadAccess, kReadBlockId, block));
    stream.insert(stream.end(), answer.begin(), answer.end());
    const Bytes ack = testing::AckBytes(block % 2 ? kAckCodeAa : kAckCodeBb);
    stream.insert(stream.end(), ack.begin(), ack.end());
    for (int i = 0; i < 3; ++i) stream.push_back(static_cast<uint8_t>(random() % 0xF0));
  }
  for (int id : {0x0900, 0x0904, 0x0905, 0x0906, 0x0920, 0x0940}) {
    const Bytes request = BuildVariableFrame(kReadAccess, id, Bytes{2, 0}.data(), 2);
    Bytes answer = box.Answer(request);
    if (id == 0x0906) answer.back() ^= 1;  // one bad checksum
    stream.insert(stream.end(), answer.begin(), answer.end());
  }
  const Outcome whole = FeedStream(stream, {stream.size()});
  EXPECT_EQ(whole.acks, 9);
  EXPECT_EQ(whole.rows[4][7], box.rows[4][7]);
  EXPECT_EQ(whole.texts.device_id, "12AB00FF");
  EXPECT_EQ(whole.checksum_log.size(), 3u);

  const Outcome bytewise = FeedStream(stream, std::vector<std::size_t>(stream.size(), 1));
  EXPECT_TRUE(bytewise == whole);
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<std::size_t> pieces;
    for (std::size_t left = stream.size(); left > 0;) {
      const std::size_t piece = std::min<std::size_t>(left, 1 + random() % 40);
      pieces.push_back(piece);
      left -= piece;
    }
    EXPECT_TRUE(FeedStream(stream, pieces) == whole) << "trial " << trial;
  }
}

// Pieces of what a box sends, repeated.
Bytes Times(std::size_t times, const Bytes& a, const Bytes& b = {}) {
  Bytes out;
  for (std::size_t i = 0; i < times; ++i) {
    out.insert(out.end(), a.begin(), a.end());
    out.insert(out.end(), b.begin(), b.end());
  }
  return out;
}

TEST(ReceiverFloodTest, WhatIsHeldIsBoundedAndAFloodIsLoggedOncePerRun) {
  Bytes bad = BoxFrame(0x0300, Values({1, 2, 3, 4, 5, 6, 7, 8}));
  bad.back() ^= 0x55;  // a wrong checksum
  Bytes random_bytes(1 << 20);
  std::mt19937 random(11);
  for (uint8_t& b : random_bytes) b = static_cast<uint8_t>(random());
  // stream (an acknowledgement follows), floods logged, bytes let go (0: random, not counted)
  const std::tuple<Bytes, std::vector<std::size_t>, std::size_t> cases[] = {
      {Times(4096, {0x00}), {}, 4096},
      {Times(9000, {0x00}), {4097}, 9000},
      {Times(3, Times(4000, {0x11}), AckBytes()), {}, 12000},      // answers end a run
      {Times(2, Times(5000, {0x11}), AckBytes()), {4097}, 10000},  // once until a connection
      {Times(400, bad), {(4096 / bad.size() + 1) * bad.size()}, 400 * bad.size()},
      {random_bytes, {}, 0},
  };
  for (const auto& [stream, expected_floods, noise] : cases) {
    SCOPED_TRACE(noise);
    FakeSerialPort port;
    port.ForceOpen();
    ParameterStore store;
    RecordingLinkHost host;
    Receiver rx{port, store, host};
    const Bytes bytes = Times(1, stream, AckBytes());
    // Arrivals of up to 1 KiB, each followed by notifications while the receiver takes bytes,
    // as the port's notifier gives them.
    std::size_t held = 0;
    for (std::size_t at = 0; at < bytes.size(); at += 1024) {
      port.Feed(bytes.data() + at, std::min<std::size_t>(1024, bytes.size() - at));
      for (std::size_t waiting = port.BytesWaiting(), before = waiting + 1;
           waiting > 0 && waiting < before; before = waiting, waiting = port.BytesWaiting()) {
        rx.ComPortRxChar(static_cast<int>(std::min<std::size_t>(waiting, 1024)));
        held = std::max(held, rx.buffer().size());
      }
    }
    EXPECT_LE(held, 258u);  // one frame at most
    EXPECT_EQ(port.BytesWaiting(), 0u);
    EXPECT_TRUE(rx.flags().answer_seen);  // the acknowledgement at the end
    std::vector<std::size_t> floods;
    for (const std::string& line : host.log) {
      if (std::size_t n = FloodOfLogLine(line)) floods.push_back(n);
    }
    if (noise > 0) {
      EXPECT_EQ(floods, expected_floods);
      EXPECT_EQ(rx.noise_bytes(), noise);
      continue;
    }
    ASSERT_FALSE(floods.empty());  // random bytes: floods, whatever chance answers they held
    for (std::size_t n : floods) EXPECT_TRUE(n > Receiver::kFloodBytes && n <= 4096 + 258) << n;
  }
}

TEST(HexBytesTest, UpperCaseSeparatedBySpaces) {
  EXPECT_EQ(HexBytes(Bytes{0xFC, 0xB1, 0x06}), "FC B1 06");
  EXPECT_EQ(HexBytes(Bytes{0x0A}), "0A");
  EXPECT_EQ(HexBytes(Bytes{}), "");
}

}  // namespace
}  // namespace kc

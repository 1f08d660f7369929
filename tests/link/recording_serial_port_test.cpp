// The line recorder: every frame sent and received becomes one line with its time and direction,
// however the receiver reads it.
#include "link/recording_serial_port.h"

#include <gtest/gtest.h>

#include <sstream>

#include "fake_serial_port.h"
#include "link/frames.h"

namespace kc {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class RecordingTest : public ::testing::Test {
 protected:
  // Reads as the receiver does: header bytes one at a time, then the body in one read.
  void ReadLikeTheReceiver(std::size_t header, std::size_t body) {
    uint8_t byte = 0;
    for (std::size_t i = 0; i < header; ++i) port_.Read(&byte, 1);
    std::vector<uint8_t> rest(body);
    if (body > 0) port_.Read(rest.data(), body);
  }

  int64_t now_us_ = 5'000'000;
  std::ostringstream out_;
  LineRecorder recorder_{out_, [this] { return now_us_; }};
  testing::FakeSerialPort inner_;
  RecordingSerialPort port_{inner_, recorder_};
};

TEST_F(RecordingTest, SentFramesAreLinesWithTimeAndDirection) {
  ASSERT_TRUE(port_.Open("/dev/ttyUSB0"));
  const std::vector<uint8_t> probe = BuildFixedFrame(kWriteAccess, kLinkControlId, kProbe);
  now_us_ += 612'400;
  EXPECT_TRUE(port_.Write(probe.data(), probe.size()));
  EXPECT_EQ(inner_.writes, std::vector<std::vector<uint8_t>>{probe})
      << "the bytes reach the wrapped port unchanged";
  inner_.fail_writes = true;
  now_us_ += 1'000;
  EXPECT_FALSE(port_.Write(probe.data(), probe.size())) << "a failed write stays failed";
  port_.Close();
  EXPECT_EQ(Lines(out_.str()), (std::vector<std::string>{
                                   "0.000 /dev/ttyUSB0 OPEN",
                                   "0.612 /dev/ttyUSB0 TX FC B1 06 A7 09 30 11 00 5C",
                                   "0.613 /dev/ttyUSB0 TX FC B1 06 A7 09 30 11 00 5C",
                                   "0.613 /dev/ttyUSB0 WRITE-FAILED",
                                   "0.613 /dev/ttyUSB0 CLOSE",
                               }));
}

TEST_F(RecordingTest, ReceivedBytesAreCutBackIntoFramesAsTheyStoodOnTheLine) {
  inner_.openable = {"COM1"};
  EXPECT_FALSE(port_.Open("COM3"));
  inner_.openable.clear();
  ASSERT_TRUE(port_.Open("COM3"));
  // The mode name "AB" with its checksum (0x59).
  const std::vector<uint8_t> frame = {0xFC, 0xB1, 0x08, 0xA0, 0x09, 0x00, 33, 34, 0, 0, 0x59};
  // Noise, an acknowledgement, then the frame, arriving in one burst.
  inner_.Feed({0x12, 0x34, 0xFE, 0xBB});
  inner_.Feed(frame);
  ReadLikeTheReceiver(4, 0);  // two noise bytes, FE, BB
  now_us_ += 20'000;
  ReadLikeTheReceiver(4, frame.size() - 4);
  // Half a frame when the port closes is kept as it was.
  inner_.Feed({0xFC, 0xB1, 0x06});
  ReadLikeTheReceiver(3, 0);
  port_.Close();

  EXPECT_EQ(Lines(out_.str()), (std::vector<std::string>{
                                   "0.000 COM3 OPEN-FAILED",
                                   "0.000 COM3 OPEN",
                                   "0.000 COM3 RX 12 34",
                                   "0.000 COM3 RX FE BB",
                                   "0.020 COM3 RX FC B1 08 A0 09 00 21 22 00 00 59",
                                   "0.020 COM3 RX FC B1 06",
                                   "0.020 COM3 CLOSE",
                               }));
}

TEST(StreamCutter, ARejectedHeaderIsStrayAndTheNextFrameStillComesWhole) {
  StreamCutter cutter;
  std::vector<std::vector<uint8_t>> pieces;
  const auto keep = [&pieces](const std::vector<uint8_t>& p) { pieces.push_back(p); };
  const std::vector<uint8_t> ack_and_frame = BuildFixedFrame(kReadAccess, 0x0903, 2);
  // FC with a wrong second byte, FE with a wrong code, then a frame split over three reads.
  const std::vector<uint8_t> junk = {0xFC, 0x00, 0x01, 0x02, 0xFE, 0x00};
  cutter.Feed(junk.data(), junk.size(), keep);
  EXPECT_EQ(pieces.size(), 2u) << "each rejected head is a piece as soon as it is whole";
  cutter.Feed(ack_and_frame.data(), 2, keep);
  cutter.Feed(ack_and_frame.data() + 2, 5, keep);
  EXPECT_EQ(pieces.size(), 2u) << "the frame is not complete yet";
  cutter.Feed(ack_and_frame.data() + 7, 2, keep);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0], (std::vector<uint8_t>{0xFC, 0x00, 0x01, 0x02}));
  EXPECT_EQ(pieces[1], (std::vector<uint8_t>{0xFE, 0x00}));
  EXPECT_EQ(pieces[2], ack_and_frame);
}

// The recording shows the line as the receiver took it: a head it rejects is one piece of what it
// dropped, however the bytes inside it look, and what follows is read afresh.
TEST(StreamCutter, RejectedHeadsArePiecesOfExactlyWhatTheReceiverDrops) {
  using Bytes = std::vector<uint8_t>;
  struct Case {
    const char* what;
    Bytes line;
    std::vector<Bytes> pieces;
  };
  const Case cases[] = {
      {"length below 4, then an acknowledgement",
       {0xFC, 0xB1, 0x02, 0xA7, 0xFE, 0xBB},
       {{0xFC, 0xB1, 0x02, 0xA7}, {0xFE, 0xBB}}},
      {"length 0, then a stray byte",
       {0xFC, 0xB1, 0x00, 0xA0, 0x12},
       {{0xFC, 0xB1, 0x00, 0xA0}, {0x12}}},
      {"wrong second byte swallows the FE BB inside the head",
       {0xFC, 0x00, 0xFE, 0xBB, 0x34},
       {{0xFC, 0x00, 0xFE, 0xBB}, {0x34}}},
      {"wrong access byte",
       {0xFC, 0xB1, 0x06, 0x55, 0xFE, 0xAA},
       {{0xFC, 0xB1, 0x06, 0x55}, {0xFE, 0xAA}}},
      {"FE and another byte, then FE BB", {0xFE, 0xFC, 0xFE, 0xBB}, {{0xFE, 0xFC}, {0xFE, 0xBB}}},
  };
  for (const Case& c : cases) {
    StreamCutter cutter;
    std::vector<Bytes> pieces;
    const auto keep = [&pieces](const Bytes& p) { pieces.push_back(p); };
    cutter.Feed(c.line.data(), c.line.size(), keep);
    cutter.Flush(keep);
    EXPECT_EQ(pieces, c.pieces) << c.what;
  }
}

}  // namespace
}  // namespace kc

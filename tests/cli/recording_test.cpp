// The line recorder: every frame sent and received becomes one line with its time and direction,
// however the receiver reads it, and decode reads those lines back.
#include <gtest/gtest.h>

#include <deque>
#include <sstream>

#include "cli/frame_meaning.h"
#include "link/frames.h"
#include "link/receiver.h"
#include "link/recording_serial_port.h"

namespace kc {
namespace {

// A port whose received bytes the test queues and whose written bytes it keeps.
class FakePort : public SerialPort {
 public:
  bool Open(const std::string&) override { return open_ = opens_ok; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  bool Write(const uint8_t* data, std::size_t size) override {
    written.insert(written.end(), data, data + size);
    return writes_ok;
  }
  std::size_t Read(uint8_t* data, std::size_t size) override {
    std::size_t n = 0;
    while (n < size && !incoming.empty()) {
      data[n++] = incoming.front();
      incoming.pop_front();
    }
    return n;
  }
  std::size_t BytesWaiting() const override { return incoming.size(); }

  bool opens_ok = true;
  bool writes_ok = true;
  std::deque<uint8_t> incoming;
  std::vector<uint8_t> written;

 private:
  bool open_ = false;
};

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
  FakePort inner_;
  RecordingSerialPort port_{inner_, recorder_};
};

TEST_F(RecordingTest, SentFramesAreLinesWithTimeAndDirection) {
  ASSERT_TRUE(port_.Open("/dev/ttyUSB0"));
  const std::vector<uint8_t> probe = BuildFixedFrame(kWriteAccess, kLinkControlId, kProbe);
  now_us_ += 612'400;
  EXPECT_TRUE(port_.Write(probe.data(), probe.size()));
  EXPECT_EQ(inner_.written, probe) << "the bytes reach the wrapped port unchanged";
  inner_.writes_ok = false;
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
  inner_.opens_ok = false;
  EXPECT_FALSE(port_.Open("COM3"));
  inner_.opens_ok = true;
  ASSERT_TRUE(port_.Open("COM3"));
  const std::vector<uint8_t> name = {0xFC, 0xB1, 0x08, 0xA0, 0x09, 0x00, 33, 34, 0, 0, 0x00};
  std::vector<uint8_t> frame = name;
  frame.back() = FrameChecksum(frame.data(), frame.size());
  // Noise, an acknowledgement, then the frame, arriving in one burst.
  for (uint8_t b : {0x12, 0x34, 0xFE, 0xBB}) inner_.incoming.push_back(b);
  inner_.incoming.insert(inner_.incoming.end(), frame.begin(), frame.end());
  ReadLikeTheReceiver(4, 0);  // two noise bytes, FE, BB
  now_us_ += 20'000;
  ReadLikeTheReceiver(4, frame.size() - 4);
  // Half a frame when the port closes is kept as it was.
  for (uint8_t b : {0xFC, 0xB1, 0x06}) inner_.incoming.push_back(b);
  ReadLikeTheReceiver(3, 0);
  port_.Close();

  const std::vector<std::string> lines = Lines(out_.str());
  ASSERT_EQ(lines.size(), 7u) << out_.str();
  EXPECT_EQ(lines[0], "0.000 COM3 OPEN-FAILED");
  EXPECT_EQ(lines[1], "0.000 COM3 OPEN");
  EXPECT_EQ(lines[2], "0.000 COM3 RX 12 34");
  EXPECT_EQ(lines[3], "0.000 COM3 RX FE BB");
  EXPECT_EQ(lines[4], "0.020 COM3 RX " + HexBytes(frame));
  EXPECT_EQ(lines[5], "0.020 COM3 RX FC B1 06");
  EXPECT_EQ(lines[6], "0.020 COM3 CLOSE");

  // decode reads every line back, bytes and meaning.
  const auto parsed = cli::ParseRecordedLine(lines[4]);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->bytes, frame);
  EXPECT_EQ(parsed->direction, "RX");
  EXPECT_EQ(parsed->port, "COM3");
  EXPECT_NE(cli::DecodeLine(*parsed).find("mode name \"AB  \""), std::string::npos);
  EXPECT_NE(cli::DecodeLine(*cli::ParseRecordedLine(lines[2])).find("stray"), std::string::npos);
  EXPECT_EQ(cli::ParseRecordedLine(lines[6])->note, "CLOSE");
}

TEST(StreamCutter, ARejectedHeaderIsStrayAndTheNextFrameStillComesWhole) {
  StreamCutter cutter;
  std::vector<std::vector<uint8_t>> pieces;
  const auto keep = [&pieces](const std::vector<uint8_t>& p) { pieces.push_back(p); };
  const std::vector<uint8_t> ack_and_frame = BuildFixedFrame(kReadAccess, 0x0903, 2);
  // FC with a wrong second byte, FE with a wrong code, then a frame split over three reads.
  const std::vector<uint8_t> junk = {0xFC, 0x00, 0x01, 0x02, 0xFE, 0x00};
  cutter.Feed(junk.data(), junk.size(), keep);
  EXPECT_EQ(pieces.size(), 1u) << "a run of stray bytes ends at the next lead byte";
  cutter.Feed(ack_and_frame.data(), 2, keep);
  cutter.Feed(ack_and_frame.data() + 2, 5, keep);
  EXPECT_EQ(pieces.size(), 2u) << "the frame is not complete yet";
  cutter.Feed(ack_and_frame.data() + 7, 2, keep);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0], (std::vector<uint8_t>{0xFC, 0x00, 0x01, 0x02}));
  EXPECT_EQ(pieces[1], (std::vector<uint8_t>{0xFE, 0x00}));
  EXPECT_EQ(pieces[2], ack_and_frame);
}

}  // namespace
}  // namespace kc

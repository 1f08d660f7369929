#include "box-sim/box_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "box_test_util.h"

namespace kc::boxsim {
namespace {

using testing::Hex;

// Golden frames of the command set, as the PC writes them.
struct Golden {
  const char* name;
  uint8_t access;
  uint16_t id;
  std::vector<uint8_t> payload;
  const char* bytes;
};

const std::vector<Golden>& Goldens() {
  static const std::vector<Golden> goldens = {
      {"probe", 0xA7, 0x0930, {0x11, 0x00}, "FC B1 06 A7 09 30 11 00 5C"},
      {"keepalive", 0xA7, 0x0930, {0x66, 0x00}, "FC B1 06 A7 09 30 66 00 F3"},
      {"release", 0xA7, 0x0930, {0xAA, 0x00}, "FC B1 06 A7 09 30 AA 00 37"},
      {"read block 0", 0xA0, 0x0910, {0x00, 0x00}, "FC B1 06 A0 09 10 00 00 04"},
      {"read mode name 2", 0xA0, 0x0900, {0x02, 0x00}, "FC B1 06 A0 09 00 02 00 16"},
      // Empty payload: 7 bytes, length byte 4.
      {"read identity", 0xA0, 0x0940, {}, "FC B1 04 A0 09 40 54"},
      // Value 300 low byte first, id high byte first.
      {"set 0x0105 to 300", 0xA7, 0x0105, {0x2C, 0x01}, "FC B1 06 A7 01 05 2C 01 67"},
  };
  return goldens;
}

TEST(BoxFrameTest, EncodesAndDecodesTheCommandSetExamples) {
  for (const Golden& g : Goldens()) {
    SCOPED_TRACE(g.name);
    const std::vector<uint8_t> expected = Hex(g.bytes);
    EXPECT_EQ(EncodeFrame(g.access, g.id, g.payload), expected);
    EXPECT_EQ(FrameChecksum(expected.data(), expected.size()), expected.back());

    FrameReader reader;
    reader.Push(expected.data(), expected.size());
    Frame frame;
    ASSERT_TRUE(reader.Next(&frame));
    EXPECT_EQ(frame.access, g.access);
    EXPECT_EQ(frame.id, g.id);
    EXPECT_EQ(frame.payload, g.payload);
    EXPECT_FALSE(reader.Next(&frame));
  }
  EXPECT_EQ(EncodeValueFrame(0xA7, 0x0105, 300), Hex("FC B1 06 A7 01 05 2C 01 67"));
  EXPECT_EQ(EncodeAck(), Hex("FE BB"));
}

TEST(BoxFrameTest, LongestPayloadKeepsItsLengthByte) {
  // A whole Music block as the PC uploads it: 214 payload bytes, length byte 218, 221 bytes.
  const std::vector<uint8_t> frame = EncodeFrame(0xA7, 0x090F, std::vector<uint8_t>(214, 0x33));
  ASSERT_EQ(frame.size(), 221u);
  EXPECT_EQ(frame[2], 218);
  FrameReader reader;
  reader.Push(frame.data(), frame.size());
  Frame decoded;
  ASSERT_TRUE(reader.Next(&decoded));
  EXPECT_EQ(decoded.payload.size(), 214u);
}

TEST(BoxFrameTest, ReaderFindsFramesInAnyFragmentationAndAfterJunk) {
  const std::vector<uint8_t> probe = Hex("FC B1 06 A7 09 30 11 00 5C");
  const std::vector<uint8_t> identity = Hex("FC B1 04 A0 09 40 54");
  struct Case {
    const char* name;
    std::vector<uint8_t> stream;
    int frames;
    int checksum_errors;
  };
  std::vector<Case> cases;
  auto join = [](std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  cases.push_back({"two frames back to back", join({probe, identity}), 2, 0});
  cases.push_back(
      {"noise before and between", join({Hex("00 13 FE 7F"), probe, Hex("55"), identity}), 2, 0});
  // A false lead byte whose header is impossible gives up only itself.
  cases.push_back({"false lead with wrong second byte", join({Hex("FC 00"), probe}), 1, 0});
  cases.push_back({"false lead right before a frame", join({Hex("FC"), probe}), 1, 0});
  cases.push_back({"length byte below 4", join({Hex("FC B1 03 A7"), identity}), 1, 0});
  cases.push_back(
      {"unknown access byte", join({Hex("FC B1 06 A5 09 30 11 00 5C"), identity}), 1, 0});
  // A cut-off frame followed by a whole one: the checksum test fails on the mix of both, and
  // the whole frame is still found inside it.
  cases.push_back({"frame behind a cut-off frame", join({Hex("FC B1 06 A7"), probe}), 1, 1});
  cases.push_back(
      {"bad checksum is dropped", join({Hex("FC B1 06 A7 09 30 11 00 5D"), identity}), 1, 1});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Whole, byte by byte, and cut at every position in two.
    std::vector<std::vector<std::size_t>> cuts = {{}};
    std::vector<std::size_t> every;
    for (std::size_t i = 1; i < c.stream.size(); ++i) {
      every.push_back(i);
      cuts.push_back({i});
    }
    cuts.push_back(every);
    for (const auto& cut : cuts) {
      FrameReader reader;
      int frames = 0;
      std::size_t from = 0;
      std::vector<std::size_t> ends = cut;
      ends.push_back(c.stream.size());
      Frame frame;
      for (std::size_t end : ends) {
        reader.Push(c.stream.data() + from, end - from);
        from = end;
        while (reader.Next(&frame)) ++frames;
      }
      EXPECT_EQ(frames, c.frames);
      EXPECT_EQ(reader.checksum_errors(), c.checksum_errors);
      EXPECT_EQ(reader.buffered(), 0u);
    }
  }
}

TEST(BoxFrameTest, IncompleteFrameWaitsForTheRest) {
  const std::vector<uint8_t> probe = Hex("FC B1 06 A7 09 30 11 00 5C");
  FrameReader reader;
  reader.Push(probe.data(), 8);
  Frame frame;
  EXPECT_FALSE(reader.Next(&frame));
  EXPECT_EQ(reader.buffered(), 8u);
  reader.Push(probe.data() + 8, 1);
  ASSERT_TRUE(reader.Next(&frame));
  EXPECT_EQ(frame.value(), 0x11);
}

}  // namespace
}  // namespace kc::boxsim

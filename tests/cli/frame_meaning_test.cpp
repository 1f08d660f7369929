// The meaning decode gives a frame, and the recorder's lines read back.
#include "cli/frame_meaning.h"

#include <gtest/gtest.h>

#include "link/frames.h"

namespace kc::cli {
namespace {

struct MeaningCase {
  std::vector<uint8_t> frame;
  bool sent;
  const char* meaning;
};

TEST(FrameMeaning, CommandsIdentifiersValuesAndBlocks) {
  std::vector<uint8_t> band(12, 0);
  band[0] = 2;     // band 3
  band[6] = 0x66;  // field 2, the gain: 102
  const MeaningCase cases[] = {
      {{0xFC, 0xB1, 0x06, 0xA7, 0x09, 0x30, 0x11, 0x00, 0x5C},
       true,
       "probe (link control) [0x0930]"},
      {{0xFC, 0xB1, 0x06, 0xA0, 0x09, 0x00, 0x02, 0x00, 0x16}, true, "read mode name 2 [0x0900]"},
      {{0xFC, 0xB1, 0x04, 0xA0, 0x09, 0x40, 0x54}, true, "read device identity [0x0940]"},
      {BuildFixedFrame(kReadAccess, kReadBlockId, 3), true, "read block 3 [0x0910]"},
      {{0xFC, 0xB1, 0x06, 0xA7, 0x01, 0x05, 0x2C, 0x01, 0x67},
       true,
       "set parameter 0x0105 (block 1): MicFreEdit1 = 300 (6350.0Hz) [0x0105]"},
      {BuildVariableFrame(kWriteAccess, 0x030B, band.data(), band.size()), true,
       "set EQ band: block 3 band 3, fields 0 0 102 0 0 [0x030B]"},
      {BuildFixedFrame(kWriteAccess, kRecallModeId, 4), true, "recall mode 4 [0x0902]"},
      {{0xFE, 0xAA}, false, "acknowledgement"},
      {BuildVariableFrame(kReadAccess, 0x0940, std::vector<uint8_t>{0x12, 0xAB, 0, 0xFF}.data(), 4),
       false, "device identity 12AB00FF [0x0940]"},
      {BuildFixedFrame(kReadAccess, 0x090C, 1), false,
       "system item 0x090C: SysUserBtn = 1 (管理员) [0x090C]"},
      {{0xFC, 0xB1, 0x06, 0xA0, 0x09, 0x10, 0x03, 0x00, 0x00},
       true,
       "read block 3 [0x0910] (checksum wrong)"},
      {{0x01, 0x02}, false, "stray bytes (dropped by the receiver)"},
  };
  for (const MeaningCase& c : cases) {
    EXPECT_EQ(DescribeFrame(c.frame, c.sent), c.meaning);
  }
  std::vector<uint8_t> block3(4 + 56, 0);
  EXPECT_EQ(DescribeFrame(BuildVariableFrame(kReadAccess, 0x0300, block3.data(), 56), false),
            "block 3 data from slot 0, 28 values [0x0300]");
}

// decode reads the recorder's lines back, bytes and meaning.
TEST(RecordedLines, ReadBackWithTheirBytesAndMeaning) {
  const auto frame = ParseRecordedLine("0.020 COM3 RX FC B1 08 A0 09 00 21 22 00 00 59");
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(frame->time, "0.020");
  EXPECT_EQ(frame->port, "COM3");
  EXPECT_EQ(frame->direction, "RX");
  EXPECT_EQ(frame->bytes,
            (std::vector<uint8_t>{0xFC, 0xB1, 0x08, 0xA0, 0x09, 0x00, 33, 34, 0, 0, 0x59}));
  EXPECT_NE(DecodeLine(*frame).find("mode name \"AB  \""), std::string::npos);
  const auto stray = ParseRecordedLine("0.000 COM3 RX 12 34");
  ASSERT_TRUE(stray.has_value());
  EXPECT_NE(DecodeLine(*stray).find("stray"), std::string::npos);
  const auto note = ParseRecordedLine("0.020 COM3 CLOSE");
  ASSERT_TRUE(note.has_value());
  EXPECT_EQ(note->note, "CLOSE");
  EXPECT_TRUE(note->direction.empty());
  EXPECT_FALSE(ParseRecordedLine("# comment").has_value());
  EXPECT_FALSE(ParseRecordedLine("0.1 COM3 TX FC ZZ").has_value());
}

}  // namespace
}  // namespace kc::cli

// Byte-exact frames of the command set, written out byte by byte.
#include "link/frames.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "fake_serial_port.h"

namespace kc {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::FakeSerialPort;

struct FixedCase {
  const char* name;
  uint8_t access;
  int id;
  int32_t value;
  Bytes expected;
};

TEST(FramesTest, FixedFramesMatchGoldenBytes) {
  const FixedCase cases[] = {
      {"probe",
       kWriteAccess,
       kLinkControlId,
       kProbe,
       {
           0xFC,        // first sync byte
           0xB1,        // second sync byte
           0x06,        // length: 6 bytes follow
           0xA7,        // write access
           0x09, 0x30,  // id 0x0930 (link control), high byte first
           0x11, 0x00,  // value 0x0011 (probe), low byte first
           0x5C,        // (FC+A7+09+30+11+00) mod 256 = ED, XOR B1
       }},
      {"keepalive",
       kWriteAccess,
       kLinkControlId,
       kKeepalive,
       {0xFC, 0xB1, 0x06, 0xA7, 0x09, 0x30, 0x66, 0x00,  // value 0x0066 (keepalive)
        0xF3}},
      {"release",
       kWriteAccess,
       kLinkControlId,
       kRelease,
       {0xFC, 0xB1, 0x06, 0xA7, 0x09, 0x30, 0xAA, 0x00,  // value 0x00AA (release)
        0x37}},
      {"read block 0",
       kReadAccess,
       kReadBlockId,
       0,
       {0xFC, 0xB1, 0x06,
        0xA0,        // read access
        0x09, 0x10,  // id 0x0910 (read block)
        0x00, 0x00,  // block 0
        0x04}},
      {"set 0x0105 to 300",
       kWriteAccess,
       0x0105,
       300,
       {0xFC, 0xB1, 0x06, 0xA7, 0x01, 0x05,  // id 0x0105: block 1, index 5 (high byte first)
        0x2C, 0x01,                          // 300 = 0x012C, low byte first
        0x67}},
      {"recall mode 14",
       kWriteAccess,
       kRecallModeId,
       14,
       {0xFC, 0xB1, 0x06, 0xA7, 0x09, 0x02,  // id 0x0902 (recall mode)
        0x0E, 0x00,                          // mode 14
        0x0D}},                              // FC+A7+09+02+0E = 0x1BC; BC ^ B1
      {"value beyond 16 bits keeps its low 16 bits",
       kWriteAccess,
       0x0500,
       0x12345,
       {0xFC, 0xB1, 0x06, 0xA7, 0x05, 0x00, 0x45, 0x23,  // 0x2345
        0xA1}},                                          // FC+A7+05+00+45+23 = 0x210; 10 ^ B1
  };
  for (const FixedCase& c : cases) {
    EXPECT_EQ(BuildFixedFrame(c.access, c.id, c.value), c.expected) << c.name;
  }
}

TEST(FramesTest, VariableFramesMatchGoldenBytes) {
  FakeSerialPort port;
  port.ForceOpen();
  FrameWriter writer(port);

  // Empty payload: 7 bytes, length byte 4.
  writer.SendVariableFrame(kReadAccess, kDeviceIdentityId, 0);
  EXPECT_EQ(port.writes.back(), (Bytes{0xFC, 0xB1,
                                       0x04,        // access, id, checksum
                                       0xA0,        // read access
                                       0x09, 0x40,  // id 0x0940 (device identity)
                                       0x54}));

  // The read-mode-name command for mode 2 is byte for byte a fixed frame.
  writer.payload()[0] = 2;
  writer.payload()[1] = 0;
  writer.SendTransferStep(9, TransferDirection::kDownload, ParameterStore());
  EXPECT_EQ(port.writes.back(),
            (Bytes{0xFC, 0xB1, 0x06, 0xA0, 0x09, 0x00,  // id 0x0900 (read mode name)
                   0x02, 0x00,                          // mode 2, then 0
                   0x16}));
  EXPECT_EQ(port.writes.back(), BuildFixedFrame(kReadAccess, kReadModeNameId, 2));
}

TEST(FramesTest, TextCommandsMatchGoldenBytes) {
  FakeSerialPort port;
  port.ForceOpen();
  FrameWriter writer(port);

  // Store mode 3 under the 5-character name "AB cd".
  writer.SendTextCommand(kStoreModeId, std::string("\x03\x00"
                                                   "AB cd",
                                                   7));
  EXPECT_EQ(port.writes.back(),
            (Bytes{0xFC, 0xB1,
                   0x1A,              // 22 payload bytes + 4
                   0xA7, 0x09, 0x01,  // write, id 0x0901 (store mode)
                   0x03, 0x00,        // mode number and zero byte, raw
                   0x21, 0x22,        // 'A' 65 - 32 = 33, 'B' 66 - 32 = 34
                   0x00,              // space 32 - 32 = 0
                   0x43, 0x44,        // 'c', 'd'
                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // payload bytes 7..21:
                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,        // padding
                   0xCB}));

  writer.SendTextCommand(kSystemPasswordId, "123456");
  EXPECT_EQ(port.writes.back(), (Bytes{0xFC, 0xB1, 0x0A, 0xA7, 0x09, 0x04,  // system password
                                       0x01, 0x02, 0x03, 0x04, 0x05, 0x06,  // one byte a digit
                                       0x74}));
  writer.SendTextCommand(kKeylockPasswordId, "9870");
  EXPECT_EQ(port.writes.back(), (Bytes{0xFC, 0xB1, 0x08, 0xA7, 0x09, 0x05,  // key-lock password
                                       0x09, 0x08, 0x07, 0x00,              // 9 8 7 0
                                       0x78}));
}

TEST(FramesTest, StoreModePayloadTruncatesLongNamesAndWrapsLowCodes) {
  const std::string name(30, 'Z');
  const Bytes payload = TextCommandPayload(kStoreModeId, std::string("\x0E\x00", 2) + name);
  ASSERT_EQ(payload.size(), kStoreModePayload);
  EXPECT_EQ(payload[0], 14);
  EXPECT_EQ(payload[21], 'Z' - 32);
  // A character below 32 wraps modulo 256.
  EXPECT_EQ(TextCommandPayload(kStoreModeId, std::string("\x01\x00\x1F", 3))[2], 0xFF);
}

TEST(FramesTest, DownloadStepsRequestTheItemsInOrder) {
  const int expected_ids[] = {0x0910, 0x0910, 0x0910, 0x0910, 0x0910, 0x0910, 0x0910,
                              0x0910, 0x0910, 0x0900, 0x0901, 0x0902, 0x0903, 0x0904,
                              0x0905, 0x0906, 0x0907, 0x0908, 0x0909, 0x090A, 0x090B,
                              0x090C, 0x090D, 0x090E, 0x0920, 0x0921, 0x0922, 0x0940};
  FakeSerialPort port;
  port.ForceOpen();
  FrameWriter writer(port);
  ParameterStore store;
  for (int step = 0; step <= 27; ++step) {
    EXPECT_EQ(DownloadStepId(step), expected_ids[step]) << step;
    writer.SendTransferStep(step, TransferDirection::kDownload, store);
    const Bytes& frame = port.writes.back();
    EXPECT_EQ(frame[3], kReadAccess) << step;
    EXPECT_EQ(frame[4] * 256 + frame[5], expected_ids[step]) << step;
    if (step <= 8) {
      EXPECT_EQ(frame, BuildFixedFrame(kReadAccess, kReadBlockId, step)) << step;
    } else if (step >= 10) {
      EXPECT_EQ(frame.size(), 7u) << step;  // no payload
    }
  }
  EXPECT_EQ(DownloadStepId(28), -1);
}

TEST(FramesTest, UploadStepsCarryTheDeviceImageRow) {
  struct Row {
    int block;
    int values;
    int length_byte;
  };
  const Row rows[] = {{0, 106, 218}, {1, 79, 164}, {2, 79, 164}, {3, 28, 62}, {4, 8, 22},
                      {5, 55, 116},  {6, 43, 92},  {7, 53, 112}, {8, 53, 112}};
  ParameterStore store;
  for (int block = 0; block <= 8; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      store.SetDevice(block, slot, block * 1000 + slot * 3 + 0x100);
    }
  }
  FakeSerialPort port;
  port.ForceOpen();
  FrameWriter writer(port);
  for (const Row& row : rows) {
    writer.SendTransferStep(row.block, TransferDirection::kUpload, store);
    const Bytes& frame = port.writes.back();
    ASSERT_EQ(frame.size(), static_cast<std::size_t>(row.length_byte + 3)) << row.block;
    EXPECT_EQ(frame[2], row.length_byte);
    EXPECT_EQ(frame[3], kWriteAccess);
    EXPECT_EQ(frame[4], 0x09);
    EXPECT_EQ(frame[5], 0x0F);  // write block
    EXPECT_EQ(frame[6], row.block);
    EXPECT_EQ(frame[7], 0);
    for (int slot = 0; slot < row.values; ++slot) {
      const int value = store.Device(row.block, slot);
      ASSERT_EQ(frame[8 + 2 * slot], value & 0xFF) << row.block << ":" << slot;
      ASSERT_EQ(frame[9 + 2 * slot], value >> 8) << row.block << ":" << slot;
    }
    EXPECT_EQ(frame.back(), FrameChecksum(frame.data(), frame.size()));
  }
  // Block 0's frame is the largest: 214 payload bytes, 221 bytes in all.
  writer.SendTransferStep(0, TransferDirection::kUpload, store);
  EXPECT_EQ(port.writes.back().size(), 221u);
  // There is no upload step past block 8.
  const std::size_t writes = port.writes.size();
  writer.SendTransferStep(9, TransferDirection::kUpload, store);
  EXPECT_EQ(port.writes.size(), writes);
}

TEST(FramesTest, EqBandFrameReadsTheBandsRowNow) {
  ParameterStore store;
  // Music band 3 occupies indices 19..23.
  const int32_t fields[] = {0, 41, 120, 16, 10};
  for (int f = 0; f < 5; ++f) store.SetDevice(0, 19 + f, fields[f]);  // Sing set
  FakeSerialPort port;
  port.ForceOpen();
  FrameWriter writer(port);
  writer.SendEqBandFrame(store, 0, 3);
  EXPECT_EQ(port.writes.back(), (Bytes{0xFC, 0xB1,
                                       0x10,        // 12 payload bytes + 4
                                       0xA7,        // write
                                       0x00, 0x02,  // band address of the Music block
                                       0x03, 0x00,  // band 3
                                       0x00, 0x00,  // type PEQ
                                       0x29, 0x00,  // frequency step 41
                                       0x78, 0x00,  // gain step 120 (0 dB)
                                       0x10, 0x00,  // PEQ Q step 16
                                       0x0A, 0x00,  // shelf Q step 10
                                       0xD2}));
  // Rear block 8 band 4: address 0x081A, fields at 48..52.
  store.set_disco(1);  // the Rear EQ bands are shared by Sing and Disco
  store.SetDevice(8, 50, 300);
  writer.SendEqBandFrame(store, 8, 4);
  const Bytes& rear = port.writes.back();
  EXPECT_EQ(rear[4] * 256 + rear[5], 0x081A);
  EXPECT_EQ(rear[6], 4);
  EXPECT_EQ(rear[12] + 256 * rear[13], 300);
  // With Disco on, a Music band is read from the Disco set (slots 54..105).
  store.SetDevice(0, 19 + 52 + 2, 33);
  writer.SendEqBandFrame(store, 0, 3);
  EXPECT_EQ(port.writes.back()[12], 33);  // gain
  // A band the block does not have is not sent.
  const std::size_t writes = port.writes.size();
  writer.SendEqBandFrame(store, 8, 5);
  writer.SendEqBandFrame(store, 4, 0);
  EXPECT_EQ(port.writes.size(), writes);
}

TEST(FramesTest, WriterFailureHandling) {
  ParameterStore store;
  {
    SCOPED_TRACE("closed port: every writer drops its frame silently");
    FakeSerialPort port;
    FrameWriter writer(port);
    EXPECT_NO_THROW(writer.SendFixedFrame(kWriteAccess, 0x0105, 1));
    EXPECT_NO_THROW(writer.SendLinkCommand(kProbe));
    EXPECT_NO_THROW(writer.SendVariableFrame(kReadAccess, kDeviceIdentityId, 0));
    EXPECT_NO_THROW(writer.SendTextCommand(kSystemPasswordId, "123456"));
    EXPECT_NO_THROW(writer.SendTransferStep(0, TransferDirection::kUpload, store));
    EXPECT_TRUE(port.writes.empty());
  }
  {
    SCOPED_TRACE("failed fixed-frame write is counted and logged, variable-frame write throws");
    FakeSerialPort port;
    port.ForceOpen();
    port.fail_writes = true;
    FrameWriter writer(port);
    std::vector<std::string> log;
    writer.set_failure_log([&log](const std::string& line) { log.push_back(line); });
    EXPECT_NO_THROW(writer.SendFixedFrame(kWriteAccess, 0x0105, 1));
    EXPECT_NO_THROW(writer.SendLinkCommand(kKeepalive));
    EXPECT_EQ(writer.write_failures(), 2);
    EXPECT_EQ(log, std::vector<std::string>(2, "写入失败，丢失 9 字节的帧"));
    EXPECT_THROW(writer.SendVariableFrame(kReadAccess, kDeviceIdentityId, 0), std::runtime_error);
    EXPECT_THROW(writer.SendEqBandFrame(store, 0, 0), std::runtime_error);
    EXPECT_EQ(writer.write_failures(), 2);
  }
  {
    SCOPED_TRACE("a non-digit password fails before anything is written");
    FakeSerialPort port;
    port.ForceOpen();
    FrameWriter writer(port);
    EXPECT_THROW(writer.SendTextCommand(kSystemPasswordId, "12a456"), std::invalid_argument);
    EXPECT_THROW(writer.SendTextCommand(kKeylockPasswordId, "12 4"), std::invalid_argument);
    EXPECT_TRUE(port.writes.empty());
    // An empty digit text is a 7-byte frame.
    writer.SendTextCommand(kKeylockPasswordId, "");
    EXPECT_EQ(port.writes.back().size(), 7u);
  }
}

}  // namespace
}  // namespace kc

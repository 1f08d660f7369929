#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "box-sim/box_model.h"
#include "box_test_util.h"

namespace kc::boxsim {
namespace {

using testing::Append;
using testing::ChecksumOk;
using testing::Hex;
using testing::Read;
using testing::ReadValue;
using testing::Set;
using testing::SplitAnswers;

const std::vector<uint8_t> kProbe = Hex("FC B1 06 A7 09 30 11 00 5C");
const std::vector<uint8_t> kAck = Hex("FE BB");

TEST(BoxFaultsTest, GoesSilentAfterTheGivenNumberOfFrames) {
  struct Case {
    int after;
    int answered;  // of five probes
  };
  for (const Case& c : std::vector<Case>{{-1, 5}, {0, 0}, {1, 1}, {3, 3}, {7, 5}}) {
    SCOPED_TRACE(c.after);
    // Fed one at a time and all at once: the same count is answered.
    for (bool together : {false, true}) {
      BoxModel box;
      box.faults().silent_after_frames = c.after;
      std::vector<uint8_t> answers;
      if (together) {
        std::vector<uint8_t> stream;
        for (int i = 0; i < 5; ++i) Append(&stream, kProbe);
        answers = box.Feed(stream);
      } else {
        for (int i = 0; i < 5; ++i) Append(&answers, box.Feed(kProbe));
      }
      EXPECT_EQ(answers.size(), 2u * c.answered);
    }
  }
  // A silent box does not carry out what it no longer hears.
  BoxModel box;
  box.faults().silent_after_frames = 1;
  box.Feed(kProbe);
  const int32_t before = box.Slot(5, 0);
  EXPECT_TRUE(box.Feed(Set(0x0500, before + 1)).empty());
  EXPECT_EQ(box.Slot(5, 0), before);
  EXPECT_TRUE(box.silent());

  // Frames that were still on their way when the line died are gone when it comes back.
  BoxModel revived;
  revived.faults().silent_after_frames = 1;
  std::vector<uint8_t> two = kProbe;
  Append(&two, kProbe);
  EXPECT_EQ(revived.Feed(two), kAck);
  revived.faults().silent_after_frames = -1;
  EXPECT_EQ(revived.Feed(kProbe), kAck);
}

TEST(BoxFaultsTest, DropsEveryKthAcknowledgementButStillObeys) {
  struct Case {
    int every;
    int acks_of_six;
  };
  for (const Case& c : std::vector<Case>{{0, 6}, {1, 0}, {2, 3}, {3, 4}, {7, 6}}) {
    SCOPED_TRACE(c.every);
    BoxModel box;
    box.faults().drop_ack_every = c.every;
    std::vector<uint8_t> answers;
    for (int i = 0; i < 6; ++i) Append(&answers, box.Feed(Set(0x0500, 10 + i)));
    EXPECT_EQ(answers.size(), 2u * c.acks_of_six);
    EXPECT_EQ(box.Slot(5, 0), 15);
  }
  // Frames are not acknowledgements: reads keep coming.
  BoxModel box;
  box.faults().drop_ack_every = 1;
  EXPECT_TRUE(box.Feed(kProbe).empty());
  EXPECT_EQ(box.Feed(Read(0x0940)), Hex("FC B1 08 A0 09 40 4B 31 07 E5 FC"));
}

TEST(BoxFaultsTest, CorruptsTheChecksumOfEveryKthFrame) {
  BoxModel box;
  box.faults().corrupt_checksum_every = 3;
  std::vector<bool> good;
  for (int i = 0; i < 7; ++i) {
    const std::vector<uint8_t> answer = box.Feed(Read(0x0940));
    ASSERT_EQ(answer.size(), 11u);
    // Only the checksum is damaged, so the PC still finds the frame and its data.
    EXPECT_EQ(std::vector<uint8_t>(answer.begin(), answer.end() - 1),
              Hex("FC B1 08 A0 09 40 4B 31 07 E5"));
    good.push_back(ChecksumOk(answer));
    // Acknowledgements have no checksum and are not counted.
    EXPECT_EQ(box.Feed(kProbe), kAck);
  }
  EXPECT_EQ(good, (std::vector<bool>{true, true, false, true, true, false, true}));
}

// Line errors that damage what a frame carries: a flipped payload byte under a checksum computed
// for the true bytes, and a block answered short.
TEST(BoxFaultsTest, DamagesPayloadsAndShortensBlocksOnRequest) {
  const std::vector<uint8_t> clean = BoxModel().Feed(Read(0x0940));
  ASSERT_EQ(clean.size(), 11u);
  BoxModel box;
  box.faults().corrupt_payload_every = 2;
  std::vector<bool> good;
  for (int i = 0; i < 4; ++i) {
    std::vector<uint8_t> answer = box.Feed(Read(0x0940));
    ASSERT_EQ(answer.size(), 11u);
    good.push_back(ChecksumOk(answer));
    // Only the first payload byte differs; the checksum is the one of the true frame.
    EXPECT_EQ(answer[6], i % 2 == 1 ? (clean[6] ^ 0x40) : clean[6]);
    answer[6] = clean[6];
    EXPECT_EQ(answer, clean);
  }
  EXPECT_EQ(good, (std::vector<bool>{true, false, true, false}));

  struct Case {
    int short_block, values, read_block;
    int length_byte;  // of the answer: 4 + 2 per value
  };
  for (const Case& c :
       std::vector<Case>{{3, 10, 3, 4 + 20}, {3, 10, 2, 4 + 2 * 79}, {3, 0, 3, 4}}) {
    SCOPED_TRACE(c.read_block);
    BoxModel shorted;
    shorted.faults().short_block = c.short_block;
    shorted.faults().short_block_values = c.values;
    const std::vector<uint8_t> answer = shorted.Feed(ReadValue(0x0910, c.read_block));
    ASSERT_GE(answer.size(), 3u);
    EXPECT_EQ(answer[2], c.length_byte);
    EXPECT_TRUE(ChecksumOk(answer));
  }
}

// A pulled cable that is plugged back: deaf for a number of frames, then the box answers again.
TEST(BoxFaultsTest, ComesBackAfterTheGivenNumberOfUnheardFrames) {
  BoxModel box;
  box.faults().silent_after_frames = 1;
  box.faults().silent_for_frames = 3;
  std::vector<int> answered;
  for (int i = 0; i < 6; ++i) answered.push_back(static_cast<int>(box.Feed(kProbe).size()));
  EXPECT_EQ(answered, (std::vector<int>{2, 0, 0, 0, 2, 2}));
}

// A receiver that hunts the way the PC does: skip to 0xFE or 0xFC, then take the piece.
std::vector<std::vector<uint8_t>> Hunt(const std::vector<uint8_t>& stream) {
  std::vector<std::vector<uint8_t>> pieces;
  std::size_t at = 0;
  while (at < stream.size()) {
    if (stream[at] == 0xFE && at + 1 < stream.size()) {
      pieces.push_back({stream[at], stream[at + 1]});
      at += 2;
    } else if (stream[at] == 0xFC && at + 2 < stream.size()) {
      const std::size_t total = stream[at + 2] + 3u;
      pieces.emplace_back(stream.begin() + at, stream.begin() + at + total);
      at += total;
    } else {
      ++at;
    }
  }
  return pieces;
}

TEST(BoxFaultsTest, NoiseBeforeAnswersIsRecoverableAndRepeatable) {
  std::vector<uint8_t> requests;
  for (int i = 0; i < 100; ++i) {
    Append(&requests, kProbe);
    Append(&requests, Read(0x0940));
  }
  BoxModel clean;
  bool ok = false;
  const auto expected = SplitAnswers(clean.Feed(requests), &ok);
  ASSERT_TRUE(ok);

  for (int noise : {1, 3, 16}) {
    SCOPED_TRACE(noise);
    BoxModel box;
    box.faults().noise_bytes = noise;
    const std::vector<uint8_t> noisy = box.Feed(requests);
    EXPECT_EQ(noisy.size(), 200u * noise + 100u * 2 + 100u * 11);
    const auto pieces = Hunt(noisy);
    ASSERT_EQ(pieces.size(), expected.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) ASSERT_EQ(pieces[i], expected[i].bytes);

    BoxModel again;
    again.faults().noise_bytes = noise;
    EXPECT_EQ(again.Feed(requests), noisy);
  }
  // The first answer starts with the noise, then the acknowledgement.
  BoxModel box;
  box.faults().noise_bytes = 4;
  const std::vector<uint8_t> answer = box.Feed(kProbe);
  ASSERT_EQ(answer.size(), 6u);
  EXPECT_EQ(std::vector<uint8_t>(answer.begin() + 4, answer.end()), kAck);
  BoxModel other_seed;
  other_seed.faults().noise_bytes = 4;
  other_seed.faults().noise_seed = 99;
  EXPECT_NE(other_seed.Feed(kProbe), answer);
}

TEST(BoxFaultsTest, SplitIntoPiecesKeepsEveryByteInOrder) {
  const std::vector<uint8_t> bytes = Hex("FC B1 08 A0 09 40 4B 31 07 E5 FC");
  for (std::size_t piece : {0u, 1u, 3u, 11u, 40u}) {
    SCOPED_TRACE(piece);
    const auto pieces = SplitIntoPieces(bytes, piece);
    std::vector<uint8_t> joined;
    for (const auto& p : pieces) {
      EXPECT_GE(p.size(), 1u);
      EXPECT_LE(p.size(), std::max<std::size_t>(piece, 1));
      Append(&joined, p);
    }
    EXPECT_EQ(joined, bytes);
  }
  EXPECT_TRUE(SplitIntoPieces({}, 3).empty());
}

}  // namespace
}  // namespace kc::boxsim

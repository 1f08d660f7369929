#include <gtest/gtest.h>

#include <array>
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
using testing::Request;
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

// A whole-band write: block 3 (Echo) band 0, type, frequency, gain, Q, shelf Q.
const std::vector<uint8_t> kEchoBand =
    Request(0xA7, 0x030B, {0, 0, 0, 0, 50, 0, 130, 0, 20, 0, 10, 0});

// A loose connector: frames of the window's kind whose last byte arrives in [FROM, TO) ms after
// the first identity read was answered are neither carried out nor answered.
TEST(BoxFaultsTest, LosesTheFramesOfItsKindInTheWindow) {
  struct Kinded {
    const char* name;
    std::vector<uint8_t> request;
    bool lost_by_all, lost_by_edit, lost_by_keepalive;
  };
  const std::vector<Kinded> frames = {
      {"probe", kProbe, true, false, false},
      {"keepalive", Set(0x0930, 0x66), true, false, true},
      {"release", Set(0x0930, 0xAA), true, false, false},
      {"parameter", Set(0x0500, 77), true, true, false},
      {"EQ band", kEchoBand, true, true, false},
      {"system item", Set(0x0903, 2), true, true, false},
      {"recall", Set(0x0902, 3), true, true, false},
      {"identity read", Read(0x0940), true, false, false},
      {"block read", ReadValue(0x0910, 3), true, false, false},
  };
  struct Offset {
    int ms;  // after the first identity answer; the window is 100:200
    bool inside;
  };
  const std::vector<Offset> offsets = {{99, false}, {100, true}, {199, true}, {200, false}};
  for (LoseKind kind : {LoseKind::kAll, LoseKind::kEdit, LoseKind::kKeepalive}) {
    for (const Kinded& f : frames) {
      for (const Offset& at : offsets) {
        SCOPED_TRACE(::testing::Message() << "kind " << static_cast<int>(kind) << ", " << f.name
                                          << " at " << at.ms << " ms");
        const bool of_kind = kind == LoseKind::kAll    ? f.lost_by_all
                             : kind == LoseKind::kEdit ? f.lost_by_edit
                                                       : f.lost_by_keepalive;
        const bool lost = of_kind && at.inside;
        BoxModel box;
        box.faults().lose_from_ms = 100;
        box.faults().lose_to_ms = 200;
        box.faults().lose_only = kind;
        // The first identity answer is time 0 of the window.
        ASSERT_EQ(box.Feed(Read(0x0940), 5000).size(), 11u);
        const std::vector<uint8_t> expected = BoxModel().Feed(f.request);  // a clean box's
        const int32_t echo_freq = box.Slot(3, 14);
        const std::vector<uint8_t> answer = box.Feed(f.request, 5000 + at.ms);
        EXPECT_EQ(box.frames_lost(), lost ? 1 : 0);
        EXPECT_EQ(answer, lost ? std::vector<uint8_t>{} : expected);
        // Not carried out either.
        const std::string name = f.name;
        if (name == "parameter") {
          EXPECT_EQ(box.Slot(5, 0) == 77, !lost);
        } else if (name == "EQ band") {
          EXPECT_NE(echo_freq, 50);
          EXPECT_EQ(box.Slot(3, 14) == 50, !lost);
        } else if (name == "release") {
          EXPECT_EQ(box.releases(), lost ? 0 : 1);
        }
      }
    }
  }
}

TEST(BoxFaultsTest, TheLossWindowCountsFromTheFirstIdentityAnswerAndByTheLastByte) {
  BoxModel box;
  box.faults().lose_from_ms = 0;
  box.faults().lose_to_ms = 100;
  // Before the download has ended nothing is lost, however late.
  EXPECT_EQ(box.Feed(kProbe, 0), kAck);
  EXPECT_EQ(box.Feed(kProbe, 700), kAck);
  // An identity read and a probe in one piece: the probe arrives at time 0 and is lost.
  std::vector<uint8_t> both = Read(0x0940);
  Append(&both, kProbe);
  EXPECT_EQ(box.Feed(both, 1000), BoxModel().Feed(Read(0x0940)));
  EXPECT_TRUE(box.session_started());
  EXPECT_EQ(box.frames_lost(), 1);
  // A frame that starts inside the window but ends at its end is heard, and the reverse is not.
  EXPECT_TRUE(box.Feed(kProbe.data(), 4, 1099).empty());
  EXPECT_EQ(box.Feed(kProbe.data() + 4, kProbe.size() - 4, 1100), kAck);
  BoxModel late;
  late.faults().lose_from_ms = 50;
  late.faults().lose_to_ms = 100;
  late.Feed(Read(0x0940), 0);
  EXPECT_TRUE(late.Feed(kProbe.data(), 4, 49).empty());
  EXPECT_TRUE(late.Feed(kProbe.data() + 4, kProbe.size() - 4, 50).empty());
  EXPECT_EQ(late.frames_lost(), 1);
  // Later identity reads do not move time 0.
  EXPECT_EQ(late.Feed(Read(0x0940), 60).size(), 0u);
  EXPECT_EQ(late.Feed(kProbe, 100), kAck);
  // Without a time, bytes arrive when the last ones did.
  EXPECT_EQ(late.Feed(kProbe), kAck);
}

// One lost edit: the N-th edit frame (writes to blocks 0..9 but link control) is neither carried
// out nor acknowledged; probes, keepalives and reads are not counted.
TEST(BoxFaultsTest, LosesTheNthEditFrame) {
  const std::vector<std::vector<uint8_t>> line = {
      kProbe,
      Set(0x0500, 11),  // edit 1
      Set(0x0930, 0x66),
      Read(0x0940),
      kEchoBand,        // edit 2
      Set(0x0304, 44),  // edit 3
      kProbe,
      Set(0x0903, 2),  // edit 4
  };
  struct Case {
    int n;
    std::vector<bool> answered;
  };
  const std::vector<Case> cases = {
      {0, {true, true, true, true, true, true, true, true}},
      {1, {true, false, true, true, true, true, true, true}},
      {2, {true, true, true, true, false, true, true, true}},
      {3, {true, true, true, true, true, false, true, true}},
      {4, {true, true, true, true, true, true, true, false}},
      {5, {true, true, true, true, true, true, true, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    BoxModel box;
    box.faults().lose_edit_frame = c.n;
    std::vector<bool> answered;
    for (const auto& frame : line) answered.push_back(!box.Feed(frame).empty());
    EXPECT_EQ(answered, c.answered);
    EXPECT_EQ(box.edit_frames(), 4);
    // What was lost was not carried out; the rest was.
    EXPECT_EQ(box.Slot(5, 0) == 11, c.n != 1);
    EXPECT_EQ(box.Slot(3, 14) == 50, c.n != 2);
    EXPECT_EQ(box.Slot(3, 4) == 44, c.n != 3);
    EXPECT_EQ(box.Slot(kSystemBlock, 3) == 2, c.n != 4);
  }
  // An edit lost in the window counts too.
  BoxModel box;
  box.faults().lose_from_ms = 0;
  box.faults().lose_to_ms = 10;
  box.faults().lose_edit_frame = 2;
  box.Feed(Read(0x0940), 0);
  EXPECT_TRUE(box.Feed(Set(0x0500, 11), 5).empty());
  EXPECT_TRUE(box.Feed(Set(0x0500, 12), 10).empty());
  EXPECT_EQ(box.Feed(Set(0x0500, 13), 10), kAck);
  EXPECT_EQ(box.frames_lost(), 2);
}

// Back from a silence, another box answers: another identity, other settings, the same
// passwords and names.
TEST(BoxFaultsTest, AnotherBoxAnswersAfterASilenceWhenAsked) {
  const std::array<uint8_t, 4> other = {0x12, 0x34, 0x56, 0x78};
  const std::vector<uint8_t> old_identity = BoxModel().Feed(Read(0x0940));
  const std::vector<uint8_t> new_identity = Request(0xA0, 0x0940, {0x12, 0x34, 0x56, 0x78});
  struct Step {
    std::vector<uint8_t> request;
    int64_t ms;
  };
  struct Case {
    const char* name;
    Faults faults;
    std::vector<Step> before;  // ends in the silence
    int64_t back_ms;           // when the box is asked again
    bool swapped;
  };
  Faults window;
  window.lose_from_ms = 0;
  window.lose_to_ms = 100;
  window.swap_identity = true;
  window.swapped_identity = other;
  Faults edit_window = window;
  edit_window.lose_only = LoseKind::kEdit;  // the window ends all the same
  Faults silence;
  silence.silent_after_frames = 1;
  silence.silent_for_frames = 2;
  silence.swap_identity = true;
  silence.swapped_identity = other;
  Faults plain_silence = silence;
  plain_silence.swap_identity = false;
  Faults endless = silence;
  endless.silent_for_frames = -1;
  const std::vector<Step> in_window = {{Read(0x0940), 0}, {kProbe, 50}, {kProbe, 99}};
  const std::vector<Step> two_unheard = {{Read(0x0940), 0}, {kProbe, 0}, {kProbe, 0}};
  const std::vector<Case> cases = {
      {"end of the loss window", window, in_window, 100, true},
      {"end of an edit-only window", edit_window, in_window, 100, true},
      {"end of a silence of frames", silence, two_unheard, 0, true},
      {"no --swap-identity", plain_silence, two_unheard, 0, false},
      {"a silence that never ends", endless, two_unheard, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxModel box;
    box.faults() = c.faults;
    const int32_t music_freq = box.Slot(0, 5);  // MusFreEdit1
    const std::vector<uint8_t> music_before = BoxModel().Feed(ReadValue(0x0910, 0));
    EXPECT_EQ(box.Feed(c.before.front().request, c.before.front().ms), old_identity);
    for (std::size_t i = 1; i < c.before.size(); ++i) {
      EXPECT_FALSE(box.swapped());
      EXPECT_EQ(box.Feed(c.before[i].request, c.before[i].ms).size(),
                c.name == std::string("end of an edit-only window") ? 2u : 0u);
    }
    const std::vector<uint8_t> identity = box.Feed(Read(0x0940), c.back_ms);
    const std::vector<uint8_t> music = box.Feed(ReadValue(0x0910, 0), c.back_ms);
    EXPECT_EQ(box.swapped(), c.swapped);
    if (c.name == std::string("a silence that never ends")) {
      EXPECT_TRUE(identity.empty());
      continue;
    }
    EXPECT_EQ(identity, c.swapped ? new_identity : old_identity);
    EXPECT_EQ(box.Slot(0, 5) != music_freq, c.swapped);
    EXPECT_EQ(music != music_before, c.swapped);
    EXPECT_EQ(box.current_mode(), c.swapped ? 4 : 0);
    EXPECT_EQ(box.Feed(Read(0x0904), c.back_ms), BoxModel().Feed(Read(0x0904)));  // password
    // Once only, and from then on.
    EXPECT_EQ(box.Feed(Read(0x0940), c.back_ms + 5000), c.swapped ? new_identity : old_identity);
    EXPECT_EQ(box.current_mode(), c.swapped ? 4 : 0);
  }

  // A first box already in mode 4: the other box takes the next mode whose Music row differs.
  BoxModel box;
  box.faults() = window;
  box.Feed(Set(0x0902, 4), 0);
  box.Feed(Read(0x0940), 0);
  const int32_t music_freq = box.Slot(0, 5);
  box.Feed(kProbe, 100);
  EXPECT_TRUE(box.swapped());
  EXPECT_EQ(box.current_mode(), 5);
  EXPECT_NE(box.Slot(0, 5), music_freq);
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

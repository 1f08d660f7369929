#include "box-sim/box_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

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

constexpr int kRowMax = 113;

// Every slot of the present image, keyed by (block, slot).
std::map<std::pair<int, int>, int32_t> Snapshot(const BoxModel& box) {
  std::map<std::pair<int, int>, int32_t> all;
  for (int b = 0; b <= kSystemBlock; ++b) {
    for (int s = 0; s < kRowMax; ++s) all[{b, s}] = box.Slot(b, s);
  }
  return all;
}

// Slots whose values differ between two snapshots.
std::set<std::pair<int, int>> Changed(const std::map<std::pair<int, int>, int32_t>& before,
                                      const std::map<std::pair<int, int>, int32_t>& after) {
  std::set<std::pair<int, int>> changed;
  for (const auto& [key, v] : before) {
    if (after.at(key) != v) changed.insert(key);
  }
  return changed;
}

TEST(BoxModelTest, AnswersReadsWithExactFrames) {
  BoxModel box;  // factory content: passwords 135790 and 2468, mode 9 "Rock", mode 1 current
  struct Case {
    const char* name;
    std::vector<uint8_t> request;
    const char* answer;
  };
  const std::vector<Case> cases = {
      {"identity", Read(0x0940), "FC B1 08 A0 09 40 4B 31 07 E5 FC"},
      {"system password", Read(0x0904), "FC B1 0A A0 09 04 01 03 05 07 09 00 73"},
      {"key-lock password", Read(0x0905), "FC B1 08 A0 09 05 02 04 06 08 0F"},
      // "Rock": R 82 -> 50, o 111 -> 79, c 99 -> 67, k 107 -> 75.
      {"name of mode 9", ReadValue(0x0900, 8), "FC B1 08 A0 09 00 32 4F 43 4B 05"},
      {"music maximum volume", Read(0x0907), "FC B1 06 A0 09 07 54 00 B1"},
      {"current mode", Read(0x0902), "FC B1 06 A0 09 02 00 00 16"},
      {"name of an unknown mode", ReadValue(0x0900, 15), ""},
      {"unknown block", ReadValue(0x0910, 9), ""},
      {"system item past the row", Read(0x0923), ""},
      {"read of an audio id", ReadValue(0x0105, 0), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(box.Feed(c.request), Hex(c.answer));
  }
}

TEST(BoxModelTest, BlockReadsCarryTheWholeRowFromSlotZero) {
  BoxModel box;
  const int slots[] = {106, 79, 79, 28, 8, 55, 43, 53, 53};
  for (int block = 0; block < 9; ++block) {
    SCOPED_TRACE(block);
    box.SetSlot(block, slots[block] - 1, 0x1234);  // the last slot, beyond any 8-bit mistake
    const std::vector<uint8_t> answer = box.Feed(ReadValue(0x0910, block));
    ASSERT_EQ(answer.size(), 2u * slots[block] + 7);
    EXPECT_EQ(answer[2], 2 * slots[block] + 4);
    EXPECT_EQ(answer[4], block);
    EXPECT_EQ(answer[5], 0);
    EXPECT_TRUE(ChecksumOk(answer));
    for (int s = 0; s < slots[block]; ++s) {
      EXPECT_EQ(answer[6 + 2 * s] | (answer[7 + 2 * s] << 8), box.Slot(block, s));
    }
    EXPECT_EQ(answer[answer.size() - 3], 0x34);
    EXPECT_EQ(answer[answer.size() - 2], 0x12);
  }
}

TEST(BoxModelTest, ConnectDownloadGetsOneGoodFramePerRequest) {
  BoxModel box;
  std::vector<uint8_t> requests;
  for (int b = 0; b < 9; ++b) Append(&requests, ReadValue(0x0910, b));
  for (int m = 0; m < 15; ++m) Append(&requests, ReadValue(0x0900, m));
  for (int id = 0x0901; id <= 0x090E; ++id) Append(&requests, Read(id));
  for (int id = 0x0920; id <= 0x0922; ++id) Append(&requests, Read(id));
  Append(&requests, Read(0x0940));

  bool ok = false;
  const auto pieces = SplitAnswers(box.Feed(requests), &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(pieces.size(), 42u);
  std::set<std::string> names;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(pieces[i].ack);
    EXPECT_TRUE(ChecksumOk(pieces[i].bytes));
  }
  // Names decode as printable text of at most 20 characters, all different.
  for (int m = 0; m < 15; ++m) {
    const auto& f = pieces[9 + m].bytes;
    std::string name;
    for (std::size_t i = 6; i + 1 < f.size(); ++i) name.push_back(static_cast<char>(f[i] + 32));
    EXPECT_EQ(name, box.ModeName(m));
    EXPECT_GE(name.size(), 1u);
    EXPECT_LE(name.size(), 20u);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 15u);
}

TEST(BoxModelTest, AcknowledgesProbeKeepaliveAndEveryWriteButNotTheRelease) {
  struct Case {
    const char* name;
    std::vector<uint8_t> request;
    const char* answer;
  };
  std::vector<uint8_t> band(12, 0);
  const std::vector<Case> cases = {
      {"probe", Hex("FC B1 06 A7 09 30 11 00 5C"), "FE BB"},
      {"keepalive", Hex("FC B1 06 A7 09 30 66 00 F3"), "FE BB"},
      {"release", Hex("FC B1 06 A7 09 30 AA 00 37"), ""},
      {"set parameter", Hex("FC B1 06 A7 01 05 2C 01 67"), "FE BB"},
      {"set system item", Set(0x0906, 50), "FE BB"},
      {"set EQ band", Request(0xA7, 0x0002, band), "FE BB"},
      {"recall", Set(0x0902, 3), "FE BB"},
      {"store", Request(0xA7, 0x0901, std::vector<uint8_t>(22, 0)), "FE BB"},
      {"write block", Request(0xA7, 0x090F, {4, 0}), "FE BB"},
      {"system password", Request(0xA7, 0x0904, {1, 2, 3, 4, 5, 6}), "FE BB"},
      {"key-lock password", Request(0xA7, 0x0905, {1, 2, 3, 4}), "FE BB"},
      // Writes the box cannot use still free the PC for its next frame.
      {"index past the block", Set(0x0436, 1), "FE BB"},
      {"band of a block without bands", Request(0xA7, 0x0408, band), "FE BB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxModel box;
    EXPECT_EQ(box.Feed(c.request), Hex(c.answer));
  }
  BoxModel box;
  box.Feed(Hex("FC B1 06 A7 09 30 AA 00 37"));
  EXPECT_EQ(box.releases(), 1);
}

TEST(BoxModelTest, SetParameterLandsInTheSlotOfTheBoxesSingDiscoSetting) {
  struct Case {
    const char* name;
    int disco;
    uint16_t id;
    int block;
    int slot;  // -1: nothing changes
  };
  const std::vector<Case> cases = {
      {"main music level, Sing", 0, 0x0500, 5, 0},
      {"main music level, Disco", 1, 0x0500, 5, 1},
      {"music band 0 type, Sing", 0, 0x0004, 0, 4},
      {"music band 0 type, Disco", 1, 0x0004, 0, 56},
      {"music last index, Disco", 1, 0x0035, 0, 105},
      {"auto/manual stays put", 1, 0x0000, 0, 0},
      {"subwoofer low-pass Q, Disco", 1, 0x0612, 6, 19},
      {"rear high-pass, Disco", 1, 0x0810, 8, 17},
      {"rear compressor attack is not paired", 1, 0x0812, 8, 18},
      {"main compressor attack is not paired", 1, 0x0514, 5, 20},
      // An odd index names its Disco twin and never spills into the next parameter.
      {"odd main index, Disco", 1, 0x0513, 5, 19},
      {"odd rear index, Disco", 1, 0x0811, 8, 17},
      {"centre EQ, Disco", 1, 0x0720, 7, 32},
      {"microphone B gain of band 2", 0, 0x0210, 2, 16},
      {"echo delay", 1, 0x0307, 3, 7},
      {"reverb time", 1, 0x0404, 4, 4},
      {"system item", 0, 0x0906, 9, 6},
      {"system item 0x0922", 0, 0x0922, 9, 34},
      {"music index past the block", 0, 0x0036, 0, -1},
      {"reverb index past the block", 0, 0x0408, 4, -1},
      {"block 10", 0, 0x0A00, 0, -1},
      {"current mode only changes by recall", 0, 0x0902, 9, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxModel box;
    box.SetSlot(0, 1, c.disco);
    const uint16_t value = c.id == 0x0902 ? 4 : 0x4321;
    const auto before = Snapshot(box);
    EXPECT_EQ(box.Feed(Set(c.id, value)), Hex("FE BB"));
    const auto changed = Changed(before, Snapshot(box));
    if (c.slot < 0) {
      EXPECT_TRUE(changed.empty());
    } else {
      EXPECT_EQ(box.Slot(c.block, c.slot), value);
      // A recall also reloads the audio blocks; any other write touches one slot.
      if (c.id != 0x0902) {
        EXPECT_EQ(changed, (std::set<std::pair<int, int>>{{c.block, c.slot}}));
      }
    }
  }
}

TEST(BoxModelTest, SettingTheDiscoSwitchRedirectsLaterMusicWrites) {
  BoxModel box;
  ASSERT_EQ(box.disco(), 0);
  box.Feed(Set(0x0001, 1));
  EXPECT_EQ(box.disco(), 1);
  box.Feed(Set(0x0006, 200));  // gain of Music band 0
  EXPECT_EQ(box.Slot(0, 58), 200);
  EXPECT_NE(box.Slot(0, 6), 200);
}

TEST(BoxModelTest, EqBandWritesFiveFieldsUnderTheBoxesSetting) {
  struct Case {
    const char* name;
    int disco;
    uint16_t address;
    int band;
    int block;
    int first_slot;  // -1: nothing changes
  };
  const std::vector<Case> cases = {
      {"music band 0, Sing", 0, 0x0002, 0, 0, 4},
      {"music band 9, Disco", 1, 0x0002, 9, 0, 101},
      {"microphone A band 14", 0, 0x0102, 14, 1, 74},
      {"microphone B band 0", 0, 0x0202, 0, 2, 4},
      {"echo band 2", 0, 0x030B, 2, 3, 23},
      {"main band 4, Disco shares the set", 1, 0x051C, 4, 5, 50},
      {"subwoofer band 0", 1, 0x061A, 0, 6, 28},
      {"centre band 1", 0, 0x071A, 1, 7, 33},
      {"rear band 4", 1, 0x081A, 4, 8, 48},
      {"music band 10 does not exist", 0, 0x0002, 10, 0, -1},
      {"subwoofer band 3 does not exist", 0, 0x061A, 3, 6, -1},
      {"reverb has no bands", 0, 0x0408, 0, 4, -1},
  };
  const std::vector<uint16_t> fields = {2, 300, 170, 99, 27};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxModel box;
    box.SetSlot(0, 1, c.disco);
    std::vector<uint8_t> payload = {static_cast<uint8_t>(c.band), 0};
    for (uint16_t v : fields) {
      payload.push_back(static_cast<uint8_t>(v & 0xFF));
      payload.push_back(static_cast<uint8_t>(v >> 8));
    }
    const auto before = Snapshot(box);
    EXPECT_EQ(box.Feed(Request(0xA7, c.address, payload)), Hex("FE BB"));
    const auto changed = Changed(before, Snapshot(box));
    if (c.first_slot < 0) {
      EXPECT_TRUE(changed.empty());
      continue;
    }
    for (int f = 0; f < 5; ++f) EXPECT_EQ(box.Slot(c.block, c.first_slot + f), fields[f]);
    for (const auto& [b, s] : changed) {
      EXPECT_EQ(b, c.block);
      EXPECT_GE(s, c.first_slot);
      EXPECT_LT(s, c.first_slot + 5);
    }
  }
}

TEST(BoxModelTest, RecallLoadsTheStoredModeAndKeepsTheSystemItems) {
  BoxModel box;
  box.SetSlot(5, 0, 7);    // an unsaved edit, lost by the recall
  box.SetSlot(9, 32, 11);  // a system volume, not part of a mode
  EXPECT_EQ(box.Feed(Set(0x0902, 8)), Hex("FE BB"));
  EXPECT_EQ(box.current_mode(), 8);
  for (int b = 0; b < 9; ++b) {
    for (int s = 0; s < kRowMax; ++s) ASSERT_EQ(box.Slot(b, s), box.StoredSlot(8, b, s));
  }
  EXPECT_EQ(box.Slot(9, 32), 11);

  // Out of range: acknowledged, nothing loaded.
  const auto before = Snapshot(box);
  EXPECT_EQ(box.Feed(Set(0x0902, 15)), Hex("FE BB"));
  EXPECT_TRUE(Changed(before, Snapshot(box)).empty());
}

std::vector<uint8_t> StorePayload(int mode, const std::string& name) {
  std::vector<uint8_t> p = {static_cast<uint8_t>(mode), 0};
  for (int i = 0; i < 20; ++i) {
    p.push_back(i < static_cast<int>(name.size()) ? static_cast<uint8_t>(name[i] - 32) : 0);
  }
  return p;
}

TEST(BoxModelTest, StoreSavesThePresentSettingsUnderNumberAndName) {
  BoxModel box;
  box.SetSlot(0, 10, 33);
  box.SetSlot(8, 52, 2);
  const std::string other_name = box.ModeName(4);
  const int32_t other_slot = box.StoredSlot(4, 0, 10);
  EXPECT_EQ(box.Feed(Request(0xA7, 0x0901, StorePayload(3, "My Room"))), Hex("FE BB"));
  EXPECT_EQ(box.ModeName(3), "My Room");
  EXPECT_EQ(box.StoredSlot(3, 0, 10), 33);
  EXPECT_EQ(box.StoredSlot(3, 8, 52), 2);
  EXPECT_EQ(box.current_mode(), 0);  // storing does not switch modes
  EXPECT_EQ(box.ModeName(4), other_name);
  EXPECT_EQ(box.StoredSlot(4, 0, 10), other_slot);

  // Recall something else, then the stored mode: the saved values come back.
  box.Feed(Set(0x0902, 5));
  box.Feed(Set(0x0902, 3));
  EXPECT_EQ(box.Slot(0, 10), 33);
  EXPECT_EQ(box.Slot(8, 52), 2);
  // The name reads back as it was stored, without padding.
  EXPECT_EQ(box.Feed(ReadValue(0x0900, 3)), Request(0xA0, 0x0900, {45, 89, 0, 50, 79, 79, 77}));
}

TEST(BoxModelTest, StoredNamesKeepInnerSpacesAndDropPadding) {
  struct Case {
    std::vector<uint8_t> name_bytes;
    const char* name;
  };
  const std::vector<Case> cases = {
      {{33, 0, 34}, "A B"},  // a space travels as 0
      {{}, ""},
      {{33, 34, 0, 0}, "AB"},
      {std::vector<uint8_t>(20, 45), "MMMMMMMMMMMMMMMMMMMM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxModel box;
    std::vector<uint8_t> payload = {6, 0};
    payload.insert(payload.end(), c.name_bytes.begin(), c.name_bytes.end());
    payload.resize(22, 0);
    box.Feed(Request(0xA7, 0x0901, payload));
    EXPECT_EQ(box.ModeName(6), c.name);
  }
  BoxModel box;
  const std::string before = box.ModeName(0);
  box.Feed(Request(0xA7, 0x0901, StorePayload(15, "Nowhere")));
  for (int m = 0; m < 15; ++m) EXPECT_NE(box.ModeName(m), "Nowhere");
  EXPECT_EQ(box.ModeName(0), before);
}

TEST(BoxModelTest, PasswordsChangeOnlyToWellFormedDigits) {
  struct Case {
    const char* name;
    uint16_t id;
    std::vector<uint8_t> digits;
    const char* system;
    const char* keylock;
  };
  const std::vector<Case> cases = {
      {"new system password", 0x0904, {9, 8, 7, 6, 5, 4}, "987654", "2468"},
      {"new key-lock password", 0x0905, {0, 0, 0, 1}, "135790", "0001"},
      {"system password too short", 0x0904, {1, 2, 3, 4, 5}, "135790", "2468"},
      {"key-lock password too long", 0x0905, {1, 2, 3, 4, 5}, "135790", "2468"},
      {"not a digit", 0x0904, {1, 2, 3, 4, 5, 10}, "135790", "2468"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxModel box;
    EXPECT_EQ(box.Feed(Request(0xA7, c.id, c.digits)), Hex("FE BB"));
    EXPECT_EQ(box.system_password(), c.system);
    EXPECT_EQ(box.keylock_password(), c.keylock);
  }
  BoxModel box;
  box.Feed(Request(0xA7, 0x0905, {7, 7, 0, 1}));
  EXPECT_EQ(box.Feed(Read(0x0905)), Request(0xA0, 0x0905, {7, 7, 0, 1}));
}

TEST(BoxModelTest, WriteBlockReplacesTheRowInSlotOrder) {
  BoxModel box;
  std::vector<uint8_t> payload = {0, 0};
  for (int s = 0; s < 106; ++s) {
    payload.push_back(static_cast<uint8_t>(s));
    payload.push_back(1);
  }
  const std::vector<uint8_t> frame = Request(0xA7, 0x090F, payload);
  ASSERT_EQ(frame.size(), 221u);
  EXPECT_EQ(box.Feed(frame), Hex("FE BB"));
  for (int s = 0; s < 106; ++s) ASSERT_EQ(box.Slot(0, s), 256 + s);

  // Reading it back gives the same values.
  const std::vector<uint8_t> answer = box.Feed(ReadValue(0x0910, 0));
  EXPECT_TRUE(std::equal(payload.begin() + 2, payload.end(), answer.begin() + 6));

  // A block number beyond the audio blocks changes nothing.
  const auto before = Snapshot(box);
  EXPECT_EQ(box.Feed(Request(0xA7, 0x090F, {9, 0, 1, 0, 2, 0})), Hex("FE BB"));
  EXPECT_TRUE(Changed(before, Snapshot(box)).empty());
}

TEST(BoxModelTest, BadChecksumFromThePcIsNeitherAppliedNorAnswered) {
  BoxModel box;
  const auto before = Snapshot(box);
  std::vector<uint8_t> frame = Set(0x0500, 99);
  frame.back() ^= 0x01;
  EXPECT_TRUE(box.Feed(frame).empty());
  EXPECT_TRUE(Changed(before, Snapshot(box)).empty());
  EXPECT_EQ(box.checksum_errors(), 1);
}

TEST(BoxModelTest, FragmentedInputGetsTheSameAnswers) {
  std::vector<uint8_t> stream;
  Append(&stream, Hex("FC B1 06 A7 09 30 11 00 5C"));
  Append(&stream, Hex("00 FC 13"));  // line noise with a false lead byte
  Append(&stream, Read(0x0940));
  Append(&stream, Set(0x0105, 300));
  Append(&stream, ReadValue(0x0910, 3));
  Append(&stream, ReadValue(0x0900, 9));

  BoxModel whole;
  const std::vector<uint8_t> expected = whole.Feed(stream);
  bool ok = false;
  ASSERT_EQ(SplitAnswers(expected, &ok).size(), 5u);

  for (std::size_t piece : {1u, 2u, 5u, 8u, 64u}) {
    SCOPED_TRACE(piece);
    BoxModel box;
    std::vector<uint8_t> answers;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      const std::size_t n = std::min(piece, stream.size() - at);
      Append(&answers, box.Feed(stream.data() + at, n));
    }
    EXPECT_EQ(answers, expected);
    EXPECT_EQ(box.Slot(1, 5), 300);
  }
}

TEST(BoxModelTest, GarbageMixedWithRequestsOnlyEverGetsWellFormedAnswers) {
  // Random bytes, with lead bytes and plausible headers salted in, around real requests.
  std::minstd_rand rng(7);
  std::uniform_int_distribution<int> byte(0, 255);
  BoxModel box;
  int probes = 0;
  std::vector<uint8_t> answers;
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> chunk;
    const int n = byte(rng) % 12;
    for (int i = 0; i < n; ++i) {
      const int r = byte(rng);
      chunk.push_back(r < 20 ? 0xFC : r < 40 ? 0xB1 : r < 60 ? 0xA0 : static_cast<uint8_t>(r));
    }
    if (round % 10 == 0) {
      Append(&chunk, Hex("FC B1 06 A7 09 30 11 00 5C"));
      ++probes;
    }
    Append(&answers, box.Feed(chunk));
  }
  bool ok = false;
  const auto pieces = SplitAnswers(answers, &ok);
  ASSERT_TRUE(ok);
  int acks = 0;
  for (const auto& piece : pieces) {
    if (piece.ack) {
      ++acks;
    } else {
      EXPECT_TRUE(ChecksumOk(piece.bytes));
    }
  }
  // A false start is given up byte by byte, so a probe behind it is still found; only a false
  // start whose checksum happens to match (1 in 256) could swallow one.
  EXPECT_GE(acks, probes * 95 / 100) << acks << " of " << probes;
}

}  // namespace
}  // namespace kc::boxsim

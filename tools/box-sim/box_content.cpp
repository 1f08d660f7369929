#include "box-sim/box_content.h"

#include <algorithm>

#include "box-sim/box_model.h"

namespace kc::boxsim {

namespace {

// Raw ranges of the EQ fields.
constexpr int kFreqSteps = 361;
constexpr int kGainFlat = 120;  // 0.0 dB
constexpr int kGainMax = 180;
constexpr int kPeqQDefault = 16;  // Q 1.00
constexpr int kPeqQMax = 100;
constexpr int kShelfQDefault = 10;  // Q 0.71

// Room and genre names; "Rock" and "Live" sit at places 9 and 10 of the panel list.
constexpr std::array<const char*, kModeCount> kModeNames = {
    "Standard", "Pop",  "Ballad", "Jazz",       "Classic",    "KTV Room", "Party",  "Studio",
    "Rock",     "Live", "Hall",   "Small Room", "Large Room", "Disco",    "Outdoor"};

// The Disco mode starts with Disco switched on.
constexpr int kDiscoMode = 13;

int Clamp(int v, int lo, int hi) { return std::clamp(v, lo, hi); }

// A repeatable wobble in -span..span that differs between modes and positions.
int Wobble(int mode, int position, int span) {
  const unsigned h = static_cast<unsigned>(mode * 131 + position * 37 + mode * position * 11);
  return static_cast<int>(h % static_cast<unsigned>(2 * span + 1)) - span;
}

// Writes `bands` EQ bands starting at slot `first`, spread over the frequency steps from
// `low_step` with `spacing`; the first band is a low shelf and the last a high shelf when
// `shelves` is set, the others peaks with gains that make a mode-specific curve.
void FillBands(std::vector<int32_t>& row, int first, int bands, int low_step, int spacing,
               bool shelves, int mode, int salt) {
  for (int k = 0; k < bands; ++k) {
    const int base = first + 5 * k;
    int type = 0;
    if (shelves && k == 0) type = 1;
    if (shelves && k == bands - 1 && bands > 1) type = 2;
    row[base + 0] = type;
    row[base + 1] = Clamp(low_step + spacing * k + Wobble(mode, salt + k, 3), 0, kFreqSteps);
    row[base + 2] = Clamp(kGainFlat + Wobble(mode, salt + 50 + k, 30), 0, kGainMax);
    row[base + 3] = Clamp(kPeqQDefault + Wobble(mode, salt + 90 + k, 8), 1, kPeqQMax);
    row[base + 4] = kShelfQDefault;
  }
}

// Sets a Sing value at even slot i and a slightly different Disco twin at i + 1.
void Pair(std::vector<int32_t>& row, int i, int sing, int disco) {
  row[i] = sing;
  row[i + 1] = disco;
}

std::vector<int32_t> MusicRow(int mode) {
  std::vector<int32_t> row(LayoutOf(0)->slot_count, 0);
  row[0] = mode % 3 == 2 ? 1 : 0;  // Auto or Manual
  row[1] = mode == kDiscoMode ? 1 : 0;
  row[3] = 0;  // EQ in use
  // Sing set in slots 4..53, Disco set in slots 56..105 with its own spacing.
  FillBands(row, 4, 10, 5, 36, true, mode, 0);
  FillBands(row, 56, 10, 11, 24, true, mode, 200);
  row[54 + 1] = 0;  // Disco set's bypass sits at slot 55
  return row;
}

std::vector<int32_t> MicRow(int mode, int group) {
  std::vector<int32_t> row(LayoutOf(1)->slot_count, 0);
  row[0] = Clamp(24 + Wobble(mode, 7 + group, 10), 0, 143);  // high-pass
  row[1] = 1 + (mode + group) % 3;                           // feedback suppression
  row[3] = 0;
  FillBands(row, 4, 15, 5, 24, false, mode, 300 + group * 40);
  return row;
}

std::vector<int32_t> EchoRow(int mode) {
  std::vector<int32_t> row(LayoutOf(3)->slot_count, 0);
  row[0] = 1;
  row[1] = Clamp(65 + Wobble(mode, 1, 15), 0, 100);
  row[2] = 1;
  row[3] = Clamp(85 + Wobble(mode, 2, 10), 0, 100);
  row[4] = Clamp(40 + Wobble(mode, 3, 12), 0, 241);
  row[5] = Clamp(150 + Wobble(mode, 4, 20), 0, 194);
  row[6] = Clamp(20 + Wobble(mode, 5, 10), 0, 125);
  row[7] = Clamp(120 + Wobble(mode, 6, 40), 0, 250);
  row[8] = Clamp(45 + Wobble(mode, 7, 20), 0, 90);
  row[9] = Clamp(30 + Wobble(mode, 8, 10), 0, 100);
  row[10] = Clamp(10 + Wobble(mode, 9, 5), 0, 50);
  row[12] = 0;
  FillBands(row, 13, 3, 5, 120, false, mode, 400);
  return row;
}

std::vector<int32_t> ReverbRow(int mode) {
  std::vector<int32_t> row(LayoutOf(4)->slot_count, 0);
  row[0] = 1;
  row[1] = Clamp(55 + Wobble(mode, 11, 20), 0, 100);
  row[2] = 1;
  row[3] = Clamp(80 + Wobble(mode, 12, 10), 0, 100);
  row[4] = Clamp(40 + Wobble(mode, 13, 20), 0, 80);
  row[5] = Clamp(25 + Wobble(mode, 14, 15), 0, 100);
  row[6] = Clamp(30 + Wobble(mode, 15, 10), 0, 241);
  row[7] = Clamp(160 + Wobble(mode, 16, 20), 0, 194);
  return row;
}

// Compressor attack, release, threshold and ratio from slot `at`.
void FillCompressor(std::vector<int32_t>& row, int at, int mode, int salt) {
  row[at + 0] = Clamp(5 + Wobble(mode, salt, 3), 0, 15);
  row[at + 1] = Clamp(3 + Wobble(mode, salt + 1, 2), 0, 7);
  row[at + 2] = Clamp(20 + Wobble(mode, salt + 2, 8), 0, 34);
  row[at + 3] = Clamp(10 + Wobble(mode, salt + 3, 6), 0, 40);
}

// Main output (block 5), Centre (7) and Rear (8): levels, phases and the music high-pass as
// Sing/Disco pairs, then compressor, delays, mutes and EQ.
std::vector<int32_t> OutputRow(int block, int mode) {
  std::vector<int32_t> row(LayoutOf(block)->slot_count, 0);
  const int salt = block * 20;
  const int music = Clamp(85 + Wobble(mode, salt, 10), 0, 100);
  Pair(row, 0, music, Clamp(music + 8, 0, 100));
  Pair(row, 2, 1, 1);
  const int mic = Clamp(80 + Wobble(mode, salt + 1, 12), 0, 100);
  Pair(row, 4, mic, Clamp(mic - 15, 0, 100));
  Pair(row, 6, 1, 1);
  Pair(row, 8, Clamp(70 + Wobble(mode, salt + 2, 15), 0, 100), 60);
  Pair(row, 10, 1, 1);
  Pair(row, 12, Clamp(65 + Wobble(mode, salt + 3, 15), 0, 100), 55);
  Pair(row, 14, 1, 1);
  Pair(row, 16, Clamp(12 + Wobble(mode, salt + 4, 8), 0, 143), 20);
  if (block == 8) {
    FillCompressor(row, 18, mode, salt + 5);
    row[22] = 120;  // left delay
    row[23] = 120;  // right delay
    row[24] = 0;
    row[25] = 0;
  } else {
    Pair(row, 18, 0, 1);  // high-pass slope 12 dB, Disco 24 dB
    FillCompressor(row, 20, mode, salt + 5);
    if (block == 5) {
      row[24] = 0;
      row[25] = 0;
      row[26] = 0;
      row[27] = 0;
    } else {
      row[24] = 30;  // Centre delay
      row[25] = 0;
    }
  }
  const BlockLayout& layout = *LayoutOf(block);
  FillBands(row, layout.first_eq, layout.eq_bands, 5, 72, true, mode, 500 + salt);
  return row;
}

std::vector<int32_t> SubwooferRow(int mode) {
  std::vector<int32_t> row(LayoutOf(6)->slot_count, 0);
  const int music = Clamp(150 + Wobble(mode, 60, 30), 0, 200);
  Pair(row, 0, music, Clamp(music + 20, 0, 200));
  Pair(row, 2, 1, 1);
  Pair(row, 4, Clamp(60 + Wobble(mode, 61, 20), 0, 200), 40);
  Pair(row, 6, 1, 1);
  Pair(row, 8, 2, 1);  // high-pass type
  Pair(row, 10, Clamp(5 + Wobble(mode, 62, 4), 0, 143), 8);
  Pair(row, 12, 10, 12);
  Pair(row, 14, 2, 2);  // low-pass type
  Pair(row, 16, Clamp(40 + Wobble(mode, 63, 10), 0, 143), 45);
  Pair(row, 18, 10, 14);
  FillCompressor(row, 20, mode, 64);
  row[24] = 0;
  row[25] = 0;
  row[27] = 0;
  FillBands(row, 28, 3, 5, 40, false, mode, 600);
  return row;
}

}  // namespace

FactoryContent MakeFactoryContent() {
  FactoryContent content;
  for (int m = 0; m < kModeCount; ++m) {
    content.mode_names[m] = kModeNames[m];
    auto& image = content.mode_images[m];
    image[0] = MusicRow(m);
    image[1] = MicRow(m, 0);
    image[2] = MicRow(m, 1);
    image[3] = EchoRow(m);
    image[4] = ReverbRow(m);
    image[5] = OutputRow(5, m);
    image[6] = SubwooferRow(m);
    image[7] = OutputRow(7, m);
    image[8] = OutputRow(8, m);
  }
  content.system_items.assign(LayoutOf(kSystemBlock)->slot_count, 0);
  auto& sys = content.system_items;
  sys[kItemRecallMode] = 0;  // mode 1 is current
  sys[3] = 1;                // music input level 3 dB
  sys[6] = 40;               // music start volume
  sys[7] = 84;               // music maximum volume
  sys[8] = 36;               // microphone start volume
  sys[9] = 80;               // microphone maximum volume
  sys[10] = 30;              // effect start volume
  sys[11] = 76;              // effect maximum volume
  sys[12] = 0;               // user mode
  sys[13] = 0;               // automatic key lock off
  sys[14] = 0;               // input 1
  sys[32] = 62;              // music volume
  sys[33] = 56;              // microphone volume
  sys[34] = 48;              // effect volume
  content.system_password = "135790";
  content.keylock_password = "2468";
  content.identity = {0x4B, 0x31, 0x07, 0xE5};
  return content;
}

}  // namespace kc::boxsim

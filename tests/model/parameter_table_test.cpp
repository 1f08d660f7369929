// The table of parameter names and display kinds: the texts it gives are the editor's, and its
// entries address real, distinct indices.
#include "model/parameter_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "model/parameter_store.h"

namespace kc {
namespace {

struct TextCase {
  const char* name;
  int32_t value;
  int32_t band_type;
  const char* text;
};

TEST(ParameterTable, DisplayTextsAreTheEditorsTexts) {
  const TextCase cases[] = {
      // Slider panes: the slider limits the value to its range before the pane formats it.
      {"MicHPFreBar", 0, 0, "Off"},
      {"MicHPFreBar", 1, 0, "19.7Hz"},
      {"MicHPFreBar", 200, 0, "303.0Hz"},  // slider maximum 143
      {"EchoLPFreBar", 194, 0, "Off"},
      {"EchoLPFreBar", 0, 0, "500.0Hz"},
      {"RvbTimeBar", 1, 0, "63ms"},
      {"SubMusLevelBar", 200, 0, "400%"},
      {"MainMusLevelBar", 200, 0, "200%"},  // Main's slider ends at 100
      {"EchoRTimeBar", 0, 0, "-50%"},
      {"MainRmsLevelBar", 0, 0, "-20dBu"},
      {"SurRmsAttackBar", 15, 0, "90ms"},
      {"CenterRmsRatioBar", 40, 0, "100"},
      {"SubdelayBar", 123, 0, "12.3ms"},
      {"SubMusLPuserQBar", 10, 0, "0.71"},
      {"SysMusStartVolBar", 90, 0, "84"},  // volume panes show the position
      // Edit boxes show the stored value unclamped.
      {"MusFreEdit3", 204, 0, "1000.0Hz"},
      {"MusGainEdit1", 102, 0, "-3.6dB"},
      {"MicGainEdit15", 300, 0, "36.0dB"},
      // One Q box, two fields (by name: the PEQ field): the band's type decides which one it
      // shows.
      {"EchoQEdit2", 16, 0, "1.00"},
      {"EchoQEdit2", 16, 2, "[1.00]"},
      // Drop-downs show the item of the last digit; radios the button of that position.
      {"MusModeBox1", 12, 0, "HSEQ"},
      // A value beyond the items shows the nearest item.
      {"MusModeBox1", 4, 0, "HSEQ"},
      {"SubMusHPType", 13, 0, "USER 12dB"},
      {"SysMusInputLevelBox", 2, 0, "6dB"},
      {"MicFBERadioBtn1", 0, 0, "OFF"},
      {"MicFBERadioBtn1", 4, 0, "(none)"},
      {"MainMusHPslope", 1, 0, "24dB"},
      {"SysPanelBtn1", 1, 0, "开启"},
      {"AutoModeBtn", 2, 0, "手动"},
      {"DiscoModeBtn", 0, 0, "唱歌"},
      {"EchoEffPhaseBtn", 1, 0, "+"},
      {"EchoEffPhaseBtn", 2, 0, "-"},
      {"CentermuteBtn", 1, 0, "ON"},
      {"SubEQAllpassBtn", 0, 0, "OFF"},
      {"SysModeBox", 0, 0, "1"},
  };
  for (const TextCase& c : cases) {
    const ParameterInfo* info = FindParameterByName(c.name);
    ASSERT_NE(info, nullptr) << c.name;
    EXPECT_EQ(DisplayText(*info, c.value, c.band_type), c.text) << c.name << " = " << c.value;
  }
}

TEST(ParameterTable, EntriesAddressDistinctIndicesOfTheirBlocks) {
  std::set<std::pair<int, int>> seen;
  std::map<std::string, int> names;
  for (const ParameterInfo& info : ParameterTable()) {
    const BlockInfo* block = InfoOfBlock(info.block);
    ASSERT_NE(block, nullptr);
    EXPECT_NE(info.block, 2) << "group B is reached through block 1";
    EXPECT_LT(info.index, block->parameters) << info.name;
    EXPECT_NE(info.index, IndexOf(block->band_address)) << info.name << " is a band address";
    EXPECT_TRUE(seen.insert({info.block, info.index}).second) << info.name;
    EXPECT_EQ(info.page, block->page);
    ++names[info.name];
  }
  for (const auto& [name, count] : names) {
    // Only a Q box stands for two indices.
    EXPECT_EQ(count, name.find("QEdit") != std::string::npos ? 2 : 1) << name;
  }
  // Every field of every band of every block with bands has its entry.
  for (int block : {0, 1, 3, 5, 6, 7, 8}) {
    const BlockInfo* info = InfoOfBlock(block);
    for (int i = info->first_eq; i < info->first_eq + 5 * info->eq_bands; ++i) {
      EXPECT_NE(FindParameter(block, i), nullptr) << block << "." << i;
    }
  }
}

TEST(ParameterTable, LookUps) {
  EXPECT_EQ(FindParameter(2, 16), FindParameter(1, 16));
  EXPECT_EQ(FindParameter(1, 16)->name, "MicGainEdit3");
  EXPECT_EQ(FindParameter(5, 1), nullptr) << "a Disco twin has no control";
  EXPECT_EQ(FindParameter(0, 2), nullptr) << "the band address has no control";
  EXPECT_EQ(FindParameterByName("MusQEdit1")->field, 3);
  EXPECT_EQ(FindParameterByName("CenterdelayBar")->index, 24);
  EXPECT_EQ(FindParameterByName("SurRmsAttackBar")->index, 18);
  EXPECT_EQ(FindParameterByName("NoSuchControl"), nullptr);
  // Band fields by block, band and field; none outside the block's bands.
  const struct {
    int block, band, field, id;
  } bands[] = {{0, 0, 1, 0x0005}, {0, 9, 4, 0x0035}, {1, 14, 0, 0x014A}, {3, 2, 4, 0x031B},
               {6, 2, 1, 0x0627}, {8, 4, 3, 0x0833}, {0, 10, 0, -1},     {4, 0, 0, -1},
               {9, 0, 0, -1},     {0, 0, 5, -1},     {0, -1, 0, -1}};
  for (const auto& b : bands) {
    EXPECT_EQ(BandFieldId(b.block, b.band, b.field), b.id) << b.block << "/" << b.band;
  }
  // Which two-state buttons are EQ bypasses, and a Q box's own text without the brackets.
  EXPECT_TRUE(FindParameterByName("SubEQAllpassBtn")->eq_bypass);
  EXPECT_TRUE(FindParameterByName("CenterEQAllpassBtn")->eq_bypass);
  EXPECT_FALSE(FindParameterByName("SubmuteBtn")->eq_bypass);
  EXPECT_FALSE(FindParameterByName("EchoEffPhaseBtn")->eq_bypass);
  EXPECT_EQ(ControlText(*FindParameterByName("EchoQEdit2"), 16), "1.00");
  EXPECT_EQ(BandPrefix(2), "Echo");
  EXPECT_EQ(BandPrefix(7), "");
  EXPECT_EQ(PageName(5), "Subwoofer");
  EXPECT_EQ(PageName(8), "");
}

}  // namespace
}  // namespace kc

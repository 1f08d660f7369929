// What karaoke-ctl prints about a mode: the rows of show and the differences of diff.
#include "cli/mode_output.h"

#include <gtest/gtest.h>

namespace kc::cli {
namespace {

// A store with a few realistic values: band 1 of Music a low shelf at 99.0 Hz.
ParameterStore SampleStore() {
  ParameterStore store;
  store.SetDevice(0, 4, 1);    // band 1 type LSEQ
  store.SetDevice(0, 5, 84);   // 99.0Hz
  store.SetDevice(0, 6, 120);  // 0.0dB
  store.SetDevice(0, 7, 16);   // PEQ Q 1.00 (not in force)
  store.SetDevice(0, 8, 10);   // shelf Q 0.71
  return store;
}

TEST(ModeDiff, OneEditIsExactlyOneLineWithTheEditorsTexts) {
  const ParameterStore a = SampleStore();
  EXPECT_TRUE(Diff(a, a, false).empty());

  ParameterStore b = a;
  b.SetDevice(3, 7, 125);  // echo delay
  const std::vector<Difference> one = Diff(a, b, false);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].page, "效果 Effect");
  EXPECT_EQ(one[0].name, "EchoTimeBar");
  EXPECT_EQ(one[0].a, "0ms");
  EXPECT_EQ(one[0].b, "250ms");
  EXPECT_EQ(FormatDifferences(one), "效果 Effect\tEchoTimeBar\t0ms\t250ms\n");
}

TEST(ModeDiff, EverySetAndEverySlotIsCompared) {
  struct Case {
    int block;
    int slot;
    int32_t value;
    const char* page;
    const char* name;
    const char* text;
  };
  const Case cases[] = {
      {0, 6 + 52, 130, "音乐（舞蹈） Music (Disco)", "MusGainEdit1", "2.0dB"},      // the Disco set
      {2, 16, 100, "麦克风B Microphone B", "MicGainEdit3", "-4.0dB"},               // group B
      {1, 16, 100, "麦克风A Microphone A", "MicGainEdit3", "-4.0dB"},               // group A
      {5, 1, 50, "主输出（舞蹈） Main output (Disco)", "MainMusLevelBar", "100%"},  // Disco twin
      {0, 2, 7, "音乐 Music", "slot 0.2", "7"},  // band address, no control
      {2, 2, 7, "麦克风B Microphone B", "slot 2.2", "7"},
      {8, 53, 9, "后置输出 Rear", "slot 8.53", "9"},  // the slot past the block
  };
  const ParameterStore a = SampleStore();
  for (const Case& c : cases) {
    ParameterStore b = a;
    b.SetDevice(c.block, c.slot, c.value);
    const std::vector<Difference> d = Diff(a, b, false);
    ASSERT_EQ(d.size(), 1u) << c.name;
    EXPECT_EQ(d[0].page, c.page);
    EXPECT_EQ(d[0].name, c.name);
    EXPECT_EQ(d[0].b, c.text);
  }
  // What a transfer carries ends before the extra slot of a mode file.
  ParameterStore b = a;
  b.SetDevice(8, 53, 9);
  EXPECT_TRUE(Diff(a, b, false, 0).empty());
}

TEST(ModeDiff, ABandTypeChangeShowsBothQFieldsByTheirNames) {
  const ParameterStore a = SampleStore();
  ParameterStore b = a;
  b.SetDevice(0, 4, 0);  // LSEQ -> PEQ
  EXPECT_EQ(FormatDifferences(Diff(a, b, false)),
            "音乐 Music\tMusModeBox1\tLSEQ\tPEQ\n"
            "音乐 Music\tMusQEdit1 (Q)\t1.00 (not in force: LSEQ band)\t1.00\n"
            "音乐 Music\tMusQEdit1 (shelf Q)\t0.71\t0.71 (not in force: PEQ band)\n");
}

TEST(ModeShow, RowsAndJson) {
  ParameterStore store = SampleStore();
  store.SetDevice(9, 12, 1);
  const std::string text = FormatShow(store, true);
  EXPECT_NE(text.find("音乐 Music\tMusFreEdit1\t84\t99.0Hz\n"), std::string::npos);
  // Both Q fields of a band, each named, the one its LSEQ band does not use marked.
  EXPECT_NE(text.find("音乐 Music\tMusQEdit1 (Q)\t16\t1.00 (not in force: LSEQ band)\n"
                      "音乐 Music\tMusQEdit1 (shelf Q)\t10\t0.71\n"),
            std::string::npos);
  EXPECT_NE(text.find("系统设定 System\tSysUserBtn\t1\t管理员\n"), std::string::npos);
  EXPECT_EQ(FormatShow(store, false).find("System"), std::string::npos);
  const std::string json = FormatShowJson(store, false, "a \"b\".Nddt");
  EXPECT_NE(json.find("\"source\": \"a \\\"b\\\".Nddt\""), std::string::npos);
  EXPECT_NE(json.find("{\"page\": \"音乐\", \"page_english\": \"Music\", \"name\": "
                      "\"MusFreEdit1\", \"label\": \"band 1 frequency\", \"block\": 0, "
                      "\"index\": 5, \"slot\": 5, \"raw\": 84, \"text\": \"99.0Hz\"}"),
            std::string::npos);
  EXPECT_NE(json.find("\"name\": \"MusQEdit1\", \"label\": \"band 1 Q (PEQ)\""), std::string::npos);
  EXPECT_EQ(JsonString("a\tb"), "\"a\\u0009b\"");
}

}  // namespace
}  // namespace kc::cli

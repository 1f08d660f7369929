// The plan that brings a box to its baseline: the differences it names and the frames it sends.
#include "venue/plan.h"

#include <gtest/gtest.h>

namespace kc {
namespace {

struct Change {
  int block;
  int slot;
  int32_t value;
};

ParameterStore Box() {
  ParameterStore store;
  store.ResetEq(kAllBlocks);
  store.SetDevice(3, 7, 120);           // echo delay 120 ms
  store.SetDevice(kSystemBlock, 3, 1);  // music input 3dB
  store.SetDevice(kSystemBlock, 2, 4);  // current mode 5
  return store;
}

TEST(Plan, DifferencesBecomeEditsOrTheUpload) {
  struct Case {
    const char* what;
    std::vector<Change> baseline;
    bool with_system;
    std::vector<std::string> names;  // of the differences, in order
    bool upload;
    std::vector<std::string> frames;
  };
  // clang-format off
  const Case cases[] = {
      {"nothing differs", {}, true, {}, false, {}},
      {"one parameter", {{3, 7, 250}}, false, {"EchoTimeBar"}, false, {"edit 0307 = 250"}},
      {"two fields of one band go as one band frame", {{0, 5, 90}, {0, 6, 130}}, false,
       {"MusFreEdit1", "MusGainEdit1"}, false, {"band 0005 (band 0)"}},
      {"microphone group B goes to its own row", {{2, 16, 100}}, false, {"MicGainEdit3"}, false,
       {"band 0210 (band 2)"}},
      {"parameters before bands, as the link sends them", {{0, 6, 130}, {3, 7, 250}}, false,
       {"MusGainEdit1", "EchoTimeBar"}, false, {"edit 0307 = 250", "band 0006 (band 0)"}},
      {"a user's system item from a box backup", {{kSystemBlock, 3, 2}}, true,
       {"SysMusInputLevelBox"}, false, {"edit 0903 = 2"}},
      {"a mode file compares no system item", {{kSystemBlock, 3, 2}}, false, {}, false, {}},
      {"the current mode is the box's to say", {{kSystemBlock, 2, 7}}, true, {}, false, {}},
      {"the Disco set goes with the upload", {{0, 6 + 52, 130}}, false, {"MusGainEdit1"}, true, {}},
      {"the Sing/Disco switch goes with the upload", {{0, 1, 1}}, false, {"DiscoModeBtn"}, true, {}},
      {"ten frames are more than the upload; system items follow it",
       {{3, 1, 1}, {3, 3, 2}, {3, 4, 3}, {3, 5, 4}, {3, 6, 5}, {3, 7, 6}, {3, 8, 7}, {3, 9, 8},
        {3, 10, 9}, {kSystemBlock, 6, 9}}, true,
       {"EchoEffLevelBar", "EchoDirectLevelBar", "EchoHPFreBar", "EchoLPFreBar", "EchoPreDelayBar",
        "EchoTimeBar", "EchoRepeatBar", "EchoRTimeBar", "EchoRPreDelayBar", "SysMusStartVolBar"},
       true, {"edit 0906 = 9"}},
      {"a band type change that takes a Q out of force sends the type alone", {{0, 4, 1}}, false,
       {"MusModeBox1", "MusQEdit1 (Q)", "MusQEdit1 (shelf Q)"}, false, {"band 0004 (band 0)"}},
  };
  // clang-format on
  const ParameterStore box = Box();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ParameterStore baseline = box;
    for (const Change& change : c.baseline)
      baseline.SetDevice(change.block, change.slot, change.value);
    const Plan plan = MakePlan(box, baseline, c.with_system);
    std::vector<std::string> names;
    for (const cli::Difference& d : plan.differences) names.push_back(d.name);
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(plan.upload, c.upload);
    std::vector<std::string> frames;
    for (const PlanFrame& frame : plan.frames) frames.push_back(FrameText(frame));
    EXPECT_EQ(frames, c.frames);
    // Every slot to send is one whose value differs.
    for (const PlanSlot& slot : plan.changed) {
      EXPECT_NE(box.Device(slot.block, slot.slot), baseline.Device(slot.block, slot.slot));
    }
  }
}

}  // namespace
}  // namespace kc

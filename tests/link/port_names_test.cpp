#include "link/port_names.h"

#include <gtest/gtest.h>

namespace kc {
namespace {

TEST(MergePortNames, NamedPortsFirstThenSystemPortsSortedAsTextEachOnce) {
  struct Case {
    std::vector<std::string> system;
    std::vector<std::string> extra;
    std::vector<std::string> want;
  };
  const std::vector<Case> cases = {
      {{}, {}, {}},
      {{"ttyS1", "ttyACM0", "ttyS10", "ttyS2"}, {}, {"ttyACM0", "ttyS1", "ttyS10", "ttyS2"}},
      {{"ttyUSB0"}, {"/dev/pts/7", "/dev/pts/3"}, {"/dev/pts/7", "/dev/pts/3", "ttyUSB0"}},
      {{"ttyUSB0", "ttyS0"}, {"ttyUSB0"}, {"ttyUSB0", "ttyS0"}},
      {{""}, {"", "/dev/pts/1", "/dev/pts/1"}, {"/dev/pts/1"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MergePortNames(c.system, c.extra), c.want);
  }
}

}  // namespace
}  // namespace kc

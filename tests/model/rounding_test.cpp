#include "model/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kc {
namespace {

constexpr int kIntMax = std::numeric_limits<int>::max();
constexpr int kIntMin = std::numeric_limits<int>::min();

struct WholeCase {
  double x;
  int trunc;
  int round;
};

TEST(RoundingTest, TruncCutsTowardZeroAndRoundTakesEvenNeighbourOnHalves) {
  const WholeCase cases[] = {
      {0.0, 0, 0},
      {0.4, 0, 0},
      {0.5, 0, 0},
      {0.6, 0, 1},
      {1.5, 1, 2},
      {2.5, 2, 2},
      {3.5, 3, 4},
      {120.6, 120, 121},
      {101.75, 101, 102},
      {102.5, 102, 102},
      {-0.5, 0, 0},
      {-1.5, -1, -2},
      {-2.5, -2, -2},
      {-2.6, -2, -3},
      {-0.4, 0, 0},
      {361.999, 361, 362},
      {1e12, kIntMax, kIntMax},
      {-1e12, kIntMin, kIntMin},
      {INFINITY, kIntMax, kIntMax},
      {-INFINITY, kIntMin, kIntMin},
      {NAN, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Trunc(c.x), c.trunc) << "x=" << c.x;
    EXPECT_EQ(RoundHalfEven(c.x), c.round) << "x=" << c.x;
  }
}

struct PatternCase {
  double x;
  int decimals;
  const char* text;
};

TEST(RoundingTest, PatternRoundsDecimalHalvesAwayFromZero) {
  const PatternCase cases[] = {
      // "#0"
      {0, 0, "0"},
      {62.5, 0, "63"},
      {187.5, 0, "188"},
      {-62.5, 0, "-63"},
      {0.5, 0, "1"},
      {-0.5, 0, "-1"},
      {0.49, 0, "0"},
      {-0.4, 0, "0"},
      {999.5, 0, "1000"},
      {5000, 0, "5000"},
      {-20, 0, "-20"},
      {1e20, 0, "100000000000000000000"},
      // "#0.0"
      {0, 1, "0.0"},
      {0.05, 1, "0.1"},
      {-0.05, 1, "-0.1"},
      {0.04, 1, "0.0"},
      {-0.04, 1, "0.0"},
      {1.25, 1, "1.3"},
      {-3.6, 1, "-3.6"},
      {102.0 / 5 - 24, 1, "-3.6"},
      {9.95, 1, "10.0"},
      {12.3, 1, "12.3"},
      {0.5, 1, "0.5"},
      {20600, 1, "20600.0"},
      {19.7, 1, "19.7"},
      {0.0004, 1, "0.0"},
      // "#0.00"
      {0.71, 2, "0.71"},
      {128, 2, "128.00"},
      {1.005, 2, "1.01"},
      {-0.005, 2, "-0.01"},
      {1000, 2, "1000.00"},
      {0.004999, 2, "0.00"},
      // Beyond numbers
      {INFINITY, 1, "INF"},
      {-INFINITY, 0, "-INF"},
      {NAN, 1, "NAN"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatPattern(c.x, c.decimals), c.text) << "x=" << c.x << " decimals=" << c.decimals;
  }
}

}  // namespace
}  // namespace kc

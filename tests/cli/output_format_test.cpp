// Names as the text output prints them: control characters escaped, everything else as it is.
#include "cli/output_format.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace kc::cli {
namespace {

TEST(Printable, EscapesControlCharactersAndNothingElse) {
  const std::pair<std::string, std::string> cases[] = {
      {"VIP 1", "VIP 1"},
      {"大厅", "大厅"},
      {"a\tb", "a\\tb"},  // would split a tab-separated row
      {"a\nb\r", "a\\nb\\r"},
      {"\x1b[31mred\x1b[0m", "\\x1b[31mred\\x1b[0m"},
      {std::string("nul\0end", 7), "nul\\x00end"},
      {"del\x7f", "del\\x7f"},
      {"c1 \xc2\x9b"
       "2J",
       "c1 \\u009b2J"},                                  // CSI as one character
      {"nbsp\xc2\xa0", "nbsp\xc2\xa0"},                  // U+00A0 is no control character
      {"gbk \xb4\xf3\xcc\xfc", "gbk \xb4\xf3\xcc\xfc"},  // bytes of another encoding
  };
  for (const auto& [name, shown] : cases) EXPECT_EQ(Printable(name), shown) << shown;
}

}  // namespace
}  // namespace kc::cli

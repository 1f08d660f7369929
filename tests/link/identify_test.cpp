// A look at a box without a download (a venue's overview): the probe goes out at once, the
// answer is followed by the identity read alone, and nothing else is written to the box.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "link_fixture.h"

namespace kc::testing {
namespace {

// The probe as it goes on the wire.
const Bytes kProbeFrame = {0xFC, 0xB1, 0x06, 0xA7, 0x09, 0x30, 0x11, 0x00, 0x5C};

struct IdentifyCase {
  const char* name;
  bool answers_probe;
  bool answers_identity;
  // Everything written to the port, in order.
  std::vector<Bytes> writes;
  bool ready;
  std::vector<LinkOutcome> messages;
  std::string identity;
};

void PrintTo(const IdentifyCase& c, std::ostream* os) { *os << c.name; }

const IdentifyCase kIdentifyCases[] = {
    {"ABoxIsProbedAndIdentifiedOnly",
     true,
     true,
     {kProbeFrame, kIdentityRead},
     true,
     {},
     "12AB00FF"},
    {"NoAnswerFailsAfterTheListIsDone",
     false,
     false,
     {kProbeFrame},
     false,
     {LinkOutcome::kFailed},
     ""},
    {"AnUnansweredIdentityReadFails",
     true,
     false,
     {kProbeFrame, kIdentityRead},
     false,
     {LinkOutcome::kFailed},
     ""},
};

class IdentifyTest : public LinkTest, public ::testing::WithParamInterface<IdentifyCase> {};

TEST_P(IdentifyTest, ProbeThenIdentityAlone) {
  const IdentifyCase& c = GetParam();
  port.on_write = [&](const Bytes& request) {
    const bool identity = request == kIdentityRead;
    if (identity ? c.answers_identity : c.answers_probe) port.Feed(box.Answer(request));
  };
  link.SetPortNames({"COM1"});
  link.Identify();
  ASSERT_EQ(port.writes.size(), 1u) << "the probe goes out without waiting for a scan tick";
  Notify();  // the answer starts the identity read at once
  for (int tick = 0; tick < 5 && host.scan_on; ++tick) {
    link.Timer1Timer();
    Notify();
  }
  RunTransfer(300);
  EXPECT_EQ(port.writes, c.writes);
  EXPECT_EQ(link.state() == LinkState::kReady, c.ready);
  EXPECT_EQ(host.messages, c.messages);
  EXPECT_EQ(link.device_id(), c.identity);
}

INSTANTIATE_TEST_SUITE_P(Cases, IdentifyTest, ::testing::ValuesIn(kIdentifyCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kc::testing

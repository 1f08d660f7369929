// The edit in flight, tick by tick, on a line that loses frames or goes quiet: what goes on the
// wire, and whether the editor ever counts an edit as the box's before the box has it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "link_fixture.h"

namespace kc::testing {
namespace {

constexpr int kEditId = 0x0306;
constexpr int kEditValue = 123;
// A second edit, made while the line is silent: it waits until the identity matches.
constexpr int kLaterId = 0x0307;
constexpr int kLaterValue = 77;

// One written frame as a word: K keepalive, I identity read, Dn read block n, P<id>=<value> a
// parameter, R release, ? anything else.
std::string Word(const Bytes& frame) {
  if (frame.size() < 7) return "?";
  const int id = IdOf(frame);
  if (id == kLinkControlId && frame.size() == 9) {
    return ValueOf(frame) == kKeepalive ? "K" : ValueOf(frame) == kRelease ? "R" : "?";
  }
  if (id == kDeviceIdentityId) return "I";
  if (id == kReadBlockId) return "D" + std::to_string(ValueOf(frame));
  if (frame[3] == kWriteAccess && frame.size() == 9) {
    char word[32];
    std::snprintf(word, sizeof word, "P%04X=%d", id, ValueOf(frame));
    return word;
  }
  return "?";
}

struct LineCase {
  const char* name;
  int edit_at;  // tick of the edit
  // Tick of the second edit (-1: none).
  int later_edit_at = -1;
  // The box hears nothing in ticks [deaf_from, deaf_to).
  int deaf_from = -1;
  int deaf_to = -1;
  bool lose_first_edit = false;
  bool lose_first_keepalive = false;
  // Another box answers once the deaf ticks are over.
  bool other_box_after = false;
  int ticks = 0;
  // The first words on the wire after the connection.
  const char* starts_with;
  // How often the edit's frame went out in all.
  int edit_frames;
  int pending_at_end;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class EditInFlightTest : public LinkTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(EditInFlightTest, ResentAsItWasAndConfirmedOnlyByItsAcknowledgement) {
  const LineCase& c = GetParam();
  ConnectReady();
  int tick = 0;
  int edits_written = 0;
  int keepalives_written = 0;
  bool swapped = false;
  // What each box behind the line holds of the edited parameters, as it heard them.
  std::map<std::string, std::map<int, int>> box_holds;
  port.on_write = [&](const Bytes& request) {
    const std::string word = Word(request);
    const bool edit = word.rfind("P", 0) == 0;
    if (edit) ++edits_written;
    if (word == "K") ++keepalives_written;
    const bool deaf = tick >= c.deaf_from && tick < c.deaf_to;
    if (deaf || (c.lose_first_edit && edit && edits_written == 1) ||
        (c.lose_first_keepalive && word == "K" && keepalives_written == 1)) {
      return;
    }
    if (c.other_box_after && tick >= c.deaf_to && !swapped) {
      swapped = true;
      box.identity = {0x0B, 0x0B, 0x0B, 0x0B};
    }
    const std::string which = swapped ? "other" : "first";
    if (edit) box_holds[which][IdOf(request)] = ValueOf(request);
    port.Feed(box.Answer(request));
  };

  for (; tick < c.ticks; ++tick) {
    if (tick == c.edit_at) link.SendParam(kEditId, kEditValue);
    if (tick == c.later_edit_at) {
      Notify();  // what the box answered so far arrives before the edit, between two ticks
      link.SendParam(kLaterId, kLaterValue);
    }
    Notify();
    if (host.hold_on) link.HoldTimerTimer();
    if (host.transfer_on && tick % 5 == 0) link.Timer2Timer();
    // The editor never counts an edit as the box's before the first box has it.
    if (tick > c.edit_at && !swapped && link.state() == LinkState::kReady &&
        link.PendingCount() == 0) {
      ASSERT_EQ(box_holds["first"][kEditId], kEditValue) << "tick " << tick;
      if (c.later_edit_at >= 0 && tick > c.later_edit_at) {
        ASSERT_EQ(box_holds["first"][kLaterId], kLaterValue) << "tick " << tick;
      }
    }
  }

  std::vector<std::string> words;
  for (const Bytes& w : port.writes) words.push_back(Word(w));
  std::istringstream expected(c.starts_with);
  std::string want;
  for (std::size_t i = 0; expected >> want; ++i) {
    ASSERT_LT(i, words.size()) << "missing " << want;
    EXPECT_EQ(words[i], want) << "word " << i;
  }
  char edit_word[32];
  std::snprintf(edit_word, sizeof edit_word, "P%04X=%d", kEditId, kEditValue);
  char later_word[32];
  std::snprintf(later_word, sizeof later_word, "P%04X=%d", kLaterId, kLaterValue);
  EXPECT_EQ(std::count(words.begin(), words.end(), edit_word), c.edit_frames);
  // No value goes out that nobody chose.
  for (const std::string& w : words) {
    if (w.rfind("P", 0) == 0 && w != later_word) {
      EXPECT_EQ(w, edit_word);
    }
  }
  EXPECT_EQ(link.PendingCount(), c.pending_at_end);
  if (c.other_box_after) {
    EXPECT_EQ(box_holds.count("other"), 0u);  // the other box never got this box's edits
    ASSERT_EQ(host.offers.size(), 1u);
    EXPECT_FALSE(host.offers[0].second);
  } else {
    EXPECT_TRUE(host.offers.empty());
    EXPECT_EQ(box_holds["first"][kEditId], kEditValue);
  }
}

// Ticks of 20 ms: a silent second is 50 ticks after the edit (or the last frame sent).
INSTANTIATE_TEST_SUITE_P(
    Line, EditInFlightTest,
    ::testing::Values(
        LineCase{.name = "Acknowledged",
                 .edit_at = 5,
                 .ticks = 120,
                 .starts_with = "P0306=123 K K",
                 .edit_frames = 1,
                 .pending_at_end = 0},
        // The first edit's acknowledgement arrives between two ticks and the second edit goes
        // at once: the first still counts as the box's.
        LineCase{.name = "AnEditRightAfterAnAcknowledgement",
                 .edit_at = 5,
                 .later_edit_at = 5,
                 .ticks = 120,
                 .starts_with = "P0306=123 P0307=77 K",
                 .edit_frames = 1,
                 .pending_at_end = 0},
        // The lost edit is not replaced by a keepalive: the identity is read at the third
        // silent second and the edit goes again.
        LineCase{.name = "OneEditFrameLost",
                 .edit_at = 5,
                 .lose_first_edit = true,
                 .ticks = 230,
                 .starts_with = "P0306=123 I P0306=123 K",
                 .edit_frames = 2,
                 .pending_at_end = 0},
        // A second edit made while the identity is not read yet waits behind the first; like
        // every edit it puts the next silent second off, so the identity is asked again at 350.
        LineCase{.name = "SixSecondOutageFromJustBeforeTheEdit",
                 .edit_at = 5,
                 .later_edit_at = 200,
                 .deaf_from = 3,
                 .deaf_to = 303,
                 .ticks = 430,
                 .starts_with = "P0306=123 I I P0306=123 P0307=77 P0307=77 K",
                 .edit_frames = 2,
                 .pending_at_end = 0},
        // The keepalive went unanswered before the edit: the edit waits, and once the box
        // answers the identity it goes (a queued entry twice); nothing else is written.
        LineCase{.name = "KeepaliveLostThenAnEdit",
                 .edit_at = 70,
                 .lose_first_keepalive = true,
                 .ticks = 300,
                 .starts_with = "K I P0306=123 P0306=123 K",
                 .edit_frames = 2,
                 .pending_at_end = 0},
        // Another box answers after the outage: it is downloaded, never sent the edit, and
        // the editor's change is offered as made for another box.
        LineCase{.name = "AnotherBoxAfterTheOutage",
                 .edit_at = 5,
                 .later_edit_at = 200,
                 .deaf_from = 3,
                 .deaf_to = 303,
                 .other_box_after = true,
                 .ticks = 700,
                 .starts_with = "P0306=123 I I D0 D1 D2",
                 .edit_frames = 1,
                 .pending_at_end = 2}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kc::testing

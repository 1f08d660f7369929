// A long session at user speed behind a faulty line: random edits, graph drags and page switches
// for SOAK_SECONDS seconds (scripts/soak runs ten minutes). No edit may be lost nor go on being
// counted as unsent once the box has it, and resident memory may grow by less than 5 % after the
// first minute. Skipped unless SOAK_SECONDS is set.
#include "journey.h"  // first: see there
// clang-format off
#include <QElapsedTimer>
#include <QString>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "app/resident_memory.h"
// clang-format on

namespace kc::e2e {
namespace {

// A page with its tab, its name prefix and the band points its graph shows.
struct SoakPage {
  int tab;
  const char* prefix;
  int bands;
};
constexpr SoakPage kPages[] = {{1, "Mus", 5}, {2, "Mic", 5}, {4, "Main", 5}, {5, "Center", 5},
                               {6, "Sub", 3}, {7, "Sur", 5}, {9, "Mic", 5}};

class Soak : public ProgramOnBox {};

TEST_F(Soak, RandomEditsDragsAndPageSwitchesBehindAFaultyLine) {
  const char* env = std::getenv("SOAK_SECONDS");
  if (env == nullptr) GTEST_SKIP() << "set SOAK_SECONDS to run the soak";
  const int seconds = std::max(10, std::atoi(env));
  // The first minute settles the program; a short trial run measures from a third of the way.
  const int settle_ms = std::min(60, seconds / 3) * 1000;

  boxsim::Faults faults;
  faults.noise_bytes = 3;
  faults.split_writes = true;
  faults.answer_delay_ms = 10;
  faults.corrupt_checksum_every = 11;
  faults.drop_ack_every = 60;
  Start(&faults);
  Click("ManulModeBtn");

  std::mt19937 rng(1);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  QElapsedTimer clock;
  clock.start();
  const double cpu_start = ProcessCpuSeconds();
  long resident_settled = 0;
  int edits = 0, drags = 0, switches = 0, checks = 0, lost = 0, miscounted = 0;
  const SoakPage* page = &kPages[0];
  Tab(page->tab);
  while (clock.elapsed() < seconds * 1000LL) {
    const int band = pick(1, page->bands);
    const QString name = QString::fromLatin1(page->prefix);
    switch (pick(0, 5)) {
      case 0:
        page = &kPages[pick(0, std::size(kPages) - 1)];
        Tab(page->tab);
        ++switches;
        break;
      case 1:
      case 2: {
        const Qt::Key keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown};
        Key((name + "EQGainBar" + QString::number(band)).toLatin1().constData(), keys[pick(0, 3)]);
        ++edits;
        break;
      }
      case 3:
        TypeValue((name + "GainEdit" + QString::number(band)).toLatin1().constData(),
                  QString::number(pick(-120, 100) / 10.0, 'f', 1));
        ++edits;
        break;
      default: {
        const double frequency = 30.0 * std::pow(500.0, pick(0, 1000) / 1000.0);
        Drag(Handle(band - 1), At(frequency, pick(-18, 10)));
        ++drags;
        break;
      }
    }
    RunEventLoopFor(pick(150, 400));
    if (resident_settled == 0 && clock.elapsed() >= settle_ms) {
      resident_settled = ResidentKilobytes();
    }
    // Now and then the user pauses long enough for the box to catch up: nothing may be lost.
    if ((edits + drags) % 100 == 99) {
      ++checks;
      if (!BoxFollows(15000)) {
        ++lost;
        ADD_FAILURE() << ImageDifferences(Editor().store(), Box());
      } else if (!LinkQuiet(15000)) {
        // The box has every edit: the editor must not go on counting one as unsent.
        ++miscounted;
        ADD_FAILURE() << TheLink().PendingCount() << " edits counted as unsent";
      }
    }
  }
  EXPECT_TRUE(BoxFollows(15000)) << ImageDifferences(Editor().store(), Box());
  EXPECT_TRUE(LinkQuiet(15000)) << TheLink().PendingCount() << " edits counted as unsent";
  const long resident_end = ResidentKilobytes();
  const double growth = 100.0 * (resident_end - resident_settled) / resident_settled;
  EXPECT_TRUE(boxes_.shown.empty()) << boxes_.shown.front().text.toStdString();
  EXPECT_EQ(TheLink().state(), LinkState::kReady);
  EXPECT_LT(growth, 5.0);
  std::printf(
      "soak: %lld s, %d edits, %d drags, %d page switches, %d pauses checked, %d with lost "
      "edits, %d with edits miscounted as unsent; %d frames handled by the box, %zu corrupted "
      "frames received; resident %ld KB at "
      "%d s, %ld KB at the end (%+.2f %%); CPU %.1f s\n",
      static_cast<long long>(clock.elapsed() / 1000), edits, drags, switches, checks, lost,
      miscounted, Box().frames_handled(), line_->corrupted_frames().size(), resident_settled,
      settle_ms / 1000, resident_end, growth, ProcessCpuSeconds() - cpu_start);
}

}  // namespace
}  // namespace kc::e2e

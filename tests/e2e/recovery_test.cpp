// Loss of the box and recovery, the one end-to-end run of the loss after silence in real time: a
// box that dies while the link is Ready closes the port once, the program neither crashes nor
// freezes nor spins on the dead port, the loss is reported, and a box started again under the
// same name is found and downloaded by a connect from the menu. The exact number of silent
// periods before the loss is checked tick by tick in the link's own tests; here the times are
// printed figures, bounded only where a busy machine cannot reach the bound.
#include "journey.h"  // first: see there
// clang-format off
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "app/main_window.h"
// clang-format on

namespace kc::e2e {
namespace {

// The link reports the loss after eleven silent one-second periods counted from the last
// keepalive it sent, so a box that dies just after a keepalive is reported twelve seconds later
// on an idle machine. A loaded machine only stretches the periods: the loss never comes before
// ten seconds, and it comes at all within a minute.
constexpr int kLossNotBeforeMs = 10000;
constexpr int kLossWaitMs = 60000;

TEST(Recovery, BoxKilledWhileReadyIsLostAndFoundAgainFromTheMenu) {
  // Both runs of the box answer under one name, as a re-plugged cable keeps its port name.
  const QString link = QDir::temp().filePath(
      QStringLiteral("kc-recovery-%1").arg(QCoreApplication::applicationPid()));
  auto sim = std::make_unique<BoxSimProcess>(QStringList{QStringLiteral("--link"), link});
  ASSERT_TRUE(sim->ok());
  ScriptedMessageBoxes boxes;
  Program program(&boxes, [&] { return std::vector<std::string>{link.toStdString()}; });
  ASSERT_TRUE(WaitFor([&] { return program.Form1().isVisible(); }, kTransferWaitMs));
  ASSERT_EQ(program.Form3().link().state(), LinkState::kReady);
  // CPU of the running program while Ready, for comparison: graph timer, pacing, keepalive.
  double cpu = ProcessCpuSeconds();
  RunEventLoopFor(1500);  // a few keepalives
  const double ready_cpu = ProcessCpuSeconds() - cpu;

  // A ticking timer shows the event loop never stalls.
  QElapsedTimer since_tick;
  qint64 longest_gap = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout,
                   [&] { longest_gap = std::max(longest_gap, since_tick.restart()); });
  since_tick.start();
  ticker.start(20);

  QElapsedTimer clock;
  clock.start();
  sim->Kill();
  // A killed box leaves its link behind, pointing at a terminal number the system hands to the
  // next program that asks (another test's box): gone, as an unplugged adapter's link is.
  QFile::remove(link);
  // The hang-up ends the port once; the link keeps running its timers on the closed port.
  ASSERT_TRUE(WaitFor([&] { return !program.Form3().ComPort().IsOpen(); }, kLossWaitMs));
  cpu = ProcessCpuSeconds();
  RunEventLoopFor(1000);
  const double closed_cpu = ProcessCpuSeconds() - cpu;
  EXPECT_EQ(program.Form3().ComPort().failures(), 1);
  EXPECT_TRUE(boxes.shown.empty()) << "reported lost at once";

  ASSERT_TRUE(WaitFor([&] { return !boxes.shown.empty(); }, kLossWaitMs));
  const qint64 lost_ms = clock.elapsed();
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{QStringLiteral("已断开连接!")}));
  EXPECT_GE(lost_ms, kLossNotBeforeMs);
  EXPECT_EQ(program.Form3().link().state(), LinkState::kNotReady);

  cpu = ProcessCpuSeconds();
  RunEventLoopFor(3000);
  const double idle_cpu = ProcessCpuSeconds() - cpu;
  ticker.stop();
  EXPECT_FALSE(program.Form3().ComPort().IsOpen());
  EXPECT_EQ(program.Form3().ComPort().failures(), 1);
  // No busy loop on the dead port: one spinning would take most of a core. The figures are
  // printed; the bounds are far above what the program's own timers cost.
  EXPECT_LT(closed_cpu, 0.5);
  EXPECT_LT(idle_cpu, 1.5);
  // The event loop kept running. A busy machine delays a 20 ms tick by tens of milliseconds; a
  // read that waits out the port's one-second time-out on a dead line shows as a gap above it.
  EXPECT_LT(longest_gap, 900) << "the event loop stalled";
  std::printf(
      "box killed: \"已断开连接!\" after %lld ms; longest event-loop gap %lld ms; CPU %.3f s in "
      "1 s after the hang-up, %.3f s in 3 s after the loss (%.3f s in 1.5 s while Ready)\n",
      static_cast<long long>(lost_ms), static_cast<long long>(longest_gap), closed_cpu, idle_cpu,
      ready_cpu);

  sim = std::make_unique<BoxSimProcess>(QStringList{QStringLiteral("--link"), link});
  ASSERT_TRUE(sim->ok());
  program.Form4().Logon1()->trigger();
  ASSERT_TRUE(WaitFor(
      [&] {
        return program.Form3().transfers_done() == 2 &&
               program.Form3().link().state() == LinkState::kReady;
      },
      kTransferWaitMs));
  EXPECT_EQ(boxes.shown.size(), 1u) << boxes.shown.back().text.toStdString();
  std::printf("download after reconnect %lld ms\n",
              static_cast<long long>(program.Form3().last_transfer_ms()));
  sim.reset();
  QFile::remove(link);
}

}  // namespace
}  // namespace kc::e2e

// Loss of the box and recovery: a box that dies while the link is Ready is reported lost within
// twelve seconds, and a box started again is found and downloaded by a connect from the menu; a
// pseudo-terminal that vanishes under the program neither crashes nor freezes it and leaves the
// CPU idle.
#include "journey.h"  // first: see there
// clang-format off
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include "app/main_window.h"
// clang-format on

namespace kc::e2e {
namespace {

// The link reports the loss after eleven silent one-second periods counted from the last
// keepalive it sent, so a box that dies just after a keepalive is reported twelve seconds later,
// plus the latency of the 20 ms pacing timer.
constexpr int kLossReportMs = 12000;
constexpr int kTimerLatencyMs = 200;

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
  RunEventLoopFor(1500);  // a few keepalives

  QElapsedTimer clock;
  clock.start();
  sim->Kill();
  ASSERT_TRUE(WaitFor([&] { return !boxes.shown.empty(); }, kLossReportMs + 2000));
  const qint64 lost_ms = clock.elapsed();
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{QStringLiteral("已断开连接!")}));
  EXPECT_LE(lost_ms, kLossReportMs + kTimerLatencyMs);
  EXPECT_EQ(program.Form3().link().state(), LinkState::kNotReady);

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
  std::printf("box killed: \"已断开连接!\" after %lld ms; download after reconnect %lld ms\n",
              static_cast<long long>(lost_ms),
              static_cast<long long>(program.Form3().last_transfer_ms()));
  sim.reset();
  QFile::remove(link);
}

class VanishingTerminal : public ProgramOnBox {};

TEST_F(VanishingTerminal, NeitherCrashesNorFreezesAndLeavesTheCpuIdle) {
  Start();
  // CPU of the running program while Ready, for comparison: graph timer, pacing, keepalive.
  double cpu = ProcessCpuSeconds();
  RunEventLoopFor(2000);
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
  box_.HangUp();
  ASSERT_TRUE(WaitFor([&] { return !boxes_.shown.empty(); }, kLossReportMs + 2000));
  const qint64 lost_ms = clock.elapsed();
  EXPECT_EQ(boxes_.texts(), (std::vector<QString>{QStringLiteral("已断开连接!")}));
  EXPECT_LE(lost_ms, kLossReportMs + kTimerLatencyMs);

  cpu = ProcessCpuSeconds();
  RunEventLoopFor(3000);
  const double idle_cpu = ProcessCpuSeconds() - cpu;
  ticker.stop();
  EXPECT_LT(longest_gap, 500) << "the event loop stalled";
  // No busy loop on the dead port: at most what the program's own timers cost while Ready.
  EXPECT_LT(idle_cpu, std::max(0.3, 1.5 * ready_cpu));
  EXPECT_FALSE(program_->Form3().ComPort().IsOpen());
  std::printf(
      "terminal vanished: \"已断开连接!\" after %lld ms; longest event-loop gap %lld ms; CPU %.3f "
      "s "
      "in 3 s after the loss (%.3f s in 2 s while Ready)\n",
      static_cast<long long>(lost_ms), static_cast<long long>(longest_gap), idle_cpu, ready_cpu);
}

}  // namespace
}  // namespace kc::e2e

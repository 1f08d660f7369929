// The link's three timers on QTimers, set up and switched the same way wherever a link runs (the
// program's link window, each of karaoke-ctl's sessions).
#pragma once

#include <QTimer>

#include "link/link.h"

namespace kc {

// The periods of link.h, as precise timers: the transfer pace is the box's design bound, and
// coarse timers could stretch every step by 5 %.
inline void SetUpLinkTimers(QTimer& scan, QTimer& transfer, QTimer& hold) {
  scan.setInterval(kScanPeriodMs);
  transfer.setInterval(kTransferPeriodMs);
  hold.setInterval(kHoldPeriodMs);
  for (QTimer* timer : {&scan, &transfer, &hold}) timer->setTimerType(Qt::PreciseTimer);
}

// Runs or stops one timer as the link asks. A running timer keeps its phase: restarting it on
// every request would delay its ticks.
inline void MirrorLinkTimer(QTimer& timer, bool on) {
  if (on && !timer.isActive()) timer.start();
  if (!on && timer.isActive()) timer.stop();
}

}  // namespace kc

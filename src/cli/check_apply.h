// karaoke-ctl check and apply: every room's box against its baseline, the room's intended state.
#pragma once

#include <QStringList>

namespace kc::cli {

// Compares every chosen room's box with its baseline (read only).
int Check(const QStringList& args);
// Makes every chosen room's box equal to its baseline: one room first, the others once it
// verified, each backed up before and put back when its read-back differs.
int Apply(const QStringList& args);

}  // namespace kc::cli

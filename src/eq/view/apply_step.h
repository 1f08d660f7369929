// Step arguments of the editor's ApplyValue, which the graph calls through GraphHost and the
// editor's edit boxes through the edit session: put the value as given, or (edit boxes only) one
// step up or down from it.
#pragma once

namespace kc {

inline constexpr int kStepSet = 0;
inline constexpr int kStepUp = 1;
inline constexpr int kStepDown = 11;

}  // namespace kc

#include "link/line_watch.h"

namespace kc {

LineWatch::LineWatch(FrameWriter& writer, LinkFlags& flags, EditPacer& pacer,
                     const SystemTexts& texts)
    : writer_(writer), flags_(flags), pacer_(pacer), texts_(texts) {}

void LineWatch::Tick() {
  hold_tick_ = hold_tick_ <= kTicksPerSecond ? hold_tick_ + 1 : kTicksPerSecond;
}

void LineWatch::AskIdentity() {
  if (!gate_closed_) identity_before_ = texts_.device_id;
  gate_closed_ = true;
  flags_.clear_to_send = false;
  flags_.identity_received = false;
  flags_.wait = WaitState::kWaiting;
  writer_.SendVariableFrame(kReadAccess, kDeviceIdentityId, 0);
}

LineWatch::Verdict LineWatch::CheckIdentity() {
  if (!gate_closed_ || !flags_.identity_received) return Verdict::kGoOn;
  flags_.identity_received = false;
  flags_.wait = WaitState::kIdle;
  gate_closed_ = false;
  silence_ = 0;
  hold_tick_ = 0;
  if (texts_.device_id != identity_before_) return Verdict::kOtherBox;
  if (pacer_.EditInFlight()) {
    flags_.clear_to_send = false;
    pacer_.ResendInFlight();
  } else {
    // The box answered: whatever it had not acknowledged (a keepalive) needs no answer now.
    pacer_.ForgetInFlight();
    flags_.clear_to_send = true;
  }
  return Verdict::kTickDone;
}

LineWatch::Verdict LineWatch::KeepAlive() {
  if (hold_tick_ != kTicksPerSecond) return Verdict::kGoOn;
  hold_tick_ = 0;
  ++silence_;
  if (flags_.clear_to_send && !gate_closed_) {
    silence_ = 0;
    pacer_.SendKeepalive();
  } else if (silence_ % kIdentitySeconds == 0) {
    AskIdentity();
  }
  if (silence_ > kReadySilentSeconds) {
    silence_ = 0;
    return Verdict::kLost;
  }
  return Verdict::kGoOn;
}

LineWatch::Verdict LineWatch::AwaitCompletion() {
  if (hold_tick_ != kTicksPerSecond) return Verdict::kGoOn;
  hold_tick_ = 0;
  ++silence_;
  if (silence_ > kAwaitingSilentSeconds) {
    silence_ = 0;
    return Verdict::kLost;
  }
  return Verdict::kGoOn;
}

}  // namespace kc

// The line watch of a connected box: the keepalive about once a second, the identity gate after
// a silence, and the loss of a box that stays silent.
//
// While the box answers, a keepalive goes out after a second without traffic (only when nothing
// is in flight). When it stops answering, nothing is sent for the first silent seconds; from the
// third on, every third second asks for the device identity instead: another box may be behind
// the line by now, and it must not be sent the first box's edits. Until the identity is read
// again and matches (the gate is closed), nothing from the edit queues goes out; once it
// matches, the edit in flight is sent again. Another identity is another box: a new connection.
// Eleven silent seconds lose the box.
#pragma once

#include <string>

#include "link/edit_pacer.h"
#include "link/frames.h"
#include "link/receiver.h"

namespace kc {

class LineWatch {
 public:
  enum class Verdict { kGoOn, kTickDone, kOtherBox, kLost };
  static constexpr int kTicksPerSecond = 50;
  // The identity is asked for every few silent seconds, and the box is lost once more silent
  // seconds than kReadySilentSeconds have passed (a recall or store is given longer: the box may
  // take its time over it).
  static constexpr int kIdentitySeconds = 3;
  static constexpr int kReadySilentSeconds = 10;
  static constexpr int kAwaitingSilentSeconds = 50;

  LineWatch(FrameWriter& writer, LinkFlags& flags, EditPacer& pacer, const SystemTexts& texts);

  // A transfer has completed: the box answered all of it, so the gate is open. The keepalive
  // and silence counts run on as they were, so the keepalive keeps its rhythm.
  void OpenGate() { gate_closed_ = false; }
  // A command that the box completes with its acknowledgement went out (store mode).
  void ResetSilence() { silence_ = 0; }
  // Every pacing tick begins with this.
  void Tick();
  // An edit or a paced frame went out: the keepalive waits another second.
  void EditMade() { hold_tick_ = 0; }
  void FrameSent() {
    silence_ = 0;
    hold_tick_ = 0;
  }
  // Nothing from the queues goes out while the identity has not been read again.
  bool gate_closed() const { return gate_closed_; }

  // The answer to the identity read, if it came: the same box goes on (its edit in flight is sent
  // again, kTickDone), another box is a new connection (kOtherBox).
  Verdict CheckIdentity();
  // Once a second while Ready: keepalive, identity read, loss.
  Verdict KeepAlive();
  // Once a second while a recall or store awaits its acknowledgement: loss.
  Verdict AwaitCompletion();

 private:
  void AskIdentity();

  FrameWriter& writer_;
  LinkFlags& flags_;
  EditPacer& pacer_;
  const SystemTexts& texts_;
  int hold_tick_ = 0;
  int silence_ = 0;
  bool gate_closed_ = false;
  std::string identity_before_;
};

}  // namespace kc

// The port search: finds the port the box answers on by sending the probe.
//
// The search the user asks for ("连接", and the one at start-up) walks the whole port list once,
// one port per scan tick. The quiet search that follows a loss touches only the port where the
// box was last seen and ports that appeared since the loss (an adapter plugged back in may come
// back under another name), so that other equipment on the PC's serial ports (a receipt printer,
// a song-system controller, a modem) is never opened, reset or written to uninvited.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/frames.h"
#include "link/link_host.h"
#include "link/receiver.h"
#include "link/serial_port.h"

namespace kc {

class PortSearch {
 public:
  enum class Tick { kProbing, kAnswered, kExhausted };
  // A port that appeared since the loss is probed this many times; a port that never answers
  // belongs to something else and is left alone after that.
  static constexpr int kNewPortProbes = 5;
  // Scan ticks between two listings of the ports during the quiet search (3 s at 600 ms).
  static constexpr int kRelistTicks = 5;

  PortSearch(SerialPort& port, FrameWriter& writer, LinkFlags& flags, LinkHost& host);

  void SetPortNames(std::vector<std::string> names) { names_ = std::move(names); }
  // The search the user asked for: every listed port once, in list order.
  void StartFull();
  // The quiet search after a loss or a failed search.
  void StartQuiet();
  bool quiet() const { return quiet_; }
  // One scan tick: probes the next port, or reports that one answered or that none did.
  Tick OnTick();
  // The probe was answered: the search is over, and the port it went to is the box's port from
  // now on.
  void NoteAnswered();

 private:
  Tick FullTick();
  Tick QuietTick();
  // Closes the port, opens the named one and sends the probe; a port that does not open is
  // logged once and skipped.
  void Probe(const std::string& name);
  // Lists the ports anew (when the host can) and notes those that appeared since the loss.
  void Relist();

  SerialPort& port_;
  FrameWriter& writer_;
  LinkFlags& flags_;
  LinkHost& host_;

  std::vector<std::string> names_;
  int try_position_ = 0;
  int last_position_ = 0;
  int selected_ = -1;
  std::string probed_;
  // Ports whose last open failed; each is logged once until it opens again.
  std::set<std::string> unopened_;

  bool quiet_ = false;
  std::string box_port_;
  // The ports listed when the quiet search began, and the probes each newcomer has had.
  std::set<std::string> known_;
  std::map<std::string, int> newcomers_;
  int relist_ticks_ = 0;
  std::size_t next_candidate_ = 0;
};

}  // namespace kc

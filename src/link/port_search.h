// The port search: finds the port the box answers on by sending the probe.
//
// The search the user asks for ("连接", and the one at start-up) walks the whole port list once,
// one port per scan tick. The quiet search that follows a loss touches only the port where the
// box was last seen and ports that appeared since the loss (an adapter plugged back in may come
// back under another name), so that other equipment on the PC's serial ports (a receipt printer,
// a song-system controller, a modem) is never opened, reset or written to uninvited.
//
// A search confined to one port (a venue's room) probes that port alone, the user's search and
// the quiet one alike: it is the box's port from the start, whether or not a box has answered
// there yet, so a room whose box is missing is found the moment it answers and the box of the
// room left is never opened again. A port can be held off for a while (a serial device server
// that gave the line to another client): the quiet search leaves it alone until the time is up or
// the user's search starts.
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
  // Scan ticks a held-off port is left alone (30 s at 600 ms).
  static constexpr int kHoldOffTicks = 50;

  PortSearch(SerialPort& port, FrameWriter& writer, LinkFlags& flags, LinkHost& host);

  void SetPortNames(std::vector<std::string> names) { names_ = std::move(names); }
  // Confines every search to `port` (empty: the listed ports, as usual). A confined search
  // forgets the box port of any earlier one.
  void Confine(std::string port);
  const std::string& confined_to() const { return confined_; }
  // The quiet search leaves the box's port alone for kHoldOffTicks scan ticks.
  void HoldOffBoxPort() { hold_off_ticks_ = kHoldOffTicks; }
  bool holding_off() const { return quiet_ && hold_off_ticks_ > 0; }
  // The port the box was last seen on (the confined port in a room).
  const std::string& box_port() const { return box_port_; }
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
  std::string confined_;
  int hold_off_ticks_ = 0;
};

}  // namespace kc

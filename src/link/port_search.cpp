#include "link/port_search.h"

#include <algorithm>
#include <exception>
#include <iterator>

namespace kc {

PortSearch::PortSearch(SerialPort& port, FrameWriter& writer, LinkFlags& flags, LinkHost& host)
    : port_(port), writer_(writer), flags_(flags), host_(host) {}

void PortSearch::Confine(std::string port) {
  confined_ = std::move(port);
  box_port_ = confined_;
  hold_off_ticks_ = 0;
}

void PortSearch::StartFull() {
  quiet_ = false;
  // The user asked: a port held off is tried again now.
  hold_off_ticks_ = 0;
  if (!confined_.empty()) names_ = {confined_};
  flags_.answer_seen = false;
  unopened_.clear();
  try_position_ = 0;
  selected_ = names_.empty() ? -1 : 0;
}

void PortSearch::StartQuiet() {
  quiet_ = true;
  flags_.answer_seen = false;
  std::vector<std::string> names;
  if (confined_.empty() && host_.RelistPorts(&names)) names_ = std::move(names);
  known_ = {names_.begin(), names_.end()};
  newcomers_.clear();
  relist_ticks_ = 0;
  next_candidate_ = 0;
}

void PortSearch::NoteAnswered() {
  quiet_ = false;
  hold_off_ticks_ = 0;
  if (!probed_.empty() && confined_.empty()) box_port_ = probed_;
}

PortSearch::Tick PortSearch::OnTick() {
  if (flags_.answer_seen) return Tick::kAnswered;
  return quiet_ ? QuietTick() : FullTick();
}

PortSearch::Tick PortSearch::FullTick() {
  if (try_position_ > last_position_ + 1 || selected_ < 0) {
    try_position_ = 0;
    return Tick::kExhausted;
  }
  selected_ = try_position_ < static_cast<int>(names_.size()) ? try_position_ : -1;
  last_position_ = selected_;
  if (selected_ >= 0) {
    Probe(names_[selected_]);
  } else {
    // Past the end of the list: nothing is probed on this tick.
    try {
      if (port_.IsOpen()) port_.Close();
    } catch (...) {
    }
  }
  ++try_position_;
  return Tick::kProbing;
}

void PortSearch::Relist() {
  std::vector<std::string> names;
  if (!host_.RelistPorts(&names)) return;
  for (const std::string& name : names) {
    if (known_.count(name) == 0 && newcomers_.count(name) == 0) newcomers_[name] = 0;
  }
  // A newcomer that went away again is forgotten; if it comes back it is new once more.
  for (auto it = newcomers_.begin(); it != newcomers_.end();) {
    const bool listed = std::find(names.begin(), names.end(), it->first) != names.end();
    it = listed ? std::next(it) : newcomers_.erase(it);
  }
  for (auto it = known_.begin(); it != known_.end();) {
    const bool listed = std::find(names.begin(), names.end(), *it) != names.end();
    it = listed ? std::next(it) : known_.erase(it);
  }
}

PortSearch::Tick PortSearch::QuietTick() {
  if (hold_off_ticks_ > 0) {
    --hold_off_ticks_;
    return Tick::kProbing;
  }
  if (!confined_.empty()) {
    Probe(confined_);
    return Tick::kProbing;
  }
  if (relist_ticks_-- <= 0) {
    relist_ticks_ = kRelistTicks - 1;
    Relist();
  }
  std::vector<std::string> candidates;
  if (!box_port_.empty()) candidates.push_back(box_port_);
  for (const auto& [name, probes] : newcomers_) {
    if (probes < kNewPortProbes && name != box_port_) candidates.push_back(name);
  }
  if (candidates.empty()) return Tick::kProbing;
  const std::string name = candidates[next_candidate_++ % candidates.size()];
  if (auto it = newcomers_.find(name); it != newcomers_.end()) ++it->second;
  Probe(name);
  return Tick::kProbing;
}

void PortSearch::Probe(const std::string& name) {
  // A port that cannot be closed, opened or written is skipped; the next tick tries the next.
  try {
    if (port_.IsOpen()) port_.Close();
    probed_ = name;
    if (!port_.Open(name)) {
      // Logged once until it opens again: the quiet search tries it every round.
      if (unopened_.insert(name).second) host_.AppendLog("端口无法打开: " + name);
      return;
    }
    unopened_.erase(name);
    writer_.SendLinkCommand(kProbe);
  } catch (const std::exception& error) {
    host_.AppendLog("端口出错: " + std::string(error.what()));
  } catch (...) {
    host_.AppendLog("端口出错");
  }
}

}  // namespace kc

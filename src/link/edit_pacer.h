// The edit pacer: the user's edits on their way to the box, one frame at a time.
//
// One frame is in flight at a time (a parameter, a band or a keepalive) and stays so until the
// box acknowledges it; edits that come meanwhile wait in two queues, parameters before bands.
// Only an acknowledgement confirms an edit: the box image takes the values the frame carried,
// so that pending (the store differs from the box image) is true at every moment. A frame that
// is lost is sent again as it was, never another one in its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/box_image.h"
#include "link/frames.h"
#include "link/link_host.h"
#include "link/receiver.h"
#include "model/parameter_store.h"

namespace kc {

class EditPacer {
 public:
  // What the last frame sent by the pacer was; it is in flight until acknowledged.
  enum class Flight { kNone, kParam, kBand, kKeepalive };

  EditPacer(ParameterStore& store, FrameWriter& writer, LinkFlags& flags, BoxImage& box_image,
            LinkHost& host);

  // An edit of a connected box, with the id as it goes on the wire: sent at once when `may_send`
  // (the line is trusted), the box is clear and nothing waits; otherwise queued. True when it
  // went out at once.
  bool Param(int wire_id, int32_t value, bool may_send);
  // An edit of a band field: the whole band goes out (or waits), read from the store when sent.
  // Nothing for an id that names no band field.
  void Band(int wire_id, bool may_send);

  // The pacing tick's sends, once the box is clear: the next waiting parameter (the last entry
  // of a burst twice), else the next waiting band. Each returns true when it sent; `id` gets the
  // parameter's wire id.
  bool SendNextParam(int* id);
  bool SendNextBand();
  // The keepalive, sent only when nothing is in flight.
  void SendKeepalive();

  // The box acknowledged the frame in flight: what it carried is now the box's.
  void ConfirmInFlight();
  // An edit frame is waiting for its acknowledgement.
  bool EditInFlight() const { return flight_ == Flight::kParam || flight_ == Flight::kBand; }
  // Sends the edit frame in flight again, as it was sent.
  void ResendInFlight();
  // Forgets the frame in flight without confirming it (the line is gone, or a new connection).
  void ForgetInFlight() {
    flight_ = Flight::kNone;
    flight_slots_.clear();
  }

  void EmptyQueues();
  void EmptyParams();

 private:
  // A waiting parameter: (wire id, value).
  struct ParamEntry {
    int id = 0;
    int32_t value = 0;
  };
  // A waiting band: the address it is sent under, its number, and the Sing/Disco set it was
  // edited in (its values are read from that set when it is sent).
  struct BandEntry {
    int address = 0;
    int band = 0;
    int disco = 0;
    bool operator==(const BandEntry&) const = default;
  };
  struct Slot {
    int block = 0;
    int slot = 0;
    int32_t value = 0;
  };
  // Waiting entries at which a queue folds its repeats before it takes one more.
  static constexpr std::size_t kParamsBeforeFold = 31;
  static constexpr std::size_t kBandsBeforeFold = 49;

  void SendParamFrame(const ParamEntry& entry);
  void SendBandFrame(const BandEntry& entry);
  void Note(int block, int slot, int32_t value);
  void CompactParams();
  void CompactBands();

  ParameterStore& store_;
  FrameWriter& writer_;
  LinkFlags& flags_;
  BoxImage& box_image_;
  LinkHost& host_;

  // Waiting entries, oldest first.
  std::vector<ParamEntry> params_;
  // The parameter sent last, and whether the burst's last entry is still to go once more.
  ParamEntry last_param_;
  bool repeat_last_ = false;
  std::vector<BandEntry> bands_;
  // Bands at the front of the band queue that were edited before the waiting Sing/Disco switch.
  int scene_barrier_ = 0;

  Flight flight_ = Flight::kNone;
  ParamEntry flight_param_;
  BandEntry flight_band_;
  // The slots and values the frame in flight carries.
  std::vector<Slot> flight_slots_;
};

}  // namespace kc

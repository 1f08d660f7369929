#include "link/edit_pacer.h"

#include <algorithm>

#include "model/parameter_ids.h"

namespace kc {
namespace {

// Fields of an EQ band, on the wire and in the store.
constexpr int kBandFields = 5;

}  // namespace

EditPacer::EditPacer(ParameterStore& store, FrameWriter& writer, LinkFlags& flags,
                     BoxImage& box_image, LinkHost& host)
    : store_(store), writer_(writer), flags_(flags), box_image_(box_image), host_(host) {}

void EditPacer::EmptyParams() {
  params_.clear();
  repeat_last_ = false;
}

void EditPacer::EmptyQueues() {
  EmptyParams();
  bands_.clear();
  scene_barrier_ = 0;
}

bool EditPacer::Param(int wire_id, int32_t value, bool may_send) {
  // Bands edited before a Sing/Disco switch must reach the box while it is still in their set:
  // the switch waits behind them.
  const bool scene_switch = wire_id == kSingDiscoId;
  if (may_send && flags_.clear_to_send && params_.empty() && !(scene_switch && !bands_.empty())) {
    // The box is clear because it acknowledged the frame in flight: that frame's values are the
    // box's before this one takes its place (the pacing tick would have confirmed them).
    ConfirmInFlight();
    last_param_ = {wire_id, value};
    SendParamFrame(last_param_);
    flags_.clear_to_send = false;
    return true;
  }
  // Repeated edits of one parameter fold into the last waiting entry.
  if (params_.size() >= 2 && params_.back().id == wire_id) {
    params_.back().value = value;
    return false;
  }
  // A long burst folds its repeats rather than dropping an entry: the box ends up with the
  // latest value of every parameter.
  if (params_.size() >= kParamsBeforeFold) CompactParams();
  params_.push_back({wire_id, value});
  if (scene_switch) scene_barrier_ = static_cast<int>(bands_.size());
  return false;
}

void EditPacer::Band(int wire_id, bool may_send) {
  const int block = BlockOf(wire_id);
  const BlockInfo* info = block < kAudioBlocks ? InfoOfBlock(block) : nullptr;
  const int index = IndexOf(wire_id);
  // Only a field of one of the block's bands names a band to send.
  if (info == nullptr || index < info->first_eq ||
      index >= info->first_eq + kBandFields * info->eq_bands) {
    return;
  }
  // The band position is band * 256 + field.
  const BandEntry entry{info->band_address, LocateBand(wire_id) >> 8, store_.disco()};
  if (may_send && flags_.clear_to_send && bands_.empty()) {
    ConfirmInFlight();  // acknowledged, as above
    SendBandFrame(entry);
    flags_.clear_to_send = false;
    return;
  }
  if (bands_.size() >= kBandsBeforeFold) CompactBands();
  bands_.push_back(entry);
}

bool EditPacer::SendNextParam(int* id) {
  // A Sing/Disco switch waits for the bands that were edited before it.
  const bool bands_before_switch = scene_barrier_ > 0 && !bands_.empty() && !params_.empty() &&
                                   params_.front().id == kSingDiscoId;
  if (!flags_.clear_to_send || (params_.empty() && !repeat_last_) || bands_before_switch) {
    return false;
  }
  flags_.clear_to_send = false;
  if (!params_.empty()) {
    last_param_ = params_.front();
    params_.erase(params_.begin());
  }
  // The last entry of a burst that went through the queue is sent twice.
  repeat_last_ = params_.empty() && !repeat_last_;
  // A recall is not repeated: its acknowledgement reloads the mode.
  if (last_param_.id == kRecallModeId) repeat_last_ = false;
  *id = last_param_.id;
  SendParamFrame(last_param_);
  return true;
}

bool EditPacer::SendNextBand() {
  if (!flags_.clear_to_send || bands_.empty()) return false;
  flags_.clear_to_send = false;
  const BandEntry entry = bands_.front();
  host_.AppendLog("2:" + std::to_string(bands_.size()) + " " + std::to_string(entry.band));
  bands_.erase(bands_.begin());
  if (scene_barrier_ > 0) --scene_barrier_;
  SendBandFrame(entry);
  return true;
}

void EditPacer::SendKeepalive() {
  flags_.clear_to_send = false;
  flight_ = Flight::kKeepalive;
  flight_slots_.clear();
  writer_.SendLinkCommand(kKeepalive);
}

void EditPacer::ConfirmInFlight() {
  for (const Slot& s : flight_slots_) box_image_.Confirm(s.block, s.slot, s.value);
  flight_slots_.clear();
  flight_ = Flight::kNone;
}

void EditPacer::ResendInFlight() {
  if (flight_ == Flight::kParam) {
    writer_.SendFixedFrame(kWriteAccess, flight_param_.id, flight_param_.value);
  } else if (flight_ == Flight::kBand) {
    writer_.SendEqBandFrame(store_, BlockOf(flight_band_.address), flight_band_.band,
                            flight_band_.disco);
  }
}

void EditPacer::Note(int block, int slot, int32_t value) {
  if (block < 0 || block > kSystemBlock) return;
  flight_slots_.push_back({block, slot, value});
}

void EditPacer::SendParamFrame(const ParamEntry& entry) {
  flight_ = Flight::kParam;
  flight_param_ = entry;
  flight_slots_.clear();
  const int block = BlockOf(entry.id);
  Note(block, DeviceSlot(block, IndexOf(entry.id), store_.disco()), entry.value);
  writer_.SendFixedFrame(kWriteAccess, entry.id, entry.value);
}

void EditPacer::SendBandFrame(const BandEntry& entry) {
  flight_ = Flight::kBand;
  flight_band_ = entry;
  flight_slots_.clear();
  const int block = BlockOf(entry.address);
  // The band frame carries the band's five fields as the store holds them now.
  if (const BlockInfo* info = InfoOfBlock(block); info != nullptr && entry.band < info->eq_bands) {
    for (int field = 0; field < kBandFields; ++field) {
      const int index = info->first_eq + kBandFields * entry.band + field;
      const int slot = DeviceSlot(block, index, entry.disco);
      Note(block, slot, store_.Device(block, slot));
    }
  }
  writer_.SendEqBandFrame(store_, block, entry.band, entry.disco);
}

// Each parameter keeps its newest value, at the place of its newest entry.
void EditPacer::CompactParams() {
  std::vector<ParamEntry> kept;
  for (std::size_t i = 0; i < params_.size(); ++i) {
    const bool newer_waits =
        std::any_of(params_.begin() + static_cast<std::ptrdiff_t>(i) + 1, params_.end(),
                    [&](const ParamEntry& later) { return later.id == params_[i].id; });
    if (!newer_waits) kept.push_back(params_[i]);
  }
  params_ = std::move(kept);
}

// Band entries read their values when sent, so one waiting entry per band carries every edit.
void EditPacer::CompactBands() {
  std::vector<BandEntry> kept;
  for (const BandEntry& entry : bands_) {
    if (std::find(kept.begin(), kept.end(), entry) == kept.end()) kept.push_back(entry);
  }
  bands_ = std::move(kept);
  scene_barrier_ = std::min(scene_barrier_, static_cast<int>(bands_.size()));
}

}  // namespace kc

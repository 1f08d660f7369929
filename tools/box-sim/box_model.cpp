#include "box-sim/box_model.h"

#include <algorithm>

#include "box-sim/box_content.h"

namespace kc::boxsim {

namespace {

// Block layouts: parameters, slots, EQ bands, first EQ index, band address index.
constexpr std::array<BlockLayout, 10> kLayouts = {{
    {54, 106, 10, 4, 2},  // 0 Music (Sing and Disco sets)
    {79, 79, 15, 4, 2},   // 1 Microphone A
    {79, 79, 15, 4, 2},   // 2 Microphone B
    {28, 28, 3, 13, 11},  // 3 Echo
    {8, 8, 0, 0, -1},     // 4 Reverb (its band address 0x0408 names no band)
    {55, 55, 5, 30, 28},  // 5 Main output
    {43, 43, 3, 28, 26},  // 6 Subwoofer
    {53, 53, 5, 28, 26},  // 7 Centre
    {53, 53, 5, 28, 26},  // 8 Rear
    {35, 35, 0, 0, -1},   // 9 System items
}};

constexpr int kMusicSetOffset = 52;
// The stored mode whose settings another box, met after a silence, starts with.
constexpr int kOtherBoxMode = 4;
constexpr std::size_t kBandPayload = 12;
constexpr std::size_t kStorePayload = 22;

// Last index of the Sing/Disco pairs of an output block; -1 for other blocks.
int LastPairedIndex(int block) {
  switch (block) {
    case 5:
    case 6:
    case 7:
      return 19;
    case 8:
      return 17;
    default:
      return -1;
  }
}

void PutValue(std::vector<uint8_t>* payload, int32_t v) {
  payload->push_back(static_cast<uint8_t>(v & 0xFF));
  payload->push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

uint16_t ValueAt(const std::vector<uint8_t>& payload, std::size_t at) {
  return static_cast<uint16_t>(payload[at] | (payload[at + 1] << 8));
}

}  // namespace

const BlockLayout* LayoutOf(int block) {
  if (block < 0 || block >= static_cast<int>(kLayouts.size())) return nullptr;
  return &kLayouts[block];
}

int SlotOfIndex(int block, int index, int disco) {
  const BlockLayout* layout = LayoutOf(block);
  if (layout == nullptr || index < 0 || index >= layout->parameters) return -1;
  const int d = disco ? 1 : 0;
  if (block == 0) return index < 2 ? index : index + kMusicSetOffset * d;
  if (index <= LastPairedIndex(block) && index % 2 == 0) return index + d;
  return index;
}

bool IsEditFrame(const Frame& frame) {
  return frame.access == kAccessWrite && frame.block() <= kSystemBlock &&
         frame.id != ((kSystemBlock << 8) | kItemLinkControl);
}

bool IsKeepaliveFrame(const Frame& frame) {
  return frame.access == kAccessWrite && frame.id == ((kSystemBlock << 8) | kItemLinkControl) &&
         frame.payload.size() >= 2 && frame.value() == kLinkKeepalive;
}

std::vector<std::vector<uint8_t>> SplitIntoPieces(const std::vector<uint8_t>& bytes,
                                                  std::size_t piece) {
  piece = std::max<std::size_t>(piece, 1);
  std::vector<std::vector<uint8_t>> pieces;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const std::size_t end = std::min(bytes.size(), at + piece);
    pieces.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                        bytes.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return pieces;
}

BoxModel::BoxModel() {
  const FactoryContent content = MakeFactoryContent();
  for (int m = 0; m < kModeCount; ++m) {
    modes_[m].name = content.mode_names[m];
    modes_[m].image = content.mode_images[m];
  }
  present_[kSystemBlock] = content.system_items;
  system_password_ = content.system_password;
  keylock_password_ = content.keylock_password;
  identity_ = content.identity;
  const int current = present_[kSystemBlock][kItemRecallMode];
  for (int b = 0; b < kAudioBlocks; ++b) present_[b] = modes_[current].image[b];
}

int32_t BoxModel::Slot(int block, int slot) const {
  if (block < 0 || block > kSystemBlock) return 0;
  const Row& row = present_[block];
  if (slot < 0 || slot >= static_cast<int>(row.size())) return 0;
  return row[slot];
}

void BoxModel::SetSlot(int block, int slot, int32_t v) {
  if (block < 0 || block > kSystemBlock) return;
  Row& row = present_[block];
  if (slot < 0 || slot >= static_cast<int>(row.size())) return;
  row[slot] = v;
}

const std::string& BoxModel::ModeName(int k) const {
  static const std::string kNone;
  if (k < 0 || k >= kModeCount) return kNone;
  return modes_[k].name;
}

void BoxModel::SetModeName(int k, const std::string& name) {
  if (k < 0 || k >= kModeCount) return;
  modes_[k].name = name.substr(0, kModeNameMax);
}

int32_t BoxModel::StoredSlot(int mode, int block, int slot) const {
  if (mode < 0 || mode >= kModeCount || block < 0 || block >= kAudioBlocks) return 0;
  const Row& row = modes_[mode].image[block];
  if (slot < 0 || slot >= static_cast<int>(row.size())) return 0;
  return row[slot];
}

bool BoxModel::silent() const {
  return faults_.silent_after_frames >= 0 && frames_handled_ >= faults_.silent_after_frames &&
         (faults_.silent_for_frames < 0 || frames_unheard_ < faults_.silent_for_frames);
}

std::vector<uint8_t> BoxModel::Feed(const uint8_t* data, std::size_t size, int64_t now_ms) {
  now_ms_ = now_ms;
  std::vector<uint8_t> out;
  if (silent() && faults_.silent_for_frames < 0) return out;
  reader_.Push(data, size);
  Frame frame;
  while (reader_.Next(&frame)) {
    if (silent()) {
      // The line is back once the PC has sent this many frames into the void.
      ++frames_unheard_;
      if (!silent()) ComeBack();
      continue;
    }
    if (Lose(frame)) {
      ++frames_lost_;
      continue;
    }
    Handle(frame, &out);
    ++frames_handled_;
    if (silent()) {
      // A dead line hears nothing more, not even what was already on its way.
      reader_.Clear();
      break;
    }
  }
  return out;
}

bool BoxModel::Lose(const Frame& frame) {
  const bool edit = IsEditFrame(frame);
  if (edit) ++edit_frames_;
  if (faults_.lose_from_ms >= 0 && session_started_) {
    const int64_t at = now_ms_ - session_start_ms_;
    if (at >= faults_.lose_to_ms && !window_over_) {
      window_over_ = true;
      ComeBack();
    }
    const bool kind = faults_.lose_only == LoseKind::kAll ||
                      (faults_.lose_only == LoseKind::kEdit && edit) ||
                      (faults_.lose_only == LoseKind::kKeepalive && IsKeepaliveFrame(frame));
    if (kind && at >= faults_.lose_from_ms && at < faults_.lose_to_ms) return true;
  }
  return edit && faults_.lose_edit_frame > 0 && edit_frames_ == faults_.lose_edit_frame;
}

void BoxModel::ComeBack() {
  if (!faults_.swap_identity || swapped_) return;
  swapped_ = true;
  identity_ = faults_.swapped_identity;
  // Another box holds other settings; at least its Music row differs, which the PC's download
  // shows at once.
  for (int k = 0; k < kModeCount; ++k) {
    const int mode = (kOtherBoxMode + k) % kModeCount;
    if (modes_[mode].image[0] != present_[0]) {
      RecallMode(mode);
      return;
    }
  }
  // Every stored mode has the present Music row: the other box differs in Auto/Manual.
  RecallMode(kOtherBoxMode);
  present_[0][0] = present_[0][0] != 0 ? 0 : 1;
}

void BoxModel::Handle(const Frame& frame, std::vector<uint8_t>* out) {
  if (frame.access == kAccessWrite) {
    HandleWrite(frame, out);
  } else {
    HandleRead(frame, out);
  }
}

void BoxModel::HandleWrite(const Frame& frame, std::vector<uint8_t>* out) {
  const int block = frame.block();
  if (frame.id == ((kSystemBlock << 8) | kItemLinkControl)) {
    // The release ends the conversation and is not answered; probe and keepalive are.
    if (frame.value() == kLinkRelease) {
      ++releases_;
      return;
    }
    SendAck(out);
    return;
  }
  if (faults_.ignore_writes) {
    SendAck(out);
    return;
  }
  if (block == kSystemBlock) {
    HandleSystemWrite(frame);
  } else if (block < kAudioBlocks) {
    const BlockLayout& layout = kLayouts[block];
    if (frame.payload.size() == kBandPayload && frame.index() == layout.band_index) {
      WriteBand(block, frame.payload);
    } else if (frame.payload.size() >= 2) {
      WriteParameter(block, frame.index(), frame.value());
    }
  }
  // Every write is acknowledged, even one the box cannot use: the PC paces its edits on these
  // acknowledgements, and a write that stayed unanswered would stall it until it gives up.
  SendAck(out);
}

void BoxModel::HandleSystemWrite(const Frame& frame) {
  const int index = frame.index();
  switch (index) {
    case kItemStoreMode:
      StoreMode(frame.payload);
      return;
    case kItemRecallMode:
      if (frame.payload.size() >= 2) RecallMode(frame.value());
      return;
    case kItemSystemPassword:
    case kItemKeylockPassword: {
      // A new password is taken only when it has the right number of digits, each 0..9;
      // anything else would lock the user out of a password that cannot be typed.
      const std::size_t length =
          index == kItemSystemPassword ? kSystemPasswordLength : kKeylockPasswordLength;
      if (frame.payload.size() != length) return;
      std::string digits;
      for (uint8_t b : frame.payload) {
        if (b > 9) return;
        digits.push_back(static_cast<char>('0' + b));
      }
      (index == kItemSystemPassword ? system_password_ : keylock_password_) = digits;
      return;
    }
    case kItemWriteBlock:
      WriteBlock(frame.payload);
      return;
    case kItemModeName:
    case kItemReadBlock:
    case kItemIdentity:
      return;  // read-only
    default:
      // A system item. The current-mode number changes only through a recall.
      if (frame.payload.size() >= 2) SetSlot(kSystemBlock, index, frame.value());
      return;
  }
}

bool BoxModel::WriteParameter(int block, int index, uint16_t value) {
  const int slot = SlotOfIndex(block, index, disco());
  if (slot < 0) return false;
  present_[block][slot] = value;
  return true;
}

bool BoxModel::WriteBand(int block, const std::vector<uint8_t>& payload) {
  const BlockLayout& layout = kLayouts[block];
  const int band = ValueAt(payload, 0);
  if (band >= layout.eq_bands) return false;
  // The five fields land where the PC's indices for them land under the present Sing/Disco
  // setting: the Music block has an EQ set of each, the output blocks share one.
  const int d = disco();
  for (int f = 0; f < 5; ++f) {
    const int slot = SlotOfIndex(block, layout.first_eq + 5 * band + f, d);
    present_[block][slot] = ValueAt(payload, 2 + 2 * static_cast<std::size_t>(f));
  }
  return true;
}

bool BoxModel::WriteBlock(const std::vector<uint8_t>& payload) {
  if (payload.size() < 2 || payload[0] >= kAudioBlocks) return false;
  Row& row = present_[payload[0]];
  const std::size_t values = std::min(row.size(), (payload.size() - 2) / 2);
  for (std::size_t i = 0; i < values; ++i) row[i] = ValueAt(payload, 2 + 2 * i);
  return true;
}

void BoxModel::StoreMode(const std::vector<uint8_t>& payload) {
  if (payload.size() < 2 || payload[0] >= kModeCount) return;
  Mode& mode = modes_[payload[0]];
  // Names travel as code - 32 with 0 for padding, so a trailing space and padding look alike;
  // the box keeps the name without them.
  std::string name;
  const std::size_t end = std::min(payload.size(), kStorePayload);
  for (std::size_t i = 2; i < end; ++i) name.push_back(static_cast<char>((payload[i] + 32) & 0xFF));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  mode.name = name;
  for (int b = 0; b < kAudioBlocks; ++b) mode.image[b] = present_[b];
}

void BoxModel::RecallMode(int mode) {
  if (mode < 0 || mode >= kModeCount) return;
  for (int b = 0; b < kAudioBlocks; ++b) present_[b] = modes_[mode].image[b];
  present_[kSystemBlock][kItemRecallMode] = mode;
}

void BoxModel::HandleRead(const Frame& frame, std::vector<uint8_t>* out) {
  if (frame.block() != kSystemBlock) return;  // the box answers reads of system ids only
  const int index = frame.index();
  std::vector<uint8_t> payload;
  switch (index) {
    case kItemReadBlock: {
      if (frame.payload.size() < 2 || frame.value() >= kAudioBlocks) return;
      const int block = frame.value();
      int values = static_cast<int>(present_[block].size());
      if (block == faults_.short_block) values = std::min(values, faults_.short_block_values);
      for (int i = 0; i < values; ++i) PutValue(&payload, present_[block][i]);
      SendFrame(EncodeFrame(kAccessRead, static_cast<uint16_t>(block << 8), payload), out);
      return;
    }
    case kItemModeName: {
      if (frame.payload.empty() || frame.payload[0] >= kModeCount) return;
      for (char c : modes_[frame.payload[0]].name) {
        payload.push_back(static_cast<uint8_t>((static_cast<uint8_t>(c) - 32) & 0xFF));
      }
      break;
    }
    case kItemSystemPassword:
    case kItemKeylockPassword: {
      const std::string& digits =
          index == kItemSystemPassword ? system_password_ : keylock_password_;
      for (char c : digits) payload.push_back(static_cast<uint8_t>(c - '0'));
      break;
    }
    case kItemIdentity:
      if (faults_.no_identity) return;
      payload.assign(identity_.begin(), identity_.end());
      // The first identity read answered is the last request of the PC's connection download:
      // the loss window's time 0.
      if (!session_started_) {
        session_started_ = true;
        session_start_ms_ = now_ms_;
      }
      break;
    case kItemStoreMode:
    case kItemRecallMode:
      // Both answer with the current mode number; the PC reads them only to keep its download
      // in step.
      PutValue(&payload, current_mode());
      break;
    default:
      if (index >= static_cast<int>(present_[kSystemBlock].size())) return;
      PutValue(&payload, present_[kSystemBlock][index]);
      break;
  }
  SendFrame(EncodeFrame(kAccessRead, frame.id, payload), out);
}

void BoxModel::AddNoise(std::vector<uint8_t>* out) {
  if (faults_.noise_bytes <= 0) return;
  if (!noise_seeded_ || noise_seed_used_ != faults_.noise_seed) {
    noise_.seed(faults_.noise_seed);
    noise_seed_used_ = faults_.noise_seed;
    noise_seeded_ = true;
  }
  std::uniform_int_distribution<int> byte(0, 255);
  for (int i = 0; i < faults_.noise_bytes; ++i) {
    uint8_t b = 0;
    do {
      b = static_cast<uint8_t>(byte(noise_));
    } while (b == kLeadByte || b == kAckLead);
    out->push_back(b);
  }
}

void BoxModel::SendAck(std::vector<uint8_t>* out) {
  ++acks_due_;
  if (faults_.drop_ack_every > 0 && acks_due_ % faults_.drop_ack_every == 0) return;
  AddNoise(out);
  const std::vector<uint8_t> ack = EncodeAck();
  out->insert(out->end(), ack.begin(), ack.end());
}

void BoxModel::SendFrame(std::vector<uint8_t> frame, std::vector<uint8_t>* out) {
  ++frames_sent_;
  if (faults_.corrupt_checksum_every > 0 && frames_sent_ % faults_.corrupt_checksum_every == 0) {
    frame.back() ^= 0xFF;
  }
  // The payload starts behind FC B1 length access id-high id-low; the checksum stays that of the
  // bytes as they were meant.
  constexpr std::size_t kPayloadStart = 6;
  if (faults_.corrupt_payload_every > 0 && frames_sent_ % faults_.corrupt_payload_every == 0 &&
      frame.size() > kPayloadStart + 1) {
    frame[kPayloadStart] ^= 0x40;
  }
  AddNoise(out);
  out->insert(out->end(), frame.begin(), frame.end());
}

}  // namespace kc::boxsim

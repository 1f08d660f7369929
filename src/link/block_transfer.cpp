#include "link/block_transfer.h"

#include <string>

#include "model/rounding.h"

namespace kc {

BlockTransfer::BlockTransfer(ParameterStore& store, FrameWriter& writer, Receiver& receiver,
                             LinkHost& host)
    : store_(store), writer_(writer), receiver_(receiver), host_(host), received_(store) {
  receiver_.set_received(&received_);
}

int BlockTransfer::percent() const {
  return length_ > 0 ? RoundHalfEven(static_cast<double>(step_ * 100) / length_) : 0;
}

void BlockTransfer::Start(int length, TransferDirection direction, int first_step) {
  step_ = first_step;
  first_step_ = first_step;
  length_ = length;
  direction_ = direction;
  tick_ = 0;
  retries_ = 0;
  upload_resends_ = 0;
  failure_ = LinkFailure::kNone;
  receiver_.flags().frame_rejected = false;
  if (direction == TransferDirection::kDownload) {
    for (int block = 0; block < kBlockCount; ++block)
      device_before_[block] = store_.DeviceRow(block);
    texts_before_ = receiver_.texts();
    received_.ForgetAll();
  }
  SendStep();
}

void BlockTransfer::RestoreBeforeDownload() {
  for (int block = 0; block < kBlockCount; ++block) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      store_.SetDevice(block, slot, device_before_[block][slot]);
    }
  }
  const bool names_changed = receiver_.texts().mode_names != texts_before_.mode_names;
  const bool id_changed = receiver_.texts().device_id != texts_before_.device_id;
  receiver_.texts() = texts_before_;
  if (names_changed) host_.ModeNamesChanged();
  if (id_changed) host_.DeviceIdChanged();
}

void BlockTransfer::SendStep() {
  // Waiting is set before the write: a failed write must not leave a stale answer that would
  // advance the next tick past a request that never went out.
  receiver_.flags().wait = WaitState::kWaiting;
  tick_ = 0;
  writer_.SendTransferStep(step_, direction_, store_);
}

bool BlockTransfer::RetryStep() {
  if (retries_ >= kStepRetries) return false;
  ++retries_;
  host_.AppendLog("校验错误，重新请求第" + std::to_string(step_) + "步");
  SendStep();
  return true;
}

void BlockTransfer::Advance() {
  retries_ = 0;
  upload_resends_ = 0;
  auto& payload = writer_.payload();
  if (step_ == kModeNamesStep) {
    // One request per mode, then the system items.
    const int index = receiver_.mode_name_index();
    payload[0] = static_cast<uint8_t>(index);
    payload[1] = 0;
    if (index + 1 > kModeCount) {
      receiver_.set_mode_name_index(0);
      step_ = kModeNamesStep + 1;
    } else {
      receiver_.set_mode_name_index(index + 1);
    }
  } else {
    if (step_ == kLastBlockStep) {
      // The step after the last block asks for the first mode name.
      const int index = receiver_.mode_name_index();
      payload[0] = static_cast<uint8_t>(index);
      payload[1] = 0;
      receiver_.set_mode_name_index(index + 1);
    }
    ++step_;
  }
  SendStep();
}

// The box did not acknowledge an upload block (a lost frame): the same block goes again every
// few silent seconds, as an unacknowledged edit does. The wait state stays a long wait, so the
// transfer still fails in time when the box is gone.
void BlockTransfer::ResendUploadBlock() {
  constexpr int kSilentBeforeLongWait = kWaitTicks + 1;
  if (upload_resends_ >= kUploadResends ||
      tick_ != (upload_resends_ + 1) * kUploadResendTicks - kSilentBeforeLongWait) {
    return;
  }
  ++upload_resends_;
  writer_.SendTransferStep(step_, direction_, store_);
}

BlockTransfer::Tick BlockTransfer::OnTick() {
  if (tick_ != kLongWaitTicks) ++tick_;
  LinkFlags& flags = receiver_.flags();
  const bool upload = direction_ == TransferDirection::kUpload;
  if (flags.frame_rejected) {
    flags.frame_rejected = false;
    if (!upload && flags.wait != WaitState::kFrameReceived) {
      if (RetryStep()) return Tick::kRunning;
      flags.wait = WaitState::kIdle;
      failure_ = LinkFailure::kChecksum;
      return Tick::kFailed;
    }
  }
  if (flags.wait == WaitState::kFrameReceived ||
      (flags.wait == WaitState::kAckReceived && upload)) {
    if (step_ >= length_) {
      flags.wait = WaitState::kIdle;
      return Tick::kDone;
    }
    Advance();
  } else if ((flags.wait == WaitState::kWaiting ||
              (flags.wait == WaitState::kAckReceived && !upload)) &&
             tick_ > kWaitTicks) {
    // An acknowledgement does not answer a read: a download step waits on for its frame.
    flags.wait = WaitState::kLongWait;
    tick_ = 0;
  } else if (flags.wait == WaitState::kLongWait) {
    if (tick_ >= kLongWaitTicks) {
      flags.wait = WaitState::kIdle;
      failure_ = LinkFailure::kNoAnswer;
      return Tick::kFailed;
    }
    if (upload) ResendUploadBlock();
  }
  return Tick::kRunning;
}

}  // namespace kc

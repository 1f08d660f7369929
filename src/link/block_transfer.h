// The block transfer: a connection's download (blocks 0..8, the fifteen mode names, the system
// items, the passwords and the identity: 42 requests), a reload of blocks 0..8 and an upload of
// blocks 0..8, one request per transfer tick once the previous one is answered.
//
// A download answers each request with a frame, an upload with an acknowledgement. An answer
// that fails its checksum is not stored and its request is asked again, up to three times. A
// request that stays unanswered moves to a long wait after kWaitTicks and fails the transfer
// kLongWaitTicks later; an upload block is sent again every kUploadResendTicks of that silence
// (at most kUploadResends times), as an unacknowledged edit is. A download that fails puts the
// store back as it was before it started, so a partial image is never shown, saved or sent back.
#pragma once

#include <array>

#include "link/box_image.h"
#include "link/frames.h"
#include "link/link_host.h"
#include "link/receiver.h"
#include "model/parameter_store.h"

namespace kc {

class BlockTransfer {
 public:
  enum class Tick { kRunning, kDone, kFailed };
  static constexpr int kStepRetries = 3;
  static constexpr int kWaitTicks = 10;
  static constexpr int kLongWaitTicks = 100;
  static constexpr int kUploadResendTicks = 30;
  static constexpr int kUploadResends = 3;

  BlockTransfer(ParameterStore& store, FrameWriter& writer, Receiver& receiver, LinkHost& host);

  // Starts a transfer that ends with step `length` and sends its first request, step
  // `first_step` (a look at a box reads the identity alone: the last step of a connection).
  void Start(int length, TransferDirection direction, int first_step = 0);
  // One transfer tick; on kFailed, failure() says why.
  Tick OnTick();
  // Puts back what a download had written so far (a failed or interrupted download).
  void RestoreBeforeDownload();

  // What the download under way has brought so far.
  const BoxImage& received() const { return received_; }
  TransferDirection direction() const { return direction_; }
  int step() const { return step_; }
  int percent() const;
  LinkFailure failure() const { return failure_; }
  bool connection() const {
    return direction_ == TransferDirection::kDownload && length_ == kLastConnectionStep &&
           first_step_ == 0;
  }

 private:
  void SendStep();
  // Asks for the step again after a damaged answer; false once its retries are used up.
  bool RetryStep();
  void Advance();
  void ResendUploadBlock();

  ParameterStore& store_;
  FrameWriter& writer_;
  Receiver& receiver_;
  LinkHost& host_;

  int step_ = 0;
  int first_step_ = 0;
  int length_ = kLastBlockStep;
  TransferDirection direction_ = TransferDirection::kDownload;
  int tick_ = 0;
  int retries_ = 0;
  int upload_resends_ = 0;
  LinkFailure failure_ = LinkFailure::kNone;
  BoxImage received_;
  // What a download may overwrite, as it was when the download started.
  std::array<ParameterStore::Row, kBlockCount> device_before_{};
  SystemTexts texts_before_;
};

}  // namespace kc

// One box served by karaoke-ctl: its own port, store, Link and three timers in the one event
// loop, doing what the editor does (the same scan, download and upload with the same pacing)
// with no window. Several sessions run side by side, one per port; one that fails ends alone.
//
//   Download:  connect (probe) -> download 42 requests -> release -> done
//   Restore:   connect -> download -> file into the device image -> upload blocks 0..8
//              -> read blocks 0..8 back -> release -> done (the caller compares)
//   Apply:     connect -> download -> the caller saves the box and chooses the slots -> the
//              baseline offered to the link as the editor's changes are, the chosen slots sent
//              by its rule (edits, or the upload and the system items) -> every one of them
//              acknowledged -> read back (blocks 0..8; everything when a system item was sent)
//              -> release -> done (the caller compares)
//
// Before a download or read-back every slot it carries is marked unread; a download that leaves
// one unread (a short block, answers taken by another program on the same box) fails, so only
// data that came in frames that passed their checksums is ever handed on. The link asks a
// damaged answer again itself, and sends an upload block whose acknowledgement does not come
// again every three silent seconds before it gives the box up.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/mode_checks.h"
#include "link/link.h"
#include "link/link_host.h"
#include "link/qt/box_probe.h"
#include "link/qt/link_driver.h"
#include "link/recording_serial_port.h"
#include "model/parameter_store.h"
#include "modes/mode_file.h"

namespace kc::cli {

class BoxSession : public QObject, public LinkHost {
  Q_OBJECT

 public:
  enum class Phase {
    kIdle,
    kScanning,
    kDownloading,
    kAwaitingSend,
    kSending,
    kUploading,
    kReadingBack,
    kDone
  };

  // recorder may be nullptr (no recording).
  BoxSession(std::string port, LineRecorder* recorder, QObject* parent = nullptr);
  ~BoxSession() override;

  // Called once when the session has ended, well or not.
  void SetFinished(std::function<void(BoxSession&)> finished) { finished_ = std::move(finished); }
  // Called each time the session moves on to a transfer (downloading, uploading, reading back),
  // for a progress line.
  void SetProgress(std::function<void(BoxSession&)> progress) { progress_ = std::move(progress); }

  // A download of everything the box holds (blocks 0..8 and the system items).
  void StartDownload();
  // Uploads these entries (a checked mode file) after the download, then reads the box back.
  void StartRestore(std::vector<ModeEntry> entries);

  // Makes the box equal to `baseline` (blocks 0..8 and the user's system items): after the
  // download, `downloaded` is called and the session waits for SendSlots.
  void StartApply(const ParameterStore& baseline, std::function<void(BoxSession&)> downloaded);
  // The slots of the baseline the box is to take (the others keep the box's values), handed to
  // the link's path for the editor's changes. Then the read-back. No slots: the session ends,
  // nothing sent. Only while the session awaits them.
  void SendSlots(const std::vector<Link::Slot>& chosen);
  // Something was handed to the link to send: the box may hold part of it.
  bool sent() const { return sent_; }

  // The box this port should hold (a venue room's identity; empty: any). Another box fails the
  // session after its download, before anything is sent to it.
  void SetExpectedIdentity(std::string identity) { expected_identity_ = std::move(identity); }

  // Ends the session now (Ctrl+C): nothing more is sent. No-op once done.
  void Interrupt();

  const std::string& port() const { return port_name_; }
  Phase phase() const { return phase_; }
  // Upload blocks sent so far; 0 before the upload began. Once it is above 0 and the read-back
  // has not verified it, the box holds part of the file (all of it after block 8).
  int blocks_sent() const { return driver_->link().upload_blocks_sent(); }
  bool upload_complete() const { return upload_complete_; }
  // Answers that failed their checksum and were asked again.
  int damaged_answers() const { return driver_->link().checksum_errors(); }
  bool done() const { return phase_ == Phase::kDone; }
  bool ok() const { return done() && failure_.empty(); }
  const std::string& failure() const { return failure_; }
  // How a room whose box this is stands, as status names it: ok once the session succeeded;
  // no answer, refused, busy or unreachable after a failure (no answer for every failure once
  // the box had answered).
  RoomState room_state() const;
  const ParameterStore& store() const { return store_; }
  const Link& link() const { return driver_->link(); }
  // Milliseconds from the start to the end of the session and of each transfer.
  qint64 total_ms() const { return total_ms_; }
  qint64 download_ms() const { return download_ms_; }
  qint64 upload_ms() const { return upload_ms_; }
  qint64 readback_ms() const { return readback_ms_; }

  // LinkHost.
  void ShowStatus(LinkStatus status, int percent, bool visible) override;
  // Ends the session with the reason in its own words.
  void ShowMessage(const LinkMessage& message) override;
  void ShowEditor() override;
  void RefreshPages(int selection) override;
  void OfferEditorChanges(int count, bool same_box) override;
  void ModeNamesChanged() override {}
  void DeviceIdChanged() override {}
  void SetTimers(bool scan, bool transfer, bool hold) override;
  // To the program's diagnostic log, after the port's name.
  void AppendLog(const std::string& line) override;

 private:
  void Begin();
  void TransferFinished();
  void Finish(std::string failure);
  void EnterPhase(Phase phase, qint64 now);
  // The box has taken every slot sent: on to the read-back.
  void CheckSent();
  // Why the port could not be used or gave no answer, as a room state.
  RoomState PortState() const;
  // Why the link failed, with what it saw of damaged answers.
  std::string WithChecksumNote(std::string why) const;

  std::string port_name_;
  ParameterStore store_;
  std::unique_ptr<LinkDriver> driver_;
  std::function<void(BoxSession&)> finished_;
  std::function<void(BoxSession&)> progress_;
  Phase phase_ = Phase::kIdle;
  bool restore_ = false;
  std::vector<ModeEntry> entries_;
  std::string failure_;
  std::string expected_identity_;
  bool upload_complete_ = false;
  bool apply_ = false;
  bool sent_ = false;
  bool offered_ = false;
  // The read-back is a whole download (a system item was sent), not a reload of blocks 0..8.
  bool full_readback_ = false;
  bool readback_marked_ = false;
  RoomState room_state_ = RoomState::kNoAnswer;
  std::function<void(BoxSession&)> downloaded_;
  BoxImage::Rows baseline_{};
  QTimer sent_poll_;
  QElapsedTimer clock_;
  qint64 phase_start_ms_ = 0;
  qint64 total_ms_ = 0;
  qint64 download_ms_ = 0;
  qint64 upload_ms_ = 0;
  qint64 readback_ms_ = 0;
};

}  // namespace kc::cli

// What the link needs from the windows around it. The program implements it with the status box,
// the editor and message boxes; tests record the calls.
#pragma once

#include <string>
#include <vector>

namespace kc {

// What the status box says of the link.
enum class LinkStatus {
  kSearching,     // probing the ports
  kConnecting,    // a connection's download
  kLoading,       // a recall or reload
  kUploading,     // the editor's blocks going to the box
  kSaving,        // a mode being stored
  kConnected,     // Ready
  kNotConnected,  // no box
};

// What the link tells the user once its state changes are complete.
enum class LinkOutcome {
  kSaved,   // the box acknowledged the store of a mode
  kLost,    // a connected box stopped answering
  kFailed,  // a scan or a transfer ended without the box's answers
};

// Why the last transfer or scan failed, or the line was lost: no answer in time, a step whose
// answers kept failing their checksum, or a serial device server that closed the connection
// (another client took its port).
enum class LinkFailure { kNone, kNoAnswer, kChecksum, kClosedByServer };

struct LinkMessage {
  LinkOutcome outcome = LinkOutcome::kFailed;
  // For kFailed: why, and the transfer step it stopped at (0 for a scan); for kLost,
  // kClosedByServer when the server closed the line.
  LinkFailure failure = LinkFailure::kNone;
  int step = 0;

  bool operator==(const LinkMessage&) const = default;
};

class LinkHost {
 public:
  virtual ~LinkHost() = default;

  // The status box: the link status, the transfer percentage, and whether it is shown.
  virtual void ShowStatus(LinkStatus status, int percent, bool visible) = 0;
  // A modal message owned by the editor, caption "提示", one OK button. Timers and the port keep
  // running while it is open, so the link has finished its state changes before calling this.
  virtual void ShowMessage(const LinkMessage& message) = 0;
  // Shows the editor window (end of a transfer).
  virtual void ShowEditor() = 0;
  // Repaints the editor's pages from the store; selection is an audio block or kAllBlocks for all.
  virtual void RefreshPages(int selection) = 0;
  // The mode names or the device identity received from the box have changed.
  virtual void ModeNamesChanged() = 0;
  virtual void DeviceIdChanged() = 0;
  // Which of the link's three timers (scan, transfer, pacing: kScanPeriodMs, kTransferPeriodMs,
  // kHoldPeriodMs in link.h) should run.
  virtual void SetTimers(bool scan, bool transfer, bool hold) = 0;
  // Appends one line to the diagnostic log, which is never shown.
  virtual void AppendLog(const std::string& line) = 0;

  // A connection has completed its download while the editor held `count` changes the box does
  // not have; `same_box` is false when they were made for another box. The host asks the user
  // and answers with Link::AnswerEditorChanges.
  virtual void OfferEditorChanges(int count, bool same_box) {
    (void)count;
    (void)same_box;
  }
  // The box that answered in a room is not the room's (`expected`, `found`: identities). The
  // box's settings are in the store but not shown, and nothing has been sent; the host asks the
  // user and answers with Link::AnswerOtherBox.
  virtual void AskAboutOtherBox(const std::string& expected, const std::string& found) {
    (void)expected;
    (void)found;
  }
  // Fills `names` with the ports to search now (a cable may come back under another name);
  // false keeps the list as it is.
  virtual bool RelistPorts(std::vector<std::string>* names) {
    (void)names;
    return false;
  }
};

}  // namespace kc

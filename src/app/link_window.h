// TForm3, the serial link window. Never shown: it owns the link's driver (the port ComPort, the
// link and its three timers), and it is the link's host, passing its side effects on to the
// status box, the editor and the message boxes.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/link_notices.h"
#include "link/link.h"
#include "link/link_host.h"
#include "link/qt/link_driver.h"
#include "link/recording_serial_port.h"

namespace kc {

class MessageBoxes;
class ParameterStore;
class TForm1;
class TForm2;

class TForm3 : public QWidget, public LinkHost {
  Q_OBJECT

 public:
  explicit TForm3(MessageBoxes& boxes, QWidget* parent = nullptr);
  ~TForm3() override;

  // Records every frame of the line (--record); call before Attach. Without it the link talks
  // to ComPort directly.
  void RecordTo(LineRecorder& recorder) { recorder_ = &recorder; }
  // Creates the link over the editor's store; the editor calls this while it is being created.
  void Attach(ParameterStore& store, TForm1& editor, TForm2& status);
  // Ends the link before the editor and its store go away.
  void Detach();

  // The link and its driver's parts; only while attached.
  Link& link() { return driver_->link(); }
  bool attached() const { return driver_ != nullptr; }
  QtSerialPort& ComPort() { return driver_->port(); }
  QTimer& Timer1() { return driver_->scan_timer(); }
  QTimer& Timer2() { return driver_->transfer_timer(); }
  QTimer& HoldTimer() { return driver_->hold_timer(); }

  // Duration of the last completed transfer (from the start of its steps to the editor being
  // shown), in ms; -1 before the first.
  qint64 last_transfer_ms() const { return last_transfer_ms_; }
  int transfers_done() const { return transfers_done_; }

  // The ports the background search lists anew each round; may throw (the list is then kept).
  void SetPortLister(std::function<std::vector<std::string>()> lister) {
    port_lister_ = std::move(lister);
  }

  // LinkHost.
  void ShowStatus(LinkStatus status, int percent, bool visible) override;
  // Saved, lost and failed in the system's words; a search that found no box adds what to
  // check.
  void ShowMessage(const LinkMessage& message) override;
  void ShowEditor() override;
  void RefreshPages(int selection) override;
  void ModeNamesChanged() override;
  void DeviceIdChanged() override;
  void SetTimers(bool scan, bool transfer, bool hold) override;
  void AppendLog(const std::string& line) override;
  void OfferEditorChanges(int count, bool same_box) override;
  bool RelistPorts(std::vector<std::string>* names) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  MessageBoxes& boxes_;
  LineRecorder* recorder_ = nullptr;
  std::unique_ptr<LinkDriver> driver_;
  TForm1* editor_ = nullptr;
  TForm2* status_ = nullptr;
  QElapsedTimer transfer_clock_;
  qint64 last_transfer_ms_ = -1;
  int transfers_done_ = 0;
  std::function<std::vector<std::string>()> port_lister_;
  LinkNotices notices_{boxes_};  // the box that ShowMessage opens and ShowStatus may close
};

}  // namespace kc

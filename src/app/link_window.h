// TForm3, the serial link window. Never shown: it is the host of the link's driver (the port
// ComPort, the link and its three timers, owned by the program), passing the link's side effects
// on to the status box, the editor and the message boxes.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
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
#include "ui/compare/sync_window.h"

namespace kc {

class EditorView;
class MessageBoxes;
class SyncWindow;
class TForm2;

class TForm3 : public QWidget, public LinkHost {
  Q_OBJECT

 public:
  explicit TForm3(MessageBoxes& boxes, QWidget* parent = nullptr);
  ~TForm3() override;

  // The link's driver, the status box and the editor it reports to; the program binds them once
  // all windows exist, before the link runs.
  void Bind(LinkDriver& driver, TForm2& status, EditorView& editor);

  // The link and its driver's parts.
  Link& link() { return driver_->link(); }
  LinePort& ComPort() { return driver_->port(); }
  QTimer& Timer1() { return driver_->scan_timer(); }
  QTimer& Timer2() { return driver_->transfer_timer(); }
  QTimer& HoldTimer() { return driver_->hold_timer(); }

  // Duration of the last completed transfer (from the start of its steps to the editor being
  // shown), in ms; -1 before the first.
  qint64 last_transfer_ms() const { return last_transfer_ms_; }
  int transfers_done() const { return transfers_done_; }
  // The list of the editor's changes, once a connection has offered them; null before.
  SyncWindow* sync_window() const { return sync_; }

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
  void AskAboutOtherBox(const std::string& expected, const std::string& found) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  MessageBoxes& boxes_;
  LinkDriver* driver_ = nullptr;
  TForm2* status_ = nullptr;
  EditorView* editor_ = nullptr;
  QElapsedTimer transfer_clock_;
  qint64 last_transfer_ms_ = -1;
  int transfers_done_ = 0;
  std::function<std::vector<std::string>()> port_lister_;
  // The list of the editor's changes offered after a connection; made when first needed.
  QPointer<SyncWindow> sync_;
  LinkNotices notices_{boxes_};  // the box that ShowMessage opens and ShowStatus may close
};

}  // namespace kc

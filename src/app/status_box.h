// TForm2, the status box: the link status text and the transfer percentage, on top of every
// other window while the link probes ports or transfers blocks.
#pragma once

#include <QDialog>
#include <QString>

#include "link/link.h"
#include "link/link_host.h"

class QLabel;
class QProgressBar;

namespace kc {

// The link's words, each defined once. LinkStatusText: the status box's words for the link's
// status; the editor's link label shows the same. LinkViewText: the link state at the right end
// of the editor's tab strip, which shares the words for connected and connecting.
QString LinkStatusText(LinkStatus status);
QString LinkViewText(LinkView view);
// The link label's words for the link as it is now: while the quiet search looks for a lost box
// in the background it says so, instead of the state the search started from.
QString LinkViewText(const Link& link);
// The link label's tooltip: the port and the box, "/dev/ttyUSB0 · 设备 4B3107E5". `room_port` is
// the port of the editor's room (empty outside a venue).
QString LinkLabelTip(const Link& link, const std::string& room_port);

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* parent = nullptr);

  // Shows the link status text and the transfer percentage (clamped to 0..100).
  void SetStatus(const QString& text, int percent);

  QLabel* LinkLabel() const { return link_label_; }
  QProgressBar* RzProgressStatus1() const { return progress_; }
  QLabel* Label1() const { return label1_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLabel* link_label_;
  QProgressBar* progress_;
  QLabel* label1_;
  bool centred_ = false;
};

}  // namespace kc

// The link on Qt, wired once for every program that talks to a box: the serial port (recorded
// when a recorder is given), the link and its three timers, run as the link asks. The editor's
// link window and each of karaoke-ctl's sessions own one and are its host; the driver passes the
// link's side effects on to them and runs the timers itself.
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "link/link_host.h"
#include "link/qt/line_port.h"
#include "link/recording_serial_port.h"

namespace kc {

class LinkDriver : public QObject, private LinkHost {
  Q_OBJECT

 public:
  // `recorder` may be nullptr (no recording). `host` gets every side effect of the link; its
  // SetTimers is told which timers now run, after the driver has switched them.
  LinkDriver(ParameterStore& store, LinkHost& host, LineRecorder* recorder,
             QObject* parent = nullptr);
  ~LinkDriver() override;

  Link& link() { return *link_; }
  const Link& link() const { return *link_; }
  LinePort& port() { return com_port_; }
  // The line as the link writes it: the recording port when recording, the port otherwise.
  SerialPort& line();
  QTimer& scan_timer() { return timer1_; }
  QTimer& transfer_timer() { return timer2_; }
  QTimer& hold_timer() { return hold_timer_; }
  // Stops the timers and the port's notifications: nothing reaches the link any more.
  void Stop();

 private:
  void ShowStatus(LinkStatus status, int percent, bool visible) override;
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

  LinkHost& host_;
  LinePort com_port_;
  std::unique_ptr<RecordingSerialPort> recording_port_;
  QTimer timer1_;
  QTimer timer2_;
  QTimer hold_timer_;
  std::unique_ptr<Link> link_;
};

}  // namespace kc

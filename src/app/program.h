// The program: the parameter store and the link's driver, which it owns and which live as long as
// it does, and the four windows, created in their order: main window, link window, status box,
// editor. The editor's creation builds the editor (EQ defaults, Music page, mode folders); the
// program then binds the link window to the driver, the status box and the editor, and has the
// editor connect.
#pragma once

#include <QPointer>
#include <memory>
#include <ostream>

#include "app/editor_window.h"
#include "app/link_window.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/status_box.h"
#include "app/venue_window.h"
#include "link/qt/link_driver.h"
#include "model/parameter_store.h"

namespace kc {

struct StartUpTimes {
  qint64 main_window_shown_ms = 0;  // from the creation of the program to the main window shown
  qint64 editor_built_ms = 0;       // creation of the editor window with its start-up
};

class Program {
 public:
  // boxes: where messages go; nullptr shows QMessageBoxes owned by the editor (or the main
  // window while the editor is hidden). list_ports gives the ports to probe at start-up.
  // record, when given, receives a line for every frame sent and received (--record).
  // connect_at_start false: no search at start-up (a venue's room is opened instead).
  Program(MessageBoxes* boxes, PortLister list_ports, std::ostream* record = nullptr,
          bool connect_at_start = true);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  TForm4& Form4() { return *form4_; }
  TForm3& Form3() { return *form3_; }
  TForm2& Form2() { return *form2_; }
  TForm1& Form1() { return *form1_; }
  ParameterStore& store() { return store_; }
  LinkDriver& driver() { return *driver_; }
  MessageBoxes& message_boxes() { return *boxes_; }
  const StartUpTimes& times() const { return times_; }
  // Reads a venue file and shows its rooms in the venue window (replacing a venue shown
  // before); a file that cannot be used is named with the reason. False then.
  bool OpenVenue(const std::string& path);
  // Shows a venue already read.
  void ShowVenue(Venue venue, const std::string& source);
  VenueWindow* venue_window() { return venue_window_; }

 private:
  std::unique_ptr<LineRecorder> recorder_;
  std::unique_ptr<MessageBoxes> own_boxes_;
  MessageBoxes* boxes_;
  ParameterStore store_;
  std::unique_ptr<TForm4> form4_;
  std::unique_ptr<TForm3> form3_;
  std::unique_ptr<LinkDriver> driver_;
  std::unique_ptr<TForm2> form2_;
  std::unique_ptr<TForm1> form1_;
  // Owned by the main window's venue dock; it holds the venue on show.
  QPointer<VenueWindow> venue_window_;
  StartUpTimes times_;
};

}  // namespace kc

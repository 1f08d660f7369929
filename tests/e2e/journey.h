// What the end-to-end tests of the running program share: the program started on a box served
// in this process (optionally behind a faulty line), the user's gestures on its widgets (clicks,
// typing, keys, choosing list items, dragging graph points), and the comparison of the box's
// image with the store's device image.
#pragma once

#include "pty_box.h"  // first: see there
// clang-format off
#include <QElapsedTimer>
#include <QPoint>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/program.h"
#include "model/parameter_store.h"
#include "ui/pages/editor_pages.h"
#include "scripted_message_boxes.h"
// clang-format on

class QComboBox;
class QLabel;

namespace kc {
class SyncWindow;
}

namespace kc::e2e {

inline constexpr int kTransferWaitMs = 20000;

// Where the box's image of blocks 0..9 differs from the store's device image; empty when equal.
std::string ImageDifferences(const ParameterStore& store, const boxsim::BoxModel& box);

// Answers a PtyBox's requests from the event loop with the faults that the box-sim program
// applies in its front end (answer delay, answers split into 3-byte pieces 2 ms apart); noise,
// dropped acknowledgements and corrupt checksums are the model's own (BoxModel::faults()).
// Every frame the box sent with a wrong checksum is kept, in order.
class FaultyLine {
 public:
  explicit FaultyLine(PtyBox& box);
  FaultyLine(const FaultyLine&) = delete;
  FaultyLine& operator=(const FaultyLine&) = delete;

  const std::vector<std::vector<uint8_t>>& corrupted_frames() const { return corrupted_; }
  int frames_sent() const { return frames_sent_; }

 private:
  void Poll();
  void Note(const std::vector<uint8_t>& answer);

  PtyBox& box_;
  std::size_t heard_ = 0;
  // Pieces of answers and the time (on clock_) at which each goes out.
  std::deque<std::pair<qint64, std::vector<uint8_t>>> due_;
  QElapsedTimer clock_;
  QTimer timer_;
  std::vector<std::vector<uint8_t>> corrupted_;
  int frames_sent_ = 0;
};

// The program against the box model over a pseudo-terminal, worked through its widgets.
class ProgramOnBox : public ::testing::Test {
 protected:
  void TearDown() override;

  // Starts the program with the box as its only port, behind a faulty line when faults are
  // given (the model's switches are set to them), and waits for the editor after the download.
  void Start(const boxsim::Faults* faults = nullptr);

  TForm1& Editor() { return program_->Form1(); }
  Link& TheLink() { return program_->Form3().link(); }
  boxsim::BoxModel& Box() { return box_.model(); }
  // Point handle i of the graph: 0..14 the bands, 15 the high pass, 16 the low pass.
  QLabel* Handle(int i) { return program_->Form1().pages().point_handles()[i]; }

  template <class T = QWidget>
  T* W(const char* name) {
    T* control = program_->Form1().pages().Find<T>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  // A left click near the left edge of a control, where every button has its face.
  void Click(const char* name);
  void Tab(int n) { Click(("FormTabBtn" + std::to_string(n)).c_str()); }
  void Key(const char* name, Qt::Key key);
  void Type(const char* name, const QString& text);
  // Selects all of an edit box's text and types over it.
  void Replace(const char* name, const QString& text);
  void Enter(const char* name);
  // Clicks into an edit box, replaces its text and presses Enter.
  void TypeValue(const char* name, const QString& text);
  // Picks an item of a drop-down list with the arrow keys.
  void Choose(const char* name, int index);
  // Drags a graph point by its centre to `target` (graph coordinates) in four moves, then lets
  // the graph's timer apply what it settled on.
  void Drag(QLabel* point, QPoint target);
  QPoint At(double frequency_hz, double gain_db);

  // The box's image equals the store's within the time given.
  bool BoxFollows(int timeout_ms = 5000);
  // The link is Ready and the box has every edit (each acknowledged).
  bool LinkQuiet(int timeout_ms);
  // Waits for the transfer started by the last action to end with the link Ready again.
  bool WaitForTransfer(int done_before);
  // "调用模式" of mode index 0..14, answered Yes; waits for the reload.
  bool Recall(int index);
  // "存储到电脑" and "上传到设备" (answered Yes; waits for the upload) of a mode file.
  void SaveFile(const std::string& name);
  bool SendFile(const std::string& name);
  // Unlocks with the box's system password and chooses administrator mode.
  bool UnlockAsAdministrator();
  // A mode-file name of this test run.
  std::string Unique(const std::string& stem) const;
  // Lines of the diagnostic log.
  QStringList LogLines();
  // The list of the editor's changes that a connection offers, once on show within the time
  // given; null if it did not show.
  SyncWindow* OfferedList(int timeout_ms);

  PtyBox box_;
  std::unique_ptr<FaultyLine> line_;
  ScriptedMessageBoxes boxes_;
  std::unique_ptr<Program> program_;
  std::vector<std::string> files_;
};

}  // namespace kc::e2e

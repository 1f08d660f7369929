// clang-format off
#include "journey.h"
#include "ui/compare/sync_window.h"
// clang-format on

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <filesystem>
#include <sstream>

#include "eq/view/eq_graph.h"
#include "model/rounding.h"
#include "ui/pages/editor_pages.h"

namespace kc::e2e {

namespace {

// Pieces and the pause between them when answers are split, as the box-sim program does.
constexpr std::size_t kSplitPiece = 3;
constexpr int kSplitPauseMs = 2;

}  // namespace

std::string ImageDifferences(const ParameterStore& store, const boxsim::BoxModel& box) {
  std::ostringstream out;
  for (int block = 0; block <= kSystemBlock; ++block) {
    for (int slot = 0; slot < InfoOfBlock(block)->device_slots; ++slot) {
      if (store.Device(block, slot) != box.Slot(block, slot)) {
        out << "block " << block << " slot " << slot << ": store " << store.Device(block, slot)
            << ", box " << box.Slot(block, slot) << "\n";
      }
    }
  }
  return out.str();
}

FaultyLine::FaultyLine(PtyBox& box) : box_(box) {
  box_.set_answering(false);
  clock_.start();
  timer_.setInterval(1);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start();
}

void FaultyLine::Poll() {
  const std::vector<uint8_t>& heard = box_.received();
  if (heard.size() > heard_) {
    const std::vector<uint8_t> answer =
        box_.model().Feed(heard.data() + heard_, heard.size() - heard_);
    heard_ = heard.size();
    if (!answer.empty()) {
      Note(answer);
      const boxsim::Faults& faults = box_.model().faults();
      // Answers keep their order: one never overtakes the one before it.
      qint64 at = std::max(clock_.elapsed() + faults.answer_delay_ms,
                           due_.empty() ? qint64{0} : due_.back().first);
      if (faults.split_writes) {
        for (auto& piece : boxsim::SplitIntoPieces(answer, kSplitPiece)) {
          due_.emplace_back(at, std::move(piece));
          at += kSplitPauseMs;
        }
      } else {
        due_.emplace_back(at, answer);
      }
    }
  }
  while (!due_.empty() && due_.front().first <= clock_.elapsed()) {
    box_.Send(due_.front().second);
    due_.pop_front();
  }
}

void FaultyLine::Note(const std::vector<uint8_t>& answer) {
  // An answer is noise (never a lead byte), acknowledgements FE BB and whole frames.
  std::size_t at = 0;
  while (at < answer.size()) {
    if (answer[at] == boxsim::kAckLead) {
      at += 2;
    } else if (answer[at] == boxsim::kLeadByte && at + 2 < answer.size()) {
      const std::size_t size = answer[at + 2] + 3u;
      const std::vector<uint8_t> frame(
          answer.begin() + static_cast<std::ptrdiff_t>(at),
          answer.begin() + static_cast<std::ptrdiff_t>(std::min(answer.size(), at + size)));
      ++frames_sent_;
      if (frame.size() != size || boxsim::FrameChecksum(frame.data(), size) != frame.back()) {
        corrupted_.push_back(frame);
      }
      at += size;
    } else {
      ++at;
    }
  }
}

void ProgramOnBox::TearDown() {
  if (!program_ || Editor().mode_files() == nullptr) return;
  std::error_code ec;
  for (const std::string& name : files_) {
    std::filesystem::remove(Editor().mode_files()->PathOf(name), ec);
  }
}

void ProgramOnBox::Start(const boxsim::Faults* faults) {
  ASSERT_TRUE(box_.ok());
  if (faults != nullptr) {
    box_.model().faults() = *faults;
    line_ = std::make_unique<FaultyLine>(box_);
  }
  const std::string path = box_.path();
  program_ = std::make_unique<Program>(&boxes_, [path] { return std::vector<std::string>{path}; });
  ASSERT_TRUE(WaitFor([&] { return Editor().isVisible(); }, kTransferWaitMs));
  ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown.front().text.toStdString();
}

void ProgramOnBox::Click(const char* name) {
  QWidget* control = W(name);
  if (control != nullptr) {
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(8, control->height() / 2));
  }
}

void ProgramOnBox::Key(const char* name, Qt::Key key) {
  if (QWidget* control = W(name)) QTest::keyClick(control, key);
}

void ProgramOnBox::Type(const char* name, const QString& text) {
  if (auto* edit = W<QLineEdit>(name)) QTest::keyClicks(edit, text);
}

void ProgramOnBox::Replace(const char* name, const QString& text) {
  auto* edit = W<QLineEdit>(name);
  if (edit == nullptr) return;
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, text);
}

void ProgramOnBox::Enter(const char* name) {
  if (auto* edit = W<QLineEdit>(name)) QTest::keyClick(edit, Qt::Key_Return);
}

void ProgramOnBox::TypeValue(const char* name, const QString& text) {
  auto* edit = W<QLineEdit>(name);
  if (edit == nullptr) return;
  QTest::mouseClick(edit, Qt::LeftButton);
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
  QTest::keyClick(edit, Qt::Key_Return);
}

void ProgramOnBox::Choose(const char* name, int index) {
  auto* list = W<QComboBox>(name);
  if (list == nullptr || index < 0 || index >= list->count()) return;
  while (list->currentIndex() != index) {
    QTest::keyClick(list, list->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
  }
}

void ProgramOnBox::Drag(QLabel* point, QPoint target) {
  const QPoint grip(point->width() / 2, point->height() / 2);
  const QPoint start = point->pos() + grip;
  QTest::mousePress(point, Qt::LeftButton, {}, grip);
  for (int step = 1; step <= 4; ++step) {
    QTest::mouseMove(point, start + (target - start) * step / 4 - point->pos());
  }
  QTest::mouseRelease(point, Qt::LeftButton, {}, target - point->pos());
  RunEventLoopFor(100);
}

QPoint ProgramOnBox::At(double frequency_hz, double gain_db) {
  EqGraph& graph = Editor().graph();
  return {RoundHalfEven(graph.FrequencyToX(frequency_hz)), RoundHalfEven(graph.GainToY(gain_db))};
}

bool ProgramOnBox::BoxFollows(int timeout_ms) {
  return WaitFor([&] { return ImageDifferences(Editor().store(), Box()).empty(); }, timeout_ms);
}

SyncWindow* ProgramOnBox::OfferedList(int timeout_ms) {
  SyncWindow* list = nullptr;
  WaitFor(
      [&] {
        list = program_->Form3().sync_window();
        return list != nullptr && list->isVisible();
      },
      timeout_ms);
  return list != nullptr && list->isVisible() ? list : nullptr;
}

bool ProgramOnBox::LinkQuiet(int timeout_ms) {
  return WaitFor(
      [&] { return TheLink().state() == LinkState::kReady && TheLink().PendingCount() == 0; },
      timeout_ms);
}

bool ProgramOnBox::WaitForTransfer(int done_before) {
  return WaitFor(
      [&] {
        return program_->Form3().transfers_done() > done_before &&
               TheLink().state() == LinkState::kReady;
      },
      kTransferWaitMs);
}

bool ProgramOnBox::Recall(int index) {
  Choose("SysModeBox", index);
  boxes_.answers.push_back(true);
  const int before = program_->Form3().transfers_done();
  Click("RzBmpButton121");
  return WaitForTransfer(before);
}

void ProgramOnBox::SaveFile(const std::string& name) {
  files_.push_back(name);
  Replace("FileEdit", QString::fromStdString(name));
  Click("RzBmpButton120");
}

bool ProgramOnBox::SendFile(const std::string& name) {
  Replace("FileEdit", QString::fromStdString(name));
  boxes_.answers.push_back(true);
  const int before = program_->Form3().transfers_done();
  Click("RzBmpButton119");
  return WaitForTransfer(before);
}

bool ProgramOnBox::UnlockAsAdministrator() {
  Type("SysPassEdit", QString::fromStdString(Box().system_password()));
  Click("RzBmpButton118");
  if (!W("SysUserMangerGrop")->isEnabled()) return false;
  Click("SysManagerBtn");
  return WaitFor([&] { return Box().Slot(9, 0x0C) == 1; }, 5000);
}

std::string ProgramOnBox::Unique(const std::string& stem) const {
  return "e2e-" + stem + "-" + std::to_string(QCoreApplication::applicationPid());
}

QStringList ProgramOnBox::LogLines() {
  return Editor().pages().diagnostic_log()->toPlainText().split(QLatin1Char('\n'));
}

}  // namespace kc::e2e

#include "ui/editing/edit_history.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QUndoCommand>
#include <QWidget>

#include "model/parameter_ids.h"
#include "ui/binding/page_refresh.h"
#include "ui/editing/edit_session.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

// The user/administrator choice needs the system password each time; no undo or redo may
// switch it.
const int kAccessIndex = IndexOf(kAccessLevelId);

class GestureStep : public QUndoCommand {
 public:
  // `done`: the gesture itself has already happened when the step is pushed; otherwise pushing
  // the step applies it.
  GestureStep(EditHistory& history, std::vector<ChangedCell> cells, int disco, bool done = true)
      : history_(history), cells_(std::move(cells)), disco_(disco), first_(done) {}

  void redo() override {
    if (first_) {
      first_ = false;
      return;
    }
    history_.Apply(cells_, true, disco_);
  }
  void undo() override { history_.Apply(cells_, false, disco_); }

 private:
  EditHistory& history_;
  std::vector<ChangedCell> cells_;
  int disco_;
  bool first_;
};

bool Matches(const QKeyEvent* key, const QList<QKeySequence>& sequences) {
  const QKeySequence pressed(
      QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
  return sequences.contains(pressed);
}

}  // namespace

QList<QKeySequence> EditHistory::UndoKeys() { return {QKeySequence(Qt::CTRL | Qt::Key_Z)}; }

QList<QKeySequence> EditHistory::RedoKeys() {
  return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)};
}

EditHistory::EditHistory(EditSession& session, QObject* parent)
    : QObject(parent), session_(session) {
  stack_.setUndoLimit(kLimit);
  quiet_.setSingleShot(true);
  quiet_.setInterval(kQuietMs);
  connect(&quiet_, &QTimer::timeout, this, &EditHistory::EndGesture);
  qApp->installEventFilter(this);
}

EditHistory::~EditHistory() {
  if (qApp != nullptr) qApp->removeEventFilter(this);
}

EditHistory::Image EditHistory::Snapshot() const {
  Image image{};
  for (int row = 0; row < kBlockCount; ++row) image[row] = session_.store().DeviceRow(row);
  return image;
}

void EditHistory::BeginGesture() {
  if (open_) {
    // A press while the last gesture is still collecting: that gesture ends here.
    quiet_.stop();
    EndGesture();
  }
  open_ = true;
  before_ = Snapshot();
  disco_ = session_.store().disco();
}

void EditHistory::EndGesture() {
  if (!open_) return;
  open_ = false;
  quiet_.stop();
  const Image after = Snapshot();
  std::vector<ChangedCell> cells;
  for (int row = 0; row < kBlockCount; ++row) {
    for (int slot = 0; slot < kDeviceColumns; ++slot) {
      if (row == kSystemBlock && slot == DeviceSlot(kSystemBlock, kAccessIndex, 0)) continue;
      if (before_[row][slot] != after[row][slot]) {
        cells.push_back({row, slot, before_[row][slot], after[row][slot]});
      }
    }
  }
  if (!cells.empty()) stack_.push(new GestureStep(*this, std::move(cells), disco_));
}

void EditHistory::Undo() {
  EndGesture();
  stack_.undo();
}

void EditHistory::Redo() {
  EndGesture();
  stack_.redo();
}

void EditHistory::Clear() {
  quiet_.stop();
  open_ = false;
  stack_.clear();
}

void EditHistory::ApplyStep(std::vector<ChangedCell> cells, int disco) {
  EndGesture();
  if (cells.empty()) return;
  stack_.push(new GestureStep(*this, std::move(cells), disco, false));
}

void EditHistory::Apply(const std::vector<ChangedCell>& cells, bool after, int disco) {
  ParameterStore& store = session_.store();
  EditLink& link = session_.link();
  const int shown_group = store.mic_group();
  const int shown_disco = store.disco();
  store.set_disco(disco);
  int new_disco = shown_disco;
  for (const ChangedCell& cell : cells) {
    const int32_t value = after ? cell.after : cell.before;
    int id = IdOfDeviceSlot(cell.row, cell.slot, disco);
    if (id < 0) {
      // A cell of the other set: write it where it lies, as a download would.
      store.SetDevice(cell.row, cell.slot, value);
      continue;
    }
    store.set_mic_group(cell.row == 2 ? 1 : (cell.row == 1 ? 0 : shown_group));
    // A pass filter has a band position on the graph but goes to the box as a parameter.
    if (IsEqBandField(id)) {
      link.SendEqBand(id, value);
    } else {
      link.SendParam(id, value);
    }
    if (id == kSingDiscoId) new_disco = value != 0 ? 1 : 0;
  }
  store.set_mic_group(shown_group);
  store.set_disco(new_disco);
  session_.refresher().RefreshPages(kAllBlocks);
  session_.RedrawSection();
}

bool EditHistory::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      return UndoKeyInEditBox(watched, static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
      break;
    default:
      return false;
  }
  auto* widget = qobject_cast<QWidget*>(watched);
  EditorPages& pages = session_.pages();
  if (widget == nullptr || (widget != &pages && !pages.isAncestorOf(widget))) return false;
  const auto type = event->type();
  if (type == QEvent::MouseButtonRelease || type == QEvent::KeyRelease) {
    if (open_) quiet_.start();
    return false;
  }
  // Undo and redo keys neither begin nor end a gesture of their own.
  if (type == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (UndoKeyInEditBox(watched, key)) {
      // A half-typed text is dropped, as Escape does, before the last edit is undone or redone.
      session_.DropTypedText();
      if (Matches(key, UndoKeys())) {
        Undo();
      } else {
        Redo();
      }
      return true;
    }
    if (key->modifiers() & Qt::ControlModifier) return false;
    if (key->isAutoRepeat() && open_) {
      quiet_.stop();
      return false;
    }
  }
  if (!open_ || !quiet_.isActive() || type != QEvent::Wheel) BeginGesture();
  if (type == QEvent::Wheel) quiet_.start();
  return false;
}

bool EditHistory::UndoKeyInEditBox(QObject* watched, QKeyEvent* key) const {
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (edit == nullptr || !session_.IsBoundEdit(edit)) return false;
  if (!Matches(key, UndoKeys()) && !Matches(key, RedoKeys())) return false;
  // Claimed here, so that no other shortcut takes the key; the key press that follows undoes.
  key->accept();
  return true;
}

}  // namespace kc

// Undo and redo of the user's edits, one step per gesture: a slider drag, a typed value, a point
// drag, a button, a radio, a type change, an EQ reset. A gesture is what happens on the pages
// between a press (mouse, key or wheel) and a short quiet time after its release; the step holds
// the values of the box's image that the gesture changed, before and after.
//
// Undoing or redoing sends those values through the link's two send operations, as the controls
// do, under the Sing/Disco set and microphone group the gesture worked on; then the pages and
// the graph are repainted from the store, so pages, graph and box agree again. A download, a
// recall or an upload starts a new history.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QUndoStack>
#include <array>
#include <vector>

#include "model/parameter_store.h"

class QKeyEvent;

namespace kc {

class EditSession;

// One cell of the box's image that a gesture changed.
struct ChangedCell {
  int row;
  int slot;
  int32_t before;
  int32_t after;
};

class EditHistory : public QObject {
  Q_OBJECT

 public:
  // How long after the release of a press a gesture still collects the values it causes (the
  // graph applies a dragged point on its next 10 ms tick).
  static constexpr int kQuietMs = 60;
  static constexpr int kLimit = 200;

  explicit EditHistory(EditSession& session, QObject* parent = nullptr);
  ~EditHistory() override;

  // The keys of undo and redo, for the menu and for the EQ edit boxes, which take them from
  // the line edit's own text undo: an edit box with the focus undoes and redoes the user's
  // edits as every other control does.
  static QList<QKeySequence> UndoKeys();
  static QList<QKeySequence> RedoKeys();

  QUndoStack& stack() { return stack_; }
  void Undo();
  void Redo();
  // Forgets every step (a download, a recall or an upload brought a new mode).
  void Clear();

  // A gesture begins (the store is noted as it is) and ends (what changed becomes one step).
  // The event filter calls them for presses and releases on the pages; tests may call them.
  void BeginGesture();
  void EndGesture();
  bool gesture_open() const { return open_; }

  // Sends a set of cells as values (the microphone group each cell's row belongs to, the
  // Sing/Disco set the gesture worked on) and repaints; used by the steps.
  void Apply(const std::vector<ChangedCell>& cells, bool after, int disco);
  // Puts a set of cells into the editor (and to the box) as one undo step of its own: a change
  // made by a command rather than by a gesture on the pages (applying rows of a comparison).
  // The cells' rows and slots are the box image's; `disco` is the Sing/Disco set their
  // identifiers are taken under.
  void ApplyStep(std::vector<ChangedCell> cells, int disco);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // True, with the shortcut claimed, when a key is undo or redo and goes to an EQ edit box.
  bool UndoKeyInEditBox(QObject* watched, QKeyEvent* key) const;

  using Image = std::array<ParameterStore::Row, kBlockCount>;
  Image Snapshot() const;

  EditSession& session_;
  QUndoStack stack_;
  QTimer quiet_;
  bool open_ = false;
  Image before_{};
  int disco_ = 0;
};

}  // namespace kc

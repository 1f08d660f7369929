// What an edit shows beyond the pages: the EQ graph's curve and the "提示" messages. The editing
// session reaches them only through this view, which the editor (or a test) supplies.
#pragma once

#include <QString>

namespace kc {

class EqGraph;
class MessageBoxes;

class SessionView {
 public:
  virtual ~SessionView() = default;
  // Redraws a section of the EQ graph with one slot selected (0..16) or every slot (20).
  virtual void DrawSectionCurve(int selection, int block) = 0;
  // Shows a message box with caption "提示".
  virtual void ShowMessage(const QString& text) = 0;
};

// The editor's view: messages in its message boxes, curves on its EQ graph once installed
// (the graph is made after the session, which its host needs).
class EditorSessionView : public SessionView {
 public:
  explicit EditorSessionView(MessageBoxes& boxes) : boxes_(boxes) {}

  // nullptr: no graph, and nothing is drawn.
  void set_graph(EqGraph* graph) { graph_ = graph; }

  void DrawSectionCurve(int selection, int block) override;
  void ShowMessage(const QString& text) override;

 private:
  MessageBoxes& boxes_;
  EqGraph* graph_ = nullptr;
};

}  // namespace kc

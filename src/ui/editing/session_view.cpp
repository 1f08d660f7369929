#include "ui/editing/session_view.h"

#include "eq/view/eq_graph.h"
#include "ui/message_boxes.h"

namespace kc {

void EditorSessionView::DrawSectionCurve(int selection, int block) {
  if (graph_ != nullptr) graph_->DrawSectionCurve(selection, block);
}

void EditorSessionView::ShowMessage(const QString& text) { boxes_.Information(kHintCaption, text); }

}  // namespace kc

// What the link window shows through the editor window: the editor implements it, the link
// window is handed it, and neither window includes the other.
#pragma once

#include <QString>

namespace kc {

class EditorView {
 public:
  virtual ~EditorView() = default;
  // Makes the editor visible and brings it to the front (the end of a transfer).
  virtual void ShowEditor() = 0;
  // Repaints the pages from the store after the link brought a whole mode; selection is a block
  // 0..8 or kAllBlocks.
  virtual void RefreshPages(int selection) = 0;
  virtual void ModeNamesChanged() = 0;
  virtual void SetDeviceId(const QString& text) = 0;
  // The link status text of the editor's hidden LinkLabel.
  virtual void SetLinkText(const QString& text) = 0;
  // One line of the diagnostic log.
  virtual void AppendLog(const QString& line) = 0;
  // The box that answered in the editor's room is not the room's: asks whether to edit it and
  // answers the link (Link::AnswerOtherBox).
  virtual void AskAboutOtherBox(const QString& expected, const QString& found) = 0;
};

}  // namespace kc

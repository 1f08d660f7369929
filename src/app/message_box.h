// The program's message boxes: QMessageBoxes, caption whole, on top of the editor. Information,
// yes/no and ok/cancel wait for their answer in a nested event loop (application modal); a
// notice is the same information box opened without waiting (see ui/message_boxes.h).
#pragma once

#include <QString>
#include <functional>

#include "ui/message_boxes.h"

class QWidget;

namespace kc {

// Narrowest box: a window manager puts an icon and three buttons beside the caption, and a box
// as narrow as "保存成功!" alone would shorten even a two-character caption.
inline constexpr int kMessageBoxMinimumWidth = 280;

class QtMessageBoxes : public MessageBoxes {
 public:
  // owner gives the window that owns each box when it opens (may return nullptr) while no modal
  // dialog is on show; a box opened over a modal dialog belongs to the dialog and closes with it.
  explicit QtMessageBoxes(std::function<QWidget*()> owner);

  void Information(const QString& caption, const QString& text) override;
  void InformationWithHint(const QString& caption, const QString& text,
                           const QString& hint) override;
  bool YesNo(const QString& caption, const QString& text) override;
  bool YesNoDefaultNo(const QString& caption, const QString& text) override;
  bool OkCancel(const QString& caption, const QString& text) override;
  bool AskText(const QString& caption, const QString& label, QString* text) override;
  int Choose(const QString& caption, const QString& text, const QStringList& buttons,
             int default_index) override;
  std::unique_ptr<NoticeBox> Notice(const QString& caption, const QString& text,
                                    const QString& hint) override;

 private:
  // The window a box opens over: the modal dialog on show (not a notice), else owner_'s.
  QWidget* Owner() const;

  std::function<QWidget*()> owner_;
};

}  // namespace kc

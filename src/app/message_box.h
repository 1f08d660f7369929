// Modal message boxes: information, yes/no and ok/cancel, each with a caption and a text.
// The program shows QMessageBoxes; their nested event loop keeps the link's timers and the port
// running, so every caller finishes its state changes before it asks. Tests answer from a script.
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
  // owner gives the window that owns each box when it opens (may return nullptr).
  explicit QtMessageBoxes(std::function<QWidget*()> owner);

  void Information(const QString& caption, const QString& text) override;
  void InformationWithHint(const QString& caption, const QString& text,
                           const QString& hint) override;
  bool YesNo(const QString& caption, const QString& text) override;
  bool YesNoDefaultNo(const QString& caption, const QString& text) override;
  bool OkCancel(const QString& caption, const QString& text) override;

 private:
  std::function<QWidget*()> owner_;
};

}  // namespace kc

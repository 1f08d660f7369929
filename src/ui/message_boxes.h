// Modal message boxes: information, yes/no and ok/cancel, each with a caption and a text.
// The program shows QMessageBoxes; their nested event loop keeps the link's timers and the port
// running, so every caller finishes its state changes before it asks. Tests answer from a script.
#pragma once

#include <QString>

namespace kc {

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void Information(const QString& caption, const QString& text) = 0;
  // An information box with a second, smaller text under the first: what to check or to do.
  // Boxes that have no place for it show the first text alone.
  virtual void InformationWithHint(const QString& caption, const QString& text,
                                   const QString& /*hint*/) {
    Information(caption, text);
  }
  // True for Yes.
  virtual bool YesNo(const QString& caption, const QString& text) = 0;
  // The same question with No as the default button, for answers that risk settings.
  virtual bool YesNoDefaultNo(const QString& caption, const QString& text) {
    return YesNo(caption, text);
  }
  // True for OK.
  virtual bool OkCancel(const QString& caption, const QString& text) = 0;
};

// Caption of the ordinary messages of the program.
inline const QString kHintCaption = QStringLiteral("提示");

}  // namespace kc

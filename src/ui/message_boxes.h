// Modal message boxes: information, yes/no, ok/cancel and a one-line entry, each with a caption and
// a text, and notices, information boxes that do not wait for their answer. The program shows
// QMessageBoxes. A box that waits runs a nested event loop: the port and the other timers go on,
// but a timer whose handler opened the box is not fired again until it is answered, so a timer's or
// the port's handler opens a notice instead. Every caller finishes its state changes before it
// asks. Tests answer from a script.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace kc {

// An open notice, for its caller: it may replace the box's texts while the box is open and close
// it once what it says no longer holds. The user closes it with its button. The box closes when
// its handle is destroyed.
class NoticeBox {
 public:
  virtual ~NoticeBox() = default;
  // Neither answered by the user nor closed by the caller.
  virtual bool IsOpen() const = 0;
  // New texts for the open box (the hint as in MessageBoxes::InformationWithHint, empty for
  // none); nothing once it is closed.
  virtual void SetText(const QString& text, const QString& hint) = 0;
  virtual void Close() = 0;
};

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
  // A question with the buttons given, in order; the index of the one chosen, or -1 when the box
  // was closed without a choice. `default_index` is the button Enter presses.
  virtual int Choose(const QString& caption, const QString& text, const QStringList& buttons,
                     int default_index) = 0;
  // A one-line entry under a label, starting with *text. True for OK, with the entry in *text.
  virtual bool AskText(const QString& caption, const QString& label, QString* text) = 0;
  // An information box (with a hint under its text when the hint is not empty) that opens and
  // returns at once; it stays open, modal, while the caller and the event loop go on.
  virtual std::unique_ptr<NoticeBox> Notice(const QString& caption, const QString& text,
                                            const QString& hint) = 0;
};

// Caption of the ordinary messages of the program.
inline const QString kHintCaption = QStringLiteral("提示");

}  // namespace kc

// The program's QApplication with the general error report: an error that no handler catches
// ends that handler, is shown in a message box with its text, and the program carries on with
// the next event.
#pragma once

#include <QApplication>
#include <QString>
#include <QTranslator>
#include <exception>

namespace kc {

class MessageBoxes;

class Application : public QApplication {
  Q_OBJECT

 public:
  Application(int& argc, char** argv);

  // The program's name and version, for the command line and the settings folders.
  static void SetIdentity();

  // Qt's own Chinese texts (the buttons of message boxes: 是, 否, 确定, 取消), loaded at start-up
  // from Qt's translations folder; false when they are not installed, and the buttons stay in
  // English.
  bool qt_texts_translated() const { return qt_texts_translated_; }

  // Where errors are shown; without one they go to the standard error stream.
  void SetErrorReport(MessageBoxes* boxes) { boxes_ = boxes; }
  int errors_reported() const { return errors_reported_; }

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  void Report(const QString& text);

  QTranslator qt_translator_;
  bool qt_texts_translated_ = false;
  MessageBoxes* boxes_ = nullptr;
  bool reporting_ = false;
  int errors_reported_ = 0;
};

}  // namespace kc

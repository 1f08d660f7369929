// Message boxes answered from a script and recorded, for tests of the windows and the link.
#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "ui/message_boxes.h"

namespace kc {

class ScriptedMessageBoxes : public MessageBoxes {
 public:
  enum class Kind { kInformation, kYesNo, kOkCancel, kYesNoDefaultNo };
  struct Shown {
    Kind kind;
    QString caption;
    QString text;
  };

  void Information(const QString& caption, const QString& text) override {
    Record(Kind::kInformation, caption, text);
  }
  bool YesNo(const QString& caption, const QString& text) override {
    Record(Kind::kYesNo, caption, text);
    return NextAnswer();
  }
  bool YesNoDefaultNo(const QString& caption, const QString& text) override {
    Record(Kind::kYesNoDefaultNo, caption, text);
    return NextAnswer();
  }
  bool OkCancel(const QString& caption, const QString& text) override {
    Record(Kind::kOkCancel, caption, text);
    return NextAnswer();
  }

  // Texts of every box shown, in order.
  std::vector<QString> texts() const {
    std::vector<QString> all;
    for (const auto& s : shown) all.push_back(s.text);
    return all;
  }
  bool Showed(const QString& text) const {
    for (const auto& s : shown) {
      if (s.text == text) return true;
    }
    return false;
  }

  std::vector<Shown> shown;
  // Answers of the questions in order; when it runs out, default_answer is given.
  std::deque<bool> answers;
  bool default_answer = true;
  // Called after each box is recorded (e.g. to leave an event loop).
  std::function<void(const Shown&)> on_show;

 private:
  void Record(Kind kind, const QString& caption, const QString& text) {
    shown.push_back({kind, caption, text});
    if (on_show) on_show(shown.back());
  }
  bool NextAnswer() {
    if (answers.empty()) return default_answer;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace kc

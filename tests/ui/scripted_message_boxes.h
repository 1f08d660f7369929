// Message boxes answered from a script and recorded, for tests of the windows and the link.
#pragma once

#include <QString>
#include <QStringList>
#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "ui/message_boxes.h"

namespace kc {

class ScriptedMessageBoxes : public MessageBoxes {
 public:
  enum class Kind { kInformation, kYesNo, kOkCancel, kYesNoDefaultNo, kText, kChoice };
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

  // The next of choices, or the default button when none is left. The buttons are kept.
  int Choose(const QString& caption, const QString& text, const QStringList& buttons,
             int default_index) override {
    last_buttons = buttons;
    Record(Kind::kChoice, caption, text);
    if (choices.empty()) return default_index;
    const int choice = choices.front();
    choices.pop_front();
    return choice;
  }

  // The entry is the next of text_answers (OK), or Cancel when none is left.
  bool AskText(const QString& caption, const QString& label, QString* text) override {
    Record(Kind::kText, caption, label);
    if (text_answers.empty()) return false;
    *text = text_answers.front();
    text_answers.pop_front();
    return true;
  }

  // Notices are recorded in `shown` as information boxes, when they open and each time their
  // text is replaced, and stay open until the caller closes them or the script answers them
  // (AnswerNotices), as a user who does not touch them.
  struct NoticeState {
    QString caption;
    QString text;
    QString hint;
    bool open = true;
  };
  std::unique_ptr<NoticeBox> Notice(const QString& caption, const QString& text,
                                    const QString& hint) override {
    auto state = std::make_shared<NoticeState>(NoticeState{caption, text, hint});
    notices.push_back(state);
    most_open_notices = std::max(most_open_notices, static_cast<int>(OpenNotices().size()));
    Record(Kind::kInformation, caption, text);
    return std::make_unique<ScriptedNotice>(*this, std::move(state));
  }
  // The notices open now, oldest first.
  std::vector<NoticeState> OpenNotices() const {
    std::vector<NoticeState> open;
    for (const auto& n : notices) {
      if (n->open) open.push_back(*n);
    }
    return open;
  }
  // The user presses OK on every open notice.
  void AnswerNotices() {
    for (const auto& n : notices) n->open = false;
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
  // Buttons chosen in Choose, in order, and the buttons of the last one asked.
  std::deque<int> choices;
  QStringList last_buttons;
  // Entries typed into AskText, in order.
  std::deque<QString> text_answers;
  // Called after each box is recorded (e.g. to leave an event loop).
  std::function<void(const Shown&)> on_show;
  // Every notice opened, in order, and the most that were open at once.
  std::vector<std::shared_ptr<NoticeState>> notices;
  int most_open_notices = 0;

 private:
  class ScriptedNotice : public NoticeBox {
   public:
    ScriptedNotice(ScriptedMessageBoxes& boxes, std::shared_ptr<NoticeState> state)
        : boxes_(boxes), state_(std::move(state)) {}
    ~ScriptedNotice() override { Close(); }
    bool IsOpen() const override { return state_->open; }
    void SetText(const QString& text, const QString& hint) override {
      if (!state_->open) return;
      state_->text = text;
      state_->hint = hint;
      boxes_.Record(Kind::kInformation, state_->caption, text);
    }
    void Close() override { state_->open = false; }

   private:
    ScriptedMessageBoxes& boxes_;
    std::shared_ptr<NoticeState> state_;
  };

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

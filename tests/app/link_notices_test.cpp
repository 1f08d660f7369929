// The box about the link: one at a time, its text replaced by the next outcome, closed once the
// link is connected again; and opened without stopping the timer whose handler opened it.
#include "app/link_notices.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <ostream>
#include <stdexcept>
#include <variant>

#include "app/program.h"
#include "link/link.h"
#include "scripted_message_boxes.h"

// Failures print the texts.
static void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace kc {
namespace {

const QString kSaved = QStringLiteral("保存成功!");
const QString kLost = QStringLiteral("已断开连接!");
const QString kFailed = QStringLiteral("连接失败!");
const QString kChecksum = QStringLiteral("数据校验错误，连接失败!");
const QString kHint = QStringLiteral("请检查设备");

// What happens, in order: an outcome of the link, a status it reports (with whether its view is
// connected), or the user pressing OK on the open box.
struct Status {
  LinkStatus status;
  bool view_connected = false;
};
struct Answer {};
using Step = std::variant<LinkMessage, Status, Answer>;

const LinkMessage kSavedOutcome{LinkOutcome::kSaved};
const LinkMessage kLostOutcome{LinkOutcome::kLost};
const LinkMessage kNoBox{LinkOutcome::kFailed, LinkFailure::kNoAnswer, 0};
const LinkMessage kDamaged{LinkOutcome::kFailed, LinkFailure::kChecksum, 3};
// A loss as the link reports it: the status first, then the outcome.
const std::vector<Step> kLoss = {Status{LinkStatus::kNotConnected}, kLostOutcome};
// A reconnection: the connection's download, then Ready.
const std::vector<Step> kReconnection = {Status{LinkStatus::kConnecting},
                                         Status{LinkStatus::kConnected, true}};

std::vector<Step> Repeat(int times, const std::vector<std::vector<Step>>& parts) {
  std::vector<Step> steps;
  for (int i = 0; i < times; ++i) {
    for (const auto& part : parts) steps.insert(steps.end(), part.begin(), part.end());
  }
  return steps;
}

struct Case {
  const char* name;
  std::vector<Step> steps;
  // The boxes open at the end (text, hint), how many were opened in all, and the most that
  // were ever open at once.
  std::vector<std::pair<QString, QString>> open;
  int opened;
  int most_open = 1;
};

TEST(LinkNotices, OneBoxAboutTheLinkAndNoneTheStateContradicts) {
  const std::vector<Case> cases = {
      {"eight losses left open make one box", Repeat(8, {kLoss}), {{kLost, ""}}, 1},
      {"eight losses each answered make eight boxes, one at a time",
       Repeat(8, {kLoss, {Answer{}}}),
       {},
       8},
      {"a loss box closes when the search connects again",
       Repeat(8, {kLoss, kReconnection}),
       {},
       8},
      {"the last of many losses stays open",
       Repeat(3, {kLoss, kReconnection, kLoss}),
       {{kLost, ""}},
       4},
      {"a checksum failure closes once connected",
       {kDamaged, Status{LinkStatus::kNotConnected}, Status{LinkStatus::kConnecting},
        Status{LinkStatus::kConnected, true}},
       {},
       1},
      {"a failure closes when the view is connected whatever the status says",
       {kNoBox, Status{LinkStatus::kLoading, true}},
       {},
       1},
      {"the search's own statuses leave a failure open",
       {kNoBox, Status{LinkStatus::kSearching}, Status{LinkStatus::kConnecting},
        Status{LinkStatus::kNotConnected}},
       {{kFailed, kHint}},
       1},
      {"a failure replaces a loss and brings its hint",
       {kLostOutcome, kNoBox},
       {{kFailed, kHint}},
       1},
      {"a checksum failure replaces a failure without the hint",
       {kNoBox, kDamaged},
       {{kChecksum, ""}},
       1},
      {"saved stays open through the link's statuses",
       {kSavedOutcome, Status{LinkStatus::kConnected, true}, Status{LinkStatus::kNotConnected},
        Status{LinkStatus::kConnected, true}},
       {{kSaved, ""}},
       1},
      {"two saves make one box", {kSavedOutcome, kSavedOutcome}, {{kSaved, ""}}, 1},
      {"a loss replaces saved, and closes on reconnection",
       {kSavedOutcome, Status{LinkStatus::kNotConnected}, kLostOutcome,
        Status{LinkStatus::kConnected, true}},
       {},
       1},
      {"saved replaces a loss box and is no longer closed by connecting",
       {kLostOutcome, kSavedOutcome, Status{LinkStatus::kConnected, true}},
       {{kSaved, ""}},
       1},
      {"after an answer the next outcome opens a new box",
       {kSavedOutcome, Answer{}, kLostOutcome},
       {{kLost, ""}},
       2},
      {"a status without any box opens none", {Status{LinkStatus::kConnected, true}}, {}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedMessageBoxes boxes;
    LinkNotices notices(boxes);
    for (const Step& step : c.steps) {
      if (const auto* message = std::get_if<LinkMessage>(&step)) {
        notices.Show(*message, kHint);
      } else if (const auto* status = std::get_if<Status>(&step)) {
        notices.StatusChanged(status->status, status->view_connected);
      } else {
        boxes.AnswerNotices();
      }
    }
    std::vector<std::pair<QString, QString>> open;
    for (const auto& n : boxes.OpenNotices()) {
      EXPECT_EQ(n.caption, kHintCaption);
      open.emplace_back(n.text, n.hint);
    }
    EXPECT_EQ(open, c.open);
    EXPECT_EQ(notices.open_text(), c.open.empty() ? QString() : c.open.back().first);
    EXPECT_EQ(static_cast<int>(boxes.notices.size()), c.opened);
    EXPECT_EQ(boxes.most_open_notices, c.most_open);
    // Every outcome is still shown to the user: in a box of its own or as the open box's text.
    int outcomes = 0;
    for (const Step& step : c.steps) outcomes += std::holds_alternative<LinkMessage>(step);
    EXPECT_EQ(static_cast<int>(boxes.shown.size()), outcomes);
  }
  // Closed with its owner.
  ScriptedMessageBoxes boxes;
  {
    LinkNotices notices(boxes);
    notices.Show(kLostOutcome);
  }
  EXPECT_TRUE(boxes.OpenNotices().empty());
}

// The link's pacing timer (20 ms) opens the box from its own handler, as HoldTimerTimer does for
// "保存成功!" and "已断开连接!". A QTimer whose handler is still running is not fired again by
// a nested event loop, so a box that waited for its answer there would stop the keepalives and
// the edits until it is answered. The box the program opens must not.
TEST(LinkNotices, TheTimerThatOpenedTheBoxKeepsFiringWhileItIsOpen) {
  struct TimerCase {
    const char* name;
    LinkMessage message;
    QString text;
  };
  const TimerCase cases[] = {{"saved", kSavedOutcome, kSaved},
                             {"lost", kLostOutcome, kLost},
                             {"failed", kDamaged, kChecksum}};
  for (const TimerCase& c : cases) {
    SCOPED_TRACE(c.name);
    // The program's own QMessageBoxes; no search at start-up, so no box but the test's.
    Program program(nullptr, []() -> std::vector<std::string> { throw std::runtime_error(""); });
    ASSERT_EQ(QApplication::activeModalWidget(), nullptr);
    TForm3& host = program.Form3();

    QTimer pacing;
    pacing.setInterval(kHoldPeriodMs);
    int ticks = 0;
    QObject::connect(&pacing, &QTimer::timeout, [&] {
      ++ticks;
      // The same outcome again a few ticks later, as a second loss would be: still one box.
      if (ticks == 1 || ticks == 5) host.ShowMessage(c.message);
    });

    // Read ~300 ms after the box opened, from another timer (inside the box's event loop, had
    // the box one), then answer it.
    int ticks_while_open = -1;
    QString text;
    int message_boxes = 0;
    bool checked = false;
    QTimer::singleShot(kHoldPeriodMs + 300, [&] {
      ticks_while_open = ticks - 1;
      pacing.stop();  // a box that waited is open once
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box != nullptr) {
        text = box->text();
        EXPECT_EQ(box->windowTitle(), kHintCaption);
        EXPECT_EQ(box->icon(), QMessageBox::Information);
        EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
      }
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(widget) != nullptr && widget->isVisible()) ++message_boxes;
      }
      if (box != nullptr) box->button(QMessageBox::Ok)->click();
      checked = true;
    });
    pacing.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return checked; }, 5000));
    pacing.stop();

    EXPECT_EQ(text, c.text);
    EXPECT_EQ(message_boxes, 1);
    // About 15 ticks in 300 ms; a box that waited lets none through.
    EXPECT_GE(ticks_while_open, 5);
    QTest::qWait(1);  // the answered box is deleted
  }
}

}  // namespace
}  // namespace kc

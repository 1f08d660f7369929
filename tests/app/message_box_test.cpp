// The program's message boxes as they open: Qt's buttons in Chinese, wide enough for the window
// manager to show the caption whole, and what to check under "连接失败!".
#include "app/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/application.h"
#include "app/program.h"

namespace kc {
namespace {

struct OpenBox {
  QString title;
  QString text;
  QString informative;
  QStringList buttons;  // without their mnemonics, in the order they are laid out
  int width = 0;
};

// Runs `open`, which shows a modal box (waiting for its answer or not), reads the box while it is
// open and answers it with its first button.
OpenBox ReadWhileOpen(const std::function<void()>& open) {
  OpenBox seen;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    poll.stop();
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.informative = box->informativeText();
    seen.width = box->width();
    QList<QAbstractButton*> buttons = box->buttons();
    std::sort(buttons.begin(), buttons.end(),
              [](QAbstractButton* a, QAbstractButton* b) { return a->x() < b->x(); });
    for (QAbstractButton* button : buttons) {
      // "是(&Y)" and "&Yes" alike: the text without its mnemonic.
      QString text = button->text();
      text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
      text.remove(QLatin1Char('&'));
      seen.buttons << text;
    }
    buttons.front()->click();
  });
  poll.start();
  open();
  // A notice is still open here: it is read from the event loop.
  QElapsedTimer waited;
  waited.start();
  while (poll.isActive() && waited.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return seen;
}

bool QtChineseInstalled() {
  return QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                       QStringLiteral("/qtbase_zh_CN.qm"));
}

TEST(MessageBoxes, ButtonsInChineseAndTheCaptionWhole) {
  if (!QtChineseInstalled()) GTEST_SKIP() << "Qt's Chinese translations are not installed";
  auto* app = qobject_cast<Application*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr);
  EXPECT_TRUE(app->qt_texts_translated());

  QtMessageBoxes boxes([]() -> QWidget* { return nullptr; });
  std::unique_ptr<NoticeBox> notice;
  struct Case {
    const char* name;
    std::function<void()> open;
    QStringList buttons;  // as a right-to-left-neutral set: compared sorted
  };
  const Case cases[] = {
      {"information", [&] { boxes.Information("提示", "保存成功!"); }, {"确定"}},
      {"yes/no", [&] { boxes.YesNo("提示", "确定删除?"); }, {"是", "否"}},
      {"ok/cancel", [&] { boxes.OkCancel("提示", "模式切换?"); }, {"确定", "取消"}},
      {"with a hint", [&] { boxes.InformationWithHint("提示", "连接失败!", "请检查"); }, {"确定"}},
      {"notice", [&] { notice = boxes.Notice("提示", "已断开连接!", ""); }, {"确定"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const OpenBox seen = ReadWhileOpen(c.open);
    EXPECT_EQ(seen.title, "提示");
    QStringList got = seen.buttons;
    QStringList want = c.buttons;
    got.sort();
    want.sort();
    EXPECT_EQ(got, want);
    // A box of a short text alone is about 126 pixels wide, too narrow for the caption beside
    // the window manager's icon and buttons.
    EXPECT_GE(seen.width, 280);
  }
}

TEST(MessageBoxes, ConnectFailedSaysWhatToCheck) {
  Program program(nullptr, [] { return std::vector<std::string>{}; });
  const OpenBox seen = ReadWhileOpen([&] { program.Form3().link().Timer1Timer(); });
  EXPECT_EQ(seen.title, "提示");
  EXPECT_EQ(seen.text, "连接失败!");
  const char* const must_mention[] = {"USB", "dialout", "“离线设备”", "“连接”", "占用"};
  for (const char* part : must_mention) {
    EXPECT_TRUE(seen.informative.contains(QString::fromUtf8(part)))
        << part << " missing from: " << seen.informative.toStdString();
  }
  // Other messages of the link keep their single text.
  const OpenBox other = ReadWhileOpen([&] { program.Form3().ShowMessage({LinkOutcome::kSaved}); });
  EXPECT_EQ(other.text, "保存成功!");
  EXPECT_TRUE(other.informative.isEmpty());
}

// A notice opens and returns at once; while it is open its texts are replaced (the hint comes and
// goes) with the look of the other boxes kept, and it closes when its caller closes it.
TEST(MessageBoxes, NoticeKeepsItsLookWhenItsTextIsReplacedAndClosesOnRequest) {
  QtMessageBoxes boxes([]() -> QWidget* { return nullptr; });
  std::unique_ptr<NoticeBox> notice = boxes.Notice("提示", "已断开连接!", "");
  ASSERT_TRUE(notice->IsOpen());
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  ASSERT_NE(box, nullptr);
  const QPointer<QMessageBox> guard(box);
  EXPECT_EQ(box->windowTitle(), "提示");
  EXPECT_EQ(box->icon(), QMessageBox::Information);
  EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
  struct Step {
    const char* text;
    const char* hint;
  };
  const Step steps[] = {{"连接失败!", "请检查：设备已通电"},
                        {"数据校验错误，连接失败!", ""},
                        {"连接失败!", "请检查：设备已通电"}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.text);
    notice->SetText(QString::fromUtf8(step.text), QString::fromUtf8(step.hint));
    QCoreApplication::processEvents();
    ASSERT_TRUE(notice->IsOpen());
    EXPECT_EQ(QApplication::activeModalWidget(), box);
    EXPECT_EQ(box->text(), QString::fromUtf8(step.text));
    EXPECT_EQ(box->informativeText(), QString::fromUtf8(step.hint));
    EXPECT_GE(box->width(), 280);
  }
  notice->Close();
  EXPECT_FALSE(notice->IsOpen());
  EXPECT_FALSE(box->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  // Answered by the user: no longer open, and its texts are left alone.
  notice = boxes.Notice("提示", "保存成功!", "");
  box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  ASSERT_NE(box, nullptr);
  box->button(QMessageBox::Ok)->click();
  EXPECT_FALSE(notice->IsOpen());
  notice->SetText("已断开连接!", "");
  notice.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// A box opened while a dialog is modal (the list of changes is modal to the editor) belongs to
// the dialog: above it, answered by a click, and closed unanswered when the dialog goes.
TEST(MessageBoxes, ABoxOverAModalDialogBelongsToItAndIsAnswered) {
  QWidget editor;
  editor.show();
  QtMessageBoxes boxes([&]() -> QWidget* { return &editor; });
  const struct {
    const char* name;
    Qt::WindowModality dialog;  // Qt::NonModal: no dialog open
    bool waits;                 // a box that waits for its answer, else a notice
    bool dialog_goes;           // the dialog hides instead of the box being clicked
  } cases[] = {{"notice, nothing modal", Qt::NonModal, false, false},
               {"notice over the list", Qt::WindowModal, false, false},
               {"question over the list", Qt::WindowModal, true, false},
               {"notice over a question", Qt::ApplicationModal, false, false},
               {"question, the list answered", Qt::WindowModal, true, true},
               {"notice, the list answered", Qt::WindowModal, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QDialog dialog(&editor);
    dialog.setWindowModality(c.dialog);
    if (c.dialog != Qt::NonModal) dialog.show();
    QPointer<QMessageBox> seen;
    QTimer::singleShot(0, [&] {
      seen = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(seen, nullptr);
      EXPECT_EQ(seen->parentWidget(), c.dialog != Qt::NonModal ? &dialog : &editor);
      c.dialog_goes ? dialog.hide() : QTest::mouseClick(seen->buttons().front(), Qt::LeftButton);
      // Answered by the click, or gone with its dialog.
      EXPECT_FALSE(seen->isVisible());
      if (seen->isVisible()) seen->done(0);  // a failing run does not wait for ever
    });
    std::unique_ptr<NoticeBox> notice;
    if (c.waits) boxes.YesNo("提示", "发送?");
    if (!c.waits) notice = boxes.Notice("提示", "连接失败!", "");
    QTest::qWait(20);
    EXPECT_FALSE(notice && notice->IsOpen());
  }
}

}  // namespace
}  // namespace kc

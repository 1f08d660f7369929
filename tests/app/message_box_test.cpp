// The program's message boxes as they open: Qt's buttons in Chinese, wide enough for the window
// manager to show the caption whole, and what to check under "连接失败!".
#include "app/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <functional>

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

// Runs `open`, which shows a modal box, reads the box while it is open and answers it with its
// first button.
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

}  // namespace
}  // namespace kc

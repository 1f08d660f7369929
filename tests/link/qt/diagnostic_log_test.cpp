// The diagnostic log's way out: a line reaches the --log file at once, after a time that parses,
// and the category "karaoke.link" when its debug messages are on; a file that cannot be written
// is reported with the system's reason.
#include "link/qt/diagnostic_log.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kc {
namespace {

TEST(DiagnosticLog, EveryLineReachesTheFileAtOnceAfterItsTime) {
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("log.txt")).toStdString();
  std::ofstream(path) << "an earlier run\n";
  DiagnosticLog log;
  std::string error;
  ASSERT_TRUE(log.OpenFile(path, &error)) << error;
  const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
  const QStringList texts = {QStringLiteral("端口无法打开: /dev/ttyUSB0"), QStringLiteral("2:1 0")};
  for (const QString& text : texts) log.Write(text);
  // Read while the log is still open: nothing waits in a buffer for the close.
  std::ifstream in(path);
  const QStringList lines =
      QString::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}))
          .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), texts.size()) << lines.join('|').toStdString();
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const qsizetype space = lines[i].indexOf(QLatin1Char(' '));
    EXPECT_EQ(lines[i].mid(space + 1), texts[i]);
    const QDateTime time = QDateTime::fromString(lines[i].left(space), Qt::ISODateWithMs);
    EXPECT_TRUE(time.isValid()) << lines[i].toStdString();
    EXPECT_EQ(lines[i].mid(19, 1), QStringLiteral("."))
        << "milliseconds: " << lines[i].toStdString();
    EXPECT_TRUE(time >= before && time <= QDateTime::currentDateTime()) << lines[i].toStdString();
  }
}

std::vector<std::string> g_messages;  // "category|text" of each message handled

TEST(DiagnosticLog, TheCategoryGetsEveryLineOnlyWhenItsDebugMessagesAreOn) {
  const std::vector<std::pair<const char*, bool>> cases = {
      {"karaoke.link.debug=true", true},
      {"", false},  // off by default: the log is not printed on every run's terminal
  };
  for (const auto& [rules, received] : cases) {
    QLoggingCategory::setFilterRules(QString::fromLatin1(rules));
    g_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext& context, const QString& text) {
          g_messages.push_back(std::string(context.category ? context.category : "") + "|" +
                               text.toStdString());
        });
    DiagnosticLog().Write(QStringLiteral("丢弃无效帧: FC B1"));
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_messages, received ? std::vector<std::string>{"karaoke.link|丢弃无效帧: FC B1"}
                                   : std::vector<std::string>{})
        << rules;
  }
  QLoggingCategory::setFilterRules(QString());
}

TEST(DiagnosticLog, AFileThatCannotBeWrittenIsReportedWithItsReason) {
  QTemporaryDir dir;
  struct Case {
    std::string path;
    std::string at_open;   // OpenFile's reason; empty when it opens
    std::string at_write;  // standard error after two writes
  };
  const std::vector<Case> cases = {
      {"/no-such-folder/log.txt", "No such file or directory", ""},
      {dir.path().toStdString(), "Is a directory", ""},
      {"/dev/full", "", "the log /dev/full could not be written: No space left on device\n"},
  };
  for (const Case& c : cases) {
    DiagnosticLog log;
    std::string error;
    EXPECT_EQ(log.OpenFile(c.path, &error), c.at_open.empty()) << c.path;
    EXPECT_EQ(error, c.at_open);
    testing::internal::CaptureStderr();
    log.Write(QStringLiteral("first"));
    log.Write(QStringLiteral("second"));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.empty() ? "" : said.substr(said.find(": ") + 2), c.at_write) << "once: " << said;
  }
}

}  // namespace
}  // namespace kc

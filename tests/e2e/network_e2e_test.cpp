// The editor against a box behind a real serial device server (ser2net on 127.0.0.1, in front of
// the box's pseudo-terminal), over raw TCP and over RFC 2217: the download puts the same bytes on
// the box's line as over a cable, an edit reaches the box, and a server that goes away and comes
// back is a line lost and found again with nothing lost.
#include "journey.h"  // first: see there
// clang-format off
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "ui/compare/sync_window.h"
// clang-format on

namespace kc::e2e {
namespace {

enum class Form { kTcp, kTelnet };

struct NetCase {
  const char* name;
  Form form;
};

void PrintTo(const NetCase& c, std::ostream* os) { *os << c.name; }

const NetCase kNetCases[] = {{"RawTcp", Form::kTcp}, {"Rfc2217", Form::kTelnet}};

// A server that closes the line is a loss at once; the editor then leaves its address alone for
// 30 s (a server that went away and one that gave the line to another client look alike).
constexpr int kLossWaitMs = 2000;
constexpr int kBackWaitMs = 45000;

class EditorOverNetwork : public ProgramOnBox, public ::testing::WithParamInterface<NetCase> {
 protected:
  void StartOn(const std::string& port) {
    program_ =
        std::make_unique<Program>(&boxes_, [port] { return std::vector<std::string>{port}; });
    ASSERT_TRUE(WaitFor([&] { return Editor().isVisible(); }, kTransferWaitMs));
    ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown.front().text.toStdString();
    ASSERT_TRUE(LinkQuiet(5000));
  }
  int EchoLevel() { return qobject_cast<QSlider*>(W("EchoEffLevelBar"))->value(); }
};

TEST_P(EditorOverNetwork, SameAsACableAndNothingLostWhenTheServerGoesAway) {
  if (Ser2net::Executable().isEmpty()) GTEST_SKIP() << Ser2net::MissingText();
  ASSERT_TRUE(box_.ok());

  // Over the cable first: what the download puts on the box's line.
  StartOn(box_.path());
  const std::vector<uint8_t> over_cable = box_.received();
  program_.reset();

  Ser2net server(box_.path());
  ASSERT_TRUE(server.Start());
  const std::string address =
      GetParam().form == Form::kTcp ? server.TcpAddress() : server.TelnetAddress();
  const std::size_t before = box_.received().size();
  StartOn(address);
  const std::vector<uint8_t> over_network(box_.received().begin() + static_cast<long>(before),
                                          box_.received().end());
  EXPECT_EQ(over_network, over_cable) << "the download's bytes on the box's line";
  EXPECT_TRUE(BoxFollows());

  // An edit reaches the box.
  Tab(3);
  Key("EchoEffLevelBar", Qt::Key_PageUp);
  EXPECT_TRUE(BoxFollows()) << ImageDifferences(Editor().store(), Box());

  // The server goes away: the line is lost at once; an edit made meanwhile stays pending.
  server.Stop();
  ASSERT_TRUE(WaitFor([&] { return !boxes_.shown.empty(); }, kLossWaitMs));
  EXPECT_EQ(boxes_.texts(), std::vector<QString>{QStringLiteral("已断开连接!")});
  Editor().UpdateLinkState();
  EXPECT_TRUE(Editor().link_state_label()->text().startsWith(QStringLiteral("串口服务器被占用")))
      << Editor().link_state_label()->text().toStdString();
  const int level_before = EchoLevel();
  Key("EchoEffLevelBar", Qt::Key_PageUp);
  const int level_edited = EchoLevel();
  ASSERT_NE(level_edited, level_before);
  EXPECT_EQ(TheLink().PendingCount(), 1);

  // Back: the editor finds the box at the same address by itself, lists the change (the same
  // box: checked), sends it, and the box ends equal to the editor.
  ASSERT_TRUE(server.Start());
  SyncWindow* list = OfferedList(kBackWaitMs);
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->text_label()->text().startsWith(QStringLiteral("编辑器中有 1 项修改设备 ")))
      << list->text_label()->text().toStdString();
  EXPECT_EQ(list->CheckedCount(), 1);
  list->send_button()->click();
  EXPECT_TRUE(LinkQuiet(kTransferWaitMs));
  EXPECT_TRUE(BoxFollows()) << ImageDifferences(Editor().store(), Box());
  Tab(3);
  EXPECT_EQ(EchoLevel(), level_edited);
}

INSTANTIATE_TEST_SUITE_P(Forms, EditorOverNetwork, ::testing::ValuesIn(kNetCases),
                         [](const auto& info) { return std::string(info.param.name); });

// "网络设备..." asks for an address: a malformed one is named with its reason and nothing is
// probed; a good one is connected to at once and kept for the run's later searches.
class NetworkDeviceItem : public ProgramOnBox {};

TEST_F(NetworkDeviceItem, AsksNamesABadAddressAndConnectsToAGoodOne) {
  if (Ser2net::Executable().isEmpty()) GTEST_SKIP() << Ser2net::MissingText();
  ASSERT_TRUE(box_.ok());
  Ser2net server(box_.path());
  ASSERT_TRUE(server.Start());
  // No port at start: the search fails.
  program_ = std::make_unique<Program>(&boxes_, [] { return std::vector<std::string>{}; });
  ASSERT_TRUE(WaitFor([&] { return !boxes_.shown.empty(); }, kTransferWaitMs));
  boxes_.shown.clear();

  // Malformed addresses: each named with its reason in the editor's words, nothing probed.
  const struct {
    const char* typed;
    const char* reason;
  } bad[] = {
      {"rfc2217://127.0.0.1", "缺少端口号"},
      {"udp://box:4001", "只支持 tcp:// 和 rfc2217://"},
      {"tcp://::1:4001", "IPv6 地址须写在方括号中"},
      {"tcp://box:99999", "端口号须在 1 到 65535 之间"},
      {"/dev/ttyUSB0", "不是网络地址"},
  };
  for (const auto& b : bad) {
    SCOPED_TRACE(b.typed);
    boxes_.shown.clear();
    boxes_.text_answers = {QString::fromUtf8(b.typed)};
    program_->Form4().NetworkItem()->trigger();
    ASSERT_EQ(boxes_.shown.size(), 2u);
    EXPECT_EQ(boxes_.shown[0].kind, ScriptedMessageBoxes::Kind::kText);
    EXPECT_EQ(boxes_.shown[1].text,
              QStringLiteral("“%1”不是可用的网络地址：%2。\n请写成 tcp://主机:端口 或 "
                             "rfc2217://主机:端口。")
                  .arg(QString::fromUtf8(b.typed), QString::fromUtf8(b.reason)));
  }
  EXPECT_EQ(box_.received().size(), 0u);

  boxes_.text_answers = {QString::fromStdString(server.TelnetAddress())};
  program_->Form4().NetworkItem()->trigger();
  ASSERT_TRUE(WaitFor([&] { return Editor().isVisible(); }, kTransferWaitMs));
  EXPECT_TRUE(LinkQuiet(5000));
  EXPECT_TRUE(BoxFollows());
  EXPECT_EQ(Editor().ListPorts(), std::vector<std::string>{server.TelnetAddress()});
}

}  // namespace
}  // namespace kc::e2e

// The line to a box behind a serial device server, against a TCP server this test plays: the
// bytes each form puts on the network (the Telnet greeting, 0xFF doubled), what the link reads
// back, and each way a connection fails, named.
#include "pty_box.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "link/qt/network_port.h"
// clang-format on

namespace kc {
namespace {

using Bytes = std::vector<uint8_t>;
using e2e::WaitFor;

// What the server does once the link has connected.
enum class Server { kAnswers, kClosesAtOnce, kRefuses, kNeverAnswers, kNoSuchHost };

struct Case {
  const char* name;
  const char* scheme;
  Server server;
  // What the server receives after the link wrote kFrame before the connection was up, after
  // the Telnet greeting where there is one.
  bool greeting;
  Bytes to_server;
  // What the server sends, and what the link reads of it.
  Bytes from_server;
  Bytes read;
  // The problem in words afterwards ("%1" is the server's port); empty for none.
  std::string problem;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// A frame with the Telnet byte in it, twice.
const Bytes kFrame = {0xFC, 0xB1, 0x06, 0xA7, 0x01, 0x05, 0xFF, 0xFF, 0x5C};
const Bytes kFrameEscaped = {0xFC, 0xB1, 0x06, 0xA7, 0x01, 0x05, 0xFF, 0xFF, 0xFF, 0xFF, 0x5C};

// The Telnet greeting goes first (its bytes are the codec's to check): 64 bytes, opening with
// WILL COM-PORT-OPTION.
constexpr std::size_t kGreetingBytes = 64;
const Bytes kGreetingStart = {0xFF, 0xFB, 0x2C};

// An identity answer holding 0xFF, as the box sends it.
const Bytes kAnswer = {0xFC, 0xB1, 0x08, 0xA0, 0x09, 0x40, 0xFF, 0x31, 0x07, 0xE5, 0xFC};

const Case kCases[] = {
    {"RawTcpPassesBytesAsTheyAre", "tcp", Server::kAnswers, false, kFrame, kAnswer, kAnswer, ""},
    {"TelnetGreetsThenDoublesTheTelnetByteBothWays",
     "rfc2217",
     Server::kAnswers,
     true,
     kFrameEscaped,
     // The server agrees to COM-PORT, reports the baud rate and a modem state between the
     // answer's bytes, and doubles its 0xFF.
     {0xFF, 0xFD, 0x2C, 0xFC, 0xB1, 0x08, 0xA0, 0xFF, 0xFA, 0x2C, 0x65,
      0x00, 0x00, 0xE1, 0x00, 0xFF, 0xF0, 0x09, 0x40, 0xFF, 0xFF, 0x31,
      0xFF, 0xFA, 0x2C, 0x6B, 0x30, 0xFF, 0xF0, 0x07, 0xE5, 0xFC},
     kAnswer,
     ""},
    {"AServerThatClosesIsALostLine",
     "tcp",
     Server::kClosesAtOnce,
     false,
     kFrame,
     {},
     {},
     "127.0.0.1:%1 closed the connection"},
    {"NothingListeningIsRefused",
     "rfc2217",
     Server::kRefuses,
     false,
     {},
     {},
     {},
     "connection refused by 127.0.0.1:%1"},
    {"AHostThatNeverAnswersTimesOutWhenTheLinkGivesUp",
     "tcp",
     Server::kNeverAnswers,
     false,
     {},
     {},
     {},
     "no connection to 127.0.0.1:%1 in time (timed out)"},
    {"AnUnknownHostIsNamed",
     "tcp",
     Server::kNoSuchHost,
     false,
     {},
     {},
     {},
     "unknown host no-such-box.invalid"},
};

class NetworkPortTest : public ::testing::TestWithParam<Case> {};

TEST_P(NetworkPortTest, BytesAndProblems) {
  const Case& c = GetParam();
  QTcpServer server;
  std::unique_ptr<e2e::UnansweredPort> unanswered;
  std::string host = "127.0.0.1";
  quint16 port = 0;
  switch (c.server) {
    case Server::kRefuses:
      ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
      port = server.serverPort();
      server.close();
      break;
    case Server::kNeverAnswers:
      unanswered = std::make_unique<e2e::UnansweredPort>();
      ASSERT_TRUE(unanswered->ok());
      port = unanswered->port();
      break;
    case Server::kNoSuchHost:
      host = "no-such-box.invalid";
      port = 4001;
      break;
    default:
      ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
      port = server.serverPort();
      break;
  }

  NetworkPort line;
  Bytes read;
  line.SetReceiveHandler([&](int count) {
    Bytes chunk(static_cast<std::size_t>(count));
    chunk.resize(line.Read(chunk.data(), chunk.size()));
    read.insert(read.end(), chunk.begin(), chunk.end());
  });
  const std::string name = std::string(c.scheme) + "://" + host + ":" + std::to_string(port);
  ASSERT_TRUE(line.Open(name));
  EXPECT_TRUE(line.IsOpen()) << "open while the connection is made";
  ASSERT_TRUE(line.Write(kFrame.data(), kFrame.size()));

  if (c.server == Server::kAnswers || c.server == Server::kClosesAtOnce) {
    ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }, 3000));
    QTcpSocket* peer = server.nextPendingConnection();
    Bytes got;
    WaitFor(
        [&] {
          const QByteArray more = peer->readAll();
          got.insert(got.end(), more.begin(), more.end());
          return got.size() >= (c.greeting ? kGreetingBytes : 0) + c.to_server.size();
        },
        3000);
    const std::size_t greeting = c.greeting ? kGreetingBytes : 0;
    ASSERT_EQ(got.size(), greeting + c.to_server.size());
    if (c.greeting) EXPECT_EQ(Bytes(got.begin(), got.begin() + 3), kGreetingStart);
    EXPECT_EQ(Bytes(got.begin() + static_cast<long>(greeting), got.end()), c.to_server);
    if (c.server == Server::kClosesAtOnce) {
      peer->close();
    } else {
      peer->write(reinterpret_cast<const char*>(c.from_server.data()),
                  static_cast<qint64>(c.from_server.size()));
      peer->flush();
    }
    if (c.server == Server::kClosesAtOnce) {
      WaitFor([&] { return !line.IsOpen(); }, 3000);
    } else {
      WaitFor([&] { return read.size() >= c.read.size(); }, 3000);
    }
  } else if (c.server == Server::kNeverAnswers) {
    e2e::RunEventLoopFor(700);
    EXPECT_TRUE(line.IsOpen()) << "still trying";
    line.Close();  // the link's next scan tick
  } else {
    WaitFor([&] { return !line.IsOpen(); }, 5000);
  }

  EXPECT_EQ(read, c.read);
  std::string problem = c.problem;
  if (const auto at = problem.find("%1"); at != std::string::npos) {
    problem.replace(at, 2, std::to_string(port));
  }
  EXPECT_EQ(line.problem_text(), problem);
  EXPECT_EQ(line.IsOpen(), c.problem.empty());
}

INSTANTIATE_TEST_SUITE_P(Forms, NetworkPortTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kc

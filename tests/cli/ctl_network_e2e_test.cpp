// karaoke-ctl against a simulated box behind a real serial device server (ser2net on 127.0.0.1 in
// front of box-sim's pseudo-terminal): each network form downloads exactly what a cable does and
// restores with read-back; malformed addresses are usage errors and failed connections name
// their reason.
#include "../e2e/pty_box.h"  // first: see there
#include "ctl_run.h"
// clang-format off
#include <gtest/gtest.h>

#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>
// clang-format on

namespace kc {
namespace {

// The frames of a line recording in order, without their times and port names: "TX FC B1 ...".
std::vector<std::string> Frames(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> frames;
  for (std::string line; std::getline(in, line);) {
    for (const char* direction : {" TX ", " RX "}) {
      if (const auto at = line.find(direction); at != std::string::npos) {
        frames.push_back(line.substr(at + 1));
      }
    }
  }
  return frames;
}

TEST(CtlOverNetwork, EachFormDownloadsWhatACableDoesAndRestoresWithReadBack) {
  if (e2e::Ser2net::Executable().isEmpty()) GTEST_SKIP() << e2e::Ser2net::MissingText();
  e2e::BoxSimProcess box;
  ASSERT_TRUE(box.ok());
  e2e::Ser2net server(box.path());
  ASSERT_TRUE(server.Start());
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());

  const struct {
    const char* form;
    std::string port;
  } forms[] = {
      {"cable", box.path()}, {"tcp", server.TcpAddress()}, {"rfc2217", server.TelnetAddress()}};
  std::string cable_show;
  std::vector<std::string> cable_frames;
  for (const auto& f : forms) {
    SCOPED_TRACE(f.form);
    const std::string recording = dir.filePath(QString::fromLatin1(f.form)).toStdString();
    const CtlRun show = Ctl({"show", Q("port:" + f.port), "--record", Q(recording)});
    ASSERT_EQ(show.exit_code, 0) << show.err;
    const std::vector<std::string> frames = Frames(recording);
    ASSERT_GE(frames.size(), 84u) << "probe and 42 requests, each answered";
    if (cable_frames.empty()) {
      cable_show = show.out;
      cable_frames = frames;
      continue;
    }
    EXPECT_EQ(frames, cable_frames) << "the same frames both ways as over the cable";
    EXPECT_EQ(show.out, cable_show);

    // A restore of what the cable read, with read-back.
    const std::string file = dir.filePath(QStringLiteral("mode.Nddt")).toStdString();
    if (f.form == std::string("tcp")) {
      const CtlRun backup = Ctl({"backup", "--port", Q(box.path()), "-o", dir.path()});
      ASSERT_EQ(backup.exit_code, 0) << backup.err;
      std::istringstream saved(backup.out);
      std::string path;
      std::getline(saved, path);
      ASSERT_TRUE(QFile::rename(Q(path), Q(file)));
    }
    const CtlRun restore = Ctl({"restore", "--port", Q(f.port), Q(file)});
    EXPECT_EQ(restore.exit_code, 0) << restore.err;
    EXPECT_NE(restore.err.find("restore " + f.port + ": verified"), std::string::npos)
        << restore.err;
  }
}

struct AddressCase {
  const char* name;
  QStringList args;  // "%1": a port on 127.0.0.1 where nothing listens
  int exit_code;
  std::string err;  // expected in standard error
  std::string out;  // standard output; ending in "*", how it begins
};

void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }

class CtlAddresses : public ::testing::TestWithParam<AddressCase> {};

TEST_P(CtlAddresses, MalformedIsUsageAndFailureIsNamed) {
  const AddressCase& c = GetParam();
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const QString free_port = QString::number(closed.serverPort());
  closed.close();
  QStringList args;
  for (const QString& arg : c.args) args << QString(arg).replace(QStringLiteral("%1"), free_port);
  const CtlRun run = Ctl(args);
  EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
  std::string err = c.err;
  for (auto at = err.find("%1"); at != std::string::npos; at = err.find("%1")) {
    err.replace(at, 2, free_port.toStdString());
  }
  EXPECT_NE(run.err.find(err), std::string::npos) << run.err;
  std::string out = c.out;
  if (!out.empty() && out.back() == '*') {
    out.pop_back();
    EXPECT_EQ(run.out.substr(0, out.size()), out);
  } else {
    EXPECT_EQ(run.out, out);
  }
}

const AddressCase kAddressCases[] = {
    {"ShowWithoutPortNumber",
     {"show", "port:tcp://127.0.0.1"},
     2,
     "karaoke-ctl show: port tcp://127.0.0.1: no port number (write HOST:PORT)",
     ""},
    {"BackupUnknownScheme",
     {"backup", "--port", "udp://box:4001"},
     2,
     "karaoke-ctl backup: port udp://box:4001: unknown scheme 'udp' (use tcp:// or rfc2217://)",
     ""},
    {"RestoreUnbracketedIpv6",
     {"restore", "--port", "rfc2217://::1:4001", "x.Nddt"},
     2,
     "karaoke-ctl restore: port rfc2217://::1:4001: ",
     ""},
    {"DiffPortOutOfRange",
     {"diff", "port:tcp://h:70000", "port:tcp://h:1"},
     2,
     "port number must be 1 to 65535",
     ""},
    {"PortsListsTheGivenAddressesFirst",
     {"ports", "--port", "rfc2217://[::1]:4001", "--port", "tcp://room-7:5000"},
     0,
     "",
     "rfc2217://[::1]:4001\ntcp://room-7:5000\n*"},
    {"RefusedIsNamed",
     {"show", "port:rfc2217://127.0.0.1:%1"},
     1,
     "show rfc2217://127.0.0.1:%1: FAILED: cannot connect: connection refused by 127.0.0.1:%1",
     ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, CtlAddresses, ::testing::ValuesIn(kAddressCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kc

// karaoke-ctl with a venue file, against simulated boxes on real pseudo-terminals and one behind a
// serial device server: status tells every room's state apart at once (text and JSON), venue and
// usage errors send nothing, and backup, show, diff and restore reach a box by its room's name.
#include "../e2e/pty_box.h"  // first: see there
#include "ctl_run.h"
// clang-format off
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDate>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "box-sim/box_model.h"
#include "modes/mode_file.h"
// clang-format on

namespace kc {
namespace {

namespace fs = std::filesystem;

// Every field between separators, empty ones at the end too.
std::vector<std::string> Fields(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::size_t begin = 0;
  for (auto end = line.find(separator); end != std::string::npos;
       end = line.find(separator, begin)) {
    fields.push_back(line.substr(begin, end - begin));
    begin = end + 1;
  }
  fields.push_back(line.substr(begin));
  return fields;
}

void Write(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string Replaced(std::string text, const std::vector<std::pair<std::string, std::string>>& by) {
  for (const auto& [from, to] : by) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
  }
  return text;
}

bool IsCount(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A port on 127.0.0.1 where nothing listens.
quint16 ClosedPort() {
  QTcpServer server;
  if (!server.listen(QHostAddress::LocalHost)) return 0;
  const quint16 port = server.serverPort();
  server.close();
  return port;
}

// A port held by another program, as a terminal program holds it: open and locked.
struct HeldPort {
  explicit HeldPort(const std::string& path)
      : fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
  }
  ~HeldPort() {
    if (fd >= 0) close(fd);
  }
  int fd;
  bool locked = false;
};

// The mode a factory-fresh simulated box holds, as the text of a mode file.
std::string FactoryModeText() {
  const boxsim::BoxModel box;
  ParameterStore store;
  for (int block = 0; block <= 8; ++block) {
    for (int slot = 0; slot <= InfoOfBlock(block)->device_slots; ++slot) {
      store.SetDevice(block, slot, box.Slot(block, slot));
    }
  }
  return BuildModeText(store);
}

struct Room {
  std::string name;
  std::string port;
  std::string identity_in_file;  // empty: any box
  // What status says of it.
  std::string state;
  std::string identity;
  bool answers;  // a time in milliseconds, or none
};

std::string VenueText(const std::vector<Room>& rooms) {
  std::string text = "name = \"测试 KTV\"\n";
  for (const Room& room : rooms) {
    text += "\n[[room]]\nname = \"" + room.name + "\"\nport = \"" + room.port + "\"\n";
    if (!room.identity_in_file.empty()) text += "identity = \"" + room.identity_in_file + "\"\n";
  }
  return text;
}

TEST(CtlVenue, StatusOfEveryState) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  e2e::BoxSimProcess ok_box;
  e2e::BoxSimProcess network_box;
  e2e::BoxSimProcess silent[] = {e2e::BoxSimProcess({"--silent-after", "0"}),
                                 e2e::BoxSimProcess({"--silent-after", "0"}),
                                 e2e::BoxSimProcess({"--silent-after", "0"})};
  e2e::BoxSimProcess held_box;
  e2e::BoxSimProcess other_box({"--identity", "11223344"});
  ASSERT_TRUE(ok_box.ok() && network_box.ok() && held_box.ok() && other_box.ok());
  for (const auto& box : silent) ASSERT_TRUE(box.ok());
  const HeldPort held(held_box.path());
  ASSERT_TRUE(held.locked);
  const quint16 closed = ClosedPort();
  ASSERT_NE(closed, 0);
  std::unique_ptr<e2e::Ser2net> server;
  if (!e2e::Ser2net::Executable().isEmpty()) {
    server = std::make_unique<e2e::Ser2net>(network_box.path());
    ASSERT_TRUE(server->Start());
  } else {
    std::printf("%s: the room behind ser2net is left out\n", e2e::Ser2net::MissingText());
  }

  // Three silent rooms: one after another they would take longer than the bound below.
  std::vector<Room> rooms = {
      {"ok", ok_box.path(), "4B3107E5", "ok", "4B3107E5", true},
      {"silent 1", silent[0].path(), "", "no answer", "", false},
      {"silent 2", silent[1].path(), "4B3107E5", "no answer", "", false},
      {"silent 3", silent[2].path(), "", "no answer", "", false},
      {"busy", held_box.path(), "", "busy", "", false},
      {"unplugged", dir.filePath("ttyUSB9").toStdString(), "", "unreachable", "", false},
      {"refused", "tcp://127.0.0.1:" + std::to_string(closed), "", "refused", "", false},
      {"wrong box", other_box.path(), "4B3107E5", "another box", "11223344", true},
  };
  if (server) {
    rooms.insert(rooms.begin() + 1,
                 {"ok over rfc2217", server->TelnetAddress(), "", "ok", "4B3107E5", true});
  }
  const std::string venue = dir.filePath("venue.toml").toStdString();
  Write(venue, VenueText(rooms));

  const CtlRun text = Ctl({"status", "--venue", Q(venue)});
  EXPECT_EQ(text.exit_code, 1) << text.err;
  EXPECT_LT(text.wall_ms, 3000) << "every room is looked at at once";
  std::printf("status of %zu rooms at once: %lld ms wall\n", rooms.size(),
              static_cast<long long>(text.wall_ms));
  const CtlRun json = Ctl({"status", "--venue", Q(venue), "--json"});
  EXPECT_EQ(json.exit_code, 1) << json.err;
  QJsonParseError error{};
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray::fromStdString(json.out), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out;
  const QJsonArray array = document.array();
  const std::vector<std::string> lines = Lines(text.out);
  ASSERT_EQ(lines.size(), rooms.size()) << text.out;
  ASSERT_EQ(array.size(), static_cast<qsizetype>(rooms.size())) << json.out;
  for (std::size_t i = 0; i < rooms.size(); ++i) {
    const Room& room = rooms[i];
    SCOPED_TRACE(room.name);
    // Text: room, port, state, identity, ms (a count, or nothing without an answer).
    const std::vector<std::string> columns = Fields(lines[i], '\t');
    ASSERT_EQ(columns.size(), 5u) << lines[i];
    EXPECT_EQ((std::vector<std::string>(columns.begin(), columns.begin() + 4)),
              (std::vector<std::string>{room.name, room.port, room.state, room.identity}));
    EXPECT_EQ(room.answers ? IsCount(columns[4]) : columns[4].empty(), true) << lines[i];
    // The reason of every room that is not ok, and of no other.
    const std::string reason = "status " + room.name + " (" + room.port + "): " + room.state + ": ";
    EXPECT_EQ(text.err.find(reason) != std::string::npos, room.state != "ok") << text.err;
    // JSON: the same, with ms null without an answer.
    const QJsonObject object = array[static_cast<qsizetype>(i)].toObject();
    EXPECT_EQ(object.keys(), (QStringList{"identity", "ms", "port", "room", "state"}));
    EXPECT_EQ(
        (std::vector<std::string>{
            object["room"].toString().toStdString(), object["port"].toString().toStdString(),
            object["state"].toString().toStdString(), object["identity"].toString().toStdString()}),
        (std::vector<std::string>{room.name, room.port, room.state, room.identity}));
    EXPECT_EQ(room.answers ? object["ms"].isDouble() : object["ms"].isNull(), true) << json.out;
  }

  // The answering rooms alone, in the order named.
  QStringList only_ok = {"status", "--venue", Q(venue)};
  std::vector<std::string> ok_names;
  for (auto room = rooms.rbegin(); room != rooms.rend(); ++room) {
    if (room->state != "ok") continue;
    only_ok << "--room" << Q(room->name);
    ok_names.push_back(room->name);
  }
  const CtlRun ok = Ctl(only_ok);
  EXPECT_EQ(ok.exit_code, 0) << ok.err;
  EXPECT_EQ(ok.err, "");
  const std::vector<std::string> ok_lines = Lines(ok.out);
  ASSERT_EQ(ok_lines.size(), ok_names.size()) << ok.out;
  for (std::size_t i = 0; i < ok_names.size(); ++i) {
    EXPECT_EQ(ok_lines[i].rfind(ok_names[i] + "\t", 0), 0u) << ok.out;
    EXPECT_NE(ok_lines[i].find("\tok\t4B3107E5\t"), std::string::npos) << ok.out;
  }
}

// A usage or venue-file error sends nothing to any box; a key the reader does not know only
// warns. In every text: %V the venue file, %P a box's port, %M a mode file, %D a folder.
TEST(CtlVenue, UsageAndFileErrors) {
  const struct {
    const char* name;
    const char* venue;
    QStringList args;
    int exit_code;
    const char* err;  // expected in standard error
    const char* out;  // standard output, how it begins
  } cases[] = {
      {"NotToml",
       "[[room]\nname = \"VIP 1\"\nport = \"%P\"\n",
       {"status", "--venue", "%V"},
       2,
       "karaoke-ctl: %V:1:8: not TOML: ",
       ""},
      {"UnknownRoom",
       "[[room]]\nname = \"VIP 1\"\nport = \"%P\"\n",
       {"status", "--venue", "%V", "--room", "VIP 1", "--room", "VIP 2"},
       2,
       "karaoke-ctl status: no room 'VIP 2' in %V\n",
       ""},
      {"RoomWithoutVenue",
       "",
       {"backup", "--room", "VIP 1", "--port", "%P", "-o", "%D"},
       2,
       "karaoke-ctl backup: --room needs --venue FILE\n",
       ""},
      {"RestoreOfAWholeVenue",
       "[[room]]\nname = \"VIP 1\"\nport = \"%P\"\n",
       {"restore", "--venue", "%V", "%M"},
       2,
       "karaoke-ctl restore: with --venue, name the rooms with --room NAME",
       ""},
      {"RoomSideWithoutVenue",
       "",
       {"show", "room:VIP 1"},
       2,
       "karaoke-ctl show: room:NAME needs --venue FILE\n",
       ""},
      {"DiffOfAnUnknownRoom",
       "[[room]]\nname = \"VIP 1\"\nport = \"%P\"\n",
       {"diff", "room:VIP 1", "room:VIP 2", "--venue", "%V"},
       2,
       "karaoke-ctl diff: no room 'VIP 2' in %V\n",
       ""},
      {"UnknownKeysOnlyWarn",
       "owner = \"Li\"\n[[room]]\nname = \"VIP 1\"\nport = \"%P\"\nfloor = 3\n",
       {"status", "--venue", "%V"},
       0,
       "karaoke-ctl: %V:1:1: unknown key 'owner' (ignored)\n"
       "karaoke-ctl: %V:5:1: unknown key 'floor' (ignored)\n",
       "VIP 1\t%P\tok\t4B3107E5\t"},
  };
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string mode = dir.filePath("factory.Nddt").toStdString();
  Write(mode, FactoryModeText());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    e2e::PtyBox box;
    ASSERT_TRUE(box.ok());
    const std::string venue = dir.filePath(QString::fromLatin1(c.name) + ".toml").toStdString();
    const std::vector<std::pair<std::string, std::string>> by = {
        {"%V", venue}, {"%P", box.path()}, {"%M", mode}, {"%D", dir.filePath("out").toStdString()}};
    if (*c.venue != '\0') Write(venue, Replaced(c.venue, by));
    QStringList args;
    for (const QString& arg : c.args) args << Q(Replaced(arg.toStdString(), by));

    const CtlRun run = Ctl(args);
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_NE(run.err.find(Replaced(c.err, by)), std::string::npos) << run.err;
    const std::string out = Replaced(c.out, by);
    if (out.empty()) {
      EXPECT_EQ(run.out, "");
    } else {
      EXPECT_EQ(run.out.substr(0, out.size()), out);
    }
    EXPECT_EQ(box.received().empty(), c.exit_code == 2) << "an error sends nothing";
  }
  EXPECT_FALSE(fs::exists(dir.filePath("out").toStdString())) << "no backup folder was made";
}

TEST(CtlVenue, BackupShowAndDiffByRoom) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  e2e::BoxSimProcess vip;
  e2e::BoxSimProcess hall;
  ASSERT_TRUE(vip.ok() && hall.ok());
  const std::string venue = dir.filePath("venue.toml").toStdString();
  Write(venue, "[[room]]\nname = \"VIP 1\"\nport = \"" + vip.path() +
                   "\"\nidentity = \"4b3107e5\"\n\n[[room]]\nname = \"大厅/2\"\nport = \"" +
                   hall.path() + "\"\n");
  const fs::path out = dir.filePath("out").toStdString();
  const std::string date = QDate::currentDate().toString("yyyy-MM-dd").toStdString();

  const CtlRun backup =
      Ctl({"backup", "--format", "nddt", "--venue", Q(venue), "-o", Q(out.string())});
  ASSERT_EQ(backup.exit_code, 0) << backup.err;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(out))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  const std::vector<std::string> expected = {"VIP 1_4B3107E5_" + date + ".Nddt",
                                             "大厅_2_4B3107E5_" + date + ".Nddt"};
  EXPECT_EQ(names, expected);
  std::vector<std::string> printed = Lines(backup.out);
  std::sort(printed.begin(), printed.end());
  EXPECT_EQ(printed,
            (std::vector<std::string>{(out / expected[0]).string(), (out / expected[1]).string()}));
  EXPECT_NE(backup.err.find("backup 大厅/2 (" + hall.path() + "): box 4B3107E5 saved to " +
                            (out / expected[1]).string()),
            std::string::npos)
      << backup.err;

  // The room's name reaches its own box: the recording holds its port alone.
  const std::string recording = dir.filePath("show.rec").toStdString();
  const CtlRun by_room = Ctl({"show", "room:VIP 1", "--venue", Q(venue), "--record", Q(recording)});
  ASSERT_EQ(by_room.exit_code, 0) << by_room.err;
  const CtlRun by_port = Ctl({"show", Q("port:" + vip.path())});
  ASSERT_EQ(by_port.exit_code, 0) << by_port.err;
  EXPECT_EQ(by_room.out, by_port.out);
  EXPECT_GT(Lines(by_room.out).size(), 100u);
  std::ifstream recorded(recording);
  int frames = 0;
  for (std::string line; std::getline(recorded, line);) {
    if (line.empty() || line[0] == '#') continue;
    ++frames;
    EXPECT_EQ(Fields(line, ' ').at(1), vip.path()) << line;
  }
  EXPECT_GE(frames, 84) << "probe and 42 requests, each answered";

  const CtlRun diff = Ctl({"diff", "room:VIP 1", "room:大厅/2", "--venue", Q(venue)});
  EXPECT_EQ(diff.exit_code, 0) << diff.err;
  EXPECT_EQ(diff.out, "no differences\n");

  const CtlRun restore =
      Ctl({"restore", "--venue", Q(venue), "--room", "VIP 1", Q((out / expected[0]).string())});
  EXPECT_EQ(restore.exit_code, 0) << restore.err;
  EXPECT_NE(restore.err.find("restore VIP 1 (" + vip.path() + "): verified"), std::string::npos)
      << restore.err;
  EXPECT_NE(restore.err.find("restore: 1 of 1 box verified"), std::string::npos) << restore.err;
  EXPECT_EQ(restore.err.find("大厅"), std::string::npos) << "the other room is left alone";
}

// A room holding another box than the venue file names: backup and restore both refuse it
// after the download, and nothing is sent to it or saved of it.
// Paths of the boxes one box-sim serves with --count.
std::vector<std::string> Paths(QProcess& sim, std::size_t count) {
  std::vector<std::string> paths;
  e2e::WaitFor(
      [&] {
        while (sim.canReadLine()) paths.push_back(sim.readLine().trimmed().toStdString());
        return paths.size() >= count;
      },
      10000);
  return paths;
}

// 100 rooms under a limit of 64 descriptors: looks wait for their turn and every room gets its
// true state; a box that never gives its identity and one that floods its line are no answer in
// time, and a name's control characters reach the terminal escaped.
TEST(CtlVenue, ManyRoomsUnderALowDescriptorLimit) {
  QProcess sims[3];
  const QStringList switches[3] = {{"98"}, {"1", "--no-identity"}, {"1", "--flood", "10000000"}};
  std::vector<std::string> paths;
  for (int i = 0; i < 3; ++i) {
    sims[i].start(QStringLiteral(BOX_SIM_PATH), QStringList{"--count"} + switches[i]);
    for (const std::string& path : Paths(sims[i], switches[i][0].toUInt())) paths.push_back(path);
  }
  ASSERT_EQ(paths.size(), 100u);
  QTemporaryDir dir;
  const std::string venue = dir.filePath("venue.toml").toStdString();
  std::string text;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string name = i == 0 ? "\\u001b[2J\\nrow" : "room " + std::to_string(i);
    text += "[[room]]\nname = \"" + name + "\"\nport = \"" + paths[i] + "\"\n";
  }
  Write(venue, text);
  const CtlRun run = Ctl({"status", "--venue", Q(venue)}, [] {
    const rlimit limit{64, 64};
    setrlimit(RLIMIT_NOFILE, &limit);
  });
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_LT(run.wall_ms, 6000) << "the box without an identity is given up in 1.5 s";
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), paths.size()) << run.out;
  EXPECT_EQ(lines[0].rfind("\\x1b[2J\\nrow\t" + paths[0] + "\tok\t", 0), 0u) << lines[0];
  for (std::size_t i = 1; i < paths.size(); ++i) {
    const std::string state = i < 98 ? "\tok\t" : "\tno answer\t";
    EXPECT_EQ(lines[i].rfind("room " + std::to_string(i) + '\t' + paths[i] + state, 0), 0u);
  }
  for (const std::string& reason : {"98 (" + paths[98] +
                                        "): no answer: the box answered the probe "
                                        "but not the identity read\n",
                                    "99 (" + paths[99] + "): no answer: the line sent "}) {
    EXPECT_NE(run.err.find("status room " + reason), std::string::npos) << run.err;
  }
  for (QProcess& sim : sims) sim.kill(), sim.waitForFinished(5000);
}

TEST(CtlVenue, AnotherBoxInARoomIsNeitherSavedNorRestored) {
  e2e::BoxSimProcess stranger({QStringLiteral("--identity"), QStringLiteral("11223344")});
  ASSERT_TRUE(stranger.ok());
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const fs::path venue = fs::path(dir.path().toStdString()) / "venue.toml";
  Write(venue, VenueText({{"VIP 1", stranger.path(), "4B3107E5", "", "", false}}));
  const fs::path mode = fs::path(dir.path().toStdString()) / "mode.Nddt";
  Write(mode, FactoryModeText());
  const fs::path saved = fs::path(dir.path().toStdString()) / "saved";
  const struct {
    const char* command;
    QStringList args;
  } commands[] = {
      {"backup", {"backup", "--venue", Q(venue.string()), "-o", Q(saved.string())}},
      {"restore",
       {"restore", "--venue", Q(venue.string()), "--room", "VIP 1", Q(mode.string()), "--record",
        Q((fs::path(dir.path().toStdString()) / "line.txt").string())}},
  };
  for (const auto& c : commands) {
    SCOPED_TRACE(c.command);
    const CtlRun run = Ctl(c.args);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_NE(run.err.find("VIP 1 (" + stranger.path() +
                           "): FAILED: another box: 11223344 where 4B3107E5 belongs"),
              std::string::npos)
        << run.err;
  }
  std::error_code ec;
  EXPECT_TRUE(!fs::exists(saved, ec) || fs::is_empty(saved, ec)) << "no file of the other box";
  // The restore's recording: the download went out, and no write-block frame (id 09 0F).
  std::ifstream line(fs::path(dir.path().toStdString()) / "line.txt");
  std::string text((std::istreambuf_iterator<char>(line)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find(" TX FC B1 04 A0 09 40"), std::string::npos) << "the identity was read";
  std::istringstream lines(text);
  for (std::string frame; std::getline(lines, frame);) {
    if (frame.find(" TX ") == std::string::npos) continue;
    EXPECT_EQ(frame.find(" A7 09 0F "), std::string::npos) << "a block written: " << frame;
  }
}

}  // namespace
}  // namespace kc

#include "venue/venue_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace kc {
namespace {

using Lines = std::vector<std::string>;

// Rooms as "name|port|identity|line", so that whole results compare as lists of strings.
Lines Rows(const std::vector<VenueRoom>& rooms) {
  Lines rows;
  for (const VenueRoom& r : rooms) {
    rows.push_back(r.name + "|" + r.port + "|" + r.identity + "|" + std::to_string(r.line));
  }
  return rows;
}

// The head of a room named A, and a port for it.
#define ROOM_A "[[room]]\nname = \"A\"\n"
#define PORT "port = \"p\"\n"

TEST(ParseVenue, ReportsTheFirstErrorInTheTextWithItsPlace) {
  const std::string array = "'room' is not an array of tables (write each room as [[room]])";
  // text, error
  const std::pair<std::string, std::string> cases[] = {
      {"name = \n", "1:8: not TOML: Error while parsing key-value pair: expected value, saw '\\n'"},
      {"name = 3\n", "1:8: venue name is not a string"},
      {"[room]\nname = \"A\"\n", "1:1: " + array},
      {"room = [{name = \"A\", port = \"p\"}, 3]\n", "1:35: " + array},
      {"[[room]]\n" PORT, "1:1: room without a name"},
      {"\n[[room]]\n", "2:1: room without a name"},  // not also "without a port"
      {ROOM_A, "1:1: room 'A' without a port"},
      {"[[room]]\nname = \"\"\n" PORT, "2:8: room with an empty name"},
      {ROOM_A "port = \"\"\n", "3:8: room 'A' with an empty port"},
      {"[[room]]\nname = 1\n" PORT, "2:8: room name is not a string"},
      {ROOM_A "port = [\"p\"]\n", "3:8: room 'A': port is not a string"},
      {ROOM_A PORT "identity = 0x4B3107E5\n", "4:12: room 'A': identity is not a string"},
      {ROOM_A PORT ROOM_A "port = \"q\"\n", "5:8: second room named 'A' (first at line 1)"},
      {ROOM_A "port = \"tcp://box\"\n",
       "3:8: room 'A': port 'tcp://box' is not a port: no port number (write HOST:PORT)"},
      {ROOM_A PORT "identity = \"4B3107E\"\n",
       "4:12: room 'A': identity '4B3107E' is not 8 hexadecimal digits"},
      {ROOM_A PORT "identity = \"4B3107EG\"\n",
       "4:12: room 'A': identity '4B3107EG' is not 8 hexadecimal digits"},
      {ROOM_A "identity = \"\"\nport = \"udp://b:1\"\n",  // the earlier of two errors
       "3:12: room 'A': identity '' is not 8 hexadecimal digits"},
      {"room = [{name = \"大厅\", port = \"\"}]\n", "1:30: room '大厅' with an empty port"},
      // Two rooms on one port, unless both share the box on purpose.
      {ROOM_A PORT "[[room]]\nname = \"B\"\n" PORT,
       "6:8: rooms 'A' and 'B' are both on port 'p' (one box cannot serve two rooms; if they "
       "share it, write shared = true in both)"},
      {ROOM_A "port = \"tcp://h:1\"\nshared = true\n[[room]]\nname = \"B\"\n"
              "port = \"RFC2217://h:1\"\n",
       "7:8: rooms 'A' and 'B' are both on port 'RFC2217://h:1' (one box cannot serve two rooms; "
       "if they share it, write shared = true in both)"},
      {ROOM_A PORT "shared = \"yes\"\n", "4:10: room 'A': shared is not true or false"},
      {ROOM_A PORT "baseline = 1\n", "4:12: room 'A': baseline is not a string"},
      {ROOM_A PORT "baseline = \"a/.kbox\"\n",
       "4:12: room 'A': baseline 'a/.kbox' is neither a box backup (.kbox) nor a mode file "
       "(.Nddt)"},
      {ROOM_A PORT "baseline = \"a.toml\"\n",
       "4:12: room 'A': baseline 'a.toml' is neither a box backup (.kbox) nor a mode file (.Nddt)"},
      {"keep = 0\n", "1:8: keep is not a whole number of at least 1"},
      {"keep = 2.5\n", "1:8: keep is not a whole number of at least 1"},
      {"backups = \"\"\n", "1:11: backups is empty (leave it out for the default, backups)"},
      {"backups = [\"b\"]\n", "1:11: backups is not a string"},
  };
  for (const auto& [text, error] : cases) {
    std::string got;
    EXPECT_FALSE(ParseVenue(text, "v.toml", &got).has_value()) << text;
    EXPECT_EQ(got, "v.toml:" + error) << text;
  }
}

TEST(ParseVenue, ReadsGoodFilesWithTheirWarningsInFileOrder) {
  // text, or "@" and a path; venue name, rooms, warnings
  const std::pair<std::string, Lines> cases[] = {
      {"name = \"星光 KTV\"\nzz = 1\n[[room]]\nname = \"VIP 1\"\nport = \"rfc2217://h:4001\"\n"
       "identity = \"4b3107e5\"\naa = \"x\"\n\n  [[room]]\nname = \"大厅\"\nport = \"COM3\"\n",
       {"星光 KTV", "VIP 1|rfc2217://h:4001|4B3107E5|3", "大厅|COM3||9",
        "v.toml:2:1: unknown key 'zz' (ignored)", "v.toml:7:1: unknown key 'aa' (ignored)"}},
      {"", {""}},
      {"[[room]]\nname = \"A\"\nport = \"/dev/ttyUSB0\"\nshared = true\n[[room]]\nname = \"B\"\n"
       "port = \"/dev/ttyUSB0\"\nshared = true\n",
       {"", "A|/dev/ttyUSB0||1", "B|/dev/ttyUSB0||5"}},
      {"@" KC_VENUE_EXAMPLE,
       {"星光 KTV", "VIP 1|rfc2217://192.168.1.21:4001|4B3107E5|10",
        "VIP 2|tcp://192.168.1.22:4001|4B3107E6|16", "小包 3|rfc2217://[fd00::23]:4001||21",
        "大厅|/dev/ttyUSB0||25", "花园 A|tcp://192.168.1.30:4001||30",
        "花园 B|tcp://192.168.1.30:4001||35"}},
  };
  for (const auto& [text, expected] : cases) {
    std::string error;
    const std::optional<Venue> venue = text.starts_with("@") ? ReadVenueFile(text.substr(1), &error)
                                                             : ParseVenue(text, "v.toml", &error);
    ASSERT_TRUE(venue.has_value()) << error;
    Lines got = Rows(venue->rooms);
    got.insert(got.begin(), venue->name);
    got.insert(got.end(), venue->warnings.begin(), venue->warnings.end());
    EXPECT_EQ(got, expected) << text;
  }
}

TEST(ReadVenueFile, RefusesFilesItCannotReadOrThatAreOver1MiB) {
  const std::string folder = testing::TempDir();
  const std::string file = folder + "kc-venue-" + std::to_string(getpid()) + ".toml";
  // path, bytes of comment written there first (or none), error
  const std::tuple<std::string, int, std::string> cases[] = {
      {file + ".none", -1, file + ".none: cannot read: No such file or directory"},
      {folder, -1, folder + ": cannot read: Is a directory"},
      {file, 1048576, ""},  // a comment of exactly 1 MiB
      {file, 1048577, file + ": too large (over 1 MiB)"},
  };
  for (const auto& [path, bytes, expected] : cases) {
    if (bytes >= 0) std::ofstream(path) << "# " << std::string(bytes - 3, 'x') << "\n";
    std::string error;
    EXPECT_EQ(ReadVenueFile(path, &error).has_value(), expected.empty()) << path;
    EXPECT_EQ(error, expected);
  }
  std::remove(file.c_str());
}

TEST(SelectRooms, KeepsTheOrderNamedOnceEachAndNamesTheFirstUnknownRoom) {
  const Venue venue{"", {{"A", "p", "", 1}, {"B", "q", "", 4}}, {}};
  // names; rooms, or the error
  const std::pair<Lines, Lines> cases[] = {
      {{"B", "A"}, {"B|q||4", "A|p||1"}},
      {{"A", "B", "A"}, {"A|p||1", "B|q||4"}},
      {{}, {}},
      {{"A", "C", "D"}, {"no room 'C' in v.toml"}},
  };
  for (const auto& [names, expected] : cases) {
    std::string error;
    const auto rooms = SelectRooms(venue, names, "v.toml", &error);
    EXPECT_EQ(rooms ? Rows(*rooms) : Lines{error}, expected);
    EXPECT_EQ(error.empty(), rooms.has_value());
  }
}

TEST(SafeFileName, ReplacesWhatAFileNameCannotHold) {
  const std::pair<const char*, const char*> cases[] = {
      {"VIP 1", "VIP 1"},
      {"a/b:c", "a_b_c"},
      {"大厅", "大厅"},
      {"..", "_"},
      {".", "_"},
      {"", "_"},
      {" x.", "_x_"},
      {"tab\there", "tab_here"},
      {"\\*?\"<>|\x7f\x1f", "_________"},
      {"...", "___"},
      {" .a.b c. ", "__a.b c__"},
  };
  for (const auto& [name, safe] : cases) EXPECT_EQ(SafeFileName(name), safe) << name;
}

// Where a room's baseline and backups are, from the venue file's own folder.
TEST(RoomPaths, TakeRelativeNamesFromTheVenueFilesFolder) {
  // venue file, its text; per room "baseline|backup folder", then keep
  const std::tuple<std::string, std::string, Lines> cases[] = {
      {"/etc/karaoke/venue.toml",
       ROOM_A PORT "[[room]]\nname = \"B/..\"\nport = \"q\"\n",
       {"/etc/karaoke/baselines/A.kbox|/etc/karaoke/backups/A",
        "/etc/karaoke/baselines/B___.kbox|/etc/karaoke/backups/B___", "10"}},
      {"venue.toml",
       "backups = \"/var/backups/ktv\"\nkeep = 3\n" ROOM_A PORT "baseline = \"x/a.Nddt\"\n",
       {"./x/a.Nddt|/var/backups/ktv/A", "3"}},
      {"v/venue.toml",
       "backups = \"old\"\n" ROOM_A PORT "baseline = \"/srv/A.KBOX\"\n",
       {"/srv/A.KBOX|v/old/A", "10"}},
  };
  for (const auto& [path, text, expected] : cases) {
    std::string error;
    const std::optional<Venue> venue = ParseVenue(text, path, &error);
    ASSERT_TRUE(venue.has_value()) << error;
    Lines got;
    for (const VenueRoom& room : venue->rooms) {
      got.push_back(RoomBaselinePath(path, room).string() + "|" +
                    RoomBackupFolder(path, *venue, room).string());
    }
    got.push_back(std::to_string(venue->keep));
    EXPECT_EQ(got, expected) << text;
  }
}

}  // namespace
}  // namespace kc

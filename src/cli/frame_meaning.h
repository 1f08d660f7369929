// Reading a line recording back: each line split into its parts, and each frame told in words
// (command, identifier, value, block), as `karaoke-ctl decode` prints them. Standard library only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/output_format.h"

namespace kc::cli {

// One line of a recording: "<time> <port> TX|RX <hex bytes>" or "<time> <port> <note>".
struct RecordedLine {
  std::string time;
  std::string port;
  std::string direction;  // "TX", "RX", or empty for a note
  std::vector<uint8_t> bytes;
  std::string note;  // OPEN, CLOSE, OPEN-FAILED, WRITE-FAILED
};

// nullopt for a comment, an empty line or a line that is not a recording line.
std::optional<RecordedLine> ParseRecordedLine(std::string_view line);
// True for a line that carries nothing (empty or a "#" comment).
bool IsBlankOrComment(std::string_view line);

// What a frame means. `sent` is true for a frame the PC sent, false for one the box sent.
std::string DescribeFrame(const std::vector<uint8_t>& bytes, bool sent);

// The decode output of one line: direction, time, port, hex and meaning.
std::string DecodeLine(const RecordedLine& line);
// The same for decode --json: time (seconds, as recorded), port, direction ("TX", "RX" or
// "note"), bytes in hexadecimal (empty for a note) and meaning (a note's word).
JsonObject DecodeJson(const RecordedLine& line);

}  // namespace kc::cli

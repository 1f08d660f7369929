// How karaoke-ctl words what it prints: counts with their noun in the right number, and JSON.
// Every command that prints JSON builds it here, one way: objects of one line each, in a list
// under the document's own fields. Standard library only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kc::cli {

// "1 box", "2 boxes", "0 boxes".
std::string CountText(std::size_t count, std::string_view one, std::string_view many);
// The noun alone, in the number `count` asks for ("1 of 3 boxes").
std::string_view NounFor(std::size_t count, std::string_view one, std::string_view many);

// Text for a terminal or a tab-separated line: control characters (C0, DEL, and C1 written as
// UTF-8) escaped as \n, \t, \r or \xHH (C1: \u0080..\u009f), so that a name can neither
// drive the terminal nor split a row. Everything else, bytes that are not UTF-8 too, passes.
std::string Printable(std::string_view text);

// A JSON string literal of UTF-8 text.
std::string JsonString(const std::string& text);

// A JSON object whose fields keep the order they were added in.
class JsonObject {
 public:
  JsonObject& Text(std::string_view key, const std::string& value);
  JsonObject& Number(std::string_view key, int64_t value);
  JsonObject& Null(std::string_view key);
  // On one line: {"key": value, ...}.
  std::string Line() const;
  // One field a line, indented by two spaces; `last` (a list, written already) after them.
  std::string Block(std::string_view last_key, const std::string& last) const;

 private:
  std::vector<std::pair<std::string, std::string>> fields_;  // key, value as JSON
};

// A list with one object a line, its closing bracket at `indent` spaces.
std::string JsonList(const std::vector<JsonObject>& items, int indent);

// The document show, diff and decode print: the head's fields, then the list under `list_key`.
std::string JsonDocument(const JsonObject& head, std::string_view list_key,
                         const std::vector<JsonObject>& items);

}  // namespace kc::cli

#include "cli/output_format.h"

#include <cstdio>

namespace kc::cli {

std::string_view NounFor(std::size_t count, std::string_view one, std::string_view many) {
  return count == 1 ? one : many;
}

std::string CountText(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(NounFor(count, one, many));
}

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    char escaped[8];
    if (byte == '\n' || byte == '\t' || byte == '\r') {
      out += '\\';
      out += byte == '\n' ? 'n' : byte == '\t' ? 't' : 'r';
    } else if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    } else if (byte == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(text[++i]));
      out += escaped;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
      out += escaped;
    } else {
      out += c;  // UTF-8 passes as it is
    }
  }
  return out + "\"";
}

JsonObject& JsonObject::Text(std::string_view key, const std::string& value) {
  fields_.emplace_back(std::string(key), JsonString(value));
  return *this;
}

JsonObject& JsonObject::Number(std::string_view key, int64_t value) {
  fields_.emplace_back(std::string(key), std::to_string(value));
  return *this;
}

JsonObject& JsonObject::Null(std::string_view key) {
  fields_.emplace_back(std::string(key), "null");
  return *this;
}

std::string JsonObject::Line() const {
  std::string out = "{";
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    out += (i == 0 ? "" : ", ") + JsonString(fields_[i].first) + ": " + fields_[i].second;
  }
  return out + "}";
}

std::string JsonObject::Block(std::string_view last_key, const std::string& last) const {
  std::string out = "{";
  for (const auto& [key, value] : fields_) out += "\n  " + JsonString(key) + ": " + value + ",";
  return out + "\n  " + JsonString(std::string(last_key)) + ": " + last + "\n}";
}

std::string JsonList(const std::vector<JsonObject>& items, int indent) {
  const std::string margin(static_cast<std::size_t>(indent), ' ');
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    out += (i == 0 ? "\n" : ",\n") + margin + "  " + items[i].Line();
  }
  return out + "\n" + margin + "]";
}

std::string JsonDocument(const JsonObject& head, std::string_view list_key,
                         const std::vector<JsonObject>& items) {
  return head.Block(list_key, JsonList(items, 2)) + "\n";
}

}  // namespace kc::cli

#include "json_writer.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace grabline::tool {
namespace {

// Length of the valid UTF-8 sequence at the start of `text`, or 0 if it is not one
// (overlong forms, surrogates and code points above U+10FFFF included).
size_t Utf8Length(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  size_t length = 0;
  uint32_t code = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(text[k]);
    if ((byte & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte & 0x3F);
  }
  if (length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) return 0;
  if (length == 4 && (code < 0x10000 || code > 0x10FFFF)) return 0;
  return length;
}

void AppendEscaped(std::string_view text, std::string *out) {
  out->push_back('"');
  while (!text.empty()) {
    const char c = text[0];
    const auto byte = static_cast<unsigned char>(c);
    size_t length = Utf8Length(text);
    if (length == 0) {
      out->append("\\ufffd");
      length = 1;
    } else if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(c);
    } else if (c == '\n') {
      out->append("\\n");
    } else if (c == '\r') {
      out->append("\\r");
    } else if (c == '\t') {
      out->append("\\t");
    } else if (byte < 0x20 || byte == 0x7f) {
      char buffer[8];
      std::snprintf(buffer, sizeof(buffer), "\\u%04x", static_cast<unsigned>(byte));
      out->append(buffer);
    } else {
      out->append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  out->push_back('"');
}

}  // namespace

std::string JsonQuote(std::string_view text) {
  std::string out;
  AppendEscaped(text, &out);
  return out;
}

void JsonWriter::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!has_member_.empty()) {
    if (has_member_.back()) out_.push_back(',');
    has_member_.back() = true;
  }
}

void JsonWriter::Begin(char bracket) {
  BeforeValue();
  out_.push_back(bracket);
  has_member_.push_back(false);
}

void JsonWriter::End(char bracket) {
  if (!has_member_.empty()) has_member_.pop_back();
  out_.push_back(bracket);
}

JsonWriter &JsonWriter::BeginObject() {
  Begin('{');
  return *this;
}
JsonWriter &JsonWriter::EndObject() {
  End('}');
  return *this;
}
JsonWriter &JsonWriter::BeginArray() {
  Begin('[');
  return *this;
}
JsonWriter &JsonWriter::EndArray() {
  End(']');
  return *this;
}

JsonWriter &JsonWriter::Key(std::string_view key) {
  BeforeValue();
  AppendEscaped(key, &out_);
  out_.push_back(':');
  after_key_ = true;
  return *this;
}

JsonWriter &JsonWriter::String(std::string_view text) {
  BeforeValue();
  AppendEscaped(text, &out_);
  return *this;
}

JsonWriter &JsonWriter::Int(int64_t value) {
  BeforeValue();
  out_.append(std::to_string(value));
  return *this;
}

JsonWriter &JsonWriter::Uint(uint64_t value) {
  BeforeValue();
  out_.append(std::to_string(value));
  return *this;
}

JsonWriter &JsonWriter::Double(double value) {
  BeforeValue();
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), value);
  if (!std::isfinite(value) || ec != std::errc()) {
    out_.append("null");
  } else {
    out_.append(buffer, end);
  }
  return *this;
}

JsonWriter &JsonWriter::Bool(bool value) {
  BeforeValue();
  out_.append(value ? "true" : "false");
  return *this;
}

JsonWriter &JsonWriter::Null() {
  BeforeValue();
  out_.append("null");
  return *this;
}

}  // namespace grabline::tool

// json_writer.hpp — one-line JSON output for scripts and bug reports. Strings are
// escaped and invalid UTF-8 is replaced, so whatever the plug-in or the user gave
// comes out as valid JSON.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace grabline::tool {

class JsonWriter {
 public:
  JsonWriter &BeginObject();
  JsonWriter &EndObject();
  JsonWriter &BeginArray();
  JsonWriter &EndArray();
  // Inside an object every value follows a key.
  JsonWriter &Key(std::string_view key);
  JsonWriter &String(std::string_view text);
  JsonWriter &Int(int64_t value);
  JsonWriter &Uint(uint64_t value);
  // Non-finite numbers have no JSON form and are written as null.
  JsonWriter &Double(double value);
  JsonWriter &Bool(bool value);
  JsonWriter &Null();

  const std::string &text() const { return out_; }

 private:
  void BeforeValue();
  void Begin(char bracket);
  void End(char bracket);
  std::string out_;
  std::vector<bool> has_member_;  // per open object or array
  bool after_key_ = false;
};

// `text` as a JSON string literal, quotes included.
std::string JsonQuote(std::string_view text);

}  // namespace grabline::tool

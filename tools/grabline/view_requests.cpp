#include "view_requests.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <nlohmann/json.hpp>

namespace grabline::tool {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool IsWildcard(std::string_view address) { return address == "0.0.0.0" || address == "::"; }

bool IsAddressLiteral(std::string_view host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    return host.find_first_not_of("0123456789abcdef:.", 1) == host.size() - 1;
  }
  return !host.empty() && host.find_first_not_of("0123456789.") == std::string_view::npos;
}

// The host as a URL writes it: IPv6 addresses in brackets.
std::string UrlHost(std::string_view address) {
  if (address.find(':') != std::string_view::npos) return "[" + Lower(address) + "]";
  return Lower(address);
}

}  // namespace

bool HostAllowed(std::string_view host_header, const ListenAddress &listen) {
  const std::string host = Lower(host_header);
  // The port follows the last ':' unless that ':' is inside an IPv6 literal.
  const size_t colon = host.rfind(':');
  const bool has_port = colon != std::string::npos && host.find(']', colon) == std::string::npos;
  const std::string name = has_port ? host.substr(0, colon) : host;
  if (has_port) {
    if (host.substr(colon + 1) != std::to_string(listen.port)) return false;
  } else if (listen.port != 80) {
    return false;
  }
  if (name == "localhost" || name == UrlHost(listen.address)) return true;
  return IsWildcard(listen.address) && IsAddressLiteral(name);
}

bool OriginAllowed(std::string_view origin, const ListenAddress &listen) {
  if (origin.empty()) return true;
  constexpr std::string_view kScheme = "http://";
  if (origin.substr(0, kScheme.size()) != kScheme) return false;
  return HostAllowed(origin.substr(kScheme.size()), listen);
}

namespace {

bool ValueOf(const nlohmann::json &json, ParamValue *value, std::string *error) {
  if (json.is_number_unsigned() && json.get<uint64_t>() > uint64_t(INT64_MAX)) {
    *error = "value: " + json.dump() + " is out of range";
    return false;
  }
  if (json.is_number_integer()) {
    *value = ParamValue::Int(json.get<int64_t>());
    return true;
  }
  if (json.is_number_float()) {
    *value = ParamValue::Double(json.get<double>());
    return true;
  }
  if (json.is_string()) {
    const std::string &text = json.get_ref<const std::string &>();
    if (text.size() > kMaxViewValueText) {
      *error = "value: longer than " + std::to_string(kMaxViewValueText) + " bytes";
      return false;
    }
    *value = ParamValue::Str(text);
    return true;
  }
  *error = "value: a number, a string or an array of them, not " + std::string(json.type_name());
  return false;
}

bool ParseValues(const nlohmann::json &json, ParamRequest *request, std::string *error) {
  const auto name = json.find("name");
  if (name == json.end() || !name->is_string()) {
    *error = "name: missing or not a string";
    return false;
  }
  std::string why;
  if (!CheckParamName(name->get_ref<const std::string &>(), &why)) {
    *error = "name: " + why;
    return false;
  }
  request->name = name->get<std::string>();
  const auto value = json.find("value");
  if (value == json.end() || value->is_null()) return true;
  if (!value->is_array()) {
    request->values.emplace_back();
    return ValueOf(*value, &request->values.back(), error);
  }
  if (value->empty() || value->size() > kMaxTupleValues) {
    *error = "value: an array of 1 to " + std::to_string(kMaxTupleValues) + " values";
    return false;
  }
  for (const nlohmann::json &element : *value) {
    request->values.emplace_back();
    if (!ValueOf(element, &request->values.back(), error)) return false;
  }
  return true;
}

bool ApplyType(const nlohmann::json &json, ParamRequest *request, std::string *error) {
  const auto type = json.find("type");
  if (type == json.end()) return true;
  if (*type != "double") {
    *error = "type: only \"double\" is known";
    return false;
  }
  for (ParamValue &value : request->values) {
    if (value.type == ParamValue::Type::kString) {
      *error = "type: \"double\" for a string value";
      return false;
    }
    if (value.type == ParamValue::Type::kInt) value = ParamValue::Double(double(value.i));
  }
  return true;
}

}  // namespace

bool ParseParamRequest(std::string_view body, ParamRequest *request, std::string *error) {
  *request = ParamRequest{};
  const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    *error = "the body is not a JSON object";
    return false;
  }
  return ParseValues(json, request, error) && ApplyType(json, request, error);
}

}  // namespace grabline::tool

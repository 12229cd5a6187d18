// view_requests.hpp — what the live view's HTTP server decides before it touches
// the board: whether a request comes from a page of this server, and what a
// parameter change asks for.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "value_text.hpp"

namespace grabline::tool {

// Where the server listens: the address as given and the port it got.
struct ListenAddress {
  std::string address;
  int port = 0;
};

// A Host header naming this server: the listening address or "localhost", with its
// port. On a wildcard address (0.0.0.0, ::) any address literal is taken too; a name
// other than localhost never is, so a page of another site cannot reach the server
// through a name it made resolve here.
bool HostAllowed(std::string_view host, const ListenAddress &listen);
// An Origin header of a page this server gave out; absent (scripts, same-origin GETs)
// is allowed, "null" and other sites are not.
bool OriginAllowed(std::string_view origin, const ListenAddress &listen);

// Longest string value a page may send.
inline constexpr size_t kMaxViewValueText = 4096;

struct ParamRequest {
  std::string name;
  std::vector<ParamValue> values;  // empty: an action without value
};

// The body of POST /param: {"name": NAME, "value": V}, V a number, a string, an
// array of them, or absent or null for an action; "type": "double" makes whole
// numbers decimals, which JSON cannot tell apart (5.0 is written 5). False with a
// message naming what is wrong.
bool ParseParamRequest(std::string_view body, ParamRequest *request, std::string *error);

}  // namespace grabline::tool

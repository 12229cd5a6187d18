// view_page.hpp — the live view's page (view_page.html), built into the tool.
#pragma once

#include <string_view>

namespace grabline::tool {

extern const std::string_view kViewPage;

}  // namespace grabline::tool

// config_lists.hpp — device lists the configuration query handed out and
// that were not yet freed, for the control API.
#pragma once

#include <cstdint>

namespace bfsim::api {

uint32_t LiveDeviceLists();

}  // namespace bfsim::api

// versions.hpp — what the SDK tells of its own build.
#pragma once

#include <atomic>
#include <cstdint>

namespace bfsim::model {

// Non-zero: the SDK was built for a target without board information.
std::atomic<uint32_t> &BuildTarget();

}  // namespace bfsim::model

#include "model/versions.hpp"

namespace bfsim::model {

std::atomic<uint32_t> &BuildTarget() {
  static std::atomic<uint32_t> target{0};
  return target;
}

}  // namespace bfsim::model

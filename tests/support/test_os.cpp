// What the tests' OS layer does the same on every system.
#include "support/test_os.hpp"

#include <cstdlib>

namespace grabline::testing {

ScopedEnv::ScopedEnv(const char *name, const char *value) : name_(name) {
  if (const char *old = std::getenv(name)) old_ = old;
  SetEnv(name, value);
}

ScopedEnv::~ScopedEnv() { SetEnv(name_, old_ ? old_->c_str() : nullptr); }

}  // namespace grabline::testing

// Shared set-up of the host tests: the host's books and switches are process-wide,
// so every test starts from clean logs and no armed faults, and leaves the switches and
// the call log off.
#pragma once

#include <gtest/gtest.h>

#include "tarvel_host.hpp"

namespace tarvel::testing {

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }

  static void Reset() {
    RecordHostCalls(false);
    ClearInjections();
    ClearLogs();
    SetSpying(false);
    SetTraceMemory(false);
    SetLowError(false);
    SetProcessErrResult(std::nullopt);
  }
};

}  // namespace tarvel::testing

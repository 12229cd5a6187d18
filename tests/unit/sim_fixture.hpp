// Shared set-up of the simulated SDK's tests: a fresh default system for
// every test, and the few steps most tests start with.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "bfsdk.h"
#include "bfsim_control.hpp"

namespace bfsim_test {

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override { bfsim::Reset(); }
  void TearDown() override { bfsim::Reset(); }

  // Opens board `index` of `family` with its own camera; fails the test if
  // that does not work.
  Bd Open(uint32_t family = CISYS_TYPE_R64, uint32_t index = 0) {
    CiENTRY entry;
    Bd board = nullptr;
    EXPECT_EQ(CiSysBrdFind(family, index, &entry), BF_OK);
    EXPECT_EQ(CiBrdOpen(&entry, &board, 257, "default"), BF_OK);
    return board;
  }

  // Replaces the system; fails the test on a refused text.
  void Load(std::string_view text) { ASSERT_EQ(bfsim::LoadSystem(text), ""); }
};

// One board of each family and kind, in this order of positions.
inline constexpr std::string_view kMixedSystem =
    "# position 0..5\n"
    "family=RoadRunner model=RR-CL kinds=cl switch=1 connector=0\n"
    "family=Raven model=RV ports=4\n"
    "family=R64 model=KBN-CL code=0x1001 kinds=cl,karbon switch=1 connector=1\n"
    "family=R64 model=NEON-Q kinds=cl,neon_switchable switch=2 connector=0\n"
    "family=Gn2 model=GN2-CXP kinds=cxp link=reduced switch=2 connector=1\n"
    "family=Gn2 model=GN2-CL ports=2\n";

}  // namespace bfsim_test

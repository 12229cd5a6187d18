// The constants a plug-in compiled for one host build relies on. The record
// layouts are checked where tarvel.h defines them.
#include <gtest/gtest.h>

#include "tarvel.h"

namespace {

TEST(HostLayout, SuccessCodeAndLimitsPerBuild) {
#if defined(TARVEL_BUILD_PAR)
  EXPECT_EQ(T_MSG_OK, 1);
  EXPECT_EQ(TARVEL_MAX_FG_INSTANCES, 64);
#else
  EXPECT_EQ(T_MSG_OK, 2);
  EXPECT_EQ(TARVEL_MAX_FG_INSTANCES, 256);
#endif
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/build_profile.hpp"

namespace grabline {
namespace {

TEST(BuildProfile, SuccessCodeMatchesHost) { EXPECT_EQ(kProfile.ok, T_MSG_OK); }

// The profile is chosen by one compile definition, the plug-in under test by another.
TEST(BuildProfile, IsTheProfileOfTheBuildUnderTest) {
  EXPECT_STREQ(kProfile.name, GRABLINE_PLUGIN_NAME);
}

}  // namespace
}  // namespace grabline

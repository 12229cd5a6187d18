#include <gtest/gtest.h>

#include "platform/build_profile.hpp"

namespace grabline {
namespace {

TEST(BuildProfile, SuccessCodeMatchesHost) { EXPECT_EQ(kProfile.ok, T_MSG_OK); }

}  // namespace
}  // namespace grabline

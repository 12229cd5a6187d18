// The records whose layout a plug-in compiled for one host build relies on.
#include <gtest/gtest.h>

#include <cstddef>

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

TEST(HostLayout, ParameterRecord) {
  EXPECT_EQ(sizeof(Tpar), 8u);
  EXPECT_EQ(offsetof(Tcpar, type), 8u);
  EXPECT_EQ(sizeof(Tcpar), 16u);
#if defined(TARVEL_BUILD_PAR)
  EXPECT_EQ(sizeof(Tpar_tag), 1u);
#else
  EXPECT_EQ(sizeof(Tpar_tag), 4u);
#endif
}

TEST(HostLayout, ClassRecord) {
  constexpr size_t kPointer = sizeof(void *);
#if defined(TARVEL_BUILD_PAR)
  constexpr size_t kHead = 4;  // no reserved field after interface_version
  constexpr size_t kInstance = 16;
  constexpr size_t kParamOps = 5;
#else
  constexpr size_t kHead = 8;
  constexpr size_t kInstance = 24;  // after four 32-bit fields, aligned for pointers
  constexpr size_t kParamOps = 7;
#endif
  EXPECT_EQ(offsetof(TFgClass, class_flag), kHead);
  EXPECT_EQ(offsetof(TFgClass, instances_num), kHead + 4);
  EXPECT_EQ(offsetof(TFgClass, instances_max), kHead + 8);
  EXPECT_EQ(offsetof(TFgClass, instance), kInstance);
  EXPECT_EQ(offsetof(TFgClass, ops),
            offsetof(TFgClass, instance) + TARVEL_MAX_FG_INSTANCES * kPointer);
  EXPECT_EQ(sizeof(TFgOperations), 8 * kPointer);
  EXPECT_EQ(sizeof(TFgParamOperations), kParamOps * kPointer);
  EXPECT_EQ(offsetof(TFgClass, horizontal_resolution),
            offsetof(TFgClass, param_ops) + kParamOps * kPointer);
}

TEST(HostLayout, OpenFieldsMatchBetweenClassAndInstance) {
  // The class defaults and the head of the instance record share one field list.
  constexpr size_t kClass = offsetof(TFgClass, horizontal_resolution);
  constexpr size_t kInstance = offsetof(TFgInstance, horizontal_resolution);
  EXPECT_EQ(offsetof(TFgClass, color_space) - kClass,
            offsetof(TFgInstance, color_space) - kInstance);
  EXPECT_EQ(offsetof(TFgClass, line_in) - kClass, offsetof(TFgInstance, line_in) - kInstance);
  EXPECT_EQ(offsetof(TFgClass, color_space) - kClass, 32u);
  EXPECT_EQ(offsetof(TFgClass, gain) - kClass, 32u + TARVEL_FG_TEXT);
}

}  // namespace

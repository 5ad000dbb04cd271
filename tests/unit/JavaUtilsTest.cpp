#include "adapter/JavaUtils.h"
#include <gtest/gtest.h>
#include "FakeJvm.h"
TEST(JavaUtils, Placeholder) { fakejvm::FakeJvm jvm; EXPECT_EQ(0, jvm.liveLocalRefs()); }

#include <gtest/gtest.h>
#include "FakeHost.h"
#include "Probe.h"
TEST(Adapter, Placeholder) { Probe probe; EXPECT_EQ(1, probe.adapterInit()); }

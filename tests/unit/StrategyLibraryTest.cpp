// The sample strategy library as shipped (its runtime linked in, three exports), loaded into a
// process that also runs other code of the same compiler: its errors, a host exception and an
// unknown event, unwind inside the library and end the run cleanly. On Windows this process
// has the compiler's shared runtime DLL loaded, which once took the library's unwind tables
// away from its own unwinder and turned its first exception into the end of the process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeHost.h"
#include "Probe.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

class StrategyLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        // The situation under test: the shared runtime is in the process before the library.
        ASSERT_NE(nullptr, GetModuleHandleA("libgcc_s_dw2-1.dll"));
#endif
        host.standardMatch(2, 0);
    }

    fakejvm::FakeJvm jvm;
    fakejvm::FakeHost host{jvm};
};

TEST_F(StrategyLibraryTest, HostExceptionEndsTheRunWithTheExceptionPending) {
    Probe sample(TOUCHLINE_SAMPLE_LIBRARY);
    host.onExecute = [&] {
        if (host.executes == 3) throw fakejvm::JavaThrow{"java.lang.IllegalStateException"};
    };
    sample.adapterRun(jvm.env(), host.adapterRef());
    EXPECT_EQ(3, host.executes);
    EXPECT_TRUE(jvm.exceptionPending());
    jvm.clearException();
    EXPECT_TRUE(jvm.violations().empty());
}

TEST_F(StrategyLibraryTest, UnknownEventStopsTheRobotWithItsName) {
    Probe sample(TOUCHLINE_SAMPLE_LIBRARY);
    host.onExecute = [&] {
        if (host.executes == 2) {
            fakejvm::EventState unknown;
            unknown.type = "goalScored";
            host.events = {unknown};
        }
    };
    sample.adapterRun(jvm.env(), host.adapterRef());
    EXPECT_EQ(2, host.executes);
    EXPECT_FALSE(jvm.exceptionPending());
    EXPECT_EQ(std::vector<std::string>{"debug.print(\"unknow action : goalScored\")"},
              jvm.log("print"));
    EXPECT_TRUE(jvm.violations().empty());
}

}  // namespace

// The entry points and the execution cycle, each test on a fresh copy of the library.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "Probe.h"

using fakejvm::FakeHost;
using fakejvm::FakeJvm;
using fakejvm::Value;

namespace {

class AdapterTest : public ::testing::Test {
protected:
    FakeJvm jvm;
    FakeHost host{jvm};
    Probe probe;
    jobject adapter = nullptr;

    void SetUp() override {
        host.standardMatch();
        adapter = host.adapterRef();
    }
    void TearDown() override { EXPECT_TRUE(jvm.violations().empty()) << jvm.violations()[0]; }
    void runOnce() { probe.adapterRun(jvm.env(), adapter); }
};

TEST_F(AdapterTest, InitIsAlwaysOneAndClearupChangesNothing) {
    EXPECT_EQ(1, probe.adapterInit());
    EXPECT_EQ(1, probe.adapterInit());
    int initializes = 0, runs = 0;
    probe.onInitialize([&] { ++initializes; });
    probe.onRun([&] { ++runs; });
    runOnce();
    probe.adapterClearup();
    runOnce();
    EXPECT_EQ(1, initializes);
    EXPECT_EQ(2, runs);
    EXPECT_EQ(1, probe.adapterInit());
}

TEST_F(AdapterTest, InitializeRunsOnceBeforeTheFirstRun) {
    std::vector<std::string> order;
    probe.onInitialize([&] { order.push_back("initialize"); });
    probe.onRun([&] { order.push_back("run"); });
    runOnce();
    runOnce();
    EXPECT_EQ((std::vector<std::string>{"initialize", "run", "run"}), order);
    EXPECT_EQ(0, host.executes);
}

// The first run reads the static world, then the dynamic world, then the events, and only
// then hands over to initialize and run; a later run refreshes without the static read.
TEST_F(AdapterTest, TheFirstRunReadsTheWorldBeforeTheHooksAndALaterOneOnlyRefreshes) {
    std::vector<std::string> stages;
    auto stageOf = [&](const std::string& call) {
        if (call == "info.getId()") return "static";
        if (call == "info.getTime()") return "status";
        if (call == "info.getActions()") return "actions";
        return "";
    };
    auto note = [&](const std::string& what) {
        for (const std::string& call : jvm.log()) {
            if (*stageOf(call)) stages.push_back(stageOf(call));
        }
        jvm.clearLog();
        stages.push_back(what);
    };
    probe.onInitialize([&] { note("initialize"); });
    probe.onRun([&] { note("run"); });
    runOnce();
    runOnce();
    EXPECT_EQ((std::vector<std::string>{"static", "status", "actions", "initialize", "run",
                                        "status", "actions", "run"}),
              stages);
}

TEST_F(AdapterTest, EachExecuteAdvancesTheHostExactlyOnce) {
    probe.onRun([&] {
        for (int i = 1; i <= 3; ++i) {
            TL(probe, execute)();
            EXPECT_EQ(i, host.executes);
        }
    });
    runOnce();
    EXPECT_EQ(3u, jvm.log("execute").size());
    EXPECT_EQ(1, jvm.liveLocalRefs());  // only the adapter reference the host passed
}

TEST_F(AdapterTest, ALaterRunUsesTheNewEnvironmentAndAdapter) {
    probe.onRun([&] { TL(probe, execute)(); });
    runOnce();

    FakeJvm other;
    FakeHost otherHost(other);
    otherHost.standardMatch();
    int initializes = 0;
    probe.onInitialize([&] { ++initializes; });
    probe.adapterRun(other.env(), otherHost.adapterRef());
    EXPECT_EQ(1, host.executes);
    EXPECT_EQ(1, otherHost.executes);
    EXPECT_EQ(0, initializes);
    EXPECT_TRUE(other.violations().empty());
}

TEST_F(AdapterTest, AThrowingExecuteEndsTheRunWithTheHostExceptionPending) {
    host.operate.throwing("execute", "()V", "touchline.MatchOver");
    bool reachedAfterExecute = false;
    probe.onRun([&] {
        TL(probe, execute)();
        reachedAfterExecute = true;
    });
    runOnce();
    EXPECT_FALSE(reachedAfterExecute);
    EXPECT_EQ("touchline.MatchOver", jvm.pendingException());
    EXPECT_EQ("operate.execute()", jvm.log().back());
    EXPECT_EQ(1, jvm.liveLocalRefs());
    EXPECT_TRUE(jvm.log("print").empty());
}

TEST_F(AdapterTest, AStrategyThatSwallowsTheStopMakesNoFurtherHostCalls) {
    host.operate.throwing("execute", "()V");
    probe.onRun([&] {
        try {
            TL(probe, execute)();
        } catch (...) {
        }
        size_t calls = jvm.calls().size();
        TL(probe, setMoveVelocity)(1.0);
        TL(probe, print)("still here");
        TL(probe, execute)();
        ADD_FAILURE() << "execute returned with a host exception pending";
        EXPECT_EQ(calls, jvm.calls().size());
    });
    runOnce();
    EXPECT_TRUE(jvm.exceptionPending());
}

TEST_F(AdapterTest, MissingConsolesAndMethodsAreSkipped) {
    host.operate.remove("execute", "()V");
    host.adapter.returns("getDebugConsole", "()Ljava/lang/Object;", Value::null());
    host.adapter.remove("getInfoConsole", "()Ljava/lang/Object;");
    probe.onRun([&] {
        TL(probe, execute)();
        TL(probe, execute)();
    });
    runOnce();
    EXPECT_FALSE(jvm.exceptionPending());
    EXPECT_EQ(0, host.executes);
    EXPECT_EQ(1, jvm.liveLocalRefs());
}

TEST_F(AdapterTest, AnErrorInStrategyCodeIsReportedAndNeverReachesTheHost) {
    probe.onRun([&] { throw std::runtime_error("lost my way"); });
    runOnce();
    EXPECT_EQ(std::vector<std::string>{"debug.print(\"strategy stopped: lost my way\")"},
              jvm.log("print"));
    EXPECT_FALSE(jvm.exceptionPending());
}

}  // namespace

// Benchmarks of the library's per-step work against the fake JVM: one whole execution cycle
// (commands out, world and events in), the world queries strategies call many times a step,
// and the geometry behind the motion helpers.
#include <benchmark/benchmark.h>

#include "FakeHost.h"
#include "Probe.h"

namespace {

// A fresh library copy playing robot 0 of a match of botsPerTeam robots a side, with a few
// events every step, driven from inside its run() by the benchmark loop.
void playCycles(benchmark::State& state, const std::function<void(Probe&)>& perStep) {
    fakejvm::FakeJvm jvm;
    fakejvm::FakeHost host(jvm);
    host.standardMatch(static_cast<int>(state.range(0)), 0);
    host.events = {{"tick", 0, "", 0}, {"hitBall", 0, "", 0}, {"messageReceived", 3, "pass to me", 0}};
    Probe probe;
    probe.onRun([&] {
        for (auto _ : state) {
            perStep(probe);
            TL(probe, execute)();
        }
    });
    probe.adapterRun(jvm.env(), host.adapterRef());
    // Host calls per cycle: what a real JVM pays for with method lookups.
    state.counters["hostCalls/step"] = benchmark::Counter(
        static_cast<double>(jvm.calls().size()), benchmark::Counter::kAvgIterations);
}

void BM_IdleCycle(benchmark::State& state) {
    playCycles(state, [](Probe&) {});
}
BENCHMARK(BM_IdleCycle)->Arg(1)->Arg(5)->Arg(11);

void BM_KickingCycle(benchmark::State& state) {
    playCycles(state, [](Probe& probe) {
        TL(probe, setKickBallTo)(TL(probe, getOpponentGoalCenterX)(),
                                 TL(probe, getOpponentGoalCenterY)());
        TL(probe, print)("kick\n");
    });
}
BENCHMARK(BM_KickingCycle)->Arg(5);

void BM_TeammatesNum(benchmark::State& state) {
    fakejvm::FakeJvm jvm;
    fakejvm::FakeHost host(jvm);
    host.standardMatch(static_cast<int>(state.range(0)), 0);
    Probe probe;
    probe.onRun([&] {
        for (auto _ : state) benchmark::DoNotOptimize(TL(probe, getTeammatesNum)());
    });
    probe.adapterRun(jvm.env(), host.adapterRef());
}
BENCHMARK(BM_TeammatesNum)->Arg(5)->Arg(11);

void BM_CrossPoint(benchmark::State& state) {
    Probe probe;
    auto crossPoint = TL(probe, crossPoint);
    double x = 0, y = 0;
    for (auto _ : state) {
        crossPoint(5, 5, 10, 5, 20, 3, 20, 9, &x, &y);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
    }
}
BENCHMARK(BM_CrossPoint);

void BM_Bearing(benchmark::State& state) {
    Probe probe;
    auto bearing = TL(probe, bearing);
    double angle = 0.1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bearing(angle, 6.2));
        angle += 1e-9;
    }
}
BENCHMARK(BM_Bearing);

}  // namespace

BENCHMARK_MAIN();

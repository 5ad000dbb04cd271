// The library's execute cycle in a real JVM, side by side in one process with its floor: the
// same host calls written by hand in plain C, by name (FloorCycle), and for information the
// floor with cached method IDs. The host objects are small Java stand-ins (BenchHost). Every
// case runs in interleaved repetitions; the table of medians, spreads and ratios is printed
// and, given --write=FILE, put into FILE between its real-JVM markers.
#include <benchmark/benchmark.h>
#include <jni.h>
#include <sys/utsname.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "FloorCycle.h"
#include "Probe.h"

namespace {

JNIEnv* env = nullptr;

// One case: robots a side, events per step, whether commands and views are queued.
using Case = std::tuple<int, int, int>;

Case caseOf(const benchmark::State& state) {
    return Case{static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                static_cast<int>(state.range(2))};
}

jobject newHost(const Case& c) {
    jclass type = env->FindClass("touchline/bench/BenchHost");
    jmethodID create = env->GetStaticMethodID(type, "create", "(II)Ljava/lang/Object;");
    jobject local = env->CallStaticObjectMethod(type, create, std::get<0>(c), std::get<1>(c));
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        std::exit(1);
    }
    jobject host = env->NewGlobalRef(local);
    env->DeleteLocalRef(local);
    env->DeleteLocalRef(type);
    return host;
}

// The host objects of each case, and a library copy per case that keeps its mirror from one
// benchmark run to the next (a later adapterRun only refreshes it), as a robot's library does.
struct Subject {
    jobject host;
    std::unique_ptr<Probe> probe;
};

Subject& subject(const Case& c) {
    static std::map<Case, Subject> subjects;
    auto it = subjects.find(c);
    if (it == subjects.end()) {
        it = subjects.emplace(c, Subject{newHost(c), std::make_unique<Probe>()}).first;
    }
    return it->second;
}

void BM_Library(benchmark::State& state) {
    const Case c = caseOf(state);
    Subject& s = subject(c);
    Probe& probe = *s.probe;
    probe.onRun([&] {
        auto execute = TL(probe, execute);
        auto setMoveVelocity = TL(probe, setMoveVelocity);
        auto setTurnVelocity = TL(probe, setTurnVelocity);
        auto sendMessage = TL(probe, sendMessage);
        auto print = TL(probe, print);
        auto addLineView = TL(probe, addLineView);
        auto addTextView = TL(probe, addTextView);
        Bot receiver{};
        receiver.id = 1;
        const LineView line{3, 0xff0000, 1, 2, 3, 4};
        const TextView text{3, 0xff, "target", 12, 5, 6};
        const bool commands = std::get<2>(c) != 0;
        for (auto _ : state) {
            if (commands) {
                setMoveVelocity(2.5);
                setTurnVelocity(-0.5);
                sendMessage(&receiver, "pass to me");
                print("kick\n");
                addLineView(&line);
                addTextView(&text);
            }
            execute();
        }
    });
    probe.adapterRun(env, s.host);
    if (env->ExceptionCheck()) state.SkipWithError("the host threw");
}

void runFloor(benchmark::State& state, bool cached) {
    const Case c = caseOf(state);
    jobject host = subject(c).host;
    jmethodID cache[FLOOR_SLOTS] = {};
    jmethodID* slots = cached ? cache : nullptr;
    floorInitialize(env, host, slots);
    const int commands = std::get<2>(c);
    for (auto _ : state) floorCycle(env, host, commands, slots);
    if (env->ExceptionCheck()) state.SkipWithError("the host threw");
}

void BM_Floor(benchmark::State& state) {
    runFloor(state, false);
}

void BM_FloorCached(benchmark::State& state) {
    runFloor(state, true);
}

void cases(benchmark::internal::Benchmark* b) {
    b->ArgNames({"bots", "events", "commands"});
    b->ArgsProduct({{1, 3, 5, 11}, {0, 5}, {0, 1}});
}

BENCHMARK(BM_Library)->Apply(cases);
BENCHMARK(BM_Floor)->Apply(cases);
BENCHMARK(BM_FloorCached)->Apply(cases);

// Collects every repetition's time per benchmark while the console reporter prints as usual.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            times_[run.run_name.function_name][run.run_name.args].push_back(
                run.GetAdjustedCPUTime());
        }
    }

    struct Spread {
        double median = 0, min = 0, max = 0;
        size_t count = 0;
    };

    Spread spread(const std::string& function, const std::string& args) const {
        Spread s;
        auto f = times_.find(function);
        if (f == times_.end()) return s;
        auto a = f->second.find(args);
        if (a == f->second.end() || a->second.empty()) return s;
        std::vector<double> t = a->second;
        std::sort(t.begin(), t.end());
        const size_t n = t.size();
        s.median = n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
        s.min = t.front();
        s.max = t.back();
        s.count = n;
        return s;
    }

    size_t repetitions() const {
        size_t most = 0;
        for (const auto& f : times_) {
            for (const auto& a : f.second) most = std::max(most, a.second.size());
        }
        return most;
    }

private:
    std::map<std::string, std::map<std::string, std::vector<double>>> times_;
};

std::string cpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    }
    return "unknown CPU";
}

std::string table(const TableReporter& r, const std::string& command) {
    std::ostringstream out;
    char date[64];
    std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    struct utsname u;
    uname(&u);
    out << "Measured " << date << " on " << cpuModel() << " (" << u.sysname << " " << u.release
        << ", " << benchmark::CPUInfo::Get().num_cpus << " CPUs), " << r.repetitions()
        << " interleaved repetitions per case, with `" << command << "`.\n"
        << "CPU ns per execution cycle: median, and [min, max] over the repetitions. Floor: the\n"
        << "same JNI calls hand-written in C, looked up by name; cached: the floor with method\n"
        << "IDs cached (for information: the library caches nothing).\n\n"
        << "| robots a side | events | commands | library | floor | cached | library / floor |"
           " cached / floor |\n"
        << "|---|---|---|---|---|---|---|---|\n";
    char cell[160];
    for (int bots : {1, 3, 5, 11}) {
        for (int events : {0, 5}) {
            for (int commands : {0, 1}) {
                const std::string args = "bots:" + std::to_string(bots) +
                                         "/events:" + std::to_string(events) +
                                         "/commands:" + std::to_string(commands);
                const auto lib = r.spread("BM_Library", args);
                const auto floor = r.spread("BM_Floor", args);
                const auto cached = r.spread("BM_FloorCached", args);
                if (lib.count == 0 || floor.count == 0) continue;  // not run (filtered out)
                auto show = [&cell](const TableReporter::Spread& s) {
                    std::snprintf(cell, sizeof cell, "%.0f [%.0f, %.0f]", s.median, s.min, s.max);
                    return std::string(cell);
                };
                out << "| " << bots << " | " << events << " | " << (commands ? "yes" : "no")
                    << " | " << show(lib) << " | " << show(floor) << " | " << show(cached);
                std::snprintf(cell, sizeof cell, " | %.3f | %.3f |\n",
                              floor.median > 0 ? lib.median / floor.median : 0.0,
                              floor.median > 0 ? cached.median / floor.median : 0.0);
                out << cell;
            }
        }
    }
    return out.str();
}

// Replaces the text between the real-JVM markers of file (or appends the block).
bool writeInto(const std::string& file, const std::string& text) {
    const std::string begin = "<!-- real-jvm-cycle: begin -->";
    const std::string end = "<!-- real-jvm-cycle: end -->";
    std::string doc;
    {
        std::ifstream in(file);
        std::stringstream all;
        all << in.rdbuf();
        doc = all.str();
    }
    const std::string block = begin + "\n" + text + end;
    size_t b = doc.find(begin);
    size_t e = doc.find(end);
    if (b != std::string::npos && e != std::string::npos && e > b) {
        doc.replace(b, e + end.size() - b, block);
    } else {
        doc += "\n" + block + "\n";
    }
    std::ofstream out(file);
    out << doc;
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    std::string write;
    std::string classpath = TOUCHLINE_BENCH_CLASSPATH;
    std::string command;
    std::vector<char*> args;
    std::vector<std::string> defaults = {"--benchmark_repetitions=15",
                                         "--benchmark_enable_random_interleaving=true",
                                         "--benchmark_min_time=0.05"};
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        command += (i ? " " : "") + a;
        if (a.rfind("--write=", 0) == 0) {
            write = a.substr(8);
            continue;
        }
        for (std::string& d : defaults) {
            if (!d.empty() && a.rfind(d.substr(0, d.find('=') + 1), 0) == 0) d.clear();
        }
        args.push_back(argv[i]);
    }
    for (std::string& d : defaults) {
        if (!d.empty()) args.push_back(d.data());
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());

    std::string option = "-Djava.class.path=" + classpath;
    JavaVMOption options[1];
    options[0].optionString = option.data();
    JavaVMInitArgs init{};
    init.version = JNI_VERSION_10;
    init.nOptions = 1;
    init.options = options;
    JavaVM* vm = nullptr;
    if (JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&env), &init) != JNI_OK) {
        std::fprintf(stderr, "cannot create a Java VM\n");
        return 1;
    }

    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const std::string text = table(reporter, command);
    std::printf("\n%s", text.c_str());
    if (!write.empty()) {
        if (!writeInto(write, text)) {
            std::fprintf(stderr, "cannot write %s\n", write.c_str());
            return 1;
        }
        std::printf("written to %s\n", write.c_str());
    }
    // The JVM is not destroyed: its threads end with the process.
    return 0;
}

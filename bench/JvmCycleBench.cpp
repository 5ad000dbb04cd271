// The library's execute cycle in a real JVM, side by side in one process with its floor: the
// same host calls written by hand in plain C, by name (FloorCycle), and for information the
// floor with cached method IDs. The host objects are small Java stand-ins (BenchHost). Every
// case runs in interleaved repetitions; the table of medians, spreads and ratios is printed
// and, given --write=FILE, put into FILE between its real-JVM markers.
#include <benchmark/benchmark.h>
#include <jni.h>
#include <sys/utsname.h>

#include <algorithm>
#include <chrono>
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

// The median of samples (which it reorders).
double median(std::vector<double>& samples) {
    if (samples.empty()) return 0;
    const size_t n = samples.size();
    std::nth_element(samples.begin(), samples.begin() + n / 2, samples.end());
    double upper = samples[n / 2];
    if (n % 2) return upper;
    return (*std::max_element(samples.begin(), samples.begin() + n / 2) + upper) / 2;
}

// One benchmark per case runs the three cycles in turn, rotating their order every iteration,
// and times each one on its own: the library's cycle (from inside its run(), as a strategy
// calls execute) and the two floors. The machine is shared, so each gets the same conditions
// and the per-iteration medians leave out the iterations the scheduler interrupted.
void BM_Cycle(benchmark::State& state) {
    const Case c = caseOf(state);
    Subject& s = subject(c);
    Probe& probe = *s.probe;
    std::vector<double> times[3];
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
        const int commands = std::get<2>(c);
        jmethodID cache[FLOOR_SLOTS] = {};
        floorInitialize(env, s.host, nullptr);
        floorInitialize(env, s.host, cache);
        auto libraryCycle = [&] {
            if (commands) {
                setMoveVelocity(2.5);
                setTurnVelocity(-0.5);
                sendMessage(&receiver, "pass to me");
                print("kick\n");
                addLineView(&line);
                addTextView(&text);
            }
            execute();
        };
        auto floorCycleByName = [&] { floorCycle(env, s.host, commands, nullptr); };
        auto floorCycleCached = [&] { floorCycle(env, s.host, commands, cache); };
        size_t turn = 0;
        for (auto _ : state) {
            for (size_t k = 0; k < 3; ++k) {
                const size_t which = (turn + k) % 3;
                const auto start = std::chrono::steady_clock::now();
                if (which == 0) libraryCycle();
                if (which == 1) floorCycleByName();
                if (which == 2) floorCycleCached();
                const auto stop = std::chrono::steady_clock::now();
                times[which].push_back(
                    std::chrono::duration<double, std::nano>(stop - start).count());
            }
            ++turn;
        }
    });
    probe.adapterRun(env, s.host);
    if (env->ExceptionCheck()) {
        state.SkipWithError("the host threw");
        return;
    }
    const double library = median(times[0]);
    const double floor = median(times[1]);
    state.counters["library_ns"] = library;
    state.counters["floor_ns"] = floor;
    state.counters["cached_ns"] = median(times[2]);
    state.counters["library/floor"] = floor > 0 ? library / floor : 0;
}

BENCHMARK(BM_Cycle)
    ->ArgNames({"bots", "events", "commands"})
    ->ArgsProduct({{1, 3, 5, 11}, {0, 5}, {0, 1}});

// Collects every repetition's time per benchmark while the console reporter prints as usual.
// Collects every repetition's counters per case while the console reporter prints as usual.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            for (const auto& counter : run.counters) {
                values_[run.run_name.args][counter.first].push_back(counter.second.value);
            }
        }
    }

    struct Spread {
        double median = 0, min = 0, max = 0;
        size_t count = 0;
    };

    Spread spread(const std::string& args, const std::string& counter) const {
        Spread s;
        auto a = values_.find(args);
        if (a == values_.end()) return s;
        auto c = a->second.find(counter);
        if (c == a->second.end() || c->second.empty()) return s;
        std::vector<double> v = c->second;
        s.min = *std::min_element(v.begin(), v.end());
        s.max = *std::max_element(v.begin(), v.end());
        s.count = v.size();
        s.median = median(v);
        return s;
    }

    size_t repetitions() const {
        size_t most = 0;
        for (const auto& a : values_) {
            for (const auto& c : a.second) most = std::max(most, c.second.size());
        }
        return most;
    }

private:
    std::map<std::string, std::map<std::string, std::vector<double>>> values_;
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
        << "Nanoseconds per execution cycle: in each repetition, the median over its\n"
        << "iterations, each cycle timed on its own; shown as the median over the repetitions,\n"
        << "with [min, max]. Floor: the same JNI calls hand-written in C, looked up by name;\n"
        << "cached: the floor with method IDs cached (for information: the library caches\n"
        << "nothing). The ratio is taken within each repetition.\n\n"
        << "| robots a side | events | commands | library ns | floor ns | cached ns |"
           " library / floor | cached / floor |\n"
        << "|---|---|---|---|---|---|---|---|\n";
    char cell[160];
    auto show = [&cell](const TableReporter::Spread& s, const char* format) {
        std::snprintf(cell, sizeof cell, format, s.median, s.min, s.max);
        return std::string(cell);
    };
    for (int bots : {1, 3, 5, 11}) {
        for (int events : {0, 5}) {
            for (int commands : {0, 1}) {
                const std::string args = "bots:" + std::to_string(bots) +
                                         "/events:" + std::to_string(events) +
                                         "/commands:" + std::to_string(commands);
                const auto lib = r.spread(args, "library_ns");
                if (lib.count == 0) continue;  // not run (filtered out)
                const auto floor = r.spread(args, "floor_ns");
                const auto cached = r.spread(args, "cached_ns");
                const auto ratio = r.spread(args, "library/floor");
                const double cachedRatio = floor.median > 0 ? cached.median / floor.median : 0;
                out << "| " << bots << " | " << events << " | " << (commands ? "yes" : "no")
                    << " | " << show(lib, "%.0f [%.0f, %.0f]") << " | "
                    << show(floor, "%.0f [%.0f, %.0f]") << " | "
                    << show(cached, "%.0f [%.0f, %.0f]") << " | "
                    << show(ratio, "**%.3f** [%.3f, %.3f]") << " | ";
                std::snprintf(cell, sizeof cell, "%.2f |\n", cachedRatio);
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

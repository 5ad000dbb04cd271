// Geometry on two machines: the toolkit's geometry over a fixed set of inputs, printed as exact
// bit patterns, and compared with the same run of another build (the 32-bit Windows build of
// the library against the 64-bit Linux one).
//
//   geometry_digest --write <file>    writes one line per result: name, case, bits in hex
//   geometry_digest --compare <file>  computes the same results here and compares
//
// Functions built on arithmetic and square roots alone must agree to the last bit: that is
// what SSE2 arithmetic without x87 extended intermediates guarantees. Functions built on
// sin, cos, atan2 and exp also depend on the platform's maths library, whose last bit differs
// between C runtimes; they may differ by that much (scaled by what the toolkit does with the
// value next, e.g. a length times a cosine), and the comparison reports how many do.
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Toolkit.h"

namespace {

struct Result {
    std::string name;
    int index;
    double value;
    bool usesMathLibrary;
};

std::uint64_t bitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

double fromBits(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Doubles from a fixed integer sequence: the same inputs on every machine.
class Inputs {
public:
    // A double in [-range, range) with 53 random bits.
    double next(double range) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        double unit = static_cast<double>(state_ >> 11) / 9007199254740992.0;
        return (unit * 2 - 1) * range;
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

std::vector<Result> compute() {
    std::vector<Result> results;
    auto add = [&](const char* name, int i, double value, bool math) {
        results.push_back({name, i, value, math});
    };
    Inputs in;
    const int cases = 2000;
    for (int i = 0; i < cases; ++i) {
        double a = in.next(20), b = in.next(400);
        double x1 = in.next(300), y1 = in.next(300), x2 = in.next(300), y2 = in.next(300);
        double x3 = in.next(300), y3 = in.next(300), x4 = in.next(300), y4 = in.next(300);

        add("toDegrees", i, toDegrees(a), false);
        add("toRadians", i, toRadians(b), false);
        add("distance", i, distance(x1, y1, x2, y2), false);
        double cx = 0, cy = 0;
        crossPoint(x1, y1, x2, y2, x3, y3, x4, y4, &cx, &cy);
        add("crossPoint.x", i, cx, false);
        add("crossPoint.y", i, cy, false);

        add("anglePI", i, anglePI(a), true);
        add("angleDoublePI", i, angleDoublePI(a), true);
        add("angle360", i, angle360(b), true);
        add("heading", i, heading(x1, y1, x2, y2), true);
        add("bearing", i, bearing(a, in.next(20)), true);
        add("gaussian", i, gaussian(in.next(3), in.next(2)), true);
        double nx = 0, ny = 0;
        nextPoint(x1, y1, a, b, &nx, &ny);
        add("nextPoint.x", i, nx, true);
        add("nextPoint.y", i, ny, true);
    }
    return results;
}

int write(const char* path) {
    std::ofstream out(path);
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 2;
    }
    for (const Result& r : compute()) {
        char bits[17];
        std::snprintf(bits, sizeof bits, "%016" PRIx64, bitsOf(r.value));
        out << r.name << ' ' << r.index << ' ' << bits << '\n';
    }
    return out ? 0 : 2;
}

// Distance in units of the last place between two doubles of the same sign; huge otherwise.
std::uint64_t ulpsApart(double a, double b) {
    if (std::isnan(a) || std::isnan(b) || std::signbit(a) != std::signbit(b)) return UINT64_MAX;
    std::uint64_t x = bitsOf(std::fabs(a)), y = bitsOf(std::fabs(b));
    return x > y ? x - y : y - x;
}

// A last-bit difference of the maths library, carried through at most a few operations on
// inputs up to a few hundred: far below anything the geometry resolves.
bool closeEnough(double a, double b) {
    return std::fabs(a - b) <= 1e-12;
}

int compare(const char* path) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 2;
    }
    std::map<std::pair<std::string, int>, double> reference;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name, hex;
        int index = 0;
        if (!(fields >> name >> index >> hex)) continue;
        reference[{name, index}] = fromBits(std::stoull(hex, nullptr, 16));
    }

    struct Tally {
        int total = 0, differing = 0;
        std::uint64_t worst = 0;
    };
    std::map<std::string, Tally> tallies;
    int failures = 0;
    for (const Result& r : compute()) {
        Tally& tally = tallies[r.name];
        ++tally.total;
        auto found = reference.find({r.name, r.index});
        if (found == reference.end()) {
            std::printf("FAIL %s case %d: missing from %s\n", r.name.c_str(), r.index, path);
            ++failures;
            continue;
        }
        if (bitsOf(r.value) == bitsOf(found->second)) continue;
        if (std::isnan(r.value) && std::isnan(found->second)) continue;
        std::uint64_t apart = ulpsApart(r.value, found->second);
        ++tally.differing;
        if (apart > tally.worst) tally.worst = apart;
        if (!r.usesMathLibrary || !closeEnough(r.value, found->second)) {
            ++failures;
            if (failures <= 20) {
                std::printf("FAIL %s case %d: here %.17g, reference %.17g\n", r.name.c_str(),
                            r.index, r.value, found->second);
            }
        }
    }
    for (const auto& [name, tally] : tallies) {
        std::printf("%-14s %5d results, %4d differ in the last bits (worst %" PRIu64 " ulp)\n",
                    name.c_str(), tally.total, tally.differing, tally.worst);
    }
    if (failures == 0) {
        std::printf("geometry: same results (maths-library functions within their last bits)\n");
    } else {
        std::printf("geometry: DIFFERENT RESULTS in %d cases\n", failures);
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) return write(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--compare") == 0) return compare(argv[2]);
    std::fprintf(stderr, "usage: %s --write <file> | --compare <file>\n", argv[0]);
    return 2;
}

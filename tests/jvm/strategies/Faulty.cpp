// A strategy that goes wrong in one way, chosen when it is built (FAULT_*, see
// tests/jvm/CMakeLists.txt), from step FAULT_STEP on; until then it drives forward. A match
// must end only this robot, whatever it does.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "Toolkit.h"

#ifndef FAULT_STEP
#define FAULT_STEP 30
#endif

namespace {

int* volatile nowhere = nullptr;
volatile bool always = true;

#ifdef FAULT_STACK_OVERFLOW
int deeper(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    return always ? deeper(depth + 1) + frame[0] : depth;
}
#endif

#ifdef FAULT_THROWING_CONSTRUCTOR
struct ThrowsWhenLoaded {
    ThrowsWhenLoaded() {
        if (always) throw std::runtime_error("a static constructor failed");
    }
} throwsWhenLoaded;
#endif

void misbehave() {
#if defined(FAULT_NULL_POINTER)
    *nowhere = 1;
#elif defined(FAULT_ABORT)
    std::abort();
#elif defined(FAULT_STACK_OVERFLOW)
    deeper(0);
#elif defined(FAULT_EXIT_0)
    std::exit(0);
#elif defined(FAULT_EXIT_3)
    std::exit(3);
#elif defined(FAULT_THROW_FROM_RUN)
    throw std::runtime_error("a fault in run");
#elif defined(FAULT_LOOP)
    while (always) {
    }
#elif defined(FAULT_HUGE_PRINT)
    static const std::string megabyte(1 << 20, 'x');
    print(megabyte.c_str());
#elif defined(FAULT_MANY_VIEWS)
    for (int i = 0; i < 10000; ++i) {
        LineView line{-1, 0xff0000, 1.0 * i, 2.0, 3.0, 4.0};
        addLineView(&line);
    }
#endif
}

}  // namespace

void initialize(void) {}

void run(void) {
    for (;;) {
        if (getTime() >= FAULT_STEP) misbehave();
        setMoveVelocity(2.0);
        execute();
    }
}

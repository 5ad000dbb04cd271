// A strategy that goes wrong in one way, chosen when it is built (FAULT_*, see
// tests/jvm/CMakeLists.txt), from step FAULT_STEP on; until then it drives forward. A match
// must end only this robot, whatever it does.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

#if defined(FAULT_REPORT_FIFO) || defined(FAULT_REPORT_ZERO)
// Puts something that is no report where the JVM writes its crash report, then crashes.
void spoilReport() {
    char line[8192] = {};
    int fd = open("/proc/self/cmdline", O_RDONLY);
    ssize_t n = read(fd, line, sizeof line - 1);
    close(fd);
    for (ssize_t at = 0; at < n; at += static_cast<ssize_t>(std::strlen(line + at)) + 1) {
        const char* option = "-XX:ErrorFile=";
        if (std::strncmp(line + at, option, std::strlen(option)) != 0) continue;
        const char* report = line + at + std::strlen(option);
#ifdef FAULT_REPORT_FIFO
        mkfifo(report, 0600);
#else
        symlink("/dev/zero", report);
#endif
    }
    *nowhere = 1;
}
#endif

void misbehave() {
#if defined(FAULT_NULL_POINTER)
    *nowhere = 1;
#elif defined(FAULT_EXIT_137)
    _exit(137);
#elif defined(FAULT_CLOSE_DESCRIPTORS)
    // Every socket it has, the robot's channel among them; it plays on.
    for (int fd = 0; fd < 1024; ++fd) {
        char path[64];
        char target[64] = {};
        std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
        if (readlink(path, target, sizeof target - 1) > 0 &&
            std::strncmp(target, "socket:", 7) == 0) {
            close(fd);
        }
    }
#elif defined(FAULT_REPORT_FIFO) || defined(FAULT_REPORT_ZERO)
    spoilReport();
#elif defined(FAULT_OUTPUT_FLOOD)
    // 400 MB on stdout, once, without a newline until the end.
    static bool flooded = false;
    if (flooded) return;
    flooded = true;
    static char block[1 << 20];
    std::memset(block, 'x', sizeof block);
    for (int i = 0; i < 400; ++i) {
        if (write(1, block, sizeof block) < 0) break;
    }
    if (write(1, "\n", 1) < 0) return;
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
#ifdef FAULT_SWALLOW_END
        // What a C++ author should never write: the end of the match is swallowed too.
        try {
            execute();
        } catch (...) {
        }
#else
        execute();
#endif
    }
}

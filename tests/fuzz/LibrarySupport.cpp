// LibrarySupport: built into the library the fuzz target loads for every input, two things the
// library would otherwise hand to the process, defined (and hidden) here so that the library's
// own calls bind to them and not to the process's definitions.
//
// Coverage counters: the coverage instrumentation registers the library's counters through
// __sanitizer_cov_8bit_counters_init. libFuzzer would take every load for a new module with
// counters of its own; the fuzz target instead reads where they are and copies them into
// libFuzzer's extra counters after each input.
//
// Exit handlers: the destructors of the library's globals are registered through __cxa_atexit.
// Registered with the C runtime, every load would leave entries behind for good (the sanitizer
// runtime registers one of its own after each, so the freed ones are never reused) and every
// unload would walk all of them: the cost of an input would grow with the inputs before it.
// Kept here, they run in reverse order when the fuzz target calls fuzzRunExitHandlers() just
// before it unloads the library, as they would at the unload.
#include <cstdint>
#include <cstdlib>

namespace {

struct ExitHandler {
    void (*function)(void*);
    void* argument;
};
constexpr int kMostExitHandlers = 256;
ExitHandler exitHandlers[kMostExitHandlers];
int exitHandlerCount = 0;

}  // namespace

extern "C" {

__attribute__((visibility("default"))) uint8_t* fuzzCountersStart = nullptr;
__attribute__((visibility("default"))) uint8_t* fuzzCountersStop = nullptr;

__attribute__((visibility("hidden"))) void __sanitizer_cov_8bit_counters_init(uint8_t* start,
                                                                              uint8_t* stop) {
    fuzzCountersStart = start;
    fuzzCountersStop = stop;
}

__attribute__((visibility("hidden"))) int __cxa_atexit(void (*function)(void*), void* argument,
                                                       void*) {
    if (exitHandlerCount == kMostExitHandlers) std::abort();
    exitHandlers[exitHandlerCount++] = ExitHandler{function, argument};
    return 0;
}

__attribute__((visibility("default"))) void fuzzRunExitHandlers() {
    while (exitHandlerCount > 0) {
        const ExitHandler& handler = exitHandlers[--exitHandlerCount];
        handler.function(handler.argument);
    }
}
}

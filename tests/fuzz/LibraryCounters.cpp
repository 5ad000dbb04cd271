// LibraryCounters: built into the library the fuzz target loads for every input. The coverage
// instrumentation registers the library's counters through this function; defined (and hidden)
// here, it binds inside the library instead of to libFuzzer, which would take every load for a
// new module with counters of its own. The fuzz target reads where the counters are and copies
// them into libFuzzer's extra counters after each input.
#include <cstdint>

extern "C" {

__attribute__((visibility("default"))) uint8_t* fuzzCountersStart = nullptr;
__attribute__((visibility("default"))) uint8_t* fuzzCountersStop = nullptr;

__attribute__((visibility("hidden"))) void __sanitizer_cov_8bit_counters_init(uint8_t* start,
                                                                              uint8_t* stop) {
    fuzzCountersStart = start;
    fuzzCountersStop = stop;
}
}

// A strategy for tests: its hooks call back into the test that loaded this copy of it.
// Built without the strategy version script, so tests can reach every toolkit function.
#include "Toolkit.h"

extern "C" {
TOUCHLINE_API void (*probeInitializeHook)(void* context) = nullptr;
TOUCHLINE_API void (*probeRunHook)(void* context) = nullptr;
TOUCHLINE_API void* probeContext = nullptr;

void initialize(void) {
    if (probeInitializeHook != nullptr) probeInitializeHook(probeContext);
}

void run(void) {
    if (probeRunHook != nullptr) probeRunHook(probeContext);
}
}

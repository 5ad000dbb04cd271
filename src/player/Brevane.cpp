// Brevane: the sample defender's run loop.
#include "adapter/FootballAdapter.h"

extern "C" void run(void) {
    for (;;) {
        execute();
    }
}

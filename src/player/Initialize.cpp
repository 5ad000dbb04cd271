// Initialize: the sample strategy's initialize hook, which has nothing to prepare.
#include "adapter/FootballAdapter.h"

extern "C" void initialize(void) {}

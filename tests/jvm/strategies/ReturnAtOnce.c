/* A strategy that gives up at once: run() returns before the first step, so the velocity
   queued in initialize() is never delivered. */
#include "Toolkit.h"

void initialize(void) {
    setMoveVelocity(5.0);
}

void run(void) {}

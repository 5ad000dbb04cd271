/* A strategy that gives up at once: run() returns before the first step. */
#include "Toolkit.h"

void initialize(void) {}

void run(void) {}

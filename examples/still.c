/*
 * still.c: the lowest rung of the ladder. It never moves: it only ends every step.
 *
 * The smallest strategy there is, and the opponent every other one must beat.
 */
#include "Toolkit.h"

void initialize(void) {}

void run(void) {
    for (;;) {
        /* No command queued: the robot keeps its last orders, which are none. */
        execute();
    }
}

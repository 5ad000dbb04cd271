/* A strategy that never ends its step: run() idles for ever without calling execute(), so
   the velocity it queues is never delivered. */
#include <time.h>

#include "Toolkit.h"

void initialize(void) {}

void run(void) {
    setMoveVelocity(5.0);
    for (;;) {
        struct timespec pause = {0, 1000000};
        nanosleep(&pause, NULL);
    }
}

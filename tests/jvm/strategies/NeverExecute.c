/* A strategy that never ends its step: run() idles for ever without calling execute(). */
#include <time.h>

#include "Toolkit.h"

void initialize(void) {}

void run(void) {
    for (;;) {
        struct timespec pause = {0, 1000000};
        nanosleep(&pause, NULL);
    }
}

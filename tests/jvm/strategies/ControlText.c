/* Prints the k-th of the control texts (ControlTexts.h) at step k, then nothing. */
#include "ControlTexts.h"
#include "Toolkit.h"

void initialize(void) {}

void run(void) {
    int step;
    for (step = 0;; ++step) {
        if (step < CONTROL_TEXT_COUNT) print(kControlTexts[step][0]);
        execute();
    }
}

/* Prints, every step, what this library instance knows: the id it saw in initialize(), the
   steps it has counted itself, and what the toolkit reads from the host now. Two robots that
   share an instance by mistake overwrite each other's id and count twice. */
#include <stdio.h>

#include "Toolkit.h"

static int firstId = -1;
static int steps = 0;

void initialize(void) {
    firstId = getId();
}

void run(void) {
    char line[200];
    for (;;) {
        Ball ball;
        getBall(&ball);
        snprintf(line, sizeof line, "first=%d id=%d time=%d steps=%d actions=%d bots=%d ballx=%.3f",
                 firstId, getId(), getTime(), steps, getActionNum(), getBotNum(), ball.x);
        print(line);
        setMoveVelocity(1.0);
        ++steps;
        execute();
    }
}

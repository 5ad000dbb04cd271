/*
 * strategy.c: your robot's player. Touchline calls initialize() once, then run(), which plays
 * the whole match: each pass of its loop reads the world, queues commands and ends the step
 * with execute(). Toolkit.h (<prefix>/include/touchline/Toolkit.h, <prefix> being the kit's
 * install prefix) lists every function, with its units; the guide is
 * <prefix>/share/doc/touchline/strategy-guide.md.
 */
#include "Toolkit.h"

void initialize(void) {
    print("mystrategy: ready\n");
}

void run(void) {
    for (;;) {
        if (isRoundBegin()) {
            print("mystrategy: kick-off\n");
        }
        /* Behind the ball, on the line from the opponent goal, then through it. */
        setKickBallTo(getOpponentGoalCenterX(), getOpponentGoalCenterY());
        execute();
    }
}

/*
 * chaser.c: drives straight at the ball, every step, wherever it is.
 *
 * It teaches the two calls every strategy makes: read the world (getBallX, getBallY), queue a
 * motion (setMoveToward) and end the step (execute). Chasing pushes the ball about, often
 * towards the opponent's goal, but as often towards its own.
 */
#include "Toolkit.h"

void initialize(void) {}

void run(void) {
    for (;;) {
        /* At full speed towards the ball; setMoveToward turns the robot on the way. */
        setMoveToward(getBallX(), getBallY(), getMaxMoveVelocity());
        execute();
    }
}

/*
 * striker.c: an attacker in a dozen lines.
 *
 * Every step it asks setKickBallTo for a waypoint behind the ball, on the line from the
 * opponent goal's centre through the ball, and drives there. Followed step after step, the
 * waypoints lead the robot around the ball and into it from behind, so the ball is pushed,
 * or at full speed kicked, towards the goal.
 */
#include "Toolkit.h"

void initialize(void) {
    /* Nothing to prepare: everything is read fresh from the world each step. */
}

void run(void) {
    for (;;) {
        /* The goal the own team attacks; which side that is depends on getAttack(). */
        double goalX = getOpponentGoalCenterX();
        double goalY = getOpponentGoalCenterY();

        /* Queues this step's move and turn velocities; nothing moves yet. */
        setKickBallTo(goalX, goalY);

        /* Ends the step: the velocities go to the simulator, which advances one step. */
        execute();
    }
}

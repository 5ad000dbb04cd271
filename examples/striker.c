/*
 * striker.c: an attacker in a few lines.
 *
 * Most of the time it follows setKickBallTo: a waypoint behind the ball, on the line from the
 * opponent goal's centre through the ball. Followed step after step, the waypoints lead the
 * robot around the ball and up to it from behind. Once it is lined up behind the ball, it
 * charges at full speed, and a robot that hits the ball that fast kicks it. It draws the line
 * of each shot it lines up and says when it charges: watch both in the replay page.
 */
#include "Toolkit.h"

/* Lined up: the robot's direction to the ball is within this many radians of the ball's
 * direction to the goal. */
#define LINED_UP 0.25
/* Close enough to charge, in court units. */
#define CHARGE_DISTANCE 30.0

void initialize(void) {
    /* Nothing to prepare: everything is read fresh from the world each step. */
}

void run(void) {
    int wasLinedUp = 0;
    for (;;) {
        /* The goal the own team attacks; which side that is depends on getAttack(). */
        double goalX = getOpponentGoalCenterX();
        double goalY = getOpponentGoalCenterY();
        double ballX = getBallX();
        double ballY = getBallY();

        double toBall = heading(getX(), getY(), ballX, ballY);
        double ballToGoal = heading(ballX, ballY, goalX, goalY);
        int linedUp = absBearing(toBall, ballToGoal) < LINED_UP &&
                      distance(getX(), getY(), ballX, ballY) < CHARGE_DISTANCE;

        if (linedUp) {
            /* Straight at the ball, as fast as the robot goes: a kick towards the goal. */
            setMoveToward(ballX, ballY, getMaxMoveVelocity());
            /* The shot's line, orange, for this step only. */
            LineView shot = {1, 0xFF8C00, ballX, ballY, goalX, goalY};
            addLineView(&shot);
            if (!wasLinedUp) {
                print("lined up: charge");
            }
        } else {
            /* Queues this step's move and turn velocities towards the kick waypoint. */
            setKickBallTo(goalX, goalY);
        }
        wasLinedUp = linedUp;

        /* Ends the step: the velocities go to the simulator, which advances one step. */
        execute();
    }
}

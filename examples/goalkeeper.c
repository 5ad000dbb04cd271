/*
 * goalkeeper.c: stays between the ball and its own goal.
 *
 * It keeps to an arc around the centre of its own goal mouth, at the point of the arc that lies
 * on the line from that centre to the ball. Wherever the ball is, the keeper is in its way to
 * the goal.
 */
#include "Toolkit.h"

void initialize(void) {}

void run(void) {
    /* The arc's radius: half the goal's width, so the arc spans the whole mouth. */
    const double guard = getGoalWidth() / 2.0;

    for (;;) {
        double goalX = getSelfGoalCenterX();
        double goalY = getSelfGoalCenterY();

        /* Direction from the goal's centre to the ball, then the point `guard` along it. */
        double toBall = heading(goalX, goalY, getBallX(), getBallY());
        double x, y;
        nextPoint(goalX, goalY, toBall, guard, &x, &y);

        /* Near the goal line that point may lie off the court: keep it where the robot fits. */
        modifyInCourt(&x, &y, getRadius());

        /* Drive there; the robot slows down as it arrives. */
        setMoveTo(x, y);
        execute();
    }
}

/*
 * goalkeeper.c: stays between the ball and its own goal.
 *
 * It keeps to a line just in front of its own goal mouth and moves along it to stay level with
 * the ball, never beyond the goal posts: whatever comes straight at the goal meets the keeper.
 * It draws its guard line once, for the whole match.
 */
#include "Toolkit.h"

void initialize(void) {}

void run(void) {
    /* The guard line: one robot's diameter in front of the own goal line, on the court side. */
    const double goalX = getSelfGoalCenterX();
    const double lineX = goalX + (getAttack() > 0 ? 2.0 : -2.0) * getRadius();
    /* The posts, less the robot's radius: the keeper's centre stays within the mouth. */
    const double lowest = getSelfGoalCenterY() - getGoalWidth() / 2.0 + getRadius();
    const double highest = getSelfGoalCenterY() + getGoalWidth() / 2.0 - getRadius();

    /* The guard line, green, drawn once: a negative show time keeps it for good. */
    LineView guard = {-1, 0x2E8B57, lineX, lowest, lineX, highest};
    addLineView(&guard);

    for (;;) {
        double y = getBallY();
        if (y < lowest) {
            y = lowest;
        }
        if (y > highest) {
            y = highest;
        }

        /* Drive there; the robot slows down as it arrives, and faces along the line. */
        setMoveTo(lineX, y);
        execute();
    }
}

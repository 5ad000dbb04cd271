/* Chases the ball and leaves debug output of every kind for the replay page's tests: each step
   one print (in turn two texts that would be markup if a page interpreted them, and a plain
   line), a magenta line to the ball, a cyan circle around itself kept 5 steps, a text view,
   a message to its teammates now and then, and once a yellow rectangle kept for good. Built with
   DAWDLE_MICROSECONDS, it also sleeps that long every step, so that a match lasts long enough
   to be watched live whatever the machine. */
#include <stdio.h>
#include <time.h>

#include "Toolkit.h"

static const char* const hostile[] = {
    "</script><script>alert(1)</script>",
    "<img src=x onerror=alert(1)>",
};

void initialize(void) {}

void run(void) {
    char line[120];
    for (;;) {
        int time = getTime();
        if (time % 3 < 2) {
            print(hostile[time % 3]);
        } else {
            snprintf(line, sizeof line, "time %d at %.1f %.1f", time, getX(), getY());
            print(line);
        }
        LineView toBall = {1, 0xff00ff, getX(), getY(), getBallX(), getBallY()};
        addLineView(&toBall);
        EllipseView around = {5, 0x00ffff, 8.0, 8.0, 0, getX(), getY()};
        addEllipseView(&around);
        TextView label = {1, 0xffffff, hostile[1], 5, getX() + 6.0, getY() + 6.0};
        addTextView(&label);
        if (time == 10) {
            RectangleView box = {-1, 0xffff00, 20.0, 10.0, 0, 100.0, 10.0};
            addRectangleView(&box);
        }
        if (time % 50 == 25) broadcastMessage(hostile[0]);
#ifdef DAWDLE_MICROSECONDS
        struct timespec pause = {0, DAWDLE_MICROSECONDS * 1000L};
        nanosleep(&pause, NULL);
#endif
        setKickBallTo(getOpponentGoalCenterX(), getOpponentGoalCenterY());
        execute();
    }
}

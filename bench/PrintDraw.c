/* The recording benchmark's robot: every step it prints a line and draws a line to the ball and
   a text beside itself, and chases the ball, so that every frame of the replay carries a debug
   line of prints and views. */
#include <stdio.h>

#include "Toolkit.h"

void initialize(void) {}

void run(void) {
    char line[96];
    for (int step = 0;; ++step) {
        Ball ball;
        Bot self;
        getBall(&ball);
        getSelfBot(&self);
        snprintf(line, sizeof line, "step %d: ball at %.2f, %.2f", step, ball.x, ball.y);
        print(line);
        LineView toBall = {1, 0x1E90FF, self.x, self.y, ball.x, ball.y};
        addLineView(&toBall);
        TextView label = {1, 0xFFFFFF, line, 4, self.x + 3, self.y + 3};
        addTextView(&label);
        setMoveTo(ball.x, ball.y);
        execute();
    }
}

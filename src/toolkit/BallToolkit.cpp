// BallToolkit: the ball's fields one at a time, each copied fresh from the world mirror.
#include "Toolkit.h"

namespace {

Ball currentBall() {
    Ball ball{};
    getBall(&ball);
    return ball;
}

}  // namespace

extern "C" {

double getBallX(void) {
    return currentBall().x;
}

double getBallY(void) {
    return currentBall().y;
}

double getBallHeading(void) {
    return currentBall().heading;
}

double getBallVelocity(void) {
    return currentBall().velocity;
}

double getBallRadius(void) {
    return currentBall().radius;
}

double getBallNegativeAcceleration(void) {
    return currentBall().negativeAcceleration;
}

}  // extern "C"

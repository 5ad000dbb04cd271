// BaseOperateToolkit: motion helpers that turn a target point or direction into the step's
// move and turn velocities, the kick approach, multi-step execution and team messages.
// Everything is queued through setMoveVelocity, setTurnVelocity and sendMessage.
#include "Toolkit.h"

namespace {

// How far the second point of the bisector lies from its midpoint.
const double kBisectorLength = 100.0;

}  // namespace

extern "C" {

// A point more than a quarter turn off the robot's front is approached backwards, so the robot
// never turns by more than about a quarter turn. Exactly a quarter turn does not reverse.
void setMoveToward(double x, double y, double velocity) {
    double h = heading(getX(), getY(), x, y);
    double b = bearing(h, getHeading());
    bool reverse = b > 0 ? b > TOOLKIT_HALF_PI : b < -TOOLKIT_HALF_PI;
    if (reverse) {
        b = bearing(h + TOOLKIT_PI, getHeading());
        velocity = -velocity;
    }
    setMoveVelocity(velocity);
    setTurnVelocity(b);
}

// The requested speed is the remaining distance; the host caps it.
void setMoveTo(double x, double y) {
    setMoveToward(x, y, distance(getX(), getY(), x, y));
}

void setTurnTo(double angle) {
    setTurnVelocity(bearing(angle, getHeading()));
}

// Sends the robot to the point of the kick line (target, ball, contact point) that is as far
// from the contact point as from the robot. Followed step by step, these waypoints draw the
// robot onto the kick line behind the ball, so it meets the ball moving towards the target.
void setKickBallTo(double x, double y) {
    double ballX = getBallX(), ballY = getBallY();
    double selfX = getX(), selfY = getY();

    // The contact point A: on the ball's surface, on the side facing away from the target.
    double hTB = heading(x, y, ballX, ballY);
    double aX, aY;
    nextPoint(ballX, ballY, hTB, getBallRadius(), &aX, &aY);

    // M, the midpoint of A and the robot, and N, a second point of their perpendicular bisector.
    double hAS = heading(aX, aY, selfX, selfY);
    double mX, mY;
    nextPoint(aX, aY, hAS, distance(aX, aY, selfX, selfY) / 2.0, &mX, &mY);
    double nX, nY;
    nextPoint(mX, mY, hAS - TOOLKIT_HALF_PI, kBisectorLength, &nX, &nY);

    double pX, pY;
    crossPoint(x, y, aX, aY, mX, mY, nX, nY, &pX, &pY);

    // A robot on the ball's side of the contact point goes around the ball, not through it:
    // the waypoint moves to the other side of M, at least both radii away from it.
    if (absBearing(hTB, hAS) > TOOLKIT_HALF_PI) {
        double r = getBallRadius() + getRadius();
        double e = r > distance(pX, pY, mX, mY) ? r : distance(pX, pY, mX, mY);
        nextPoint(mX, mY, heading(pX, pY, mX, mY), e, &pX, &pY);
    }

    modifyInCourt(&pX, &pY, getRadius());
    setMoveTo(pX, pY);
}

// Stops right after the first step with a round finish; after one it runs a single step.
void executeTimes(int times) {
    if (isRoundFinish()) {
        execute();
        return;
    }
    for (int i = 0; i < times; ++i) {
        execute();
        if (isRoundFinish()) return;
    }
}

// One message per teammate, in robot order; never to the robot itself.
void broadcastMessage(const char* message) {
    if (message == nullptr) return;
    for (int i = 0; i < getBotNum(); ++i) {
        Bot bot{};
        getBot(i, &bot);
        if (isTeammate(&bot)) sendMessage(&bot, message);
    }
}

}  // extern "C"

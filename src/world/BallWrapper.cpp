#include "world/BallWrapper.h"

#include "adapter/JavaUtils.h"

BallWrapper::BallWrapper(JNIEnv* env, jobject infoConsole) {
    LocalRef ball(env, JavaUtils::readObject(env, infoConsole, "getBall"));
    if (!ball) return;
    radius = JavaUtils::readDouble(env, ball.get(), "getRadius");
    negativeAcceleration = JavaUtils::readDouble(env, ball.get(), "getNegativeAcceleration");
}

void BallWrapper::update(JNIEnv* env, jobject infoConsole) {
    LocalRef ball(env, JavaUtils::readObject(env, infoConsole, "getBall"));
    if (!ball) return;
    x = JavaUtils::readDouble(env, ball.get(), "getX");
    y = JavaUtils::readDouble(env, ball.get(), "getY");
    heading = JavaUtils::readDouble(env, ball.get(), "getHeading");
    velocity = JavaUtils::readDouble(env, ball.get(), "getVelocity");
}

void BallWrapper::load(Ball* out) const {
    out->x = x;
    out->y = y;
    out->heading = heading;
    out->velocity = velocity;
    out->radius = radius;
    out->negativeAcceleration = negativeAcceleration;
}

// BallWrapper: the mirror of the host's ball. Radius and deceleration are read once, when the
// mirror is created; position, heading and speed on every update.
#ifndef TOUCHLINE_WORLD_BALLWRAPPER_H
#define TOUCHLINE_WORLD_BALLWRAPPER_H

#include <jni.h>

#include "Toolkit.h"

class BallWrapper {
public:
    // Fetches the ball from the info console and reads its constant values.
    BallWrapper(JNIEnv* env, jobject infoConsole);
    BallWrapper(const BallWrapper&) = delete;
    BallWrapper& operator=(const BallWrapper&) = delete;

    // Fetches the ball again and reads its changing values. Without a ball object the last
    // values stay.
    void update(JNIEnv* env, jobject infoConsole);
    void load(Ball* out) const;

private:
    double x = 0;
    double y = 0;
    double heading = 0;
    double velocity = 0;
    double radius = 0;
    double negativeAcceleration = 0;
};

#endif

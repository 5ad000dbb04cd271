// BotWrapper: the mirror of one host robot. Id, team, name, radius and top speeds are read
// once, when the mirror is created; position, heading and speeds on every update.
#ifndef TOUCHLINE_WORLD_BOTWRAPPER_H
#define TOUCHLINE_WORLD_BOTWRAPPER_H

#include <jni.h>

#include <string>

#include "Toolkit.h"

class BotWrapper {
public:
    // Reads the robot's constant values; the caller keeps and releases the robot object.
    BotWrapper(JNIEnv* env, int teamId, jobject robot);
    BotWrapper(const BotWrapper&) = delete;
    BotWrapper& operator=(const BotWrapper&) = delete;

    void update(JNIEnv* env, jobject robot);
    // The name is handed out as a pointer to this mirror's own characters, which stay in place
    // for as long as the mirror lives.
    void load(Bot* out) const;

private:
    int id = 0;
    int teamId = 0;
    std::string name;
    double x = 0;
    double y = 0;
    double heading = 0;
    double moveVelocity = 0;
    double turnVelocity = 0;
    double radius = 0;
    double maxMoveVelocity = 0;
    double maxTurnVelocity = 0;
};

#endif

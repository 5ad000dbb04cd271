#include "world/BotWrapper.h"

#include "adapter/JavaUtils.h"

BotWrapper::BotWrapper(JNIEnv* env, int teamId, jobject robot) : teamId(teamId) {
    id = JavaUtils::readInt(env, robot, "getId");
    name = JavaUtils::readString(env, robot, "getName");
    radius = JavaUtils::readDouble(env, robot, "getRadius");
    maxMoveVelocity = JavaUtils::readDouble(env, robot, "getMaxMoveVelocity");
    maxTurnVelocity = JavaUtils::readDouble(env, robot, "getMaxTurnVelocity");
}

void BotWrapper::update(JNIEnv* env, jobject robot) {
    x = JavaUtils::readDouble(env, robot, "getX");
    y = JavaUtils::readDouble(env, robot, "getY");
    heading = JavaUtils::readDouble(env, robot, "getHeading");
    moveVelocity = JavaUtils::readDouble(env, robot, "getMoveVelocity");
    turnVelocity = JavaUtils::readDouble(env, robot, "getTurnVelocity");
}

void BotWrapper::load(Bot* out) const {
    out->id = id;
    out->teamId = teamId;
    out->name = name.c_str();
    out->x = x;
    out->y = y;
    out->heading = heading;
    out->moveVelocity = moveVelocity;
    out->turnVelocity = turnVelocity;
    out->radius = radius;
    out->maxMoveVelocity = maxMoveVelocity;
    out->maxTurnVelocity = maxTurnVelocity;
}

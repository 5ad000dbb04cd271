#include "events/ActionHandler.h"

#include "adapter/JavaUtils.h"

MessageReceivedActionHandler::MessageReceivedActionHandler(JNIEnv* env, jobject event)
    : sender(JavaUtils::readInt(env, event, "getSender")),
      message(JavaUtils::readString(env, event, "getMessage")) {}

void MessageReceivedActionHandler::load(ActionUnion* value) const {
    value->messageReceived.sender = sender;
    value->messageReceived.message = message.c_str();
}

HitRobotActionHandler::HitRobotActionHandler(JNIEnv* env, jobject event)
    : hited(JavaUtils::readInt(env, event, "getHited")) {}

// Only hited: the rest of the caller's record stays as it was.
void HitRobotActionHandler::load(ActionUnion* value) const {
    value->hitRobot.hited = hited;
}

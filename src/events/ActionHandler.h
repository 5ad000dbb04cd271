// ActionHandler: one handler class per kind of host event. A handler is made from one host
// event, answers its type code and copies the event's data into the public ActionUnion record.
#ifndef TOUCHLINE_EVENTS_ACTIONHANDLER_H
#define TOUCHLINE_EVENTS_ACTIONHANDLER_H

#include <jni.h>

#include <string>

#include "Toolkit.h"

class ActionHandler {
public:
    // The event's ACTION_ code.
    virtual int getType() const = 0;
    // Writes the event's data into *value; events without data leave it untouched.
    virtual void load(ActionUnion* value) const = 0;
    virtual ~ActionHandler() = default;
};

class TickActionHandler : public ActionHandler {
public:
    int getType() const override { return ACTION_TICK; }
    void load(ActionUnion*) const override {}
};

class MatchBeginActionHandler : public ActionHandler {
public:
    int getType() const override { return ACTION_MATCH_BEGIN; }
    void load(ActionUnion*) const override {}
};

class MatchFinishActionHandler : public ActionHandler {
public:
    int getType() const override { return ACTION_MATCH_FINISH; }
    void load(ActionUnion*) const override {}
};

class RoundBeginActionHandler : public ActionHandler {
public:
    int getType() const override { return ACTION_ROUND_BEGIN; }
    void load(ActionUnion*) const override {}
};

class RoundFinishActionHandler : public ActionHandler {
public:
    int getType() const override { return ACTION_ROUND_FINISH; }
    void load(ActionUnion*) const override {}
};

// Reads the sender and its own copy of the text from the host event when it is made; the text
// handed out by load stays valid as long as the handler lives.
class MessageReceivedActionHandler : public ActionHandler {
public:
    MessageReceivedActionHandler(JNIEnv* env, jobject event);
    int getType() const override { return ACTION_MESSAGE_RECEIVED; }
    void load(ActionUnion* value) const override;

private:
    int sender;
    std::string message;
};

// Reads the other robot's id from the host event when it is made.
class HitRobotActionHandler : public ActionHandler {
public:
    HitRobotActionHandler(JNIEnv* env, jobject event);
    int getType() const override { return ACTION_HIT_ROBOT; }
    void load(ActionUnion* value) const override;

private:
    int hited;
};

class HitWallActionHandler : public ActionHandler {
public:
    int getType() const override { return ACTION_HIT_WALL; }
    void load(ActionUnion*) const override {}
};

class HitBallActionHandler : public ActionHandler {
public:
    int getType() const override { return ACTION_HIT_BALL; }
    void load(ActionUnion*) const override {}
};

#endif

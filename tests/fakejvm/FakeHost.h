// FakeHost: a whole simulator's object graph on the fake JVM: the adapter object and its
// info, operate and debug consoles, the court, the ball, teams with their robots and the
// events of the step. Tests edit the public state between steps; the host objects read it
// whenever the library calls a getter, and every call lands in the fake JVM's log.
#ifndef TOUCHLINE_TESTS_FAKEHOST_H
#define TOUCHLINE_TESTS_FAKEHOST_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "FakeJvm.h"

namespace fakejvm {

struct CourtState {
    double width = 220, height = 180, goalWidth = 40, goalDepth = 15;
    double cornerWidth = 10, cornerHeight = 8;
};

struct BallState {
    double x = 110, y = 90, heading = 0, velocity = 0, radius = 2, negativeAcceleration = 0.05;
};

struct BotState {
    int id = 0;
    std::string name;
    double x = 0, y = 0, heading = 0, moveVelocity = 0, turnVelocity = 0;
    double radius = 5, maxMoveVelocity = 10, maxTurnVelocity = 1;
};

struct TeamState {
    int id = 0;
    std::string name;
    int attack = 1;
    double score = 0;
    std::vector<BotState> members;
};

struct EventState {
    std::string type;
    int sender = 0;       // "messageReceived"
    std::string message;  // "messageReceived"
    int hited = 0;        // "hitRobot"
};

class FakeHost {
public:
    explicit FakeHost(FakeJvm& jvm);

    // Two teams (ids 1 and 2, attack +1 and -1) of botsPerTeam robots each, robot ids 0, 1, ...
    // in global order; this library plays robot selfId.
    void standardMatch(int botsPerTeam = 3, int selfId = 0);

    // A new local reference to the adapter object, as the host passes it to adapterRun.
    jobject adapterRef() { return jvm.localRef(&adapter); }

    FakeJvm& jvm;

    // The world as the host reports it; edit freely between steps.
    int selfId = 0;
    int64_t time = 0;
    int64_t totalTimes = 3000;
    CourtState court;
    BallState ball;
    std::vector<TeamState> teams;
    std::vector<EventState> events;

    // Called inside the operate console's "execute", after time has advanced by one: the
    // place where a test moves its world on.
    std::function<void()> onExecute;
    int executes = 0;

    Object& adapter;
    Object& info;
    Object& operate;
    Object& debug;
    Object& courtObject;
    Object& ballObject;
    Object& teamList;
    Object& actionList;

    // Team objects and member lists are created per index on first use and stay the same
    // objects for the whole run, as the host promises.
    Object& teamObject(size_t index);
    Object& memberList(size_t team);
    Object& botObject(size_t team, size_t member);

private:
    Object& view(const std::string& kind, const std::vector<std::string>& setters);
    std::vector<Object*> teamObjects_;
    std::vector<Object*> memberLists_;
    std::vector<std::vector<Object*>> botObjects_;
    int viewCount_ = 0;
    int eventCount_ = 0;
};

}  // namespace fakejvm

#endif

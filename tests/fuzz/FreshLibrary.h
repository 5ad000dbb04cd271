// FreshLibrary: the strategy library loaded anew for one fuzz input and unloaded after it, so
// every input meets a library in its first state, as a robot process does. The library's
// state is process-global and never reset; a fresh load is the one way to start over.
#ifndef TOUCHLINE_TESTS_FRESHLIBRARY_H
#define TOUCHLINE_TESTS_FRESHLIBRARY_H

#include <jni.h>

#include "Toolkit.h"

// Every toolkit function a strategy may call.
#define TOOLKIT_FUNCTIONS(X)                                                                       \
    X(getId)                                                                                       \
    X(getTime) X(getTotalTimes) X(getBotNum) X(getBot) X(getTeamNum) X(getTeam) X(getBall) X(      \
        getCourt) X(getSelfBot) X(getBotById) X(getTeamById) X(getSelfTeam) X(getOpponentTeam)     \
        X(isMember) X(isTeammate) X(getTeammatesNum) X(getBallX) X(getBallY) X(getBallHeading) X(  \
            getBallVelocity) X(getBallRadius) X(getBallNegativeAcceleration) X(getX) X(getY)       \
            X(getHeading) X(getMoveVelocity) X(getTurnVelocity) X(getRadius) X(getMaxMoveVelocity) \
                X(getMaxTurnVelocity) X(getName) X(getScore) X(getLose) X(getAttack) X(            \
                    getCourtWidth) X(getCourtHeight) X(getGoalWidth) X(getGoalDepth)               \
                    X(getCornerWidth) X(getCornerHeight) X(getCourtCenterX) X(getCourtCenterY) X(  \
                        getOpponentGoalCenterX) X(getOpponentGoalCenterY) X(getSelfGoalCenterX)    \
                        X(getSelfGoalCenterY) X(getAttackHeading) X(inCourt) X(modifyInCourt)      \
                            X(isPointHit) X(getActionNum) X(getActionType) X(getActionValue)       \
                                X(isMatchBegin) X(isMatchFinish) X(isRoundBegin) X(isRoundFinish)  \
                                    X(isHitRobot) X(isHitWall) X(isHitBall) X(isHited)             \
                                        X(setMoveVelocity) X(setTurnVelocity) X(sendMessage) X(    \
                                            broadcastMessage) X(execute) X(executeTimes) X(print)  \
                                            X(addLineView) X(addTextView) X(addEllipseView)        \
                                                X(addRectangleView) X(toDegrees) X(toRadians)      \
                                                    X(angle360) X(angleDoublePI) X(anglePI)        \
                                                        X(distance) X(heading) X(bearing)          \
                                                            X(absBearing) X(gaussian) X(nextPoint) \
                                                                X(crossPoint) X(setMoveToward)     \
                                                                    X(setMoveTo) X(setTurnTo)      \
                                                                        X(setKickBallTo)

// The loaded copy's functions, under their own names: tl.getBotNum(), tl.execute().
struct Toolkit {
#define TOOLKIT_MEMBER(name) decltype(&::name) name;
    TOOLKIT_FUNCTIONS(TOOLKIT_MEMBER)
#undef TOOLKIT_MEMBER
    int (*adapterInit)(void);
    void (*adapterRun)(JNIEnv* env, jobject adapter);
    void (*adapterClearup)(void);
};

class FreshLibrary {
public:
    // Loads the library (built from the test strategy of tests/support, whose initialize() and
    // run() call the hooks given) and resolves every function. Aborts if it cannot.
    FreshLibrary(const char* path, void (*initialize)(void*), void (*run)(void*));
    // Hands the copy's coverage to libFuzzer, unloads it and checks that it is gone.
    ~FreshLibrary();
    FreshLibrary(const FreshLibrary&) = delete;
    FreshLibrary& operator=(const FreshLibrary&) = delete;

    const Toolkit& toolkit() const { return toolkit_; }

private:
    void* resolve(const char* name) const;
    const char* path_;
    void* handle_;
    Toolkit toolkit_;
};

#endif

// ActionToolkit: the strategy's view of the last step's events: the list by index, and
// predicates that say whether an event of a kind happened.
#include "Toolkit.h"
#include "events/Action.h"
#include "events/ActionHandler.h"

namespace {

// 1 when the list holds at least one event of the code; asks the count again on every pass.
int hasAction(int type) {
    for (int i = 0; i < getActionNum(); ++i) {
        if (getActionType(i) == type) return 1;
    }
    return 0;
}

}  // namespace

extern "C" {

int getActionNum(void) {
    return getHandlerNum();
}

int getActionType(int index) {
    const ActionHandler* handler = getHandler(index);
    return handler != nullptr ? handler->getType() : -1;
}

void getActionValue(int index, ActionUnion* value) {
    const ActionHandler* handler = getHandler(index);
    if (handler != nullptr && value != nullptr) handler->load(value);
}

int isMatchBegin(void) {
    return hasAction(ACTION_MATCH_BEGIN);
}
int isMatchFinish(void) {
    return hasAction(ACTION_MATCH_FINISH);
}
int isRoundBegin(void) {
    return hasAction(ACTION_ROUND_BEGIN);
}
int isRoundFinish(void) {
    return hasAction(ACTION_ROUND_FINISH);
}
int isHitRobot(void) {
    return hasAction(ACTION_HIT_ROBOT);
}
int isHitWall(void) {
    return hasAction(ACTION_HIT_WALL);
}
int isHitBall(void) {
    return hasAction(ACTION_HIT_BALL);
}

int isHited(void) {
    if (isHitWall()) return 1;
    if (isHitRobot()) return 1;
    if (isHitBall()) return 1;
    return 0;
}
}

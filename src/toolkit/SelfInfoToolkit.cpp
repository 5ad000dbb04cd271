// SelfInfoToolkit: the own robot's fields one at a time, and the scores and attack of the own
// team and its opponent. Each call copies fresh records from the world mirror; when the own
// robot or the team asked for is not mirrored the value is 0 (the name "").
#include "toolkit/BaseInfoToolkit.h"

namespace {

Bot selfBot() {
    Bot bot{};
    if (!getSelfBot(&bot)) return Bot{};
    return bot;
}

}  // namespace

extern "C" {

double getX(void) {
    return selfBot().x;
}

double getY(void) {
    return selfBot().y;
}

double getHeading(void) {
    return selfBot().heading;
}

double getMoveVelocity(void) {
    return selfBot().moveVelocity;
}

double getTurnVelocity(void) {
    return selfBot().turnVelocity;
}

double getRadius(void) {
    return selfBot().radius;
}

double getMaxMoveVelocity(void) {
    return selfBot().maxMoveVelocity;
}

double getMaxTurnVelocity(void) {
    return selfBot().maxTurnVelocity;
}

const char* getName(void) {
    const char* name = selfBot().name;
    return name != nullptr ? name : "";
}

double getScore(void) {
    Team team{};
    return findSelfTeam(&team) ? team.score : 0.0;
}

// What the own team has conceded: the score of the first team the own robot is not in.
double getLose(void) {
    Team team{};
    return findOpponentTeam(&team) ? team.score : 0.0;
}

int getAttack(void) {
    Team team{};
    return findSelfTeam(&team) ? team.attack : 0;
}

}  // extern "C"

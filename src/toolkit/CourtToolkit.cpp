// CourtToolkit: the court's fields one at a time, its centre, and the goal centres and attack
// heading that follow the direction in which the own team attacks.
#include "Toolkit.h"

namespace {

Court currentCourt() {
    Court court{};
    getCourt(&court);
    return court;
}

}  // namespace

extern "C" {

double getCourtWidth(void) {
    return currentCourt().width;
}

double getCourtHeight(void) {
    return currentCourt().height;
}

double getGoalWidth(void) {
    return currentCourt().goalWidth;
}

double getGoalDepth(void) {
    return currentCourt().goalDepth;
}

double getCornerWidth(void) {
    return currentCourt().cornerWidth;
}

double getCornerHeight(void) {
    return currentCourt().cornerHeight;
}

double getCourtCenterX(void) {
    return getCourtWidth() / 2.0;
}

double getCourtCenterY(void) {
    return getCourtHeight() / 2.0;
}

// An attack of 0 counts as attacking towards x = 0.
double getOpponentGoalCenterX(void) {
    return getAttack() > 0 ? getCourtWidth() : 0.0;
}

double getOpponentGoalCenterY(void) {
    return getCourtHeight() / 2.0;
}

double getSelfGoalCenterX(void) {
    return getAttack() > 0 ? 0.0 : getCourtWidth();
}

double getSelfGoalCenterY(void) {
    return getCourtHeight() / 2.0;
}

double getAttackHeading(void) {
    return getAttack() > 0 ? 0.0 : TOOLKIT_PI;
}

}  // extern "C"

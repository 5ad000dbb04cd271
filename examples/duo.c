/*
 * duo.c: a team that shares its roles by messages: one attacker, the others defenders.
 *
 * Every step each robot broadcasts its distance to the ball ("d 42.5"). From the figures of
 * the last step, the same for every robot of the team, each picks the same attacker: the robot
 * nearest to the ball, which keeps the role until another is clearly nearer. The attacker plays
 * like the striker; the others guard their goal like the goalkeeper.
 */
#include <stdio.h>

#include "Toolkit.h"

#define MAX_ROBOTS 16
/* A teammate must be this much nearer to the ball to take the attack over. */
#define HANDOVER_MARGIN 8.0
/* As in striker.c: lined up behind the ball and close enough to charge. */
#define LINED_UP 0.25
#define CHARGE_DISTANCE 30.0
/* How far out the defender stands, as a share of the way from the own goal to the ball. */
#define SWEEP_SHARE 0.33

/* The distance each robot of the team sent last step, by robot id (this robot's own
 * included); negative: nothing heard. Every robot of the team holds the same figures, so every
 * robot picks the same attacker. */
static double lastDistance[MAX_ROBOTS];
static int attacker = -1;

void initialize(void) {
    for (int i = 0; i < MAX_ROBOTS; i++) {
        lastDistance[i] = -1.0;
    }
}

/* Reads this step's messages from teammates: "d <distance>". */
static void readMessages(void) {
    for (int i = 0; i < getActionNum(); i++) {
        ActionUnion value;
        double d;
        if (getActionType(i) != ACTION_MESSAGE_RECEIVED) {
            continue;
        }
        getActionValue(i, &value);
        int sender = value.messageReceived.sender;
        if (sender >= 0 && sender < MAX_ROBOTS &&
            sscanf(value.messageReceived.message, "d %lf", &d) == 1) {
            lastDistance[sender] = d;
        }
    }
}

/* The attacker keeps its role until a teammate is clearly nearer to the ball. */
static void chooseAttacker(void) {
    int nearest = -1;
    for (int id = 0; id < MAX_ROBOTS; id++) {
        if (lastDistance[id] >= 0.0 && (nearest < 0 || lastDistance[id] < lastDistance[nearest])) {
            nearest = id;
        }
    }
    if (attacker < 0 || lastDistance[attacker] < 0.0 ||
        lastDistance[nearest] + HANDOVER_MARGIN < lastDistance[attacker]) {
        attacker = nearest;
    }
}

static void attack(void) {
    double goalX = getOpponentGoalCenterX();
    double goalY = getOpponentGoalCenterY();
    double ballX = getBallX();
    double ballY = getBallY();
    double toBall = heading(getX(), getY(), ballX, ballY);
    double ballToGoal = heading(ballX, ballY, goalX, goalY);
    if (absBearing(toBall, ballToGoal) < LINED_UP &&
        distance(getX(), getY(), ballX, ballY) < CHARGE_DISTANCE) {
        setMoveToward(ballX, ballY, getMaxMoveVelocity());
    } else {
        setKickBallTo(goalX, goalY);
    }
}

/* Sweeps: stands on the line from the own goal to the ball, a third of the way out, where
 * it meets a shot or a dribble on the way in. */
static void defend(void) {
    double goalX = getSelfGoalCenterX();
    double goalY = getSelfGoalCenterY();
    double x = goalX + (getBallX() - goalX) * SWEEP_SHARE;
    double y = goalY + (getBallY() - goalY) * SWEEP_SHARE;
    modifyInCourt(&x, &y, getRadius());
    setMoveTo(x, y);
}

void run(void) {
    char text[32];
    for (;;) {
        readMessages();
        chooseAttacker();
        /* Before anything is heard (the first step), everyone attacks. */
        if (attacker < 0 || attacker == getId()) {
            attack();
        } else {
            defend();
        }
        double own = distance(getX(), getY(), getBallX(), getBallY());
        snprintf(text, sizeof text, "d %.1f", own);
        /* The own figure as the teammates will read it: the same rounding. */
        sscanf(text, "d %lf", &lastDistance[getId() < MAX_ROBOTS ? getId() : 0]);
        broadcastMessage(text);
        execute();
    }
}

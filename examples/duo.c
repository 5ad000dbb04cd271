/*
 * duo.c: a team that shares its roles by messages: one attacker, the others defenders.
 *
 * Every step each robot broadcasts its distance to the ball ("d 42.5"). From the figures of
 * the last step, the same for every robot of the team, each picks the same attacker: the robot
 * nearest to the ball, which keeps the role until another is clearly nearer. The attacker plays
 * like the striker, but from out wide it aims inside the near post; the others keep goal like
 * the goalkeeper, but stand where the ball would cross their guard line.
 */
#include <math.h>
#include <stdio.h>

#include "Toolkit.h"

#define MAX_ROBOTS 16
/* A teammate must be this much nearer to the ball to take the attack over. */
#define HANDOVER_MARGIN 4.0
/* As in striker.c: lined up behind the ball and close enough to charge. */
#define LINED_UP 0.25
#define CHARGE_DISTANCE 30.0
/* From out wide the attacker aims this far from the goal's centre, just inside the near post. */
#define NEAR_POST 16.0

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

/* The striker's play. A keeper that stays level with the ball stops shots at the goal's centre;
 * from beside the goal mouth, a shot inside the near post slips past it. */
static void attack(void) {
    double goalX = getOpponentGoalCenterX();
    double goalY = getOpponentGoalCenterY();
    double ballX = getBallX();
    double ballY = getBallY();
    if (fabs(ballY - goalY) > getGoalWidth() / 2.0) {
        goalY += ballY > goalY ? NEAR_POST : -NEAR_POST;
    }
    double toBall = heading(getX(), getY(), ballX, ballY);
    double ballToGoal = heading(ballX, ballY, goalX, goalY);
    if (absBearing(toBall, ballToGoal) < LINED_UP &&
        distance(getX(), getY(), ballX, ballY) < CHARGE_DISTANCE) {
        setMoveToward(ballX, ballY, getMaxMoveVelocity());
    } else {
        setKickBallTo(goalX, goalY);
    }
}

/* Keeps goal on goalkeeper.c's guard line, within the mouth. A ball rolling towards the goal
 * is met where its path crosses the line; otherwise the keeper stands on the line from the
 * ball to the goal's centre, where a shot at the goal would pass. */
static void defend(void) {
    double goalX = getSelfGoalCenterX();
    double goalY = getSelfGoalCenterY();
    double lineX = goalX + (getAttack() > 0 ? 2.0 : -2.0) * getRadius();
    double lowest = goalY - getGoalWidth() / 2.0 + getRadius();
    double highest = goalY + getGoalWidth() / 2.0 - getRadius();
    double ballX = getBallX();
    double ballY = getBallY();
    double vx = getBallVelocity() * cos(getBallHeading());
    double vy = getBallVelocity() * sin(getBallHeading());
    double y = goalY;
    if ((goalX - ballX) * vx > 0.0 && fabs(vx) > 0.01) {
        y = ballY + vy * (lineX - ballX) / vx;
    } else if (fabs(ballX - goalX) > 1e-6) {
        y = goalY + (ballY - goalY) * (lineX - goalX) / (ballX - goalX);
    }
    y = y < lowest ? lowest : y > highest ? highest : y;
    setMoveTo(lineX, y);
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

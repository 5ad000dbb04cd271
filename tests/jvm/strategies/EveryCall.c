/* Calls every toolkit function once per step, also with indices out of range and null
   pointers, and prints a digest of what it read; drives towards the ball meanwhile. */
#include <stdio.h>
#include <string.h>

#include "Toolkit.h"

static double digest;

static void add(double value) {
    digest += value;
}

static void world(void) {
    Court court;
    Ball ball;
    Bot bot;
    Team team;
    int i;
    add(getId() + getTime() + getTotalTimes());
    getCourt(&court);
    getBall(&ball);
    add(court.width + ball.x);
    for (i = -1; i <= getBotNum(); ++i) getBot(i, &bot);
    for (i = -1; i <= getTeamNum(); ++i) getTeam(i, &team);
    getBot(0, NULL);
    getTeam(0, NULL);
    getCourt(NULL);
    getBall(NULL);
    add(getBallX() + getBallY() + getBallHeading() + getBallVelocity() + getBallRadius() +
        getBallNegativeAcceleration());
    add(getX() + getY() + getHeading() + getMoveVelocity() + getTurnVelocity() + getRadius() +
        getMaxMoveVelocity() + getMaxTurnVelocity());
    add((double)strlen(getName()));
    add(getScore() + getLose() + getAttack());
    add(getCourtWidth() + getCourtHeight() + getGoalWidth() + getGoalDepth() + getCornerWidth() +
        getCornerHeight() + getCourtCenterX() + getCourtCenterY());
    add(getOpponentGoalCenterX() + getOpponentGoalCenterY() + getSelfGoalCenterX() +
        getSelfGoalCenterY() + getAttackHeading());
    add(getSelfBot(&bot) + getBotById(getId(), &bot) + getBotById(-12345, &bot));
    add(getTeamById(bot.teamId, &team) + getTeamById(-12345, &team));
    getSelfTeam(&team);
    getOpponentTeam(&team);
    getSelfBot(NULL);
    getBotById(getId(), NULL);
    getTeamById(0, NULL);
    getSelfTeam(NULL);
    getOpponentTeam(NULL);
    getSelfBot(&bot);
    getSelfTeam(&team);
    add(isMember(&bot, &team) + isTeammate(&bot) + getTeammatesNum());
    add(isMember(NULL, &team) + isMember(&bot, NULL) + isTeammate(NULL));
    add(inCourt(getX(), getY(), 1.0) + isPointHit(getBallX(), getBallY()));
    {
        double x = -50.0, y = 1e9;
        modifyInCourt(&x, &y, 5.0);
        modifyInCourt(NULL, NULL, 5.0);
        add(x + y);
    }
}

static void events(void) {
    int i;
    ActionUnion value;
    for (i = -1; i <= getActionNum(); ++i) {
        memset(&value, 0, sizeof value);
        add(getActionType(i));
        getActionValue(i, &value);
        if (getActionType(i) == ACTION_MESSAGE_RECEIVED && value.messageReceived.message != NULL) {
            add((double)strlen(value.messageReceived.message) + value.messageReceived.sender);
        }
        if (getActionType(i) == ACTION_HIT_ROBOT) add(value.hitRobot.hited);
    }
    getActionValue(0, NULL);
    add(isMatchBegin() + isMatchFinish() + isRoundBegin() + isRoundFinish() + isHitRobot() +
        isHitWall() + isHitBall() + isHited());
}

static void geometry(void) {
    double x, y;
    add(toDegrees(1.0) + toRadians(90.0) + angle360(-30.0) + angleDoublePI(-1.0) + anglePI(4.0));
    add(distance(0, 0, 3, 4) + heading(0, 0, 1, 1) + bearing(1.0, 2.0) + absBearing(1.0, 2.0));
    add(gaussian(1.0, 0.5));
    nextPoint(1.0, 2.0, 0.5, 10.0, &x, &y);
    add(x + y);
    nextPoint(1.0, 2.0, 0.5, 10.0, NULL, NULL);
    crossPoint(0, 0, 10, 10, 0, 10, 10, 0, &x, &y);
    add(x + y);
    crossPoint(0, 0, 1, 1, 0, 1, 1, 2, &x, &y);
    crossPoint(0, 0, 10, 10, 0, 10, 10, 0, NULL, NULL);
}

static void commands(void) {
    Bot self;
    LineView line = {3, 0xff0000, 1.0, 2.0, 3.0, 4.0};
    TextView text = {3, 0x00ff00, "every call", 12, 5.0, 6.0};
    TextView emptyText = {3, 0x00ff00, "", 12, 5.0, 6.0};
    EllipseView ellipse = {3, 0x0000ff, 7.0, 8.0, 1, 9.0, 10.0};
    RectangleView rectangle = {-1, 0x123456, 11.0, 12.0, 0, 13.0, 14.0};
    char note[64];
    getSelfBot(&self);
    snprintf(note, sizeof note, "t=%d digest=%.6g", getTime(), digest);
    print(note);
    print("");
    print(NULL);
    addLineView(&line);
    addTextView(&text);
    addTextView(&emptyText);
    addEllipseView(&ellipse);
    addRectangleView(&rectangle);
    addLineView(NULL);
    addTextView(NULL);
    addEllipseView(NULL);
    addRectangleView(NULL);
    sendMessage(&self, "to myself");
    sendMessage(NULL, "to nobody");
    sendMessage(&self, NULL);
    broadcastMessage("to the team");
    broadcastMessage(NULL);
    setMoveVelocity(1.0);
    setTurnVelocity(0.1);
    setMoveToward(getBallX(), getBallY(), 3.0);
    setTurnTo(1.0);
    setMoveTo(getCourtCenterX(), getCourtCenterY());
    setKickBallTo(getOpponentGoalCenterX(), getOpponentGoalCenterY());
}

void initialize(void) {}

void run(void) {
    for (;;) {
        world();
        events();
        geometry();
        commands();
        if (getTime() % 2 == 0) {
            execute();
        } else {
            executeTimes(1);
        }
    }
}

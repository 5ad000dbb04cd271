/* Strategy code written in C99 sees the toolkit header as plain C. */
#include "Toolkit.h"

double headerUse(void) {
    Bot bot;
    Team team;
    ActionUnion value;
    LineView line = {10, 0xff0000, 0.0, 0.0, 1.0, 1.0};
    getSelfBot(&bot);
    getSelfTeam(&team);
    value.hitRobot.hited = ACTION_HIT_ROBOT;
    addLineView(&line);
    return bot.x + team.score + value.hitRobot.hited + TOOLKIT_PI;
}

#include "toolkit/BaseInfoToolkit.h"

namespace {

// The width of the border zone that isPointHit counts as touching the wall.
const double kBorderZone = 2.0;

// Scans the teams in order until one's membership of the own robot is `wanted`. Without a
// match the last team is left in *out; with no teams *out is not written.
void scanTeams(Team* out, int wanted) {
    int n = getTeamNum();
    Bot own{};
    getSelfBot(&own);
    for (int i = 0; i < n; ++i) {
        getTeam(i, out);
        if (isMember(&own, out) == wanted) return;
    }
}

// As scanTeams, but says whether the own robot exists and the team found really matches.
bool findTeam(Team* out, int wanted) {
    Bot own{};
    if (out == nullptr || !getSelfBot(&own) || getTeamNum() == 0) return false;
    scanTeams(out, wanted);
    return isMember(&own, out) == wanted;
}

}  // namespace

bool findSelfTeam(Team* out) {
    return findTeam(out, 1);
}

bool findOpponentTeam(Team* out) {
    return findTeam(out, 0);
}

extern "C" {

int getSelfBot(Bot* out) {
    return getBotById(getId(), out);
}

// The record is overwritten by every candidate: after a miss it holds the last robot.
int getBotById(int id, Bot* out) {
    Bot scratch;
    Bot* bot = out != nullptr ? out : &scratch;
    int n = getBotNum();
    for (int i = 0; i < n; ++i) {
        getBot(i, bot);
        if (bot->id == id) return 1;
    }
    return 0;
}

int getTeamById(int id, Team* out) {
    Team scratch;
    Team* team = out != nullptr ? out : &scratch;
    int n = getTeamNum();
    for (int i = 0; i < n; ++i) {
        getTeam(i, team);
        if (team->id == id) return 1;
    }
    return 0;
}

void getSelfTeam(Team* out) {
    if (out != nullptr) scanTeams(out, 1);
}

void getOpponentTeam(Team* out) {
    if (out != nullptr) scanTeams(out, 0);
}

int isMember(const Bot* bot, const Team* team) {
    if (bot == nullptr || team == nullptr) return 0;
    return bot->teamId == team->id ? 1 : 0;
}

// Without a mirrored own robot and its team there are no teammates.
int isTeammate(const Bot* bot) {
    if (bot == nullptr || bot->id == getId()) return 0;
    Team team{};
    if (!findSelfTeam(&team)) return 0;
    return isMember(bot, &team);
}

int getTeammatesNum(void) {
    int count = 0;
    for (int i = 0; i < getBotNum(); ++i) {
        Bot bot{};
        getBot(i, &bot);
        if (isTeammate(&bot)) count = count + 1;
    }
    return count;
}

// The border itself is outside. A NaN coordinate fails every comparison and counts as inside.
int inCourt(double x, double y, double margin) {
    if (margin < 0) margin = 0;
    if (x <= margin) return 0;
    if (x >= getCourtWidth() - margin) return 0;
    if (y <= margin) return 0;
    if (y >= getCourtHeight() - margin) return 0;
    return 1;
}

// The upper bound applies only where the lower one did not, so on a court narrower than twice
// the margin a low value ends at the margin and any other at the far bound.
void modifyInCourt(double* x, double* y, double margin) {
    if (margin < 0) margin = 0;
    if (x != nullptr) {
        if (margin > *x) {
            *x = margin;
        } else if (*x > getCourtWidth() - margin) {
            *x = getCourtWidth() - margin;
        }
    }
    if (y != nullptr) {
        if (margin > *y) {
            *y = margin;
        } else if (*y > getCourtHeight() - margin) {
            *y = getCourtHeight() - margin;
        }
    }
}

// The point has no size: it touches a disc it lies inside or on. The own robot never counts.
int isPointHit(double x, double y) {
    for (int i = 0; i < getBotNum(); ++i) {
        Bot bot{};
        getBot(i, &bot);
        if (bot.id == getId()) continue;
        if (distance(x, y, bot.x, bot.y) <= bot.radius) return 1;
    }
    Ball ball{};
    getBall(&ball);
    if (distance(x, y, ball.x, ball.y) <= ball.radius) return 1;
    if (inCourt(x, y, kBorderZone) == 0) return 1;
    return 0;
}

}  // extern "C"

#include "world/Info.h"

#include <memory>
#include <vector>

#include "adapter/FootballAdapter.h"
#include "adapter/JavaUtils.h"
#include "world/BallWrapper.h"
#include "world/BotWrapper.h"
#include "world/CourtWrapper.h"
#include "world/TeamWrapper.h"

namespace {

int id = 0;
int cur_time = 0;
int totalTimes = 0;
// The mirror owns every wrapper. None is destroyed or moved while the library is loaded, so
// the name pointers handed out in records stay valid and keep their value.
std::unique_ptr<BallWrapper> ball;
std::unique_ptr<CourtWrapper> court;
// Position = team index = position in the host's team list. Only grows.
std::vector<std::unique_ptr<TeamWrapper>> teams;
// Position = global robot index: the members of teams[0], then of teams[1], and so on.
// The robots are owned by their teams.
std::vector<BotWrapper*> bots;

void mirrorTeam(JNIEnv* env, jobject team) {
    teams.push_back(std::make_unique<TeamWrapper>(env, team));
    for (BotWrapper* member : teams.back()->getMembers()) bots.push_back(member);
}

template <typename Wrapper>
bool inRange(const std::vector<Wrapper>& sequence, int index) {
    return index >= 0 && static_cast<size_t>(index) < sequence.size();
}

}  // namespace

void updateInitialize(JNIEnv* env) {
    LocalRef info(env, getInfoConsole());
    id = JavaUtils::readInt(env, info.get(), "getId");
    totalTimes = JavaUtils::readLong(env, info.get(), "getTotalTimes");
    court = std::make_unique<CourtWrapper>(env, info.get());
    ball = std::make_unique<BallWrapper>(env, info.get());
    info.reset();
}

void updateStatus(JNIEnv* env) {
    LocalRef info(env, getInfoConsole());
    // Without a console there is nothing to read: the mirror keeps the last step's world.
    if (!info) return;
    cur_time = JavaUtils::readLong(env, info.get(), "getTime");
    // The ball mirror is missing only when the static read was cut short by a host exception.
    if (ball) ball->update(env, info.get());
    updateTeams(env, info.get());
    info.reset();
}

void updateTeams(JNIEnv* env, jobject infoConsole) {
    LocalRef list(env, JavaUtils::readList(env, infoConsole, "getTeams"));
    if (!list) return;
    int count = JavaUtils::readInt(env, list.get(), "size");
    for (int i = 0; i < count; ++i) {
        LocalRef team(env, JavaUtils::readObject(env, list.get(), "get", i));
        if (!team) {
            // Team mirrors must sit at their host positions: a team not mirrored yet waits,
            // and so do all behind it, until a later step shows it.
            if (!inRange(teams, i)) break;
            continue;
        }
        if (!inRange(teams, i)) mirrorTeam(env, team.get());
        teams[static_cast<size_t>(i)]->update(env, team.get());
    }
    list.reset();
}

extern "C" {

int getId(void) {
    return id;
}

int getTime(void) {
    return cur_time;
}

int getTotalTimes(void) {
    return totalTimes;
}

int getBotNum(void) {
    return static_cast<int>(bots.size());
}

void getBot(int index, Bot* out) {
    if (out == nullptr || !inRange(bots, index)) return;
    bots[static_cast<size_t>(index)]->load(out);
}

int getTeamNum(void) {
    return static_cast<int>(teams.size());
}

void getTeam(int index, Team* out) {
    if (out == nullptr || !inRange(teams, index)) return;
    teams[static_cast<size_t>(index)]->load(out);
}

void getBall(Ball* out) {
    if (out == nullptr || !ball) return;
    ball->load(out);
}

void getCourt(Court* out) {
    if (out == nullptr || !court) return;
    court->load(out);
}

}  // extern "C"

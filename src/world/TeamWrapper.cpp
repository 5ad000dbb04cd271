#include "world/TeamWrapper.h"

#include <algorithm>

#include "adapter/JavaUtils.h"

TeamWrapper::TeamWrapper(JNIEnv* env, jobject team) {
    id = JavaUtils::readInt(env, team, "getId");
    attack = JavaUtils::readInt(env, team, "getAttack");
    name = JavaUtils::readString(env, team, "getName");
    initMembers(env, team);
}

void TeamWrapper::initMembers(JNIEnv* env, jobject team) {
    LocalRef list(env, JavaUtils::readList(env, team, "getMembers"));
    if (!list) return;
    int count = JavaUtils::readInt(env, list.get(), "size");
    for (int j = 0; j < count; ++j) {
        LocalRef robot(env, JavaUtils::readObject(env, list.get(), "get", j));
        // A robot mirror must sit at its host position for the refresh to find it, so the
        // members behind a missing one are not mirrored at all.
        if (!robot) break;
        members.push_back(std::make_unique<BotWrapper>(env, id, robot.get()));
    }
    list.reset();
}

void TeamWrapper::update(JNIEnv* env, jobject team) {
    score = JavaUtils::readDouble(env, team, "getScore");
    updateMembers(env, team);
}

void TeamWrapper::updateMembers(JNIEnv* env, jobject team) {
    LocalRef list(env, JavaUtils::readList(env, team, "getMembers"));
    if (!list) return;
    int count = JavaUtils::readInt(env, list.get(), "size");
    // Members that joined after the team was mirrored have no mirror: leave them alone.
    count = std::min(count, static_cast<int>(members.size()));
    for (int j = 0; j < count; ++j) {
        LocalRef robot(env, JavaUtils::readObject(env, list.get(), "get", j));
        if (robot) members[static_cast<size_t>(j)]->update(env, robot.get());
    }
    list.reset();
}

void TeamWrapper::load(Team* out) const {
    out->id = id;
    out->name = name.c_str();
    out->score = score;
    out->attack = attack;
}

std::vector<BotWrapper*> TeamWrapper::getMembers() const {
    std::vector<BotWrapper*> result;
    result.reserve(members.size());
    for (const std::unique_ptr<BotWrapper>& member : members) result.push_back(member.get());
    return result;
}

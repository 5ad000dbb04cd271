// TeamWrapper: the mirror of one host team and of its robots. Id, attack and name are read
// once, when the mirror is created, together with one robot mirror per member; the score and
// the robots are refreshed on every update, matched by their position in the member list.
#ifndef TOUCHLINE_WORLD_TEAMWRAPPER_H
#define TOUCHLINE_WORLD_TEAMWRAPPER_H

#include <jni.h>

#include <memory>
#include <string>
#include <vector>

#include "Toolkit.h"
#include "world/BotWrapper.h"

class TeamWrapper {
public:
    // Reads the team's constant values and mirrors its members; the caller keeps and releases
    // the team object. The score is first read by the update that follows.
    TeamWrapper(JNIEnv* env, jobject team);
    TeamWrapper(const TeamWrapper&) = delete;
    TeamWrapper& operator=(const TeamWrapper&) = delete;

    void update(JNIEnv* env, jobject team);
    // The name is handed out as a pointer to this mirror's own characters.
    void load(Team* out) const;
    // The robot mirrors in member order; they stay owned by this team.
    std::vector<BotWrapper*> getMembers() const;

private:
    void initMembers(JNIEnv* env, jobject team);
    void updateMembers(JNIEnv* env, jobject team);

    int id = 0;
    int attack = 0;
    double score = 0;
    std::string name;
    std::vector<std::unique_ptr<BotWrapper>> members;
};

#endif

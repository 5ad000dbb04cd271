// Info: the world mirror's state and its refresh from the host's info console.
// The toolkit's world getters copy out of it without calling the host.
#ifndef TOUCHLINE_WORLD_INFO_H
#define TOUCHLINE_WORLD_INFO_H

#include <jni.h>

// Reads the static world: own id, total time, court, the ball's constants. First run only.
void updateInitialize(JNIEnv* env);
// Refreshes time, ball, teams and robots.
void updateStatus(JNIEnv* env);
// Mirrors the teams (and their robots) the host lists for the first time, then refreshes every
// team at its position in the host's list. infoConsole stays owned by the caller.
void updateTeams(JNIEnv* env, jobject infoConsole);

#endif

/* FloorCycle: the floor the library's execute cycle is measured against. The same host calls
   in the same order, written by hand in plain C: every call is GetObjectClass, GetMethodID by
   name, the call, ExceptionCheck and DeleteLocalRef of the class. Given a cache of method IDs
   it skips the class and the lookup instead, for information only: the library caches nothing. */
#ifndef TOUCHLINE_BENCH_FLOORCYCLE_H
#define TOUCHLINE_BENCH_FLOORCYCLE_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One slot per call site; a cache is an array of FLOOR_SLOTS method IDs, zeroed at first. */
enum { FLOOR_SLOTS = 64 };

/* One execution cycle for the robot behind adapter. With commands, delivers first what the
   benchmark's strategy queues every step: a move and a turn velocity, a message, a print, a
   line view and a text view. cache is null for the by-name floor. */
void floorCycle(JNIEnv* env, jobject adapter, int commands, jmethodID* cache);

/* The static read of the first cycle, which sizes the mirror: as the library does it. */
void floorInitialize(JNIEnv* env, jobject adapter, jmethodID* cache);

#ifdef __cplusplus
}
#endif

#endif

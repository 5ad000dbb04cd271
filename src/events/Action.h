// Action: the list of the last step's events, rebuilt from the host every cycle.
#ifndef TOUCHLINE_EVENTS_ACTION_H
#define TOUCHLINE_EVENTS_ACTION_H

#include <jni.h>

// Discards the previous step's events and reads the new step's from the info console.
void updateAction(JNIEnv* env);

#endif

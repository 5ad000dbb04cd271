// Action: the list of the last step's events, rebuilt from the host's info console every cycle.
// It owns one handler per event, and with them the copied message texts, until the next rebuild.
#ifndef TOUCHLINE_EVENTS_ACTION_H
#define TOUCHLINE_EVENTS_ACTION_H

#include <jni.h>

class ActionHandler;

// Discards the previous step's events and reads the new step's from the info console.
// Throws the std::string "unknow action : <type>" for an event type it does not know; the
// events before that one stay in the list.
void updateAction(JNIEnv* env);

// The number of events in the list.
int getHandlerNum();
// The handler of event index, or null when index is outside the list.
const ActionHandler* getHandler(int index);

#endif

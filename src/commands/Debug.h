// Debug: the print buffer and overlay view queue of the current step.
#ifndef TOUCHLINE_COMMANDS_DEBUG_H
#define TOUCHLINE_COMMANDS_DEBUG_H

#include <jni.h>

// Delivers the printed text as one "print", then the queued views in order, and empties both.
void commitDebug(JNIEnv* env);

#endif

// Operate: the queue of motion and message commands of the current step.
#ifndef TOUCHLINE_COMMANDS_OPERATE_H
#define TOUCHLINE_COMMANDS_OPERATE_H

#include <jni.h>

// Delivers the pending move velocity, turn velocity and messages, then empties the queue.
void commitOperate(JNIEnv* env);

#endif

#include "events/Action.h"

void updateAction(JNIEnv*) {}

#include "commands/Debug.h"

void commitDebug(JNIEnv*) {}

#include "world/Info.h"

void updateInitialize(JNIEnv*) {}

void updateStatus(JNIEnv*) {}

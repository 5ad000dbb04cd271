#include "commands/Operate.h"

void commitOperate(JNIEnv*) {}

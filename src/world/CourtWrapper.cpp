#include "world/CourtWrapper.h"

#include "adapter/JavaUtils.h"

CourtWrapper::CourtWrapper(JNIEnv* env, jobject infoConsole) {
    LocalRef court(env, JavaUtils::readObject(env, infoConsole, "getCourt"));
    if (!court) return;
    width = JavaUtils::readDouble(env, court.get(), "getWidth");
    height = JavaUtils::readDouble(env, court.get(), "getHeight");
    goalWidth = JavaUtils::readDouble(env, court.get(), "getGoalWidth");
    goalDepth = JavaUtils::readDouble(env, court.get(), "getGoalDepth");
    cornerWidth = JavaUtils::readDouble(env, court.get(), "getCornerWidth");
    cornerHeight = JavaUtils::readDouble(env, court.get(), "getCornerHeight");
}

void CourtWrapper::load(Court* out) const {
    out->width = width;
    out->height = height;
    out->goalWidth = goalWidth;
    out->goalDepth = goalDepth;
    out->cornerWidth = cornerWidth;
    out->cornerHeight = cornerHeight;
}

// CourtWrapper: the mirror of the host's court. Its geometry never changes, so it is read once,
// when the mirror is created, and copied out into Court records afterwards.
#ifndef TOUCHLINE_WORLD_COURTWRAPPER_H
#define TOUCHLINE_WORLD_COURTWRAPPER_H

#include <jni.h>

#include "Toolkit.h"

class CourtWrapper {
public:
    // Fetches the court from the info console and reads all six values. Without a court object
    // every value stays zero.
    CourtWrapper(JNIEnv* env, jobject infoConsole);
    CourtWrapper(const CourtWrapper&) = delete;
    CourtWrapper& operator=(const CourtWrapper&) = delete;

    void load(Court* out) const;

private:
    double width = 0;
    double height = 0;
    double goalWidth = 0;
    double goalDepth = 0;
    double cornerWidth = 0;
    double cornerHeight = 0;
};

#endif

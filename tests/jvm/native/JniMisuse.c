/* Breaks a JNI rule on purpose, so the test runner can show it notices the checker's report. */
#include <jni.h>

JNIEXPORT void JNICALL Java_touchline_host_CheckerSelfTest_misuse(JNIEnv* env, jclass type,
                                                                  jobject target) {
    jclass targetType = (*env)->GetObjectClass(env, target);
    jmethodID method = (*env)->GetMethodID(env, targetType, "toString", "()Ljava/lang/String;");
    jobject text = (*env)->CallObjectMethod(env, target, method);
    /* A call that may throw must be followed by an exception check before the next call. */
    (*env)->DeleteLocalRef(env, targetType);
    (*env)->GetObjectClass(env, type);
    if (text != NULL) (*env)->DeleteLocalRef(env, text);
}

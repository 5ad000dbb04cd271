/*
 * Machine-dependent part of the JNI for 32-bit (and 64-bit) Windows, which the JDK's jni.h
 * includes. The JDK installed on the build machine is a Linux one, so the cross build for
 * Windows puts this folder ahead of the JDK's include folder.
 *
 * On Windows the JNI's 32-bit int is a long (which is 32 bits there), its 64-bit long is a
 * 64-bit integer, native methods and the JNI function table use __stdcall, and exported
 * functions are marked for the DLL's export table.
 */
#ifndef TOUCHLINE_WIN32_JNI_MD_H
#define TOUCHLINE_WIN32_JNI_MD_H

#ifndef _WIN32
#error "this jni_md.h is for Windows builds only"
#endif

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif

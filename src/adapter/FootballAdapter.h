// FootballAdapter: the library's spine. The three exported entry points, the per-step execution
// cycle behind execute(), and the accessors of the host's three consoles.
#ifndef TOUCHLINE_ADAPTER_FOOTBALLADAPTER_H
#define TOUCHLINE_ADAPTER_FOOTBALLADAPTER_H

#include <jni.h>

#include "Toolkit.h"

#if defined(_WIN32)
#define TOUCHLINE_EXPORT __declspec(dllexport)
#else
#define TOUCHLINE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
// Always 1; does nothing else.
TOUCHLINE_EXPORT int adapterInit(void);
// Runs the strategy for the host's adapter object; returns when run() returns, when a host
// method throws (its exception stays pending for the host), or when the library stops on an
// error of its own (reported through the debug console's "print").
TOUCHLINE_EXPORT void adapterRun(JNIEnv* env, jobject adapter);
// Does nothing: no state is released or reset.
TOUCHLINE_EXPORT void adapterClearup(void);
}

// The host's consoles, fetched anew on every call: a new local reference the caller releases.
jobject getInfoConsole();
jobject getOperateConsole();
jobject getDebugConsole();

// Calls the operate console's "execute": the host takes the delivered commands and advances.
void commitExecute();

// Every unit that includes this header references execute(), and with it the unit that defines
// the entry points, so linking a strategy always links the adapter.
[[gnu::used]] static void (*const _belink)(void) = &execute;

#endif

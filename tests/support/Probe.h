// Probe: a fresh, private copy of the test strategy library per test. The library's state is
// process-global and never reset, so every test that needs a fresh library loads its own
// copy. The test decides what initialize() and run() do, and calls any toolkit function of
// that copy through TL(probe, name). Given a path, it loads a private copy of another strategy
// library instead (e.g. the sample), whose own hooks then play.
#ifndef TOUCHLINE_TESTS_PROBE_H
#define TOUCHLINE_TESTS_PROBE_H

#include <jni.h>

#include <functional>
#include <string>

#include "Toolkit.h"

class Probe {
public:
    Probe();
    explicit Probe(const std::string& library);
    ~Probe();
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    void* symbol(const char* name) const;  // throws when the library lacks it
    void* find(const char* name) const;    // null when the library lacks it
    template <typename F>
    F fn(const char* name) const {
        return reinterpret_cast<F>(symbol(name));
    }

    void onInitialize(std::function<void()> hook) { initialize_ = std::move(hook); }
    void onRun(std::function<void()> hook) { run_ = std::move(hook); }

    int adapterInit() const;
    void adapterRun(JNIEnv* env, jobject adapter) const;
    void adapterClearup() const;

private:
    static void callInitialize(void* context);
    static void callRun(void* context);
    void* handle_ = nullptr;
    std::function<void()> initialize_;
    std::function<void()> run_;
};

// A toolkit function of the probe's copy, typed as declared in Toolkit.h.
#define TL(probe, name) ((probe).fn<decltype(&::name)>(#name))

#endif

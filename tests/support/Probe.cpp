#include "Probe.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace {

std::string copyOf(const std::string& library) {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string path = std::string(dir) + "touchline-probe-" +
                       std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) +
                       ".dll";
#else
    std::string path = "/tmp/touchline-probe-" + std::to_string(getpid()) + "-" +
                       std::to_string(counter++) + ".so";
#endif
    std::ifstream in(library, std::ios::binary);
    std::ofstream out(path, std::ios::binary);
    if (!in || !out) throw std::runtime_error("cannot copy " + library);
    out << in.rdbuf();
    return path;
}

}  // namespace

Probe::Probe() : Probe(TOUCHLINE_PROBE_LIBRARY) {}

Probe::Probe(const std::string& library) {
    std::string path = copyOf(library);
#ifdef _WIN32
    handle_ = LoadLibraryA(path.c_str());
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    // The mapping stays valid after the file is gone; nothing is left in /tmp.
    std::remove(path.c_str());
#endif
    if (handle_ == nullptr) throw std::runtime_error("cannot load the probe library " + path);
    // Only the test strategy has hooks to call back into the test; another library plays its own.
    if (find("probeRunHook") != nullptr) {
        *fn<void (**)(void*)>("probeInitializeHook") = &Probe::callInitialize;
        *fn<void (**)(void*)>("probeRunHook") = &Probe::callRun;
        *fn<void**>("probeContext") = this;
    }
}

// The copy stays loaded: its world mirror is never freed by design, and unloading it would
// only turn that memory into leak reports.
Probe::~Probe() {
    if (find("probeRunHook") == nullptr) return;
    *fn<void (**)(void*)>("probeInitializeHook") = nullptr;
    *fn<void (**)(void*)>("probeRunHook") = nullptr;
    *fn<void**>("probeContext") = nullptr;
}

void* Probe::find(const char* name) const {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

void* Probe::symbol(const char* name) const {
    void* address = find(name);
    if (address == nullptr) throw std::runtime_error(std::string("probe lacks ") + name);
    return address;
}

int Probe::adapterInit() const {
    return fn<int (*)(void)>("adapterInit")();
}

void Probe::adapterRun(JNIEnv* env, jobject adapter) const {
    fn<void (*)(JNIEnv*, jobject)>("adapterRun")(env, adapter);
}

void Probe::adapterClearup() const {
    fn<void (*)(void)>("adapterClearup")();
}

void Probe::callInitialize(void* context) {
    Probe* probe = static_cast<Probe*>(context);
    if (probe->initialize_) probe->initialize_();
}

void Probe::callRun(void* context) {
    Probe* probe = static_cast<Probe*>(context);
    if (probe->run_) probe->run_();
}

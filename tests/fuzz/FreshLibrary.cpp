#include "FreshLibrary.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void fail(const char* what, const char* detail) {
    std::fprintf(stderr, "library fuzz: %s: %s\n", what, detail);
    std::fflush(stderr);
    std::abort();
}

// libFuzzer reads this section as coverage of its own ("extra counters") after every input.
// The library's counters are copied here before it is unloaded: every load of the same file
// numbers its counters the same way, so a feature means the same code from input to input.
constexpr size_t kCounterSpace = size_t{1} << 13;
__attribute__((used, section("__libfuzzer_extra_counters"))) uint8_t libraryCounters[kCounterSpace];

// Whether the object loaded from path is still mapped. dl_iterate_phdr, unlike a dlopen with
// RTLD_NOLOAD, leaves no error text behind, which libFuzzer would count as memory not freed.
bool stillLoaded(const char* path) {
    return dl_iterate_phdr(
               [](dl_phdr_info* info, size_t, void* wanted) {
                   return std::strcmp(info->dlpi_name, static_cast<const char*>(wanted)) == 0 ? 1
                                                                                              : 0;
               },
               const_cast<char*>(path)) != 0;
}

}  // namespace

FreshLibrary::FreshLibrary(const char* path, void (*initialize)(void*), void (*run)(void*))
    : path_(path), handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL)), toolkit_{} {
    if (handle_ == nullptr) fail("cannot load the library", dlerror());
#define TOOLKIT_RESOLVE(name) \
    toolkit_.name = reinterpret_cast<decltype(toolkit_.name)>(resolve(#name));
    TOOLKIT_FUNCTIONS(TOOLKIT_RESOLVE)
#undef TOOLKIT_RESOLVE
    toolkit_.adapterInit = reinterpret_cast<int (*)(void)>(resolve("adapterInit"));
    toolkit_.adapterRun = reinterpret_cast<void (*)(JNIEnv*, jobject)>(resolve("adapterRun"));
    toolkit_.adapterClearup = reinterpret_cast<void (*)(void)>(resolve("adapterClearup"));
    *static_cast<void (**)(void*)>(resolve("probeInitializeHook")) = initialize;
    *static_cast<void (**)(void*)>(resolve("probeRunHook")) = run;
}

FreshLibrary::~FreshLibrary() {
    uint8_t* start = *static_cast<uint8_t**>(resolve("fuzzCountersStart"));
    uint8_t* stop = *static_cast<uint8_t**>(resolve("fuzzCountersStop"));
    const size_t count = static_cast<size_t>(stop - start);
    if (count > kCounterSpace) fail("the library has more coverage counters than", "kCounterSpace");
    std::memcpy(libraryCounters, start, count);
    // The library's global destructors, which it keeps to itself (LibrarySupport.cpp).
    reinterpret_cast<void (*)()>(resolve("fuzzRunExitHandlers"))();
    dlclose(handle_);
    // Still loaded (something pinned it), the next input would meet this input's state.
    if (stillLoaded(path_)) fail("the library stayed loaded", path_);
}

void* FreshLibrary::resolve(const char* name) const {
    void* address = dlsym(handle_, name);
    if (address == nullptr) fail("the library lacks", name);
    return address;
}

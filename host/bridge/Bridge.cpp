// Bridge: the host's native side of NativeStrategy. Loads a private copy of a strategy
// library per robot and calls its three entry points on the calling Java thread.
#include <dlfcn.h>
#include <fcntl.h>
#include <jni.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

using InitFunction = int (*)();
using RunFunction = void (*)(JNIEnv*, jobject);
using ClearupFunction = void (*)();

struct Instance {
    void* handle;
    InitFunction init;
    RunFunction run;
    ClearupFunction clearup;
};

void throwLoadError(JNIEnv* env, const std::string& message) {
    jclass type = env->FindClass("touchline/host/StrategyLoadException");
    if (type == nullptr) return;  // NoClassDefFoundError is pending instead
    env->ThrowNew(type, message.c_str());
    env->DeleteLocalRef(type);
}

std::string javaString(JNIEnv* env, jstring s) {
    if (s == nullptr) return std::string();
    const char* chars = env->GetStringUTFChars(s, nullptr);
    if (chars == nullptr) return std::string();
    std::string result(chars);
    env->ReleaseStringUTFChars(s, chars);
    return result;
}

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool copyFile(int in, int out) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        ssize_t n = read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!writeAll(out, buffer.data(), static_cast<size_t>(n))) return false;
    }
}

// Copies library into a new file of its own in directory, so that dlopen sees a file it has
// not loaded yet and maps a fresh instance. Returns the copy's path, or "" and sets error.
std::string privateCopy(const std::string& library, const std::string& directory,
                        std::string& error) {
    int in = open(library.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = systemError("cannot open strategy library " + library);
        return std::string();
    }
    std::string pattern = directory + "/touchline-strategy-XXXXXX.so";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    int out = mkostemps(path.data(), 3, O_CLOEXEC);
    if (out < 0) {
        error = systemError("cannot copy strategy library " + library + " into " + directory);
        close(in);
        return std::string();
    }
    bool copied = copyFile(in, out);
    if (!copied) error = systemError("cannot copy strategy library " + library);
    close(in);
    if (close(out) != 0 && copied) {
        copied = false;
        error = systemError("cannot copy strategy library " + library);
    }
    if (!copied) {
        unlink(path.data());
        return std::string();
    }
    return std::string(path.data());
}

// The entry points the library lacks, comma-separated; empty when it has all three.
std::string missingEntryPoints(const Instance& instance) {
    std::string missing;
    auto note = [&missing](bool found, const char* name) {
        if (found) return;
        if (!missing.empty()) missing += ", ";
        missing += name;
    };
    note(instance.init != nullptr, "adapterInit");
    note(instance.run != nullptr, "adapterRun");
    note(instance.clearup != nullptr, "adapterClearup");
    return missing;
}

template <typename F>
F entryPoint(void* handle, const char* name) {
    return reinterpret_cast<F>(dlsym(handle, name));
}

Instance* fromHandle(jlong handle) {
    return reinterpret_cast<Instance*>(handle);
}

}  // namespace

extern "C" {

JNIEXPORT jlong JNICALL Java_touchline_host_NativeStrategy_load(JNIEnv* env, jclass,
                                                                jstring jlibrary,
                                                                jstring jdirectory) {
    std::string library = javaString(env, jlibrary);
    std::string directory = javaString(env, jdirectory);
    std::string error;
    std::string copy = privateCopy(library, directory, error);
    if (copy.empty()) {
        throwLoadError(env, error);
        return 0;
    }
    void* handle = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    std::string reason = handle == nullptr ? std::string(dlerror()) : std::string();
    // The mapping keeps the code; the file is not needed once dlopen has returned.
    unlink(copy.c_str());
    if (handle == nullptr) {
        throwLoadError(env, "cannot load strategy library " + library + ": " + reason);
        return 0;
    }
    Instance instance{handle, entryPoint<InitFunction>(handle, "adapterInit"),
                      entryPoint<RunFunction>(handle, "adapterRun"),
                      entryPoint<ClearupFunction>(handle, "adapterClearup")};
    std::string missing = missingEntryPoints(instance);
    if (!missing.empty()) {
        dlclose(handle);
        throwLoadError(env, "strategy library " + library + " lacks the entry point " + missing);
        return 0;
    }
    return reinterpret_cast<jlong>(new Instance(instance));
}

JNIEXPORT jint JNICALL Java_touchline_host_NativeStrategy_adapterInit(JNIEnv*, jclass,
                                                                      jlong handle) {
    return fromHandle(handle)->init();
}

// A Java exception the strategy's run left pending is this native method's exception.
JNIEXPORT void JNICALL Java_touchline_host_NativeStrategy_adapterRun(JNIEnv* env, jclass,
                                                                     jlong handle,
                                                                     jobject adapter) {
    fromHandle(handle)->run(env, adapter);
}

JNIEXPORT void JNICALL Java_touchline_host_NativeStrategy_adapterClearup(JNIEnv*, jclass,
                                                                         jlong handle) {
    fromHandle(handle)->clearup();
}

JNIEXPORT void JNICALL Java_touchline_host_NativeStrategy_unload(JNIEnv*, jclass, jlong handle) {
    Instance* instance = fromHandle(handle);
    dlclose(instance->handle);
    delete instance;
}
}

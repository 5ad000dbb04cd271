// Bridge: the host's native side of NativeStrategy. Loads a strategy library and calls its
// three entry points on the calling Java thread; prepares a robot process; waits on and wakes
// the words a match shares with its robot processes.
#include <dlfcn.h>
#include <jni.h>
#include <linux/futex.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <string>

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
    jclass type = env->FindClass("touchline/host/robot/StrategyLoadException");
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

JNIEXPORT jlong JNICALL Java_touchline_host_robot_NativeStrategy_load(JNIEnv* env, jclass,
                                                                      jstring jlibrary) {
    std::string library = javaString(env, jlibrary);
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        throwLoadError(env, "cannot load strategy library " + library + ": " + dlerror());
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

// A robot process leaves no core file, ignores the terminal's Ctrl-C (the match ends its
// robots) and is killed when its parent ends, even while a strategy loops in native code.
JNIEXPORT jboolean JNICALL Java_touchline_host_robot_NativeStrategy_prepareProcess(JNIEnv*, jclass,
                                                                                   jlong parent) {
    struct rlimit none {};
    setrlimit(RLIMIT_CORE, &none);
    signal(SIGINT, SIG_IGN);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have ended before the request was made.
    return getppid() == static_cast<pid_t>(parent) ? JNI_TRUE : JNI_FALSE;
}

JNIEXPORT jint JNICALL Java_touchline_host_robot_NativeStrategy_adapterInit(JNIEnv*, jclass,
                                                                            jlong handle) {
    return fromHandle(handle)->init();
}

// A Java exception the strategy's run left pending is this native method's exception.
JNIEXPORT void JNICALL Java_touchline_host_robot_NativeStrategy_adapterRun(JNIEnv* env, jclass,
                                                                           jlong handle,
                                                                           jobject adapter) {
    fromHandle(handle)->run(env, adapter);
}

JNIEXPORT void JNICALL Java_touchline_host_robot_NativeStrategy_adapterClearup(JNIEnv*, jclass,
                                                                               jlong handle) {
    fromHandle(handle)->clearup();
}

JNIEXPORT void JNICALL Java_touchline_host_robot_NativeStrategy_unload(JNIEnv*, jclass,
                                                                       jlong handle) {
    Instance* instance = fromHandle(handle);
    dlclose(instance->handle);
    delete instance;
}

JNIEXPORT jlong JNICALL Java_touchline_host_protocol_Futex_address(JNIEnv* env, jclass,
                                                                   jobject buffer) {
    return reinterpret_cast<jlong>(env->GetDirectBufferAddress(buffer));
}

// The words are shared between processes: the futex calls are not the process-private kind.
JNIEXPORT void JNICALL Java_touchline_host_protocol_Futex_await(JNIEnv*, jclass, jlong address,
                                                                jint expected, jlong nanos) {
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(nanos / 1000000000);
    timeout.tv_nsec = static_cast<long>(nanos % 1000000000);
    syscall(SYS_futex, reinterpret_cast<int*>(address), FUTEX_WAIT, expected, &timeout, nullptr, 0);
}

JNIEXPORT void JNICALL Java_touchline_host_protocol_Futex_wake(JNIEnv*, jclass, jlong address) {
    syscall(SYS_futex, reinterpret_cast<int*>(address), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}
}

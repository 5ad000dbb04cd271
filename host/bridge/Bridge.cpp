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

#include <cerrno>
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

// Where the robot's process notes the system call that its filter refused (in the exchange it
// shares with the match, which names the call in the robot's ending).
volatile int* forbiddenCallWord = nullptr;

void onForbiddenCall(int, siginfo_t* info, void*) {
    if (forbiddenCallWord != nullptr) *forbiddenCallWord = info->si_syscall;
    // The handler is reset on entry: the signal now ends the process, as the filter means it to.
    raise(SIGSYS);
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
// robots), notes at word a system call its filter forbids before that call ends it, and has
// the memory guard (preloaded into sealed robots) note at limitWord that it reached its limit.
JNIEXPORT void JNICALL Java_touchline_host_robot_NativeStrategy_prepareProcess(JNIEnv*, jclass,
                                                                               jlong word,
                                                                               jlong limitWord) {
    struct rlimit none {};
    setrlimit(RLIMIT_CORE, &none);
    signal(SIGINT, SIG_IGN);
    forbiddenCallWord = reinterpret_cast<volatile int*>(word);
    struct sigaction action {};
    action.sa_sigaction = onForbiddenCall;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSYS, &action, nullptr);
    using Attach = void (*)(volatile int*);
    auto attach = reinterpret_cast<Attach>(dlsym(RTLD_DEFAULT, "touchline_guard_attach"));
    if (attach != nullptr) attach(reinterpret_cast<volatile int*>(limitWord));
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

// Wakes the sleepers of count words, two words to a system call: FUTEX_WAKE_OP wakes the
// first word's, and the second's too when the second word's old value, or-ed with 0 (left as it
// is), is not -1, which a step word never is.
JNIEXPORT void JNICALL Java_touchline_host_protocol_Futex_wakeAll(JNIEnv* env, jclass,
                                                                  jlongArray jaddresses,
                                                                  jint count) {
    jlong addresses[64];
    if (count < 1 || count > 64) return;
    env->GetLongArrayRegion(jaddresses, 0, count, addresses);
    const int op = FUTEX_OP(FUTEX_OP_OR, 0, FUTEX_OP_CMP_NE, -1);
    int i = 0;
    for (; i + 1 < count; i += 2) {
        syscall(SYS_futex, reinterpret_cast<int*>(addresses[i]), FUTEX_WAKE_OP, INT_MAX,
                reinterpret_cast<void*>(static_cast<long>(INT_MAX)),
                reinterpret_cast<int*>(addresses[i + 1]), op);
    }
    if (i < count) {
        syscall(SYS_futex, reinterpret_cast<int*>(addresses[i]), FUTEX_WAKE, INT_MAX, nullptr,
                nullptr, 0);
    }
}

// Sleeps until any of count words changes from the value given with it (an array of the
// system's futex_waitv records at waiters), a wake-up, or nanos. A kernel older than 5.16 lacks
// the call: the first word alone is waited on then, for at most a millisecond, so that the
// caller looks at the others often.
JNIEXPORT void JNICALL Java_touchline_host_protocol_Futex_awaitAny(JNIEnv*, jclass, jlong waiters,
                                                                   jint count, jlong nanos) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long end = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec + nanos;
    timespec deadline{};
    deadline.tv_sec = static_cast<time_t>(end / 1000000000LL);
    deadline.tv_nsec = static_cast<long>(end % 1000000000LL);
    long result = syscall(449 /* futex_waitv */, reinterpret_cast<void*>(waiters),
                          static_cast<unsigned>(count), 0u, &deadline, CLOCK_MONOTONIC);
    if (result >= 0 || errno != ENOSYS || count < 1) return;
    struct Waiter {
        unsigned long long value;
        unsigned long long address;
        unsigned flags;
        unsigned reserved;
    };
    const auto* first = reinterpret_cast<const Waiter*>(waiters);
    timespec slice{0, static_cast<long>(nanos < 1000000 ? nanos : 1000000)};
    syscall(SYS_futex, reinterpret_cast<int*>(first->address), FUTEX_WAIT,
            static_cast<int>(first->value), &slice, nullptr, 0);
}
}

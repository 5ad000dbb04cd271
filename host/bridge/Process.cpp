// Process: the host's native side of touchline.host.sandbox.Native. What starting a robot needs
// and Java's process API cannot give: a memory object of the robot's own, a socket pair, a child
// that inherits chosen descriptors at chosen numbers, its true wait status, and descriptors as
// Java file descriptors.
#include <errno.h>
#include <fcntl.h>
#include <jni.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

void throwIo(JNIEnv* env, const std::string& what, int error) {
    jclass type = env->FindClass("java/io/IOException");
    if (type == nullptr) return;
    env->ThrowNew(type, (what + ": " + strerror(error)).c_str());
    env->DeleteLocalRef(type);
}

jintArray intPair(JNIEnv* env, const int fds[2]) {
    jintArray result = env->NewIntArray(2);
    if (result == nullptr) return nullptr;
    jint values[2] = {fds[0], fds[1]};
    env->SetIntArrayRegion(result, 0, 2, values);
    return result;
}

// The strings of a String[], copied; false (with an exception pending) if one is null.
bool strings(JNIEnv* env, jobjectArray array, std::vector<std::string>& out) {
    jsize count = env->GetArrayLength(array);
    for (jsize i = 0; i < count; i++) {
        auto s = static_cast<jstring>(env->GetObjectArrayElement(array, i));
        if (s == nullptr) {
            jclass type = env->FindClass("java/lang/NullPointerException");
            if (type != nullptr) env->ThrowNew(type, "a null argument");
            return false;
        }
        const char* chars = env->GetStringUTFChars(s, nullptr);
        if (chars == nullptr) return false;
        out.emplace_back(chars);
        env->ReleaseStringUTFChars(s, chars);
        env->DeleteLocalRef(s);
    }
    return true;
}

std::vector<char*> pointers(std::vector<std::string>& values) {
    std::vector<char*> result;
    for (std::string& value : values) result.push_back(value.data());
    result.push_back(nullptr);
    return result;
}

}  // namespace

extern "C" {

// A memory object of size bytes that no one can shrink or grow: whoever maps it may rely on
// every byte of it being there.
JNIEXPORT jint JNICALL Java_touchline_host_sandbox_Native_memory(JNIEnv* env, jclass, jstring name,
                                                                 jlong size) {
    const char* chars = env->GetStringUTFChars(name, nullptr);
    if (chars == nullptr) return -1;
    int fd = memfd_create(chars, MFD_CLOEXEC | MFD_ALLOW_SEALING);
    env->ReleaseStringUTFChars(name, chars);
    if (fd < 0) {
        throwIo(env, "memfd_create", errno);
        return -1;
    }
    if (ftruncate(fd, static_cast<off_t>(size)) != 0 ||
        fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
        int error = errno;
        close(fd);
        throwIo(env, "sizing the robot's exchange", error);
        return -1;
    }
    return fd;
}

JNIEXPORT jobject JNICALL Java_touchline_host_sandbox_Native_map(JNIEnv* env, jclass, jint fd,
                                                                 jlong size) {
    void* address =
        mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) {
        throwIo(env, "mmap", errno);
        return nullptr;
    }
    return env->NewDirectByteBuffer(address, size);
}

JNIEXPORT void JNICALL Java_touchline_host_sandbox_Native_unmap(JNIEnv* env, jclass,
                                                                jobject buffer) {
    void* address = env->GetDirectBufferAddress(buffer);
    jlong size = env->GetDirectBufferCapacity(buffer);
    if (address != nullptr && size > 0) munmap(address, static_cast<size_t>(size));
}

JNIEXPORT jintArray JNICALL Java_touchline_host_sandbox_Native_socketPair(JNIEnv* env, jclass) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        throwIo(env, "socketpair", errno);
        return nullptr;
    }
    return intPair(env, fds);
}

JNIEXPORT jintArray JNICALL Java_touchline_host_sandbox_Native_pipe(JNIEnv* env, jclass) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throwIo(env, "pipe", errno);
        return nullptr;
    }
    return intPair(env, fds);
}

// Starts argv[0] with the environment given, in a session of its own; the child's descriptor i
// is fds[i], and it has no other. Signals start at their defaults, unblocked. Returns the
// child's process id.
JNIEXPORT jint JNICALL Java_touchline_host_sandbox_Native_spawn(JNIEnv* env, jclass,
                                                                jobjectArray jargv,
                                                                jobjectArray jenvp,
                                                                jintArray jfds) {
    std::vector<std::string> argv, envp;
    if (!strings(env, jargv, argv) || !strings(env, jenvp, envp)) return -1;
    if (argv.empty()) {
        throwIo(env, "spawn", EINVAL);
        return -1;
    }
    jsize count = env->GetArrayLength(jfds);
    std::vector<jint> fds(static_cast<size_t>(count));
    env->GetIntArrayRegion(jfds, 0, count, fds.data());

    // Each descriptor is first copied above every target, so that placing one never
    // overwrites another still to be placed.
    std::vector<int> high;
    for (jint fd : fds) {
        int copy = fcntl(fd, F_DUPFD_CLOEXEC, count + 64);
        if (copy < 0) {
            int error = errno;
            for (int h : high) close(h);
            throwIo(env, "spawn: a descriptor", error);
            return -1;
        }
        high.push_back(copy);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (jsize i = 0; i < count; i++) posix_spawn_file_actions_adddup2(&actions, high[i], i);
    posix_spawn_file_actions_addclosefrom_np(&actions, count);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    // A session of its own: the terminal's signals (Ctrl-C) never reach a robot, and where
    // the kernel groups sessions for scheduling, each robot gets one share of the CPU.
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    std::vector<char*> args = pointers(argv);
    std::vector<char*> environment = pointers(envp);
    pid_t pid = -1;
    int error = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    for (int h : high) close(h);
    if (error != 0) {
        throwIo(env, "cannot start " + argv[0], error);
        return -1;
    }
    return pid;
}

// Sends the descriptors fds over the socket, with one byte, so that the process at the other
// end gets descriptors of its own for them.
JNIEXPORT void JNICALL Java_touchline_host_sandbox_Native_sendDescriptors(JNIEnv* env, jclass,
                                                                          jint socket,
                                                                          jintArray jfds) {
    jsize count = env->GetArrayLength(jfds);
    if (count < 1 || count > 16) {
        throwIo(env, "sending descriptors", EINVAL);
        return;
    }
    std::vector<jint> fds(static_cast<size_t>(count));
    env->GetIntArrayRegion(jfds, 0, count, fds.data());
    std::vector<char> control(CMSG_SPACE(sizeof(int) * static_cast<size_t>(count)));
    char byte = 0;
    iovec data{&byte, 1};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int) * static_cast<size_t>(count));
    for (jsize i = 0; i < count; i++) {
        int fd = fds[static_cast<size_t>(i)];
        memcpy(CMSG_DATA(header) + i * sizeof(int), &fd, sizeof fd);
    }
    ssize_t sent;
    do {
        sent = sendmsg(socket, &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent != 1) throwIo(env, "sending descriptors", sent < 0 ? errno : EIO);
}

// Waits for the child to end, leaving it unreaped (its id cannot be reused until then).
JNIEXPORT void JNICALL Java_touchline_host_sandbox_Native_awaitExit(JNIEnv*, jclass, jint pid) {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
}

// Waits for the child to end, reaps it and returns its wait status; -1 if it is not a child.
JNIEXPORT jint JNICALL Java_touchline_host_sandbox_Native_waitFor(JNIEnv*, jclass, jint pid) {
    int status = 0;
    for (;;) {
        pid_t ended = waitpid(pid, &status, 0);
        if (ended == pid) return status;
        if (ended < 0 && errno != EINTR) return -1;
    }
}

JNIEXPORT void JNICALL Java_touchline_host_sandbox_Native_kill(JNIEnv*, jclass, jint pid,
                                                               jint signal) {
    if (pid > 0) kill(pid, signal);
}

JNIEXPORT void JNICALL Java_touchline_host_sandbox_Native_close(JNIEnv*, jclass, jint fd) {
    if (fd >= 0) close(fd);
}

// A java.io.FileDescriptor for fd, so that Java's streams can read and write it; closing the
// stream closes fd.
JNIEXPORT jobject JNICALL Java_touchline_host_sandbox_Native_descriptor(JNIEnv* env, jclass,
                                                                        jint fd) {
    jclass type = env->FindClass("java/io/FileDescriptor");
    if (type == nullptr) return nullptr;
    jmethodID constructor = env->GetMethodID(type, "<init>", "()V");
    jfieldID field = env->GetFieldID(type, "fd", "I");
    if (constructor == nullptr || field == nullptr) return nullptr;
    jobject descriptor = env->NewObject(type, constructor);
    if (descriptor == nullptr) return nullptr;
    env->SetIntField(descriptor, field, fd);
    env->DeleteLocalRef(type);
    return descriptor;
}

// The effective user id: the sandbox works differently for root.
JNIEXPORT jint JNICALL Java_touchline_host_sandbox_Native_userId(JNIEnv*, jclass) {
    return static_cast<jint>(geteuid());
}
}

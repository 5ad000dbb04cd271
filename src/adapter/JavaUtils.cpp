#include "adapter/JavaUtils.h"

#include "adapter/ModifiedUtf8.h"

LocalRef& LocalRef::operator=(LocalRef&& other) noexcept {
    if (this != &other) {
        reset();
        env_ = other.env_;
        ref_ = other.ref_;
        other.ref_ = nullptr;
    }
    return *this;
}

void LocalRef::reset() {
    if (ref_ != nullptr) {
        env_->DeleteLocalRef(ref_);
        ref_ = nullptr;
    }
}

jobject LocalRef::release() {
    jobject ref = ref_;
    ref_ = nullptr;
    return ref;
}

namespace {

// Set when the library saw a host call leave a Java exception pending. Every host exception
// reaches the library through a call it checks right away, so while this is false none can be
// pending and a lookup need not ask the JVM first.
bool hostExceptionSeen = false;

}  // namespace

HostMethod JavaUtils::findMethod(JNIEnv* env, jobject object, const char* name,
                                 const char* signature) {
    if (env == nullptr || object == nullptr) return HostMethod{LocalRef(env, nullptr), nullptr};
    // Strategy code that swallowed a HostException must not get the library to call the host
    // with the exception still pending: stop again. Once the host has cleared it, go on.
    if (hostExceptionSeen) {
        checkHostException(env);
        hostExceptionSeen = false;
    }
    LocalRef cls(env, env->GetObjectClass(object));
    if (!cls) return HostMethod{std::move(cls), nullptr};
    jmethodID id = env->GetMethodID(static_cast<jclass>(cls.get()), name, signature);
    if (id == nullptr && env->ExceptionCheck()) env->ExceptionClear();
    return HostMethod{std::move(cls), id};
}

void JavaUtils::checkHostException(JNIEnv* env) {
    if (env->ExceptionCheck()) {
        hostExceptionSeen = true;
        throw HostException{};
    }
}

namespace {

// Host methods are called through the JNI function table's variadic entries themselves
// (env->functions->Call...Method), not through jni.h's C++ wrappers, which re-enter the table's
// va_list entries: one forwarding step less on every host call.

// The plain accessor: look the method up, call it, check for a host exception, release the
// class reference, return the result. A missing method or object yields the fallback without
// calling the host.
template <typename Result, typename Call>
Result callHost(JNIEnv* env, jobject object, const char* name, const char* signature,
                Result fallback, Call call) {
    HostMethod method = JavaUtils::findMethod(env, object, name, signature);
    if (!method) return fallback;
    Result result = call(method.id);
    JavaUtils::checkHostException(env);
    method.cls.reset();
    return result;
}

template <typename Call>
void callHostVoid(JNIEnv* env, jobject object, const char* name, const char* signature, Call call) {
    HostMethod method = JavaUtils::findMethod(env, object, name, signature);
    if (!method) return;
    call(method.id);
    JavaUtils::checkHostException(env);
    method.cls.reset();
}

// An object getter: the result is owned until the call is known to have succeeded, so a
// throwing getter leaks nothing.
template <typename Call>
jobject callHostObject(JNIEnv* env, jobject object, const char* name, const char* signature,
                       Call call, bool* found = nullptr) {
    HostMethod method = JavaUtils::findMethod(env, object, name, signature);
    if (found != nullptr) *found = static_cast<bool>(method);
    if (!method) return nullptr;
    LocalRef result(env, call(method.id));
    JavaUtils::checkHostException(env);
    method.cls.reset();
    return result.release();
}

}  // namespace

std::string JavaUtils::cstring(JNIEnv* env, jstring s) {
    if (s == nullptr) return std::string();
    // The JVM's characters end with a zero byte: no length is asked for.
    const char* chars = env->GetStringUTFChars(s, nullptr);
    if (chars == nullptr) {
        // Out of memory inside the host: report it like any other host exception.
        checkHostException(env);
        return std::string();
    }
    std::string text = ModifiedUtf8::fromHost(chars);
    env->ReleaseStringUTFChars(s, chars);
    return text;
}

bool JavaUtils::readBool(JNIEnv* env, jobject object, const char* name) {
    return callHost(env, object, name, "()Z", false, [&](jmethodID m) {
        return env->functions->CallBooleanMethod(env, object, m) != JNI_FALSE;
    });
}

int JavaUtils::readInt(JNIEnv* env, jobject object, const char* name) {
    return callHost(env, object, name, "()I", 0, [&](jmethodID m) {
        return static_cast<int>(env->functions->CallIntMethod(env, object, m));
    });
}

int32_t JavaUtils::readLong(JNIEnv* env, jobject object, const char* name) {
    return callHost(env, object, name, "()J", int32_t{0}, [&](jmethodID m) {
        uint64_t bits = static_cast<uint64_t>(env->functions->CallLongMethod(env, object, m));
        return static_cast<int32_t>(static_cast<uint32_t>(bits));
    });
}

double JavaUtils::readDouble(JNIEnv* env, jobject object, const char* name) {
    return callHost(env, object, name, "()D", 0.0,
                    [&](jmethodID m) { return env->functions->CallDoubleMethod(env, object, m); });
}

jobject JavaUtils::readObject(JNIEnv* env, jobject object, const char* name,
                              const char* signature) {
    return callHostObject(env, object, name, signature, [&](jmethodID m) {
        return env->functions->CallObjectMethod(env, object, m);
    });
}

jobject JavaUtils::readObject(JNIEnv* env, jobject object, const char* name) {
    return readObject(env, object, name, "()Ljava/lang/Object;");
}

jobject JavaUtils::readObject(JNIEnv* env, jobject object, const char* name, int index) {
    return readObject(env, object, name, index, nullptr);
}

jobject JavaUtils::readObject(JNIEnv* env, jobject object, const char* name, int index,
                              bool* found) {
    return callHostObject(
        env, object, name, "(I)Ljava/lang/Object;",
        [&](jmethodID m) {
            return env->functions->CallObjectMethod(env, object, m, static_cast<jint>(index));
        },
        found);
}

std::string JavaUtils::readString(JNIEnv* env, jobject object, const char* name) {
    LocalRef s(env, readObject(env, object, name, "()Ljava/lang/String;"));
    std::string result = cstring(env, static_cast<jstring>(s.get()));
    s.reset();
    return result;
}

jobject JavaUtils::readList(JNIEnv* env, jobject object, const char* name) {
    return readObject(env, object, name, "()Ljava/util/List;");
}

void JavaUtils::setBool(JNIEnv* env, jobject object, const char* name, bool value) {
    callHostVoid(env, object, name, "(Z)V", [&](jmethodID m) {
        env->functions->CallVoidMethod(env, object, m,
                                       static_cast<jboolean>(value ? JNI_TRUE : JNI_FALSE));
    });
}

void JavaUtils::setInt(JNIEnv* env, jobject object, const char* name, int value) {
    callHostVoid(env, object, name, "(I)V", [&](jmethodID m) {
        env->functions->CallVoidMethod(env, object, m, static_cast<jint>(value));
    });
}

void JavaUtils::setLong(JNIEnv* env, jobject object, const char* name, int32_t value) {
    callHostVoid(env, object, name, "(J)V", [&](jmethodID m) {
        env->functions->CallVoidMethod(env, object, m,
                                       static_cast<jlong>(static_cast<int64_t>(value)));
    });
}

void JavaUtils::setDouble(JNIEnv* env, jobject object, const char* name, double value) {
    callHostVoid(env, object, name, "(D)V", [&](jmethodID m) {
        env->functions->CallVoidMethod(env, object, m, static_cast<jdouble>(value));
    });
}

void JavaUtils::setString(JNIEnv* env, jobject object, const char* name, const std::string& value) {
    if (value.empty()) return;
    HostMethod method = findMethod(env, object, name, "(Ljava/lang/String;)V");
    if (!method) return;
    std::string converted;
    LocalRef js(env, env->NewStringUTF(ModifiedUtf8::toHost(value.c_str(), converted)));
    checkHostException(env);
    env->functions->CallVoidMethod(env, object, method.id, js.get());
    checkHostException(env);
    method.cls.reset();
    js.reset();
}

void JavaUtils::setObject(JNIEnv* env, jobject object, const char* name, jobject value) {
    callHostVoid(env, object, name, "(Ljava/lang/Object;)V",
                 [&](jmethodID m) { env->functions->CallVoidMethod(env, object, m, value); });
}

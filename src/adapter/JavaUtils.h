// JavaUtils: the one way the library talks to a host object: call a getter or a one-argument
// setter by name on the object's own runtime class, and turn host strings into UTF-8 text.
#ifndef TOUCHLINE_ADAPTER_JAVAUTILS_H
#define TOUCHLINE_ADAPTER_JAVAUTILS_H

#include <jni.h>

#include <cstdint>
#include <string>

// Thrown when a host method the library called left a Java exception pending. It unwinds the
// strategy's run up to adapterRun, which returns to the host with that exception still pending,
// so the host sees its own exception as the result of its native call.
struct HostException {};

// Owns one JNI local reference and releases it on every path, unwinding included.
// DeleteLocalRef is one of the JNI functions that may be called with an exception pending.
class LocalRef {
public:
    LocalRef(JNIEnv* env, jobject ref) : env_(env), ref_(ref) {}
    LocalRef(LocalRef&& other) noexcept : env_(other.env_), ref_(other.ref_) {
        other.ref_ = nullptr;
    }
    LocalRef& operator=(LocalRef&& other) noexcept;
    LocalRef(const LocalRef&) = delete;
    LocalRef& operator=(const LocalRef&) = delete;
    ~LocalRef() { reset(); }

    jobject get() const { return ref_; }
    explicit operator bool() const { return ref_ != nullptr; }
    // Releases the reference now (for callers that must release in a given order).
    void reset();
    // Gives up ownership: the caller releases the reference.
    jobject release();

private:
    JNIEnv* env_;
    jobject ref_;
};

// A host method found by name and signature on an object's class, with the class reference
// it was found through. An empty HostMethod means: no object, or no such method.
struct HostMethod {
    LocalRef cls;
    jmethodID id;
    explicit operator bool() const { return id != nullptr; }
};

class JavaUtils {
public:
    // Looks name/signature up on the runtime class of object. A null object gives an empty
    // result without any JNI call; a missing method gives an empty result and its pending
    // NoSuchMethodError is cleared. Throws HostException instead of calling the JVM while an
    // exception the library saw is still pending (strategy code may have swallowed one).
    static HostMethod findMethod(JNIEnv* env, jobject object, const char* name,
                                 const char* signature);
    // Throws HostException when the last host call left a Java exception pending, and
    // remembers that it saw one: the next lookup asks the JVM again only then.
    static void checkHostException(JNIEnv* env);

    static std::string cstring(JNIEnv* env, jstring s);

    static bool readBool(JNIEnv* env, jobject object, const char* name);
    static int readInt(JNIEnv* env, jobject object, const char* name);
    // The low 32 bits of the host's 64-bit long, as a signed 32-bit value.
    static int32_t readLong(JNIEnv* env, jobject object, const char* name);
    static double readDouble(JNIEnv* env, jobject object, const char* name);
    static jobject readObject(JNIEnv* env, jobject object, const char* name, const char* signature);
    static jobject readObject(JNIEnv* env, jobject object, const char* name);
    static jobject readObject(JNIEnv* env, jobject object, const char* name, int index);
    // As above; *found tells whether the object has the method at all, which a null result
    // alone does not (a list may hold null).
    static jobject readObject(JNIEnv* env, jobject object, const char* name, int index,
                              bool* found);
    static std::string readString(JNIEnv* env, jobject object, const char* name);
    static jobject readList(JNIEnv* env, jobject object, const char* name);

    static void setBool(JNIEnv* env, jobject object, const char* name, bool value);
    static void setInt(JNIEnv* env, jobject object, const char* name, int value);
    // Sign-extends the 32-bit value to the host's 64-bit long.
    static void setLong(JNIEnv* env, jobject object, const char* name, int32_t value);
    static void setDouble(JNIEnv* env, jobject object, const char* name, double value);
    // An empty value makes no call at all.
    static void setString(JNIEnv* env, jobject object, const char* name, const std::string& value);
    static void setObject(JNIEnv* env, jobject object, const char* name, jobject value);
};

#endif

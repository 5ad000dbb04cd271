// FakeJvm: a JNIEnv without a Java VM, for unit tests of the library's host calls.
// Its function table implements only the JNI functions the library may call; any other slot
// aborts the test naming the function. Host objects carry methods by name and JNI signature;
// every host method call is logged in order, live local references are counted, and faults
// (missing methods, throwing methods, null objects and strings, string functions that run out
// of memory) can be injected. A fuzz target makes any misuse abort on the spot instead.
#ifndef TOUCHLINE_TESTS_FAKEJVM_H
#define TOUCHLINE_TESTS_FAKEJVM_H

#include <jni.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fakejvm {

struct Object;

// A Java value crossing the fake boundary: an argument or a result.
struct Value {
    enum class Kind { Void, Boolean, Int, Long, Double, Object };
    Kind kind = Kind::Void;
    bool z = false;
    int32_t i = 0;
    int64_t j = 0;
    double d = 0.0;
    Object* l = nullptr;

    static Value none() { return Value{}; }
    static Value boolean(bool v) { return rawBoolean(v ? 1 : 0); }
    // A jboolean byte as a host may return it: any non-zero value means true.
    static Value rawBoolean(uint8_t v) {
        Value r;
        r.kind = Kind::Boolean;
        r.z = v != 0;
        r.i = v;
        return r;
    }
    static Value integer(int32_t v) {
        Value r;
        r.kind = Kind::Int;
        r.i = v;
        return r;
    }
    static Value longValue(int64_t v) {
        Value r;
        r.kind = Kind::Long;
        r.j = v;
        return r;
    }
    static Value real(double v) {
        Value r;
        r.kind = Kind::Double;
        r.d = v;
        return r;
    }
    static Value object(Object* v) {
        Value r;
        r.kind = Kind::Object;
        r.l = v;
        return r;
    }
    static Value null() { return object(nullptr); }
};

// Whether bytes are what a JVM's NewStringUTF accepts and a Java string of whole characters
// gives: modified UTF-8 in its shortest forms, no zero byte, no 4-byte sequence, surrogates
// only as high-low pairs.
bool isModifiedUtf8(const std::string& bytes);

// Thrown by a method handler to make the fake host method throw a Java exception.
struct JavaThrow {
    std::string what;
};

using Handler = std::function<Value(const std::vector<Value>& args)>;

struct Method {
    Object* owner;
    std::string name;
    std::string signature;
    Handler handler;
};

// A host object (or a Java string, when isString). Methods are per object: each object is
// its own runtime class.
struct Object {
    std::string label;
    bool isString = false;
    std::string bytes;  // a string's modified UTF-8 bytes

    // Registers (or replaces) a method.
    Object& on(const std::string& name, const std::string& signature, Handler handler);
    // A method that always returns the given value.
    Object& returns(const std::string& name, const std::string& signature, Value value);
    // A method that throws a Java exception whenever it is called.
    Object& throwing(const std::string& name, const std::string& signature,
                     const std::string& what = "java.lang.IllegalStateException");
    // Removes a method: looking it up fails with NoSuchMethodError.
    Object& remove(const std::string& name, const std::string& signature);
    bool has(const std::string& name, const std::string& signature) const;

    std::map<std::pair<std::string, std::string>, std::unique_ptr<Method>> methods;
    Object* classObject = nullptr;  // the pseudo-object GetObjectClass refers to
    Object* classOf = nullptr;      // for a class pseudo-object: the object it describes
};

// One host method call, as the host saw it.
struct Call {
    Object* target;
    std::string method;
    std::vector<Value> args;
    std::string text;  // "label.method(args)", the form tests compare
};

class FakeJvm {
public:
    FakeJvm();
    ~FakeJvm();
    FakeJvm(const FakeJvm&) = delete;
    FakeJvm& operator=(const FakeJvm&) = delete;

    JNIEnv* env();

    // Objects live as long as the fake.
    Object& object(const std::string& label);
    Object& string(const std::string& bytes);
    // A java.util.List of the given elements ("size" and "get").
    Object& list(const std::string& label, std::vector<Object*> elements);

    // A new local reference to the object, as the host would pass it to a native method.
    jobject localRef(Object* object);
    Object* deref(jobject ref) const;  // null for a null reference
    int liveLocalRefs() const { return liveRefs_; }

    const std::vector<Call>& calls() const { return calls_; }
    std::vector<std::string> log() const;                           // texts of all calls
    std::vector<std::string> log(const std::string& method) const;  // calls of one method
    void clearLog() { calls_.clear(); }

    // Misuse of JNI seen so far: a call with an exception pending, a dead reference (also as an
    // argument), a method ID used on another object, a result type that does not match the
    // signature, more live local references than the capacity.
    const std::vector<std::string>& violations() const { return violations_; }
    // Every violation from now on prints itself and aborts the process, so a fuzzer stops at
    // the call that misused JNI, with its stack.
    void abortOnViolation() { abortOnViolation_ = true; }
    // The live local references allowed at once: JNI guarantees a native method 16 without
    // EnsureLocalCapacity (which the library never calls). 0, the default, checks nothing.
    void setLocalRefCapacity(int capacity) { localRefCapacity_ = capacity; }
    // Whether calls() and log() record host calls (on by default); off saves the formatting.
    void recordCalls(bool on) { recordCalls_ = on; }
    // Asked on every NewStringUTF and GetStringUTFChars ("NewStringUTF", "GetStringUTFChars");
    // true makes the function fail as a JVM out of memory does: it returns null with an
    // OutOfMemoryError pending.
    void onStringFunction(std::function<bool(const char* function)> fails) {
        stringFunctionFails_ = std::move(fails);
    }

    bool exceptionPending() const { return pending_.has_value(); }
    std::string pendingException() const { return pending_.value_or(""); }
    void clearException() { pending_.reset(); }
    int missingMethodLookups() const { return missingLookups_; }
    int outstandingStringChars() const { return outstandingChars_; }

    // Formats a value as the call log shows it.
    static std::string format(const Value& value);

    // --- used by the JNI function table ---
    struct Ref {
        Object* object;
        bool live;
    };
    static FakeJvm& of(JNIEnv* env);
    void violation(const std::string& what);
    bool checkNoPending(const char* function);
    Object* use(jobject ref, const char* function);
    jobject newLocal(Object* object);
    void deleteLocal(jobject ref);
    jclass getObjectClass(jobject ref);
    jmethodID getMethodID(jclass cls, const char* name, const char* signature);
    Value invoke(jobject ref, jmethodID id, char resultKind, va_list args, const char* function);
    jstring newString(const char* bytes);
    jsize stringLength(jstring s);
    const char* stringChars(jstring s);
    void releaseChars(jstring s, const char* chars);
    void setPending(const std::string& what) { pending_ = what; }

private:
    struct EnvBlock {
        JNIEnv env;
        FakeJvm* owner;
    };
    EnvBlock block_;
    JNINativeInterface_ table_;
    std::deque<Object> objects_;
    std::deque<Ref> refs_;
    int liveRefs_ = 0;
    std::vector<Call> calls_;
    std::vector<std::string> violations_;
    std::optional<std::string> pending_;
    int missingLookups_ = 0;
    int outstandingChars_ = 0;
    bool abortOnViolation_ = false;
    int localRefCapacity_ = 0;
    bool recordCalls_ = true;
    std::function<bool(const char*)> stringFunctionFails_;
    bool stringFunctionFails(const char* function);
};

}  // namespace fakejvm

#endif

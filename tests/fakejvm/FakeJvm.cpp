#include "FakeJvm.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

namespace fakejvm {

namespace {

// Slot names of JNINativeInterface_, in table order, read from the JDK's jni.h at build time.
const char* const kSlotNames[] = {
#include "JniSlotNames.inc"
};
constexpr size_t kSlotCount = sizeof(JNINativeInterface_) / sizeof(void*);
static_assert(sizeof(kSlotNames) / sizeof(kSlotNames[0]) == kSlotCount,
              "JNI slot names do not match the function table");

// Every slot the library must not use points at one of these: it names the function and
// stops the test. It never returns, so the slot's real signature does not matter.
template <size_t I>
void JNICALL unexpected() {
    std::fprintf(stderr,
                 "fake JVM: the library called the JNI function %s, which it must not use\n",
                 kSlotNames[I]);
    std::fflush(stderr);
    std::abort();
}

template <size_t... I>
void fillUnexpected(void** slots, std::index_sequence<I...>) {
    ((slots[I] = reinterpret_cast<void*>(&unexpected<I>)), ...);
}

// JNI functions that may be called while an exception is pending.
FakeJvm& jvmOf(JNIEnv* env) {
    return FakeJvm::of(env);
}

jclass JNICALL GetObjectClass(JNIEnv* env, jobject obj) {
    return jvmOf(env).getObjectClass(obj);
}

jmethodID JNICALL GetMethodID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
    return jvmOf(env).getMethodID(cls, name, sig);
}

void JNICALL DeleteLocalRef(JNIEnv* env, jobject obj) {
    jvmOf(env).deleteLocal(obj);
}

jboolean JNICALL ExceptionCheck(JNIEnv* env) {
    return jvmOf(env).exceptionPending() ? JNI_TRUE : JNI_FALSE;
}

void JNICALL ExceptionClear(JNIEnv* env) {
    jvmOf(env).clearException();
}

jthrowable JNICALL ExceptionOccurred(JNIEnv* env) {
    FakeJvm& jvm = jvmOf(env);
    if (!jvm.exceptionPending()) return nullptr;
    return static_cast<jthrowable>(
        jvm.newLocal(&jvm.object("exception " + jvm.pendingException())));
}

jstring JNICALL NewStringUTF(JNIEnv* env, const char* bytes) {
    return jvmOf(env).newString(bytes);
}

jsize JNICALL GetStringUTFLength(JNIEnv* env, jstring s) {
    return jvmOf(env).stringLength(s);
}

const char* JNICALL GetStringUTFChars(JNIEnv* env, jstring s, jboolean* isCopy) {
    if (isCopy != nullptr) *isCopy = JNI_TRUE;
    return jvmOf(env).stringChars(s);
}

void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring s, const char* chars) {
    jvmOf(env).releaseChars(s, chars);
}

#define FAKE_CALL_METHOD(Name, Type, kind, field)                                            \
    Type JNICALL Call##Name##MethodV(JNIEnv* env, jobject obj, jmethodID id, va_list args) { \
        return static_cast<Type>(                                                            \
            jvmOf(env).invoke(obj, id, kind, args, "Call" #Name "Method").field);            \
    }                                                                                        \
    Type JNICALL Call##Name##Method(JNIEnv* env, jobject obj, jmethodID id, ...) {           \
        va_list args;                                                                        \
        va_start(args, id);                                                                  \
        Type result = Call##Name##MethodV(env, obj, id, args);                               \
        va_end(args);                                                                        \
        return result;                                                                       \
    }

FAKE_CALL_METHOD(Boolean, jboolean, 'Z', i)
FAKE_CALL_METHOD(Int, jint, 'I', i)
FAKE_CALL_METHOD(Long, jlong, 'J', j)
FAKE_CALL_METHOD(Double, jdouble, 'D', d)
#undef FAKE_CALL_METHOD

jobject JNICALL CallObjectMethodV(JNIEnv* env, jobject obj, jmethodID id, va_list args) {
    FakeJvm& jvm = jvmOf(env);
    Value result = jvm.invoke(obj, id, 'L', args, "CallObjectMethod");
    return result.l == nullptr ? nullptr : jvm.newLocal(result.l);
}

jobject JNICALL CallObjectMethod(JNIEnv* env, jobject obj, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    jobject result = CallObjectMethodV(env, obj, id, args);
    va_end(args);
    return result;
}

void JNICALL CallVoidMethodV(JNIEnv* env, jobject obj, jmethodID id, va_list args) {
    jvmOf(env).invoke(obj, id, 'V', args, "CallVoidMethod");
}

void JNICALL CallVoidMethod(JNIEnv* env, jobject obj, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    CallVoidMethodV(env, obj, id, args);
    va_end(args);
}

// The argument kinds of a method signature, one letter each ('L' for any reference).
std::string argumentKinds(const std::string& signature) {
    std::string kinds;
    size_t i = 1;
    while (i < signature.size() && signature[i] != ')') {
        char c = signature[i];
        if (c == 'L') {
            kinds += 'L';
            i = signature.find(';', i) + 1;
        } else if (c == '[') {
            kinds += 'L';
            while (signature[i] == '[') ++i;
            i = signature[i] == 'L' ? signature.find(';', i) + 1 : i + 1;
        } else {
            kinds += c;
            ++i;
        }
    }
    return kinds;
}

char resultKind(const std::string& signature) {
    char c = signature[signature.find(')') + 1];
    return c == '[' ? 'L' : c;
}

// The bytes as escaped hexadecimal, for a violation's text.
std::string hex(const std::string& bytes) {
    std::string out;
    char buffer[8];
    for (unsigned char c : bytes) {
        std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
        out += buffer;
    }
    return out;
}

}  // namespace

bool isModifiedUtf8(const std::string& bytes) {
    // Decodes one unit (a UTF-16 code unit) at i; -1 when the bytes there are malformed.
    auto unit = [&bytes](size_t& i) -> long {
        auto byte = [&bytes](size_t at) -> unsigned {
            return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0u;
        };
        auto continuation = [&byte](size_t at) { return (byte(at) & 0xC0u) == 0x80u; };
        unsigned b = byte(i);
        if (b >= 0x01 && b <= 0x7F) {
            i += 1;
            return static_cast<long>(b);
        }
        if ((b & 0xE0u) == 0xC0u && continuation(i + 1)) {
            unsigned value = ((b & 0x1Fu) << 6) | (byte(i + 1) & 0x3Fu);
            i += 2;
            return value == 0 || value >= 0x80 ? static_cast<long>(value) : -1;
        }
        if ((b & 0xF0u) == 0xE0u && continuation(i + 1) && continuation(i + 2)) {
            unsigned value =
                ((b & 0x0Fu) << 12) | ((byte(i + 1) & 0x3Fu) << 6) | (byte(i + 2) & 0x3Fu);
            i += 3;
            return value >= 0x800 ? static_cast<long>(value) : -1;
        }
        return -1;
    };
    size_t i = 0;
    while (i < bytes.size()) {
        long u = unit(i);
        if (u < 0) return false;
        if (u >= 0xDC00 && u <= 0xDFFF) return false;  // a low surrogate without its high one
        if (u >= 0xD800 && u <= 0xDBFF) {
            long low = i < bytes.size() ? unit(i) : -1;
            if (low < 0xDC00 || low > 0xDFFF) return false;
        }
    }
    return true;
}

Object& Object::on(const std::string& name, const std::string& signature, Handler handler) {
    methods[{name, signature}] =
        std::unique_ptr<Method>(new Method{this, name, signature, std::move(handler)});
    return *this;
}

Object& Object::returns(const std::string& name, const std::string& signature, Value value) {
    return on(name, signature, [value](const std::vector<Value>&) { return value; });
}

Object& Object::throwing(const std::string& name, const std::string& signature,
                         const std::string& what) {
    return on(name, signature,
              [what](const std::vector<Value>&) -> Value { throw JavaThrow{what}; });
}

Object& Object::remove(const std::string& name, const std::string& signature) {
    methods.erase({name, signature});
    return *this;
}

bool Object::has(const std::string& name, const std::string& signature) const {
    return methods.count({name, signature}) != 0;
}

FakeJvm::FakeJvm() {
    void** slots = reinterpret_cast<void**>(&table_);
    fillUnexpected(slots, std::make_index_sequence<kSlotCount>{});
    table_.GetObjectClass = GetObjectClass;
    table_.GetMethodID = GetMethodID;
    table_.DeleteLocalRef = DeleteLocalRef;
    table_.ExceptionCheck = ExceptionCheck;
    table_.ExceptionClear = ExceptionClear;
    table_.ExceptionOccurred = ExceptionOccurred;
    table_.NewStringUTF = NewStringUTF;
    table_.GetStringUTFLength = GetStringUTFLength;
    table_.GetStringUTFChars = GetStringUTFChars;
    table_.ReleaseStringUTFChars = ReleaseStringUTFChars;
    table_.CallBooleanMethod = CallBooleanMethod;
    table_.CallBooleanMethodV = CallBooleanMethodV;
    table_.CallIntMethod = CallIntMethod;
    table_.CallIntMethodV = CallIntMethodV;
    table_.CallLongMethod = CallLongMethod;
    table_.CallLongMethodV = CallLongMethodV;
    table_.CallDoubleMethod = CallDoubleMethod;
    table_.CallDoubleMethodV = CallDoubleMethodV;
    table_.CallObjectMethod = CallObjectMethod;
    table_.CallObjectMethodV = CallObjectMethodV;
    table_.CallVoidMethod = CallVoidMethod;
    table_.CallVoidMethodV = CallVoidMethodV;
    block_.env.functions = &table_;
    block_.owner = this;
}

FakeJvm::~FakeJvm() = default;

JNIEnv* FakeJvm::env() {
    return &block_.env;
}

FakeJvm& FakeJvm::of(JNIEnv* env) {
    return *reinterpret_cast<EnvBlock*>(env)->owner;
}

Object& FakeJvm::object(const std::string& label) {
    objects_.emplace_back();
    objects_.back().label = label;
    return objects_.back();
}

Object& FakeJvm::string(const std::string& bytes) {
    Object& s = object("\"" + bytes + "\"");
    s.isString = true;
    s.bytes = bytes;
    return s;
}

Object& FakeJvm::list(const std::string& label, std::vector<Object*> elements) {
    Object& l = object(label);
    auto shared = std::make_shared<std::vector<Object*>>(std::move(elements));
    l.on("size", "()I", [shared](const std::vector<Value>&) {
        return Value::integer(static_cast<int32_t>(shared->size()));
    });
    l.on("get", "(I)Ljava/lang/Object;", [shared](const std::vector<Value>& args) -> Value {
        int32_t i = args.at(0).i;
        if (i < 0 || static_cast<size_t>(i) >= shared->size()) {
            throw JavaThrow{"java.lang.IndexOutOfBoundsException"};
        }
        return Value::object((*shared)[static_cast<size_t>(i)]);
    });
    return l;
}

jobject FakeJvm::localRef(Object* object) {
    return newLocal(object);
}

jobject FakeJvm::newLocal(Object* object) {
    if (object == nullptr) return nullptr;
    refs_.push_back(Ref{object, true});
    ++liveRefs_;
    if (localRefCapacity_ > 0 && liveRefs_ > localRefCapacity_) {
        violation("more than " + std::to_string(localRefCapacity_) +
                  " live local references (the newest: " + object->label + ")");
    }
    return reinterpret_cast<jobject>(&refs_.back());
}

Object* FakeJvm::deref(jobject ref) const {
    return ref == nullptr ? nullptr : reinterpret_cast<const Ref*>(ref)->object;
}

void FakeJvm::deleteLocal(jobject ref) {
    if (ref == nullptr) return;
    Ref* r = reinterpret_cast<Ref*>(ref);
    if (!r->live) {
        violation("DeleteLocalRef of a reference already deleted (" + r->object->label + ")");
        return;
    }
    r->live = false;
    --liveRefs_;
}

void FakeJvm::violation(const std::string& what) {
    violations_.push_back(what);
    if (abortOnViolation_) {
        std::fprintf(stderr, "fake JVM: JNI misuse: %s\n", what.c_str());
        std::fflush(stderr);
        std::abort();
    }
}

bool FakeJvm::stringFunctionFails(const char* function) {
    if (!stringFunctionFails_ || !stringFunctionFails_(function)) return false;
    pending_ = "java.lang.OutOfMemoryError";
    return true;
}

bool FakeJvm::checkNoPending(const char* function) {
    if (!pending_) return true;
    violation(std::string(function) + " called with an exception pending (" + *pending_ + ")");
    return false;
}

Object* FakeJvm::use(jobject ref, const char* function) {
    if (ref == nullptr) {
        violation(std::string(function) + " given a null reference");
        return nullptr;
    }
    Ref* r = reinterpret_cast<Ref*>(ref);
    if (!r->live) {
        violation(std::string(function) + " given a deleted reference (" + r->object->label + ")");
    }
    return r->object;
}

jclass FakeJvm::getObjectClass(jobject ref) {
    if (!checkNoPending("GetObjectClass")) return nullptr;
    Object* object = use(ref, "GetObjectClass");
    if (object == nullptr) return nullptr;
    if (object->classObject == nullptr) {
        Object& cls = this->object("class of " + object->label);
        cls.classOf = object;
        object->classObject = &cls;
    }
    return static_cast<jclass>(newLocal(object->classObject));
}

jmethodID FakeJvm::getMethodID(jclass cls, const char* name, const char* signature) {
    if (!checkNoPending("GetMethodID")) return nullptr;
    Object* c = use(cls, "GetMethodID");
    if (c == nullptr) return nullptr;
    if (c->classOf == nullptr) {
        violation("GetMethodID given an object that is not a class (" + c->label + ")");
        return nullptr;
    }
    auto it = c->classOf->methods.find({name, signature});
    if (it == c->classOf->methods.end()) {
        ++missingLookups_;
        pending_ = std::string("java.lang.NoSuchMethodError: ") + name + signature;
        return nullptr;
    }
    return reinterpret_cast<jmethodID>(it->second.get());
}

Value FakeJvm::invoke(jobject ref, jmethodID id, char kind, va_list args, const char* function) {
    Value zero;
    if (!checkNoPending(function)) return zero;
    Object* target = use(ref, function);
    if (target == nullptr) return zero;
    if (id == nullptr) {
        violation(std::string(function) + " given a null method ID");
        return zero;
    }
    Method* method = reinterpret_cast<Method*>(id);
    if (method->owner != target) {
        violation(std::string(function) + " of " + method->name + " on another object (" +
                  target->label + ")");
        return zero;
    }
    char expected = resultKind(method->signature);
    if (expected != kind) {
        violation(std::string(function) + " used for " + method->name + method->signature);
    }
    Call call{target, method->name, {}, ""};
    for (char k : argumentKinds(method->signature)) {
        switch (k) {
            case 'Z':
                call.args.push_back(Value::boolean(va_arg(args, int) != 0));
                break;
            case 'B':
            case 'C':
            case 'S':
            case 'I':
                call.args.push_back(Value::integer(va_arg(args, jint)));
                break;
            case 'J':
                call.args.push_back(Value::longValue(va_arg(args, jlong)));
                break;
            case 'F':
            case 'D':
                call.args.push_back(Value::real(va_arg(args, jdouble)));
                break;
            default: {
                jobject ref = va_arg(args, jobject);
                if (ref != nullptr && !reinterpret_cast<Ref*>(ref)->live) {
                    violation(std::string(function) + " of " + method->name +
                              " given a deleted reference as an argument");
                }
                call.args.push_back(Value::object(deref(ref)));
                break;
            }
        }
    }
    if (recordCalls_) {
        std::ostringstream text;
        text << target->label << '.' << method->name << '(';
        for (size_t i = 0; i < call.args.size(); ++i) {
            text << (i ? ", " : "") << format(call.args[i]);
        }
        text << ')';
        call.text = text.str();
        calls_.push_back(call);
    }
    try {
        return method->handler(call.args);
    } catch (const JavaThrow& thrown) {
        pending_ = thrown.what;
        return zero;
    }
}

jstring FakeJvm::newString(const char* bytes) {
    if (!checkNoPending("NewStringUTF")) return nullptr;
    if (bytes == nullptr) {
        violation("NewStringUTF given a null pointer");
        return nullptr;
    }
    if (!isModifiedUtf8(bytes)) {
        violation("NewStringUTF given text that is not modified UTF-8: " + hex(bytes));
    }
    if (stringFunctionFails("NewStringUTF")) return nullptr;
    return static_cast<jstring>(newLocal(&string(bytes)));
}

jsize FakeJvm::stringLength(jstring s) {
    if (!checkNoPending("GetStringUTFLength")) return 0;
    Object* object = use(s, "GetStringUTFLength");
    if (object == nullptr || !object->isString) return 0;
    return static_cast<jsize>(object->bytes.size());
}

const char* FakeJvm::stringChars(jstring s) {
    if (!checkNoPending("GetStringUTFChars")) return nullptr;
    Object* object = use(s, "GetStringUTFChars");
    if (object == nullptr || !object->isString) return nullptr;
    if (stringFunctionFails("GetStringUTFChars")) return nullptr;
    char* chars = static_cast<char*>(std::malloc(object->bytes.size() + 1));
    std::memcpy(chars, object->bytes.c_str(), object->bytes.size() + 1);
    ++outstandingChars_;
    return chars;
}

void FakeJvm::releaseChars(jstring s, const char* chars) {
    use(s, "ReleaseStringUTFChars");
    if (chars == nullptr) {
        violation("ReleaseStringUTFChars given a null pointer");
        return;
    }
    --outstandingChars_;
    std::free(const_cast<char*>(chars));
}

std::vector<std::string> FakeJvm::log() const {
    std::vector<std::string> texts;
    for (const Call& call : calls_) texts.push_back(call.text);
    return texts;
}

std::vector<std::string> FakeJvm::log(const std::string& method) const {
    std::vector<std::string> texts;
    for (const Call& call : calls_) {
        if (call.method == method) texts.push_back(call.text);
    }
    return texts;
}

std::string FakeJvm::format(const Value& value) {
    switch (value.kind) {
        case Value::Kind::Void:
            return "void";
        case Value::Kind::Boolean:
            return value.z ? "true" : "false";
        case Value::Kind::Int:
            return std::to_string(value.i);
        case Value::Kind::Long:
            return std::to_string(value.j) + "L";
        case Value::Kind::Double: {
            // The shortest text that reads back as the same double.
            char buffer[64];
            auto end = std::to_chars(buffer, buffer + sizeof buffer, value.d).ptr;
            return std::string(buffer, end);
        }
        case Value::Kind::Object:
            if (value.l == nullptr) return "null";
            return value.l->isString ? "\"" + value.l->bytes + "\"" : value.l->label;
    }
    return "?";
}

}  // namespace fakejvm

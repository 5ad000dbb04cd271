#include "FuzzHost.h"

#include <cstring>
#include <limits>

namespace fuzzhost {

using fakejvm::Handler;
using fakejvm::JavaThrow;
using fakejvm::Object;
using fakejvm::Value;
using Args = std::vector<Value>;

const char* const kMatchOver = "touchline.MatchOver";
const char* const kHostFault = "java.lang.IllegalStateException";
const char* const kIndexOutOfBounds = "java.lang.IndexOutOfBoundsException";

namespace {

const char* const kObject = "()Ljava/lang/Object;";
const char* const kList = "()Ljava/util/List;";
const char* const kString = "()Ljava/lang/String;";

// A match ends after this many steps at the latest, so a run stays short even when the input
// keeps the host going.
constexpr int kMostSteps = 48;

// The nine event types, then texts one step away from something the library knows or must
// convert: case, length, an encoded NUL (C0 80), a surrogate pair (an emoji as the JVM writes
// it), lone surrogates, 4-byte UTF-8 (never in modified UTF-8), stray and overlong bytes.
const char* const kTexts[] = {
    "tick",
    "matchBegin",
    "matchFinish",
    "roundBegin",
    "roundFinish",
    "messageReceived",
    "hitRobot",
    "hitWall",
    "hitBall",
    "",
    "Tick",
    "hitRobots",
    "hitRobo",
    "goalScored",
    "\xC0\x80",
    "tick\xC0\x80x",
    "\xED\xA0\xBD\xED\xB8\x80",
    "\xED\xA0\xBD",
    "\xED\xB8\x80",
    "\xF0\x9F\x98\x80",
    "\xFF\xFE",
    "a\x80z",
    "\xC1\xBF",
    "\xE0\x80\x80",
    "\xED\xA0\xBDx",
    "\xE2\x82",
    "caf\xC3\xA9",
    "\xEF\xBF\xBF",
};
constexpr int kTextCount = sizeof kTexts / sizeof kTexts[0];

const double kReals[] = {
    std::numeric_limits<double>::quiet_NaN(),
    -std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    -0.0,
    std::numeric_limits<double>::max(),
    -std::numeric_limits<double>::max(),
    std::numeric_limits<double>::min(),
    std::numeric_limits<double>::denorm_min(),
    1e300,
    -1e300,
    1e-300,
    3.1415926,
    6.2831852,
    -1.0,
    0.5,
};
constexpr int kRealCount = sizeof kReals / sizeof kReals[0];

}  // namespace

int32_t Input::integer() {
    uint8_t b = byte();
    if (b < 0xC0) return b % 12;
    if (b < 0xF0) return -static_cast<int32_t>(b - 0xBF);
    if (b == 0xF0) return std::numeric_limits<int32_t>::min();
    if (b == 0xF1) return std::numeric_limits<int32_t>::max();
    return data_.ConsumeIntegral<int32_t>();
}

int64_t Input::longValue() {
    uint8_t b = byte();
    if (b < 0xC0) return b % 64;
    if (b < 0xE0) return -static_cast<int64_t>(b - 0xBF);
    if (b < 0xF0) return (int64_t{b - 0xDF} << 32) + (b & 3);
    if (b == 0xF0) return std::numeric_limits<int64_t>::min();
    if (b == 0xF1) return std::numeric_limits<int64_t>::max();
    return data_.ConsumeIntegral<int64_t>();
}

double Input::real() {
    uint8_t b = byte();
    if (b < 0xA0) return b * 2.0 + b / 7.0;
    if (b < 0xA0 + kRealCount) return kReals[b - 0xA0];
    if (b < 0xF0) return (b - 0xC8) / 4.0;
    uint64_t bits = data_.ConsumeIntegral<uint64_t>();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::string Input::text() {
    uint8_t b = byte();
    if (b < 0x80) return kTexts[b % 9];
    if (b < 0x80 + kTextCount) return kTexts[b - 0x80];
    if (b == 0xF0) return std::string(static_cast<size_t>(range(0, 2000)), 'x');
    return data_.ConsumeBytesAsString(static_cast<size_t>(range(0, 64)));
}

uint32_t Input::missing() {
    return byte() < 0xF0 ? 0u : data_.ConsumeIntegral<uint32_t>();
}

FuzzHost::FuzzHost(fakejvm::FakeJvm& jvm, Input& input)
    : jvm_(jvm), input_(input), adapter_(jvm.object("adapter")) {
    uint32_t mask = input_.missing();
    offer(adapter_, mask, "getInfoConsole", kObject, objectOf([this] { return info(); }));
    offer(adapter_, mask, "getOperateConsole", kObject, objectOf([this] { return operate(); }));
    offer(adapter_, mask, "getDebugConsole", kObject, objectOf([this] { return debug(); }));
}

void FuzzHost::threw(const std::string& what) {
    if (firstThrown_.empty()) firstThrown_ = what;
}

void FuzzHost::raise(const char* what) {
    threw(what);
    throw JavaThrow{what};
}

jobject FuzzHost::adapterRef() {
    return input_.byte() >= 0xFC ? nullptr : jvm_.localRef(&adapter_);
}

Object& FuzzHost::object(const std::string& label) {
    return jvm_.object(label);
}

void FuzzHost::offer(Object& o, uint32_t& mask, const char* name, const char* signature,
                     Handler handler) {
    if ((mask & 1u) == 0) o.on(name, signature, std::move(handler));
    mask >>= 1;
}

Handler FuzzHost::scalar(std::function<Value()> value) {
    return [this, value](const Args&) -> Value {
        if (input_.byte() >= 0xF4) raise(kHostFault);
        return value();
    };
}

Handler FuzzHost::objectOf(Factory make) {
    return [this, make](const Args&) -> Value {
        uint8_t b = input_.byte();
        if (b >= 0xF4) raise(kHostFault);
        if (b >= 0xE8) return Value::null();
        return Value::object(make());
    };
}

Handler FuzzHost::string() {
    return objectOf([this] { return &jvm_.string(input_.text()); });
}

Handler FuzzHost::voidCall() {
    return [this](const Args&) -> Value {
        if (input_.byte() >= 0xF4) raise(kHostFault);
        return Value::none();
    };
}

Handler FuzzHost::textCall(size_t argument) {
    return [this, argument](const Args& args) -> Value {
        const Object* text = args.at(argument).l;
        if (text == nullptr || !text->isString) jvm_.violation("a text argument that is no string");
        return voidCall()(args);
    };
}

Object* FuzzHost::list(const std::string& label, int most, Factory make) {
    Object& l = object(label);
    const int length = input_.range(0, most);
    uint32_t m = input_.missing();
    offer(l, m, "size", "()I", scalar([this, length] {
              // Mostly the truth; sometimes the list changed since, or never was that long.
              return Value::integer(input_.byte() < 0xC0 ? length : input_.integer());
          }));
    offer(l, m, "get", "(I)Ljava/lang/Object;", [this, length, make](const Args& args) -> Value {
        int32_t i = args.at(0).i;
        if (i < 0 || i >= length) raise(kIndexOutOfBounds);
        return objectOf(make)(args);
    });
    return &l;
}

Object* FuzzHost::info() {
    Object& o = object("info");
    uint32_t m = input_.missing();
    offer(o, m, "getId", "()I", scalar([this] { return Value::integer(input_.integer()); }));
    offer(o, m, "getTime", "()J", scalar([this] { return Value::longValue(input_.longValue()); }));
    offer(o, m, "getTotalTimes", "()J",
          scalar([this] { return Value::longValue(input_.longValue()); }));
    offer(o, m, "getCourt", kObject, objectOf([this] { return court(); }));
    offer(o, m, "getBall", kObject, objectOf([this] { return ball(); }));
    offer(o, m, "getTeams", kList,
          objectOf([this] { return list("teams", 3, [this] { return team(); }); }));
    offer(o, m, "getActions", kList, objectOf([this] {
              // Now and then a step with many events.
              int most = input_.byte() < 0xF0 ? 5 : 64;
              return list("actions", most, [this] { return event(); });
          }));
    return &o;
}

Object* FuzzHost::operate() {
    Object& o = object("operate");
    uint32_t m = input_.missing();
    offer(o, m, "setMoveVelocity", "(D)V", voidCall());
    offer(o, m, "setTurnVelocity", "(D)V", voidCall());
    offer(o, m, "sendMessage", "(ILjava/lang/String;)V", textCall(1));
    // The match ends when the input does, or after its last step: "execute" throws, as a host
    // ends a match.
    offer(o, m, "execute", "()V", [this](const Args&) -> Value {
        if (input_.exhausted() || steps_ >= kMostSteps) raise(kMatchOver);
        if (input_.byte() >= 0xF8) raise(kHostFault);
        ++steps_;
        return Value::none();
    });
    return &o;
}

Object* FuzzHost::debug() {
    Object& o = object("debug");
    uint32_t m = input_.missing();
    offer(o, m, "print", "(Ljava/lang/String;)V", textCall(0));
    offer(o, m, "addView", "(Ljava/lang/Object;)V", [this](const Args& args) {
        // Only a view the host made, still alive (the fake checks the reference), is added.
        if (args.at(0).l == nullptr || args.at(0).l->label.rfind("view", 0) != 0) {
            jvm_.violation("addView given something that is not a view");
        }
        return voidCall()(args);
    });
    offer(o, m, "createLineView", kObject, objectOf([this] { return view("line"); }));
    offer(o, m, "createTextView", kObject, objectOf([this] { return view("text"); }));
    offer(o, m, "createEllipseView", kObject, objectOf([this] { return view("ellipse"); }));
    offer(o, m, "createRectangleView", kObject, objectOf([this] { return view("rectangle"); }));
    return &o;
}

Object* FuzzHost::court() {
    Object& c = object("court");
    uint32_t m = input_.missing();
    for (const char* name : {"getWidth", "getHeight", "getGoalWidth", "getGoalDepth",
                             "getCornerWidth", "getCornerHeight"}) {
        offer(c, m, name, "()D", scalar([this] { return Value::real(input_.real()); }));
    }
    return &c;
}

Object* FuzzHost::ball() {
    Object& b = object("ball");
    uint32_t m = input_.missing();
    for (const char* name :
         {"getX", "getY", "getHeading", "getVelocity", "getRadius", "getNegativeAcceleration"}) {
        offer(b, m, name, "()D", scalar([this] { return Value::real(input_.real()); }));
    }
    return &b;
}

Object* FuzzHost::team() {
    Object& t = object("team");
    uint32_t m = input_.missing();
    offer(t, m, "getId", "()I", scalar([this] { return Value::integer(input_.integer()); }));
    offer(t, m, "getAttack", "()I", scalar([this] { return Value::integer(input_.integer()); }));
    offer(t, m, "getName", kString, string());
    offer(t, m, "getScore", "()D", scalar([this] { return Value::real(input_.real()); }));
    offer(t, m, "getMembers", kList,
          objectOf([this] { return list("members", 4, [this] { return bot(); }); }));
    return &t;
}

Object* FuzzHost::bot() {
    Object& r = object("bot");
    uint32_t m = input_.missing();
    offer(r, m, "getId", "()I", scalar([this] { return Value::integer(input_.integer()); }));
    offer(r, m, "getName", kString, string());
    for (const char* name : {"getX", "getY", "getHeading", "getMoveVelocity", "getTurnVelocity",
                             "getRadius", "getMaxMoveVelocity", "getMaxTurnVelocity"}) {
        offer(r, m, name, "()D", scalar([this] { return Value::real(input_.real()); }));
    }
    return &r;
}

// Every event offers every getter, unless the input takes it away, whatever its type says.
Object* FuzzHost::event() {
    Object& e = object("event");
    uint32_t m = input_.missing();
    offer(e, m, "getType", kString, string());
    offer(e, m, "getSender", "()I", scalar([this] { return Value::integer(input_.integer()); }));
    offer(e, m, "getMessage", kString, string());
    offer(e, m, "getHited", "()I", scalar([this] { return Value::integer(input_.integer()); }));
    return &e;
}

Object* FuzzHost::view(const std::string& kind) {
    Object& v = object("view " + kind);
    uint32_t m = input_.missing();
    offer(v, m, "setShowTime", "(J)V", voidCall());
    offer(v, m, "setColor", "(I)V", voidCall());
    offer(v, m, "setText", "(Ljava/lang/String;)V", textCall(0));
    offer(v, m, "setSize", "(I)V", voidCall());
    offer(v, m, "setFill", "(Z)V", voidCall());
    for (const char* name : {"setBeginX", "setBeginY", "setEndX", "setEndY", "setLocationX",
                             "setLocationY", "setXRadius", "setYRadius", "setWidth", "setHeight"}) {
        offer(v, m, name, "(D)V", voidCall());
    }
    return &v;
}

}  // namespace fuzzhost

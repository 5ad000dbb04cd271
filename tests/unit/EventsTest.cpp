// The event list as strategy code sees it: rebuilt from the host at every step, read by index
// and through the predicates, and stopped by an event type the library does not know.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "Probe.h"

using fakejvm::EventState;
using fakejvm::FakeHost;
using fakejvm::FakeJvm;
using fakejvm::Value;

namespace {

// The event list's element fetches, apart from the world refresh's list reads.
std::vector<std::string> actionGets(const FakeJvm& jvm) {
    std::vector<std::string> gets;
    for (const std::string& call : jvm.log("get")) {
        if (call.rfind("actions.", 0) == 0) gets.push_back(call);
    }
    return gets;
}

const char* const kGet = "(I)Ljava/lang/Object;";
const char* const kString = "()Ljava/lang/String;";

class EventsTest : public ::testing::Test {
protected:
    EventsTest() { host.standardMatch(3, 0); }

    // Runs the probe once; baseRefs is what the host itself holds during the call.
    void runProbe() {
        jobject adapter = host.adapterRef();
        baseRefs = jvm.liveLocalRefs();
        probe.adapterRun(jvm.env(), adapter);
    }

    // Runs the probe with body as the strategy's run, which must be entered.
    void play(std::function<void()> body) {
        bool entered = false;
        probe.onRun([&] {
            entered = true;
            body();
        });
        runProbe();
        EXPECT_TRUE(entered);
    }

    // The host calls made for the event list, in order.
    std::vector<std::string> eventCalls() const {
        std::vector<std::string> calls;
        for (const std::string& call : jvm.log()) {
            if (call.rfind("info.getActions", 0) == 0 || call.rfind("actions.", 0) == 0 ||
                call.rfind("event", 0) == 0) {
                calls.push_back(call);
            }
        }
        return calls;
    }

    std::vector<int> predicates() {
        return {TL(probe, isMatchBegin)(),  TL(probe, isMatchFinish)(), TL(probe, isRoundBegin)(),
                TL(probe, isRoundFinish)(), TL(probe, isHitRobot)(),    TL(probe, isHitWall)(),
                TL(probe, isHitBall)(),     TL(probe, isHited)()};
    }

    void expectClean() {
        EXPECT_EQ(baseRefs, jvm.liveLocalRefs());
        EXPECT_TRUE(jvm.violations().empty());
        EXPECT_EQ(0, jvm.outstandingStringChars());
    }

    FakeJvm jvm;
    FakeHost host{jvm};
    Probe probe;
    int baseRefs = 0;
};

EventState event(const std::string& type) {
    EventState e;
    e.type = type;
    return e;
}

EventState message(int sender, const std::string& text) {
    EventState e = event("messageReceived");
    e.sender = sender;
    e.message = text;
    return e;
}

EventState hitRobot(int hited) {
    EventState e = event("hitRobot");
    e.hited = hited;
    return e;
}

ActionUnion filled(unsigned char byte) {
    ActionUnion value;
    std::memset(&value, byte, sizeof value);
    return value;
}

}  // namespace

TEST_F(EventsTest, ReadsEachEventOnceInHostOrderAndReleasesEveryReference) {
    play([&] {
        host.events = {event("tick"), message(3, "h\xC3\xA9llo"), hitRobot(7)};
        jvm.clearLog();
        TL(probe, execute)();
        EXPECT_EQ(
            (std::vector<std::string>{"info.getActions()", "actions.size()", "actions.get(0)",
                                      "event0.getType()", "actions.get(1)", "event1.getType()",
                                      "event1.getSender()", "event1.getMessage()", "actions.get(2)",
                                      "event2.getType()", "event2.getHited()"}),
            eventCalls());
        EXPECT_EQ(baseRefs, jvm.liveLocalRefs());

        // Reading the list asks the host nothing.
        jvm.clearLog();
        ActionUnion value = filled(0);
        for (int i = 0; i < TL(probe, getActionNum)(); ++i) {
            TL(probe, getActionType)(i);
            TL(probe, getActionValue)(i, &value);
        }
        predicates();
        EXPECT_TRUE(jvm.log().empty());
    });
    expectClean();
}

TEST_F(EventsTest, EachHostTypeNameGivesItsCodeAndPredicate) {
    struct Row {
        const char* name;
        int code;
        std::vector<int> predicates;  // matchBegin, matchFinish, roundBegin, roundFinish,
                                      // hitRobot, hitWall, hitBall, hited
    };
    const std::vector<Row> rows = {
        {"tick", 0, {0, 0, 0, 0, 0, 0, 0, 0}},
        {"matchBegin", 1, {1, 0, 0, 0, 0, 0, 0, 0}},
        {"matchFinish", 2, {0, 1, 0, 0, 0, 0, 0, 0}},
        {"roundBegin", 3, {0, 0, 1, 0, 0, 0, 0, 0}},
        {"roundFinish", 4, {0, 0, 0, 1, 0, 0, 0, 0}},
        {"messageReceived", 5, {0, 0, 0, 0, 0, 0, 0, 0}},
        {"hitRobot", 6, {0, 0, 0, 0, 1, 0, 0, 1}},
        {"hitWall", 7, {0, 0, 0, 0, 0, 1, 0, 1}},
        {"hitBall", 8, {0, 0, 0, 0, 0, 0, 1, 1}},
    };
    play([&] {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            host.events = {event(row.name)};
            TL(probe, execute)();
            ASSERT_EQ(1, TL(probe, getActionNum)());
            EXPECT_EQ(row.code, TL(probe, getActionType)(0));
            EXPECT_EQ(row.predicates, predicates());
        }
    });
    expectClean();
}

TEST_F(EventsTest, PredicatesAnswerOneOrZeroForWholeStep) {
    play([&] {
        // An empty step.
        TL(probe, execute)();
        EXPECT_EQ(0, TL(probe, getActionNum)());
        EXPECT_EQ(std::vector<int>(8, 0), predicates());

        // Several of one kind still give 1.
        host.events = {event("hitWall"), event("hitWall"), event("hitWall")};
        TL(probe, execute)();
        EXPECT_EQ(3, TL(probe, getActionNum)());
        EXPECT_EQ(ACTION_HIT_WALL, TL(probe, getActionType)(2));
        EXPECT_EQ((std::vector<int>{0, 0, 0, 0, 0, 1, 0, 1}), predicates());

        // Both round boundaries in one step, whatever their order.
        host.events = {event("roundFinish"), event("tick"), event("roundBegin")};
        TL(probe, execute)();
        EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 0, 0, 0, 0}), predicates());

        // Nothing carries over into a step without events.
        host.events.clear();
        TL(probe, execute)();
        EXPECT_EQ(0, TL(probe, getActionNum)());
        EXPECT_EQ(std::vector<int>(8, 0), predicates());
    });
    expectClean();
}

TEST_F(EventsTest, FirstRunReadsTheEventsBeforeTheHooks) {
    host.events = {event("matchBegin"), event("roundBegin")};
    int seenByInitialize = -1;
    probe.onInitialize([&] { seenByInitialize = TL(probe, getActionNum)(); });
    play([&] {
        EXPECT_EQ(1, TL(probe, isMatchBegin)());
        EXPECT_EQ(ACTION_ROUND_BEGIN, TL(probe, getActionType)(1));
    });
    EXPECT_EQ(2, seenByInitialize);
    expectClean();
}

TEST_F(EventsTest, MessageTextIsUtf8AndLastsUntilNextExecute) {
    // Modified UTF-8 as the host gives it, a surrogate pair and a two-byte NUL, reads as UTF-8
    // up to the NUL.
    const std::string hostText = "gr\xC3\xBC\xC3\x9F \xED\xA0\xBD\xED\xB8\x80! \xC0\x80 gone";
    const std::string text = "gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80! ";
    play([&] {
        host.events = {message(3, hostText), message(-2, "")};
        TL(probe, execute)();
        ActionUnion first = filled(0x5A);
        TL(probe, getActionValue)(0, &first);
        EXPECT_EQ(3, first.messageReceived.sender);
        ASSERT_NE(nullptr, first.messageReceived.message);
        EXPECT_EQ(text, std::string(first.messageReceived.message));

        // The text stays put while the step lasts, whatever else strategy code reads.
        ActionUnion again = filled(0);
        TL(probe, getActionValue)(1, &again);
        TL(probe, getActionValue)(0, &again);
        EXPECT_EQ(first.messageReceived.message, again.messageReceived.message);
        EXPECT_EQ(text, std::string(first.messageReceived.message));

        TL(probe, getActionValue)(1, &again);
        EXPECT_EQ(-2, again.messageReceived.sender);
        EXPECT_STREQ("", again.messageReceived.message);

        // The next step's message is a new copy.
        host.events = {message(4, "next")};
        TL(probe, execute)();
        ActionUnion next = filled(0);
        TL(probe, getActionValue)(0, &next);
        EXPECT_EQ(4, next.messageReceived.sender);
        EXPECT_STREQ("next", next.messageReceived.message);
    });
    expectClean();
}

TEST_F(EventsTest, GetActionValueWritesOnlyTheEventsOwnData) {
    play([&] {
        host.events = {event("tick"),       event("matchBegin"),  event("matchFinish"),
                       event("roundBegin"), event("roundFinish"), event("hitWall"),
                       event("hitBall"),    hitRobot(7)};
        TL(probe, execute)();
        const ActionUnion before = filled(0xAB);
        for (int i = 0; i < 7; ++i) {
            ActionUnion value = before;
            TL(probe, getActionValue)(i, &value);
            EXPECT_EQ(0, std::memcmp(&before, &value, sizeof value)) << "event " << i;
        }

        ActionUnion hit = before;
        TL(probe, getActionValue)(7, &hit);
        EXPECT_EQ(7, hit.hitRobot.hited);
        const size_t rest = sizeof hit.hitRobot.hited;
        EXPECT_EQ(
            0, std::memcmp(reinterpret_cast<const unsigned char*>(&before) + rest,
                           reinterpret_cast<const unsigned char*>(&hit) + rest, sizeof hit - rest));
    });
    expectClean();
}

TEST_F(EventsTest, IndexOutsideTheListOrNullRecordReadsNothing) {
    play([&] {
        host.events = {hitRobot(5), message(1, "m")};
        TL(probe, execute)();
        for (int index : {-1, 2, 3, INT_MAX, INT_MIN}) {
            SCOPED_TRACE(index);
            EXPECT_EQ(-1, TL(probe, getActionType)(index));
            ActionUnion value = filled(0xCD);
            const ActionUnion before = value;
            TL(probe, getActionValue)(index, &value);
            EXPECT_EQ(0, std::memcmp(&before, &value, sizeof value));
        }
        TL(probe, getActionValue)(0, nullptr);
        TL(probe, getActionValue)(1, nullptr);
    });
    expectClean();
}

class UnknownEventTest : public EventsTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(UnknownEventTest, StopsTheRobotWithItsNameInTheDebugConsole) {
    const std::string type = GetParam();
    bool reached = false;
    play([&] {
        host.events = {event("tick"), message(2, "before"), event(type), event("hitBall")};
        TL(probe, execute)();
        reached = true;
    });

    EXPECT_FALSE(reached);
    EXPECT_EQ(std::vector<std::string>{"debug.print(\"unknow action : " + type + "\")"},
              jvm.log("print"));
    EXPECT_FALSE(jvm.exceptionPending());
    // The events after it are not read; the ones before it stay readable.
    EXPECT_EQ((std::vector<std::string>{"actions.get(0)", "actions.get(1)", "actions.get(2)"}),
              actionGets(jvm));
    ASSERT_EQ(2, TL(probe, getActionNum)());
    EXPECT_EQ(ACTION_TICK, TL(probe, getActionType)(0));
    ActionUnion value = filled(0);
    TL(probe, getActionValue)(1, &value);
    EXPECT_STREQ("before", value.messageReceived.message);
    expectClean();
}

INSTANTIATE_TEST_SUITE_P(Names, UnknownEventTest,
                         // The last reads as UTF-8 and goes back as the same surrogate pair.
                         ::testing::Values("HitWall", "", "tick ", "TICK", "h\xC3\xA9t",
                                           "tick\xED\xA0\xBD\xED\xB8\x80"));

TEST_F(EventsTest, NullElementIsSkippedAndNullTypeIsUnknown) {
    fakejvm::Object& typeless = jvm.object("typeless");
    typeless.returns("getType", kString, Value::null());
    auto& hitBall = jvm.object("hitBallEvent")
                        .returns("getType", kString, Value::object(&jvm.string("hitBall")));
    std::vector<fakejvm::Object*> elements = {&hitBall, nullptr, &hitBall};
    host.actionList.on("get", kGet, [&](const std::vector<Value>& a) {
        return Value::object(elements.at(static_cast<size_t>(a[0].i)));
    });
    host.actionList.on("size", "()I", [&](const std::vector<Value>&) {
        return Value::integer(static_cast<int>(elements.size()));
    });
    bool reached = false;
    play([&] {
        EXPECT_EQ(2, TL(probe, getActionNum)());
        EXPECT_EQ(ACTION_HIT_BALL, TL(probe, getActionType)(1));

        elements = {&hitBall, &typeless, &hitBall};
        TL(probe, execute)();
        reached = true;
    });
    EXPECT_FALSE(reached);
    EXPECT_EQ(std::vector<std::string>{"debug.print(\"unknow action : \")"}, jvm.log("print"));
    EXPECT_EQ(1, TL(probe, getActionNum)());
    expectClean();
}

// A list without "get" holds no event, whatever size it claims: the library stops at the
// first failed lookup rather than look the method up once for every index it claims.
TEST_F(EventsTest, ListWithoutGetEndsAfterOneLookup) {
    host.events = {event("tick")};
    bool reached = false;
    play([&] {
        ASSERT_EQ(1, TL(probe, getActionNum)());
        host.actionList.remove("get", kGet);
        host.actionList.returns("size", "()I", Value::integer(100000));
        const int before = jvm.missingMethodLookups();
        TL(probe, execute)();
        EXPECT_EQ(1, jvm.missingMethodLookups() - before);
        EXPECT_EQ(0, TL(probe, getActionNum)());
        EXPECT_EQ(-1, TL(probe, getActionType)(0));
        reached = true;
    });
    EXPECT_TRUE(reached);
    EXPECT_FALSE(jvm.exceptionPending());
    expectClean();
}

TEST_F(EventsTest, HostExceptionWhileReadingReleasesEveryReference) {
    // The second event's data getter throws.
    auto& hitWall = jvm.object("hitWallEvent")
                        .returns("getType", kString, Value::object(&jvm.string("hitWall")));
    auto& broken = jvm.object("brokenEvent")
                       .returns("getType", kString, Value::object(&jvm.string("hitRobot")))
                       .throwing("getHited", "()I");
    bool reached = false;
    play([&] {
        host.actionList.returns("size", "()I", Value::integer(3));
        host.actionList.on("get", kGet, [&](const std::vector<Value>& a) {
            return Value::object(a[0].i == 1 ? &broken : &hitWall);
        });
        TL(probe, execute)();
        reached = true;
    });
    EXPECT_FALSE(reached);
    EXPECT_TRUE(jvm.exceptionPending());
    EXPECT_TRUE(jvm.log("print").empty());
    EXPECT_EQ((std::vector<std::string>{"actions.get(0)", "actions.get(1)"}), actionGets(jvm));
    EXPECT_EQ(1, TL(probe, getActionNum)());
    jvm.clearException();
    expectClean();
}

// The command queues as the host sees them: what one execution cycle delivers to the operate
// and debug consoles, in which order, and what is left for the next cycle.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "Probe.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char* const kMessage = "(ILjava/lang/String;)V";

Bot botWithId(int id) {
    Bot record{};
    record.id = id;
    return record;
}

// A heap copy of text, so a test can free it right after handing it to the library.
char* heapText(const char* text) {
    char* copy = static_cast<char*>(std::malloc(std::strlen(text) + 1));
    std::strcpy(copy, text);
    return copy;
}

class Commands : public ::testing::Test {
protected:
    Commands() : host(jvm) { host.standardMatch(3, 0); }

    // Plays body as the strategy's run() of this test's fresh copy of the library.
    void play(std::function<void()> body) {
        probe.onRun(std::move(body));
        probe.adapterRun(jvm.env(), host.adapterRef());
    }

    // One execution cycle: what it delivered, ending with the host's "execute". The cycle must
    // leave no local reference behind and misuse no JNI function.
    std::vector<std::string> step() {
        jvm.clearLog();
        int refs = jvm.liveLocalRefs();
        TL(probe, execute)();
        EXPECT_EQ(refs, jvm.liveLocalRefs());
        EXPECT_THAT(jvm.violations(), IsEmpty());
        return delivered();
    }

    // The calls on the operate and debug consoles and on view objects, in order; the world
    // reads of a cycle are left out.
    std::vector<std::string> delivered() const {
        std::vector<std::string> texts;
        for (const fakejvm::Call& call : jvm.calls()) {
            const fakejvm::Object* target = call.target;
            if (target == &host.operate || target == &host.debug ||
                target->label.find("View") != std::string::npos) {
                texts.push_back(call.text);
            }
        }
        return texts;
    }

    fakejvm::FakeJvm jvm;
    fakejvm::FakeHost host;
    Probe probe;
};

TEST_F(Commands, LastVelocitiesWinMoveGoesBeforeTurnValuesPassUnchanged) {
    play([&] {
        TL(probe, setTurnVelocity)(0.5);
        TL(probe, setMoveVelocity)(1.0);
        TL(probe, setMoveVelocity)(2.0);
        TL(probe, setTurnVelocity)(-0.25);
        EXPECT_THAT(step(), ElementsAre("operate.setMoveVelocity(2)",
                                        "operate.setTurnVelocity(-0.25)", "operate.execute()"));
        TL(probe, setTurnVelocity)(-7.5);
        EXPECT_THAT(step(), ElementsAre("operate.setTurnVelocity(-7.5)", "operate.execute()"));
        // Zero, and far beyond the robot's maximum (10 in the fake match): not clamped.
        TL(probe, setMoveVelocity)(-1e300);
        TL(probe, setMoveVelocity)(0.0);
        EXPECT_THAT(step(), ElementsAre("operate.setMoveVelocity(0)", "operate.execute()"));
        TL(probe, setMoveVelocity)(-1e300);
        EXPECT_THAT(step(), ElementsAre("operate.setMoveVelocity(-1e+300)", "operate.execute()"));
    });
}

TEST_F(Commands, NothingQueuedMeansNoCommandCallsAndNothingIsDeliveredTwice) {
    play([&] {
        EXPECT_THAT(step(), ElementsAre("operate.execute()"));
        TL(probe, setMoveVelocity)(1.0);
        TL(probe, setTurnVelocity)(0.1);
        Bot receiver = botWithId(2);
        TL(probe, sendMessage)(&receiver, "go");
        TL(probe, print)("hello");
        LineView line{5, 7, 1, 2, 3, 4};
        TL(probe, addLineView)(&line);
        EXPECT_EQ(13u, step().size());
        EXPECT_THAT(step(), ElementsAre("operate.execute()"));
    });
    EXPECT_EQ(3, host.executes);
}

TEST_F(Commands, MessagesFollowTheVelocitiesOldestFirstAsTheyWereAtTheCall) {
    play([&] {
        Bot receiver = botWithId(2);
        char* text = heapText("first");
        TL(probe, sendMessage)(&receiver, text);
        // The caller reuses its record and buffer at once.
        receiver.id = 4;
        std::strcpy(text, "XXXXX");
        std::free(text);
        TL(probe, sendMessage)(&receiver, "second");
        receiver.id = 2;
        TL(probe, sendMessage)(&receiver, "");
        TL(probe, sendMessage)(&receiver, "\xc3\xa9t\xc3\xa9 \xe2\x82\xac");
        TL(probe, setMoveVelocity)(3.0);
        EXPECT_THAT(
            step(),
            ElementsAre("operate.setMoveVelocity(3)", "operate.sendMessage(2, \"first\")",
                        "operate.sendMessage(4, \"second\")", "operate.sendMessage(2, \"\")",
                        "operate.sendMessage(2, \"\xc3\xa9t\xc3\xa9 \xe2\x82\xac\")",
                        "operate.execute()"));
    });
}

TEST_F(Commands, PrintedTextReachesTheHostAsOneCall) {
    play([&] {
        TL(probe, print)("x");
        TL(probe, print)("y\n");
        TL(probe, print)("");
        TL(probe, print)("z");
        EXPECT_THAT(step(), ElementsAre("debug.print(\"xy\nz\")", "operate.execute()"));
        TL(probe, print)("");
        EXPECT_THAT(step(), ElementsAre("operate.execute()"));
    });
}

TEST_F(Commands, OneCycleDeliversMotionMessagesPrintAndViewsInThatOrder) {
    play([&] {
        LineView line{-1, 255, 1.5, 2.5, 3.5, 4.5};
        TextView label{30, 16711680, "hi", 12, 10.25, 20.5};
        LineView second{0, 0, 0, 0, 100.5, 50.5};
        TL(probe, addLineView)(&line);
        TL(probe, print)("p");
        TL(probe, addTextView)(&label);
        TL(probe, addLineView)(&second);
        Bot receiver = botWithId(1);
        TL(probe, sendMessage)(&receiver, "m");
        TL(probe, setTurnVelocity)(0.5);
        TL(probe, setMoveVelocity)(2.0);
        EXPECT_THAT(
            step(),
            ElementsAre(
                "operate.setMoveVelocity(2)", "operate.setTurnVelocity(0.5)",
                "operate.sendMessage(1, \"m\")", "debug.print(\"p\")", "debug.createLineView()",
                "lineView1.setShowTime(-1L)", "lineView1.setColor(255)", "lineView1.setBeginX(1.5)",
                "lineView1.setBeginY(2.5)", "lineView1.setEndX(3.5)", "lineView1.setEndY(4.5)",
                "debug.addView(lineView1)", "debug.createTextView()", "textView2.setShowTime(30L)",
                "textView2.setColor(16711680)", "textView2.setText(\"hi\")",
                "textView2.setSize(12)", "textView2.setLocationX(10.25)",
                "textView2.setLocationY(20.5)", "debug.addView(textView2)",
                "debug.createLineView()", "lineView3.setShowTime(0L)", "lineView3.setColor(0)",
                "lineView3.setBeginX(0)", "lineView3.setBeginY(0)", "lineView3.setEndX(100.5)",
                "lineView3.setEndY(50.5)", "debug.addView(lineView3)", "operate.execute()"));
    });
}

TEST_F(Commands, ShapeViewsSetFieldsInTableOrderFillTrueOnlyForOne) {
    play([&] {
        const int fills[] = {1, 0, 2, -1};
        for (int fill : fills) {
            EllipseView ellipse{7, 3, 4.0, 5.0, fill, 6.0, 8.0};
            TL(probe, addEllipseView)(&ellipse);
        }
        RectangleView rectangle{-1, 9, 11.0, 12.0, 1, 13.0, 14.0};
        TL(probe, addRectangleView)(&rectangle);
        std::vector<std::string> calls = step();
        ASSERT_EQ(46u, calls.size());
        EXPECT_THAT(std::vector<std::string>(calls.begin(), calls.begin() + 9),
                    ElementsAre("debug.createEllipseView()", "ellipseView1.setShowTime(7L)",
                                "ellipseView1.setColor(3)", "ellipseView1.setXRadius(4)",
                                "ellipseView1.setYRadius(5)", "ellipseView1.setFill(true)",
                                "ellipseView1.setLocationX(6)", "ellipseView1.setLocationY(8)",
                                "debug.addView(ellipseView1)"));
        EXPECT_THAT(
            std::vector<std::string>(calls.begin() + 36, calls.end() - 1),
            ElementsAre("debug.createRectangleView()", "rectangleView5.setShowTime(-1L)",
                        "rectangleView5.setColor(9)", "rectangleView5.setWidth(11)",
                        "rectangleView5.setHeight(12)", "rectangleView5.setFill(true)",
                        "rectangleView5.setLocationX(13)", "rectangleView5.setLocationY(14)",
                        "debug.addView(rectangleView5)"));
        EXPECT_THAT(jvm.log("setFill"),
                    ElementsAre("ellipseView1.setFill(true)", "ellipseView2.setFill(false)",
                                "ellipseView3.setFill(false)", "ellipseView4.setFill(false)",
                                "rectangleView5.setFill(true)"));
        // The 64-bit -1, not 4294967295.
        for (const fakejvm::Call& call : jvm.calls()) {
            if (call.method == "setShowTime" && call.target->label == "rectangleView5") {
                EXPECT_EQ(-1, call.args.at(0).j);
            }
        }
        // An empty text leaves the host view's own text: no "setText".
        TextView label{1, 2, "", 3, 4.0, 5.0};
        TL(probe, addTextView)(&label);
        EXPECT_THAT(step(), ElementsAre("debug.createTextView()", "textView6.setShowTime(1L)",
                                        "textView6.setColor(2)", "textView6.setSize(3)",
                                        "textView6.setLocationX(4)", "textView6.setLocationY(5)",
                                        "debug.addView(textView6)", "operate.execute()"));
    });
}

TEST_F(Commands, HostileTextReachesTheHostAsModifiedUtf8WithNothingLost) {
    // A supplementary character, then every kind of malformed UTF-8: a byte over F4, a stray
    // continuation, an overlong form, a surrogate encoded directly, a code point over U+10FFFF
    // and a truncated sequence. step() fails on any string NewStringUTF could not take.
    const char* hostile =
        "\xF0\x9F\x98\x80 \xFF\x80\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xF0\x9F\x98 end";
    std::string expected = "\xED\xA0\xBD\xED\xB8\x80 ";
    for (int i = 0; i < 12; ++i) expected += "\xEF\xBF\xBD";
    expected += " end";
    play([&] {
        Bot receiver = botWithId(2);
        TL(probe, sendMessage)(&receiver, hostile);
        TL(probe, print)(hostile);
        TextView label{1, 2, hostile, 3, 4.0, 5.0};
        TL(probe, addTextView)(&label);
        step();
        std::vector<std::string> texts;
        for (const fakejvm::Call& call : jvm.calls()) {
            for (const fakejvm::Value& arg : call.args) {
                if (arg.l != nullptr && arg.l->isString) texts.push_back(arg.l->bytes);
            }
        }
        EXPECT_THAT(texts, ElementsAre(expected, expected, expected));
    });
}

TEST_F(Commands, RecordsChangedOrFreedAfterTheAddAreDeliveredAsTheyWere) {
    play([&] {
        TextView* label = new TextView{1, 2, nullptr, 3, 4.0, 5.0};
        char* text = heapText("caf\xc3\xa9");
        label->text = text;
        TL(probe, addTextView)(label);
        std::strcpy(text, "XXXXX");
        std::free(text);
        delete label;
        LineView* line = new LineView{1, 2, 3, 4, 5, 6};
        TL(probe, addLineView)(line);
        line->beginX = 99;
        delete line;
        EllipseView ellipse{1, 2, 3, 4, 1, 5, 6};
        TL(probe, addEllipseView)(&ellipse);
        ellipse.fill = 0;
        ellipse.xRadius = 99;
        step();
        EXPECT_THAT(jvm.log("setText"), ElementsAre("textView1.setText(\"caf\xc3\xa9\")"));
        EXPECT_THAT(jvm.log("setBeginX"), ElementsAre("lineView2.setBeginX(3)"));
        EXPECT_THAT(jvm.log("setXRadius"), ElementsAre("ellipseView3.setXRadius(3)"));
        EXPECT_THAT(jvm.log("setFill"), ElementsAre("ellipseView3.setFill(true)"));
    });
}

TEST_F(Commands, NullPointersFromStrategyCodeQueueNothing) {
    play([&] {
        Bot receiver = botWithId(1);
        TL(probe, sendMessage)(nullptr, "lost");
        TL(probe, sendMessage)(&receiver, nullptr);
        TL(probe, print)(nullptr);
        TL(probe, addLineView)(nullptr);
        TL(probe, addTextView)(nullptr);
        TL(probe, addEllipseView)(nullptr);
        TL(probe, addRectangleView)(nullptr);
        TextView untitled{1, 2, nullptr, 3, 4.0, 5.0};
        TL(probe, addTextView)(&untitled);
        EXPECT_THAT(step(), ElementsAre("operate.execute()"));
    });
}

TEST_F(Commands, MissingHostMethodsAndViewObjectsSkipOnlyTheirCommand) {
    host.operate.remove("sendMessage", kMessage);
    host.operate.remove("setTurnVelocity", "(D)V");
    host.debug.returns("createLineView", "()Ljava/lang/Object;", fakejvm::Value::null());
    play([&] {
        Bot receiver = botWithId(1);
        TL(probe, sendMessage)(&receiver, "lost");
        TL(probe, setTurnVelocity)(1.0);
        TL(probe, setMoveVelocity)(2.0);
        LineView line{1, 2, 3, 4, 5, 6};
        TL(probe, addLineView)(&line);
        RectangleView box{1, 2, 3, 4, 1, 5, 6};
        TL(probe, addRectangleView)(&box);
        std::vector<std::string> calls = step();
        EXPECT_THAT(std::vector<std::string>(calls.begin(), calls.begin() + 3),
                    ElementsAre("operate.setMoveVelocity(2)", "debug.createLineView()",
                                "debug.createRectangleView()"));
        EXPECT_EQ("debug.addView(rectangleView1)", calls.at(calls.size() - 2));
        EXPECT_FALSE(jvm.exceptionPending());
    });
}

TEST_F(Commands, QueuedBeforeTheFirstExecuteIncludingInitializeIsDeliveredByIt) {
    probe.onInitialize([&] {
        TL(probe, setMoveVelocity)(3.0);
        TL(probe, print)("init ");
    });
    play([&] {
        EXPECT_THAT(jvm.log("setMoveVelocity"), IsEmpty());
        EXPECT_THAT(jvm.log("print"), IsEmpty());
        TL(probe, print)("run");
        EXPECT_THAT(step(), ElementsAre("operate.setMoveVelocity(3)", "debug.print(\"init run\")",
                                        "operate.execute()"));
    });
}

TEST_F(Commands, HostExceptionInOperateStopsTheRunAndDiscardsTheRestOfItsQueue) {
    host.operate.throwing("setTurnVelocity", "(D)V");
    int refs = jvm.liveLocalRefs();
    bool returned = false;
    play([&] {
        TL(probe, setMoveVelocity)(1.0);
        TL(probe, setTurnVelocity)(2.0);
        Bot receiver = botWithId(1);
        TL(probe, sendMessage)(&receiver, "undelivered");
        TL(probe, print)("waits");
        jvm.clearLog();
        TL(probe, execute)();
        returned = true;
    });
    EXPECT_FALSE(returned);
    EXPECT_TRUE(jvm.exceptionPending());
    EXPECT_THAT(delivered(),
                ElementsAre("operate.setMoveVelocity(1)", "operate.setTurnVelocity(2)"));
    EXPECT_EQ(refs + 1, jvm.liveLocalRefs()) << "only the adapter object the host passed";
    EXPECT_THAT(jvm.violations(), IsEmpty());

    // The host runs the strategy again: the discarded commands never come back. The debug
    // queue, which the failed cycle never reached, goes out once as usual.
    jvm.clearException();
    host.operate.on("setTurnVelocity", "(D)V", [](const auto&) { return fakejvm::Value::none(); });
    play([&] {
        EXPECT_THAT(step(), ElementsAre("debug.print(\"waits\")", "operate.execute()"));
        EXPECT_THAT(step(), ElementsAre("operate.execute()"));
    });
}

TEST_F(Commands, HostExceptionInAViewDiscardsTheRestOfTheDebugQueue) {
    fakejvm::Object& broken = jvm.object("brokenView");
    broken.on("setShowTime", "(J)V", [](const auto&) { return fakejvm::Value::none(); });
    broken.throwing("setColor", "(I)V");
    host.debug.returns("createEllipseView", "()Ljava/lang/Object;",
                       fakejvm::Value::object(&broken));
    int refs = jvm.liveLocalRefs();
    play([&] {
        TL(probe, print)("p");
        LineView line{1, 2, 3, 4, 5, 6};
        EllipseView ellipse{1, 2, 3, 4, 1, 5, 6};
        TL(probe, addLineView)(&line);
        TL(probe, addEllipseView)(&ellipse);
        TL(probe, addLineView)(&line);
        jvm.clearLog();
        TL(probe, execute)();
    });
    EXPECT_TRUE(jvm.exceptionPending());
    std::vector<std::string> calls = delivered();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("brokenView.setColor(2)", calls.back());
    EXPECT_THAT(jvm.log("addView"), ElementsAre("debug.addView(lineView1)"));
    EXPECT_EQ(refs + 1, jvm.liveLocalRefs());
    EXPECT_THAT(jvm.violations(), IsEmpty());

    jvm.clearException();
    play([&] { EXPECT_THAT(step(), ElementsAre("operate.execute()")); });
}

}  // namespace

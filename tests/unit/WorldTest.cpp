// The world mirror as a strategy sees it, against a fake host: host calls and their order,
// what is read once and what every step, record contents, and faulty hosts and callers.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>

#include "FakeHost.h"
#include "Probe.h"

using namespace fakejvm;

namespace {

const char* const kGet = "(I)Ljava/lang/Object;";

// The world reads in the log: calls on world objects, and each info console fetch that leads
// into one. Command and event traffic is left out.
std::vector<std::string> worldCalls(const FakeJvm& jvm) {
    auto isWorld = [](const std::string& call) {
        if (call == "info.getActions()") return false;
        for (const char* target : {"info.", "court.", "ball.", "team", "members", "bot"}) {
            if (call.rfind(target, 0) == 0) return true;
        }
        return false;
    };
    std::vector<std::string> log = jvm.log(), world;
    for (size_t k = 0; k < log.size(); ++k) {
        bool fetch =
            log[k] == "adapter.getInfoConsole()" && k + 1 < log.size() && isWorld(log[k + 1]);
        if (fetch || isWorld(log[k])) world.push_back(log[k]);
    }
    return world;
}

// Makes element `index` of a host list come back as null.
void nullElement(Object& list, int index) {
    Handler original = list.methods.at({"get", kGet})->handler;
    list.on("get", kGet, [=](const std::vector<Value>& a) {
        return a[0].i == index ? Value::null() : original(a);
    });
}

class World : public ::testing::Test {
protected:
    FakeJvm jvm;
    FakeHost host{jvm};
    Probe probe;
    int refsOutside = 0;

    void play(std::function<void()> run) {
        probe.onRun(std::move(run));
        jobject adapter = host.adapterRef();
        refsOutside = jvm.liveLocalRefs();
        probe.adapterRun(jvm.env(), adapter);
        EXPECT_EQ(std::vector<std::string>{}, jvm.violations());
    }
    void step() { TL(probe, execute)(); }
    Bot bot(int index) {
        Bot b{};
        TL(probe, getBot)(index, &b);
        return b;
    }
    Team team(int index) {
        Team t{};
        TL(probe, getTeam)(index, &t);
        return t;
    }
    Ball ball() {
        Ball b{};
        TL(probe, getBall)(&b);
        return b;
    }
};

TEST_F(World, FirstRunReadsStaticWorldThenRefreshesInHostOrder) {
    host.standardMatch(1);
    host.teams.resize(1);
    std::vector<std::string> expected;
    auto calls = [&](const std::string& target, std::initializer_list<const char*> methods) {
        for (const char* method : methods) expected.push_back(target + "." + method + "()");
    };
    calls("adapter", {"getInfoConsole"});
    calls("info", {"getId", "getTotalTimes", "getCourt"});
    calls("court", {"getWidth", "getHeight", "getGoalWidth", "getGoalDepth", "getCornerWidth",
                    "getCornerHeight"});
    calls("info", {"getBall"});
    calls("ball", {"getRadius", "getNegativeAcceleration"});
    calls("adapter", {"getInfoConsole"});
    calls("info", {"getTime", "getBall"});
    calls("ball", {"getX", "getY", "getHeading", "getVelocity"});
    calls("info", {"getTeams"});
    expected.insert(expected.end(), {"teams.size()", "teams.get(0)"});
    calls("team0", {"getId", "getAttack", "getName", "getMembers"});
    expected.insert(expected.end(), {"members0.size()", "members0.get(0)"});
    calls("bot0", {"getId", "getName", "getRadius", "getMaxMoveVelocity", "getMaxTurnVelocity"});
    calls("team0", {"getScore", "getMembers"});
    expected.insert(expected.end(), {"members0.size()", "members0.get(0)"});
    calls("bot0", {"getX", "getY", "getHeading", "getMoveVelocity", "getTurnVelocity"});
    play([&] {
        EXPECT_EQ(expected, worldCalls(jvm));
        EXPECT_EQ(refsOutside, jvm.liveLocalRefs());
    });
}

TEST_F(World, RecordsFollowGlobalRobotOrderAndHostValues) {
    host.standardMatch(3, 4);
    host.teams[1].score = 2;
    host.teams[1].members[1].moveVelocity = 3;
    host.teams[1].members[1].turnVelocity = 0.25;
    host.time = (int64_t{1} << 32) + 5;
    play([&] {
        EXPECT_EQ(4, TL(probe, getId)());
        EXPECT_EQ(5, TL(probe, getTime)());
        EXPECT_EQ(3000, TL(probe, getTotalTimes)());
        ASSERT_EQ(2, TL(probe, getTeamNum)());
        ASSERT_EQ(6, TL(probe, getBotNum)());
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(i, bot(i).id);
            EXPECT_EQ(team(i / 3).id, bot(i).teamId);
        }
        Bot b = bot(4);
        EXPECT_STREQ("robot4", b.name);
        Bot expected{4, 2, b.name, 165, 70, 3.14, 3, 0.25, 5, 10, 1};
        EXPECT_EQ(0, std::memcmp(&expected, &b, sizeof b));
        Team away = team(1);
        EXPECT_STREQ("Away", away.name);
        EXPECT_EQ(2.0, away.score);
        EXPECT_EQ(-1, away.attack);
        Court c{};
        TL(probe, getCourt)(&c);
        EXPECT_EQ(0, std::memcmp(&host.court, &c, sizeof c));
        Ball mirrored = ball(), expectedBall{110, 90, 0, 0, 2, 0.05};
        EXPECT_EQ(0, std::memcmp(&expectedBall, &mirrored, sizeof mirrored));
    });
}

TEST_F(World, StepRefreshReadsOnlyChangingFieldsAtFixedCost) {
    host.standardMatch(3);
    host.onExecute = [&] {
        host.time = int64_t{1} << 31;
        host.ball.x = 1, host.totalTimes = 1;
        host.teams[0].score = 1, host.teams[0].attack = -1, host.teams[0].name = "Other";
        BotState& b = host.teams[1].members[2];
        b.x = 7, b.turnVelocity = 0.5, b.name = "renamed";
    };
    play([&] {
        Bot before = bot(5);
        Team homeBefore = team(0);
        jvm.clearLog();
        step();
        // Console 1, time 1, ball 5, team list 2, teams 2 x 4, robots 6 x 6.
        EXPECT_EQ(53u, worldCalls(jvm).size());
        for (const char* once :
             {"getId", "getTotalTimes", "getCourt", "getRadius", "getName", "getAttack",
              "getNegativeAcceleration", "getMaxMoveVelocity", "getMaxTurnVelocity"}) {
            EXPECT_EQ(std::vector<std::string>{}, jvm.log(once));
        }
        EXPECT_EQ(refsOutside, jvm.liveLocalRefs());

        EXPECT_EQ(INT_MIN, TL(probe, getTime)());
        EXPECT_EQ(3000, TL(probe, getTotalTimes)());
        EXPECT_EQ(1.0, ball().x);
        Bot after = bot(5);
        EXPECT_EQ(7.0, after.x);
        EXPECT_EQ(0.5, after.turnVelocity);
        EXPECT_EQ(before.name, after.name);
        EXPECT_STREQ("robot5", after.name);
        Team home = team(0);
        EXPECT_EQ(1.0, home.score);
        EXPECT_EQ(1, home.attack);
        EXPECT_EQ(homeBefore.name, home.name);
        EXPECT_STREQ("Home", home.name);
    });
}

TEST_F(World, ShrunkTeamListAndGrownMemberListKeepTheMirror) {
    host.standardMatch(3);
    play([&] {
        host.teams.resize(1);
        host.teams[0].members.push_back(BotState{9, "late"});
        host.teams[0].members[0].x = 1;
        jvm.clearLog();
        step();
        EXPECT_EQ(2, TL(probe, getTeamNum)());
        EXPECT_EQ(6, TL(probe, getBotNum)());
        EXPECT_STREQ("Away", team(1).name);
        EXPECT_EQ(3, bot(3).id);
        EXPECT_EQ(1.0, bot(0).x);
        for (const std::string& call : jvm.log()) {
            EXPECT_TRUE(call != "members0.get(3)" && call != "teams.get(1)" &&
                        call.rfind("bot9", 0) != 0)
                << call;
        }
    });
}

TEST_F(World, BadIndicesAndNullRecordsTouchNothing) {
    Bot b;
    Team t;
    Ball ball;
    Court court;
    auto untouched = [&](const std::function<void()>& fill, void* record, size_t size) {
        std::vector<unsigned char> pattern(size, 0x5a);
        std::memset(record, 0x5a, size);
        fill();
        EXPECT_EQ(0, std::memcmp(pattern.data(), record, size));
    };
    // Before any run there is no mirror at all.
    untouched([&] { TL(probe, getBall)(&ball); }, &ball, sizeof ball);
    untouched([&] { TL(probe, getCourt)(&court); }, &court, sizeof court);
    untouched([&] { TL(probe, getBot)(0, &b); }, &b, sizeof b);
    EXPECT_EQ(0, TL(probe, getTeamNum)());
    host.standardMatch(3);
    play([&] {
        for (int index : {-1, 6, INT_MIN, INT_MAX}) {
            untouched([&] { TL(probe, getBot)(index, &b); }, &b, sizeof b);
        }
        for (int index : {-1, 2}) untouched([&] { TL(probe, getTeam)(index, &t); }, &t, sizeof t);
        TL(probe, getBot)(0, nullptr), TL(probe, getTeam)(0, nullptr);
        TL(probe, getBall)(nullptr), TL(probe, getCourt)(nullptr);
    });
}

TEST_F(World, NullHostObjectsKeepTheLastValues) {
    host.standardMatch(3);
    host.info.returns("getCourt", "()Ljava/lang/Object;", Value::null());
    Handler teamsGet = host.teamList.methods.at({"get", kGet})->handler;
    nullElement(host.teamList, 0);
    play([&] {
        Court court{1, 1, 1, 1, 1, 1}, zero{};
        TL(probe, getCourt)(&court);
        EXPECT_EQ(0, std::memcmp(&zero, &court, sizeof court));
        // Mirrors keep their host positions: a team is mirrored once the host shows it, and a
        // team's robots end before a missing one.
        EXPECT_EQ(0, TL(probe, getTeamNum)());
        host.teamList.on("get", kGet, teamsGet);
        nullElement(host.memberList(1), 1);
        step();
        EXPECT_EQ(2, TL(probe, getTeamNum)());
        ASSERT_EQ(4, TL(probe, getBotNum)());
        EXPECT_EQ(2, bot(3).teamId);
        EXPECT_EQ(3, bot(3).id);

        host.info.returns("getBall", "()Ljava/lang/Object;", Value::null());
        nullElement(host.teamList, 1);
        nullElement(host.memberList(0), 0);
        host.ball.x = host.teams[1].score = host.teams[0].members[0].x = 1;
        host.teams[0].members[1].x = 2;
        step();
        EXPECT_EQ(110.0, ball().x);
        EXPECT_EQ(0.0, team(1).score);
        EXPECT_EQ(50.0, bot(0).x);
        EXPECT_EQ(2.0, bot(1).x);

        host.info.returns("getTeams", "()Ljava/util/List;", Value::null());
        host.teams[0].members[1].x = 3;
        step();
        EXPECT_EQ(2.0, bot(1).x);
        host.adapter.returns("getInfoConsole", "()Ljava/lang/Object;", Value::null());
        int time = TL(probe, getTime)();
        step();
        EXPECT_EQ(time, TL(probe, getTime)());
        EXPECT_EQ(refsOutside, jvm.liveLocalRefs());
    });
}

// A host exception cuts a refresh short; the next run finds a consistent mirror.
TEST_F(World, HostExceptionsLeaveNoHalfBuiltMirror) {
    host.standardMatch(3);
    host.ballObject.throwing("getNegativeAcceleration", "()D");
    play([] { FAIL() << "the static read throws"; });
    EXPECT_TRUE(jvm.exceptionPending());
    EXPECT_EQ(refsOutside, jvm.liveLocalRefs());

    jvm.clearException();
    Object& robot = host.botObject(1, 1);
    Handler getName = robot.methods.at({"getName", "()Ljava/lang/String;"})->handler;
    robot.throwing("getName", "()Ljava/lang/String;");
    play([] { FAIL() << "mirroring the second team throws"; });
    EXPECT_EQ(refsOutside, jvm.liveLocalRefs());

    jvm.clearException();
    robot.on("getName", "()Ljava/lang/String;", getName);
    play([&] {
        ASSERT_EQ(2, TL(probe, getTeamNum)());
        ASSERT_EQ(6, TL(probe, getBotNum)());
        for (int i = 0; i < 6; ++i) EXPECT_EQ(i, bot(i).id);
        EXPECT_STREQ("robot4", bot(4).name);
        Ball b{7, 7, 7, 7, 7, 7};
        TL(probe, getBall)(&b);
        EXPECT_EQ(7.0, b.x);
    });
}

}  // namespace

// World queries: the own robot found by id, the own team by membership, the attack direction
// behind the derived points, and the court's spatial tests, all on a fresh library copy.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "FakeHost.h"
#include "Probe.h"

namespace {

// A fresh library playing robot selfId of a standard match (teams 1 and 2 of three robots,
// court 220 x 180); play() runs the body as the strategy's run().
struct Match {
    explicit Match(int selfId = 0, int botsPerTeam = 3) { host.standardMatch(botsPerTeam, selfId); }

    void play(std::function<void()> body) {
        probe.onRun(std::move(body));
        probe.adapterRun(jvm.env(), host.adapterRef());
        EXPECT_TRUE(jvm.violations().empty());
        EXPECT_FALSE(jvm.exceptionPending());
    }

    fakejvm::FakeJvm jvm;
    fakejvm::FakeHost host{jvm};
    Probe probe;
};

TEST(Queries, SingleValuesOfBallCourtAndOwnRobot) {
    Match m(4);
    m.host.ball = {12, 34, 0.5, 1.5, 2.5, 0.25};
    fakejvm::BotState& self = m.host.teams[1].members[1];
    self.x = 60, self.y = 70, self.heading = 1.25, self.moveVelocity = 3, self.turnVelocity = -0.5;
    self.radius = 6, self.maxMoveVelocity = 11, self.maxTurnVelocity = 0.75;
    m.host.teams[0].score = 2;
    m.host.teams[1].score = 5;
    m.play([&] {
        Probe& p = m.probe;
        EXPECT_EQ(12.0, TL(p, getBallX)());
        EXPECT_EQ(34.0, TL(p, getBallY)());
        EXPECT_EQ(0.5, TL(p, getBallHeading)());
        EXPECT_EQ(1.5, TL(p, getBallVelocity)());
        EXPECT_EQ(2.5, TL(p, getBallRadius)());
        EXPECT_EQ(0.25, TL(p, getBallNegativeAcceleration)());

        EXPECT_EQ(220.0, TL(p, getCourtWidth)());
        EXPECT_EQ(180.0, TL(p, getCourtHeight)());
        EXPECT_EQ(40.0, TL(p, getGoalWidth)());
        EXPECT_EQ(15.0, TL(p, getGoalDepth)());
        EXPECT_EQ(10.0, TL(p, getCornerWidth)());
        EXPECT_EQ(8.0, TL(p, getCornerHeight)());
        EXPECT_EQ(110.0, TL(p, getCourtCenterX)());
        EXPECT_EQ(90.0, TL(p, getCourtCenterY)());

        EXPECT_EQ(60.0, TL(p, getX)());
        EXPECT_EQ(70.0, TL(p, getY)());
        EXPECT_EQ(1.25, TL(p, getHeading)());
        EXPECT_EQ(3.0, TL(p, getMoveVelocity)());
        EXPECT_EQ(-0.5, TL(p, getTurnVelocity)());
        EXPECT_EQ(6.0, TL(p, getRadius)());
        EXPECT_EQ(11.0, TL(p, getMaxMoveVelocity)());
        EXPECT_EQ(0.75, TL(p, getMaxTurnVelocity)());
        EXPECT_STREQ("robot4", TL(p, getName)());

        // Robot 4 plays for the second team: its score is 5, it has conceded 2.
        EXPECT_EQ(5.0, TL(p, getScore)());
        EXPECT_EQ(2.0, TL(p, getLose)());
        EXPECT_EQ(-1, TL(p, getAttack)());
    });
}

TEST(Queries, ValuesAreCopiedFreshAfterEveryStepWithoutHostCalls) {
    Match m;
    m.host.onExecute = [&m] {
        m.host.ball.x = 150;
        m.host.teams[0].members[0].x = 77;
        m.host.teams[1].score = 3;
    };
    m.play([&] {
        Probe& p = m.probe;
        m.jvm.clearLog();
        EXPECT_EQ(110.0, TL(p, getBallX)());
        EXPECT_EQ(50.0, TL(p, getX)());
        EXPECT_EQ(0.0, TL(p, getLose)());
        Bot bot;
        TL(p, getSelfBot)(&bot);
        TL(p, getTeammatesNum)();
        TL(p, isPointHit)(30, 30);
        EXPECT_TRUE(m.jvm.log().empty());
        TL(p, execute)();
        EXPECT_EQ(150.0, TL(p, getBallX)());
        EXPECT_EQ(77.0, TL(p, getX)());
        EXPECT_EQ(3.0, TL(p, getLose)());
        EXPECT_EQ(50.0, bot.x);  // a filled record is a snapshot
    });
}

// The attack direction is read once, so every direction needs its own library.
void expectAttackDirection(int attack, double opponentX, double selfX, double heading) {
    Match m;
    m.host.teams[0].attack = attack;
    m.play([&] {
        Probe& p = m.probe;
        EXPECT_EQ(attack, TL(p, getAttack)());
        EXPECT_EQ(opponentX, TL(p, getOpponentGoalCenterX)());
        EXPECT_EQ(90.0, TL(p, getOpponentGoalCenterY)());
        EXPECT_EQ(selfX, TL(p, getSelfGoalCenterX)());
        EXPECT_EQ(90.0, TL(p, getSelfGoalCenterY)());
        EXPECT_EQ(heading, TL(p, getAttackHeading)());
    });
}

TEST(Queries, GoalCentresAndAttackHeadingFollowTheOwnTeamsAttack) {
    expectAttackDirection(1, 220, 0, 0.0);
    expectAttackDirection(7, 220, 0, 0.0);
    // An attack of 0 counts as attacking towards x = 0.
    expectAttackDirection(0, 0, 220, 3.1415926);
    expectAttackDirection(-1, 0, 220, 3.1415926);
}

TEST(Queries, LookUpsOverwriteTheRecordWithEveryCandidate) {
    Match m(4);
    m.play([&] {
        Probe& p = m.probe;
        Bot bot{};
        EXPECT_EQ(1, TL(p, getBotById)(2, &bot));
        EXPECT_EQ(2, bot.id);
        EXPECT_EQ(1, bot.teamId);
        EXPECT_EQ(0, TL(p, getBotById)(99, &bot));
        EXPECT_EQ(5, bot.id);  // the last robot in global order
        EXPECT_EQ(1, TL(p, getSelfBot)(&bot));
        EXPECT_EQ(4, bot.id);

        Team team{};
        EXPECT_EQ(1, TL(p, getTeamById)(2, &team));
        EXPECT_STREQ("Away", team.name);
        EXPECT_EQ(0, TL(p, getTeamById)(99, &team));
        EXPECT_EQ(2, team.id);
        TL(p, getSelfTeam)(&team);
        EXPECT_EQ(2, team.id);
        TL(p, getOpponentTeam)(&team);
        EXPECT_EQ(1, team.id);

        // Without a record the look-ups still answer.
        EXPECT_EQ(1, TL(p, getSelfBot)(nullptr));
        EXPECT_EQ(0, TL(p, getBotById)(42, nullptr));
        EXPECT_EQ(1, TL(p, getTeamById)(1, nullptr));
        TL(p, getSelfTeam)(nullptr);
        TL(p, getOpponentTeam)(nullptr);
    });
}

TEST(Queries, MembershipAndTeammates) {
    Match m(1);
    m.play([&] {
        Probe& p = m.probe;
        Bot self{}, mate{}, rival{};
        TL(p, getBot)(1, &self);
        TL(p, getBot)(2, &mate);
        TL(p, getBot)(3, &rival);
        Team home{};
        TL(p, getTeam)(0, &home);
        EXPECT_EQ(1, TL(p, isMember)(&self, &home));
        EXPECT_EQ(0, TL(p, isMember)(&rival, &home));
        EXPECT_EQ(0, TL(p, isTeammate)(&self));
        EXPECT_EQ(1, TL(p, isTeammate)(&mate));
        EXPECT_EQ(0, TL(p, isTeammate)(&rival));
        EXPECT_EQ(2, TL(p, getTeammatesNum)());
        EXPECT_EQ(0, TL(p, isMember)(nullptr, &home));
        EXPECT_EQ(0, TL(p, isMember)(&self, nullptr));
        EXPECT_EQ(0, TL(p, isTeammate)(nullptr));
    });

    Match alone(0, 1);
    alone.play([&] { EXPECT_EQ(0, TL(alone.probe, getTeammatesNum)()); });
}

TEST(Queries, UnknownOwnRobotGivesZerosAndAnEmptyName) {
    Match m(42);
    m.play([&] {
        Probe& p = m.probe;
        Bot bot{};
        EXPECT_EQ(0, TL(p, getSelfBot)(&bot));
        EXPECT_EQ(0.0, TL(p, getX)());
        EXPECT_EQ(0.0, TL(p, getRadius)());
        EXPECT_STREQ("", TL(p, getName)());
        EXPECT_EQ(0.0, TL(p, getScore)());
        EXPECT_EQ(0.0, TL(p, getLose)());
        EXPECT_EQ(0, TL(p, getAttack)());
        EXPECT_EQ(0, TL(p, getTeammatesNum)());
        TL(p, getBot)(1, &bot);
        EXPECT_EQ(0, TL(p, isTeammate)(&bot));
    });
}

TEST(Queries, EmptyWorldGivesZerosAndLeavesRecordsAlone) {
    Match m;
    m.host.teams.clear();
    m.play([&] {
        Probe& p = m.probe;
        Bot bot{};
        bot.id = -7;
        EXPECT_EQ(0, TL(p, getSelfBot)(&bot));
        EXPECT_EQ(-7, bot.id);
        Team team{};
        team.id = -8;
        TL(p, getSelfTeam)(&team);
        TL(p, getOpponentTeam)(&team);
        EXPECT_EQ(0, TL(p, getTeamById)(0, &team));
        EXPECT_EQ(-8, team.id);
        EXPECT_EQ(0.0, TL(p, getY)());
        const char* name = TL(p, getName)();
        ASSERT_NE(nullptr, name);
        EXPECT_STREQ("", name);
        EXPECT_EQ(0.0, TL(p, getScore)());
        EXPECT_EQ(0, TL(p, getAttack)());
        EXPECT_EQ(3.1415926, TL(p, getAttackHeading)());
        EXPECT_EQ(0, TL(p, getTeammatesNum)());
    });
}

TEST(Queries, InCourtExcludesTheBorder) {
    Match m;
    m.play([&] {
        Probe& p = m.probe;
        auto inCourt = TL(p, inCourt);
        EXPECT_EQ(1, inCourt(110, 90, 10));
        EXPECT_EQ(0, inCourt(10, 90, 10));
        EXPECT_EQ(0, inCourt(210, 90, 10));
        EXPECT_EQ(0, inCourt(110, 10, 10));
        EXPECT_EQ(0, inCourt(110, 170, 10));
        EXPECT_EQ(1, inCourt(10.5, 169.5, 10));
        // A negative margin is no margin.
        EXPECT_EQ(0, inCourt(0, 90, -5));
        EXPECT_EQ(1, inCourt(0.001, 90, -5));
        EXPECT_EQ(1, inCourt(NAN, 90, 10));
    });
}

TEST(Queries, ModifyInCourtClampsEachCoordinate) {
    Match m;
    m.play([&] {
        Probe& p = m.probe;
        auto modify = TL(p, modifyInCourt);
        double x = -3, y = 500;
        modify(&x, &y, 10);
        EXPECT_EQ(10.0, x);
        EXPECT_EQ(170.0, y);
        EXPECT_EQ(0, TL(p, inCourt)(x, y, 10));  // clamped onto the border line
        x = 50, y = 60;
        modify(&x, &y, 10);
        EXPECT_EQ(50.0, x);
        EXPECT_EQ(60.0, y);
        x = 230, y = -1;
        modify(&x, &y, -4);
        EXPECT_EQ(220.0, x);
        EXPECT_EQ(0.0, y);
        // Narrower than twice the margin: the lower bound wins only below it.
        x = 50, y = 100;
        modify(&x, &y, 120);
        EXPECT_EQ(120.0, x);
        EXPECT_EQ(120.0, y);
        x = 150, y = 150;
        modify(&x, &y, 120);
        EXPECT_EQ(100.0, x);
        EXPECT_EQ(60.0, y);
        y = 200;
        modify(nullptr, &y, 10);
        EXPECT_EQ(170.0, y);
        x = -1;
        modify(&x, nullptr, 10);
        EXPECT_EQ(10.0, x);
    });
}

TEST(Queries, PointHitsOtherRobotsTheBallAndTheBorderZone) {
    Match m;
    // Own robot 0 at (50, 40), robot 1 at (55, 70), radius 5; the ball at (110, 90), radius 2.
    m.play([&] {
        Probe& p = m.probe;
        auto hit = TL(p, isPointHit);
        EXPECT_EQ(0, hit(50, 40));
        EXPECT_EQ(1, hit(55, 70));
        EXPECT_EQ(1, hit(55, 75));  // on the disc's edge
        EXPECT_EQ(0, hit(55, 75.001));
        EXPECT_EQ(1, hit(111, 91));
        EXPECT_EQ(0, hit(112.5, 90));
        EXPECT_EQ(1, hit(1, 90));
        EXPECT_EQ(1, hit(2, 90));
        EXPECT_EQ(0, hit(2.5, 90));
        EXPECT_EQ(1, hit(-40, 90));
    });
}

}  // namespace

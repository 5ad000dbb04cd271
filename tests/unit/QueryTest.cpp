// World queries: the own robot found by id, the own team by membership, the attack direction
// behind the derived points, and the court's spatial tests.
#include <cmath>

#include "ProbeMatch.h"

namespace {

TEST(Queries, SingleValuesCopyTheRightFieldsFreshEachCall) {
    ProbeMatch m(4);  // robot 4 plays for the second team
    m.host.ball = {12, 34, 0.5, 1.5, 2.5, 0.25};
    m.self() = {4, "robot4", 60, 70, 1.25, 3, -0.5, 6, 11, 0.75};
    m.host.teams[0].score = 2;
    m.host.teams[1].score = 5;
    m.host.onExecute = [&] {
        m.host.ball.x = 150;
        m.self().x = 77;
        m.host.teams[0].score = 3;
    };
    m.play([&] {
        Probe& p = m.probe;
        m.jvm.clearLog();
        const double expected[] = {12, 34, 0.5, 1.5,  2.5, 0.25, 220, 180, 40,   15, 10,
                                   8,  60, 70,  1.25, 3,   -0.5, 6,   11,  0.75, 5,  2};
        const double got[] = {TL(p, getBallX)(),
                              TL(p, getBallY)(),
                              TL(p, getBallHeading)(),
                              TL(p, getBallVelocity)(),
                              TL(p, getBallRadius)(),
                              TL(p, getBallNegativeAcceleration)(),
                              TL(p, getCourtWidth)(),
                              TL(p, getCourtHeight)(),
                              TL(p, getGoalWidth)(),
                              TL(p, getGoalDepth)(),
                              TL(p, getCornerWidth)(),
                              TL(p, getCornerHeight)(),
                              TL(p, getX)(),
                              TL(p, getY)(),
                              TL(p, getHeading)(),
                              TL(p, getMoveVelocity)(),
                              TL(p, getTurnVelocity)(),
                              TL(p, getRadius)(),
                              TL(p, getMaxMoveVelocity)(),
                              TL(p, getMaxTurnVelocity)(),
                              TL(p, getScore)(),
                              TL(p, getLose)()};
        for (size_t i = 0; i < sizeof got / sizeof got[0]; ++i) EXPECT_EQ(expected[i], got[i]) << i;
        EXPECT_STREQ("robot4", TL(p, getName)());
        EXPECT_EQ(-1, TL(p, getAttack)());
        EXPECT_EQ(110.0, TL(p, getCourtCenterX)());
        EXPECT_EQ(90.0, TL(p, getCourtCenterY)());
        EXPECT_TRUE(m.jvm.log().empty());  // queries never call the host

        TL(p, execute)();
        EXPECT_EQ(150.0, TL(p, getBallX)());
        EXPECT_EQ(77.0, TL(p, getX)());
        EXPECT_EQ(3.0, TL(p, getLose)());
    });
}

TEST(Queries, GoalCentresAndAttackHeadingFollowTheOwnTeamsAttack) {
    struct Case {
        int attack;
        double opponentX, selfX, heading;
    };
    // An attack of 0 counts as attacking towards x = 0.
    for (Case c : {Case{1, 220, 0, 0.0}, Case{7, 220, 0, 0.0}, Case{0, 0, 220, 3.1415926},
                   Case{-1, 0, 220, 3.1415926}}) {
        ProbeMatch m;  // the attack is read once: one library per direction
        m.host.teams[0].attack = c.attack;
        m.play([&] {
            Probe& p = m.probe;
            EXPECT_EQ(c.opponentX, TL(p, getOpponentGoalCenterX)()) << c.attack;
            EXPECT_EQ(c.selfX, TL(p, getSelfGoalCenterX)()) << c.attack;
            EXPECT_EQ(90.0, TL(p, getOpponentGoalCenterY)());
            EXPECT_EQ(90.0, TL(p, getSelfGoalCenterY)());
            EXPECT_EQ(c.heading, TL(p, getAttackHeading)()) << c.attack;
        });
    }
}

TEST(Queries, LookUpsMembershipAndTeammates) {
    ProbeMatch m(4);
    m.play([&] {
        Probe& p = m.probe;
        Bot bot{};
        EXPECT_EQ(1, TL(p, getBotById)(2, &bot));
        EXPECT_EQ(1, bot.teamId);
        EXPECT_EQ(0, TL(p, getBotById)(99, &bot));
        EXPECT_EQ(5, bot.id);  // overwritten by every candidate: the last robot
        EXPECT_EQ(1, TL(p, getSelfBot)(nullptr));
        EXPECT_EQ(0, TL(p, getBotById)(99, nullptr));

        Team team{};
        EXPECT_EQ(0, TL(p, getTeamById)(99, &team));
        EXPECT_EQ(2, team.id);
        EXPECT_EQ(1, TL(p, getTeamById)(1, &team));
        TL(p, getSelfTeam)(&team);
        EXPECT_STREQ("Away", team.name);
        TL(p, getOpponentTeam)(&team);
        EXPECT_STREQ("Home", team.name);
        TL(p, getSelfTeam)(nullptr);

        Bot self{}, mate{}, rival{};
        TL(p, getBot)(4, &self);
        TL(p, getBot)(5, &mate);
        TL(p, getBot)(0, &rival);
        EXPECT_EQ(1, TL(p, isMember)(&rival, &team));
        EXPECT_EQ(0, TL(p, isMember)(&self, &team));
        EXPECT_EQ(0, TL(p, isMember)(nullptr, &team));
        EXPECT_EQ(0, TL(p, isTeammate)(&self));
        EXPECT_EQ(1, TL(p, isTeammate)(&mate));
        EXPECT_EQ(0, TL(p, isTeammate)(&rival));
        EXPECT_EQ(0, TL(p, isTeammate)(nullptr));
        EXPECT_EQ(2, TL(p, getTeammatesNum)());
    });
}

// Without the own robot (an unknown id, or nothing mirrored at all) every own value is 0, the
// name "", and a record nothing could be found for is left alone.
TEST(Queries, MissingOwnRobotGivesZeros) {
    for (bool empty : {false, true}) {
        ProbeMatch m(42);
        if (empty) m.host.teams.clear();
        m.play([&] {
            Probe& p = m.probe;
            EXPECT_EQ(0, TL(p, getSelfBot)(nullptr));
            EXPECT_EQ(0.0, TL(p, getX)());
            EXPECT_EQ(0.0, TL(p, getRadius)());
            const char* name = TL(p, getName)();
            ASSERT_NE(nullptr, name);
            EXPECT_STREQ("", name);
            EXPECT_EQ(0.0, TL(p, getScore)());
            EXPECT_EQ(0.0, TL(p, getLose)());
            EXPECT_EQ(0, TL(p, getAttack)());
            EXPECT_EQ(3.1415926, TL(p, getAttackHeading)());
            EXPECT_EQ(0, TL(p, getTeammatesNum)());
            Team team{};
            team.id = -8;
            TL(p, getSelfTeam)(&team);
            EXPECT_EQ(empty ? -8 : 2, team.id);
        });
    }
}

TEST(Queries, InCourtAndModifyInCourtShareTheBorder) {
    ProbeMatch m;
    m.play([&] {
        auto inCourt = TL(m.probe, inCourt);
        auto modify = TL(m.probe, modifyInCourt);
        EXPECT_EQ(1, inCourt(10.5, 169.5, 10));
        EXPECT_EQ(0, inCourt(10, 90, 10));
        EXPECT_EQ(0, inCourt(210, 90, 10));
        EXPECT_EQ(0, inCourt(110, 10, 10));
        EXPECT_EQ(0, inCourt(110, 170, 10));
        EXPECT_EQ(0, inCourt(0, 90, -5));  // a negative margin is no margin
        EXPECT_EQ(1, inCourt(0.001, 90, -5));
        EXPECT_EQ(1, inCourt(NAN, 90, 10));

        struct Case {
            double x, y, margin, wantX, wantY;
        };
        for (Case c :
             {Case{-3, 500, 10, 10, 170}, Case{50, 60, 10, 50, 60}, Case{230, -1, -4, 220, 0},
              // Narrower than twice the margin: the lower bound wins only below it.
              Case{50, 100, 120, 120, 120}, Case{150, 150, 120, 100, 60}}) {
            double x = c.x, y = c.y;
            modify(&x, &y, c.margin);
            EXPECT_EQ(c.wantX, x) << c.x;
            EXPECT_EQ(c.wantY, y) << c.y;
        }
        double y = 200;
        modify(nullptr, &y, 10);
        EXPECT_EQ(170.0, y);
        EXPECT_EQ(0, inCourt(10, y, 10));  // clamped onto the border line
    });
}

TEST(Queries, PointHitsOtherRobotsTheBallAndTheBorderZone) {
    ProbeMatch m;  // own robot at (50, 40), robot 1 at (55, 70), radius 5; ball (110, 90), radius 2
    m.play([&] {
        auto hit = TL(m.probe, isPointHit);
        EXPECT_EQ(0, hit(50, 40));
        EXPECT_EQ(1, hit(55, 70));
        EXPECT_EQ(1, hit(55, 75));  // on the disc's edge
        EXPECT_EQ(0, hit(55, 75.001));
        EXPECT_EQ(1, hit(111, 91));
        EXPECT_EQ(0, hit(112.5, 90));
        EXPECT_EQ(1, hit(2, 90));
        EXPECT_EQ(0, hit(2.5, 90));
        EXPECT_EQ(1, hit(-40, 90));
    });
}

}  // namespace

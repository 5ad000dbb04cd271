// Motion helpers: what reaches the operate console in the step after the call. The reversing
// rule at its quarter-turn seam, the kick approach's waypoints with and without the detour,
// stepping until a round finishes, and team messages.
#include <cmath>

#include "ProbeMatch.h"

namespace {

const double kFullPi = std::acos(-1.0);
// What a reversed approach adds to the turn: the toolkit's half turn is short of pi, and the
// heading passes through two lifts by its whole turn.
const double kHair = 3 * (3.1415926 - kFullPi);

TEST(Motion, MoveTowardReversesBeyondAQuarterTurn) {
    struct Case {
        double x, y, velocity, move, turn;
    };
    // From (0, 0) with heading 0. A point exactly to the side is approached backwards: atan2's
    // quarter turn exceeds 1.5707963.
    const Case cases[] = {
        {10, 0, 5, 5, 0},
        {10, 10, 5, 5, kFullPi / 4},
        {-10, 0, 5, -5, kHair},
        {-10, 10, 5, -5, -kFullPi / 4 + kHair},
        {0, 10, 5, -5, -kFullPi / 2 + kHair},
        {0, -10, 5, -5, kFullPi / 2 + kHair},
        {-10, 0, 0, -0.0, kHair},
    };
    ProbeMatch m;
    m.self().x = m.self().y = m.self().heading = 0;
    m.play([&] {
        for (const Case& c : cases) {
            TL(m.probe, setMoveToward)(c.x, c.y, c.velocity);
            Sent sent = m.step();
            ASSERT_TRUE(sent.move && sent.turn);
            EXPECT_EQ(c.move, *sent.move) << c.x << ", " << c.y;
            EXPECT_EQ(std::signbit(c.move), std::signbit(*sent.move)) << c.x << ", " << c.y;
            EXPECT_NEAR(c.turn, *sent.turn, 1e-15) << c.x << ", " << c.y;
        }
        // Exactly a quarter turn of the toolkit does not reverse.
        m.self().heading = 1.5707963;
        m.step();
        TL(m.probe, setMoveToward)(10, 0, 5);
        Sent sent = m.step();
        EXPECT_EQ(5.0, *sent.move);
        EXPECT_EQ(-1.5707963, *sent.turn);
    });
}

TEST(Motion, MoveToSendsTheRemainingDistanceAndTurnToOnlyTurns) {
    ProbeMatch m;  // the own robot stands at (50, 40), heading 0
    m.play([&] {
        Probe& p = m.probe;
        TL(p, setMoveTo)(80, 40);
        Sent sent = m.step();
        EXPECT_EQ(30.0, *sent.move);
        EXPECT_EQ(0.0, *sent.turn);
        TL(p, setMoveTo)(20, 40);
        EXPECT_EQ(-30.0, *m.step().move);

        // On the spot: heading 0 is the target direction, the nearer end of the robot turns to it.
        m.self().heading = 1.0;
        m.step();
        TL(p, setMoveTo)(50, 40);
        sent = m.step();
        EXPECT_FALSE(std::signbit(*sent.move));
        EXPECT_NEAR(-1.0, *sent.turn, 1e-15);
        m.self().heading = 2.0;
        m.step();
        TL(p, setMoveTo)(50, 40);
        sent = m.step();
        EXPECT_TRUE(std::signbit(*sent.move));
        EXPECT_NEAR(3.1415926 - 2.0, *sent.turn, 1e-15);

        TL(p, setTurnTo)(2.0);
        sent = m.step();
        EXPECT_FALSE(sent.move);
        EXPECT_EQ(0.0, *sent.turn);
        TL(p, setMoveVelocity)(3);
        TL(p, setTurnTo)(3.0);
        sent = m.step();
        EXPECT_EQ(3.0, *sent.move);
        EXPECT_NEAR(1.0, *sent.turn, 1e-15);
    });
}

// setKickBallTo with ball radius 1 and robot radius 2. The waypoint is read back from the move
// and turn sent; the line intersection's guard term costs up to about 1e-4 at coordinates of a
// few hundred.
TEST(Motion, KickApproachWaypoints) {
    struct Kick {
        double targetX, targetY, ballX, ballY, selfX, selfY, selfHeading, wayX, wayY;
    };
    const double r5 = std::sqrt(5.0);
    // Kick line y = 50 towards (0, 50), contact point (11, 50).
    const Kick kicks[] = {
        // Behind the ball: the point of the kick line as far from the contact point as from the
        // robot, 53/9 away.
        {0, 50, 10, 50, 20, 55, kFullPi, 152.0 / 9, 50},
        // In front, close to the bisector's midpoint: pushed out to both radii (3) from it.
        {0, 50, 10, 50, 5, 53, 0, 8 + 3 / r5, 51.5 + 6 / r5},
        // In front, farther: the waypoint is mirrored through the midpoint.
        {0, 50, 10, 50, 5, 60, 0, 49.0 / 3, 60},
        // The waypoint (240.1, 90) lies outside the court: clamped to the radius inside.
        {50, 90, 200, 90, 215, 120, 4.8, 218, 90},
    };
    ProbeMatch m;
    m.host.ball.radius = 1;
    m.self().radius = 2;
    m.play([&] {
        for (const Kick& k : kicks) {
            m.host.ball.x = k.ballX;
            m.host.ball.y = k.ballY;
            m.self().x = k.selfX;
            m.self().y = k.selfY;
            m.self().heading = k.selfHeading;
            m.step();
            TL(m.probe, setKickBallTo)(k.targetX, k.targetY);
            Sent sent = m.step();
            ASSERT_TRUE(sent.move && sent.turn);
            EXPECT_NEAR(std::hypot(k.wayX - k.selfX, k.wayY - k.selfY), *sent.move, 1e-4);
            double direction = k.selfHeading + *sent.turn;
            EXPECT_NEAR(k.wayX, k.selfX + *sent.move * std::cos(direction), 1e-4) << k.selfX;
            EXPECT_NEAR(k.wayY, k.selfY + *sent.move * std::sin(direction), 1e-4) << k.selfX;
        }
    });
}

TEST(Motion, ExecuteTimesStopsRightAfterARoundFinish) {
    ProbeMatch m;
    int finishAt = -1;
    m.host.onExecute = [&] {
        m.host.events.clear();
        if (m.host.executes == finishAt) m.host.events.push_back({"roundFinish", 0, "", 0});
    };
    m.play([&] {
        auto executeTimes = TL(m.probe, executeTimes);
        auto ran = [&](int times) {
            int before = m.host.executes;
            executeTimes(times);
            return m.host.executes - before;
        };
        EXPECT_EQ(3, ran(3));
        EXPECT_EQ(0, ran(0));
        EXPECT_EQ(0, ran(-2));
        finishAt = m.host.executes + 2;
        EXPECT_EQ(2, ran(5));
        // Called while the last step held a round finish: one step, whatever the count.
        finishAt = m.host.executes + 1;
        EXPECT_EQ(1, ran(0));
        EXPECT_EQ(1, ran(4));
    });
}

TEST(Motion, BroadcastReachesEveryTeammateOnceInRobotOrder) {
    ProbeMatch m(4);
    m.play([&] {
        TL(m.probe, broadcastMessage)("hold");
        Sent sent = m.step();
        EXPECT_EQ((std::vector<std::string>{"operate.sendMessage(3, \"hold\")",
                                            "operate.sendMessage(5, \"hold\")"}),
                  sent.messages);
        EXPECT_FALSE(sent.move);
        TL(m.probe, broadcastMessage)(nullptr);
        EXPECT_TRUE(m.step().messages.empty());
    });

    ProbeMatch alone(0, 1);
    alone.play([&] {
        TL(alone.probe, broadcastMessage)("anyone?");
        EXPECT_TRUE(alone.step().messages.empty());
    });
}

}  // namespace

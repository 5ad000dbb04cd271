// Motion helpers: what reaches the operate console in the step after the call. The reversing
// rule at its quarter-turn seam, the kick approach's waypoints with and without the detour,
// stepping until a round finishes, and team messages.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "Probe.h"

namespace {

const double kFullPi = std::acos(-1.0);
// What a reversed approach adds to the turn: the toolkit's half turn is short of pi, and the
// heading passes through two lifts by its whole turn.
const double kHair = 3 * (3.1415926 - kFullPi);

// The operate console's calls made by one execute().
struct Sent {
    std::optional<double> move;
    std::optional<double> turn;
    std::vector<std::string> messages;
};

struct Match {
    explicit Match(int selfId = 0, int botsPerTeam = 3) { host.standardMatch(botsPerTeam, selfId); }

    fakejvm::BotState& self() {
        for (auto& team : host.teams) {
            for (auto& bot : team.members) {
                if (bot.id == host.selfId) return bot;
            }
        }
        throw std::logic_error("no own robot");
    }

    void play(std::function<void()> body) {
        probe.onRun(std::move(body));
        probe.adapterRun(jvm.env(), host.adapterRef());
        EXPECT_TRUE(jvm.violations().empty());
    }

    // Runs one step and reports what the library delivered at its start.
    Sent step() {
        jvm.clearLog();
        TL(probe, execute)();
        Sent sent;
        for (const fakejvm::Call& call : jvm.calls()) {
            if (call.target != &host.operate) continue;
            if (call.method == "setMoveVelocity") sent.move = call.args.at(0).d;
            if (call.method == "setTurnVelocity") sent.turn = call.args.at(0).d;
            if (call.method == "sendMessage") sent.messages.push_back(call.text);
        }
        return sent;
    }

    fakejvm::FakeJvm jvm;
    fakejvm::FakeHost host{jvm};
    Probe probe;
};

TEST(Motion, MoveTowardReversesBeyondAQuarterTurn) {
    struct Case {
        double x, y, move, turn;
    };
    // From (0, 0) with heading 0, velocity 5. A point exactly to the side is approached
    // backwards: atan2's quarter turn exceeds 1.5707963.
    const Case cases[] = {
        {10, 0, 5, 0},
        {10, 10, 5, kFullPi / 4},
        {-10, 0, -5, kHair},
        {-10, 10, -5, -kFullPi / 4 + kHair},
        {0, 10, -5, -kFullPi / 2 + kHair},
        {0, -10, -5, kFullPi / 2 + kHair},
    };
    Match m;
    m.self().x = 0;
    m.self().y = 0;
    m.self().heading = 0;
    m.play([&] {
        for (const Case& c : cases) {
            TL(m.probe, setMoveToward)(c.x, c.y, 5);
            Sent sent = m.step();
            ASSERT_TRUE(sent.move && sent.turn);
            EXPECT_EQ(c.move, *sent.move) << c.x << ", " << c.y;
            EXPECT_NEAR(c.turn, *sent.turn, 1e-15) << c.x << ", " << c.y;
            EXPECT_TRUE(sent.messages.empty());
        }
    });
}

TEST(Motion, MoveToSendsTheRemainingDistance) {
    Match m;  // the own robot stands at (50, 40)
    m.play([&] {
        TL(m.probe, setMoveTo)(80, 40);
        Sent sent = m.step();
        EXPECT_EQ(30.0, *sent.move);
        EXPECT_EQ(0.0, *sent.turn);
        TL(m.probe, setMoveTo)(20, 40);
        sent = m.step();
        EXPECT_EQ(-30.0, *sent.move);
        EXPECT_NEAR(kHair, *sent.turn, 1e-15);
    });
}

TEST(Motion, MoveToOwnPositionTurnsToTheNearerAxisDirection) {
    Match m;
    m.self().heading = 1.0;
    m.play([&] {
        TL(m.probe, setMoveTo)(50, 40);
        Sent sent = m.step();
        EXPECT_EQ(0.0, *sent.move);
        EXPECT_FALSE(std::signbit(*sent.move));
        EXPECT_NEAR(-1.0, *sent.turn, 1e-15);

        m.self().heading = 2.0;
        m.step();
        TL(m.probe, setMoveTo)(50, 40);
        sent = m.step();
        EXPECT_EQ(0.0, *sent.move);
        EXPECT_TRUE(std::signbit(*sent.move));
        EXPECT_NEAR(3.1415926 - 2.0, *sent.turn, 1e-15);
    });
}

TEST(Motion, TurnToLeavesTheMoveVelocityAlone) {
    Match m;
    m.self().heading = 0.7;
    m.play([&] {
        TL(m.probe, setTurnTo)(0.7);
        Sent sent = m.step();
        EXPECT_FALSE(sent.move);
        EXPECT_EQ(0.0, *sent.turn);

        TL(m.probe, setMoveVelocity)(3);
        TL(m.probe, setTurnTo)(1.7);
        sent = m.step();
        EXPECT_EQ(3.0, *sent.move);
        EXPECT_NEAR(1.0, *sent.turn, 1e-15);
    });
}

// The kick approach, with ball radius 1 and robot radius 2; T, the ball and the robot are given,
// the waypoint is read back from the move and turn the library sent. The line intersection's
// guard term costs up to about 1e-4 at coordinates of a few hundred.
struct Kick {
    double targetX, targetY, ballX, ballY, selfX, selfY, selfHeading;
    double wayX, wayY;
    double move = NAN;  // checked when given
};

void expectKicks(const std::vector<Kick>& kicks) {
    Match m;
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
            if (!std::isnan(k.move)) {
                EXPECT_NEAR(k.move, *sent.move, 1e-6);
            }
            double direction = k.selfHeading + *sent.turn;
            EXPECT_NEAR(k.wayX, k.selfX + *sent.move * std::cos(direction), 1e-4)
                << k.selfX << ", " << k.selfY;
            EXPECT_NEAR(k.wayY, k.selfY + *sent.move * std::sin(direction), 1e-4)
                << k.selfX << ", " << k.selfY;
        }
    });
}

TEST(Motion, KickApproachFromBehindTheBallHeadsForTheKickLine) {
    // Kick line y = 50 towards (0, 50); contact point (11, 50); the robot behind the ball is sent
    // to the point of the line as far from the contact point as from itself, at 53/9 from it.
    expectKicks({{0, 50, 10, 50, 20, 55, kFullPi, 152.0 / 9, 50, 53.0 / 9}});
}

TEST(Motion, KickApproachFromInFrontDetoursAroundTheBall) {
    const double r5 = std::sqrt(5.0);
    expectKicks({
        // Too close to the bisector's midpoint: pushed out to both radii (3) from it.
        {0, 50, 10, 50, 5, 53, 0, 8 + 3 / r5, 51.5 + 6 / r5},
        // Far enough: the waypoint mirrored through the midpoint.
        {0, 50, 10, 50, 5, 60, 0, 49.0 / 3, 60},
    });
}

TEST(Motion, KickWaypointIsClampedIntoTheCourt) {
    // The kick line's point equidistant from contact point and robot lies at x = 240.1,
    // outside the court 220 wide: it is clamped to the robot's radius inside the edge.
    expectKicks({{50, 90, 200, 90, 215, 120, 4.8, 218, 90}});
}

TEST(Motion, ExecuteTimesStopsRightAfterARoundFinish) {
    Match m;
    int finishAt = -1;
    m.host.onExecute = [&] {
        m.host.events.clear();
        if (m.host.executes == finishAt) {
            fakejvm::EventState finish;
            finish.type = "roundFinish";
            m.host.events.push_back(finish);
        }
    };
    m.play([&] {
        auto executeTimes = TL(m.probe, executeTimes);
        int before = m.host.executes;
        executeTimes(3);
        EXPECT_EQ(3, m.host.executes - before);

        before = m.host.executes;
        executeTimes(0);
        executeTimes(-2);
        EXPECT_EQ(0, m.host.executes - before);

        before = m.host.executes;
        finishAt = before + 2;
        executeTimes(5);
        EXPECT_EQ(2, m.host.executes - before);

        // Called while the last step held a round finish: exactly one step, whatever the count.
        finishAt = m.host.executes + 1;
        before = m.host.executes;
        executeTimes(0);
        EXPECT_EQ(1, m.host.executes - before);
        EXPECT_EQ(1, TL(m.probe, isRoundFinish)());
        finishAt = m.host.executes + 1;
        before = m.host.executes;
        executeTimes(4);
        EXPECT_EQ(1, m.host.executes - before);
    });
}

TEST(Motion, BroadcastReachesEveryTeammateOnceInRobotOrder) {
    Match m(4);
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

    Match alone(0, 1);
    alone.play([&] {
        TL(alone.probe, broadcastMessage)("anyone?");
        EXPECT_TRUE(alone.step().messages.empty());
    });
}

}  // namespace

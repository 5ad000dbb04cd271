// The sample defender as built for the simulator: a private copy of its library plays a few
// hundred steps against a scripted ball and robot, and every step's commands are checked
// against its rule (drive to the centre line level with the ball while the ball is in the half
// its team attacks; otherwise nothing).
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "FakeHost.h"
#include "Probe.h"

namespace {

const int kPasses = 300;
const double kCentre = 110;  // half the standard court's width

fakejvm::BotState& selfOf(fakejvm::FakeHost& host) {
    for (auto& team : host.teams) {
        for (auto& bot : team.members) {
            if (bot.id == host.selfId) return bot;
        }
    }
    throw std::logic_error("the own robot is not in the match");
}

// The world of pass k: the ball sweeps the court and sits on the centre line every fifth pass;
// the own robot wanders and turns.
void script(int k, fakejvm::FakeHost& host) {
    host.ball.x = k % 5 == 0 ? kCentre : 20 + (k * 37) % 181;
    host.ball.y = 15 + (k * 53) % 150;
    selfOf(host).x = 60 + (k * 13) % 100;
    selfOf(host).y = 20 + (k * 29) % 140;
    selfOf(host).heading = (k % 13) * 0.5;
}

// One pass: the world it saw and what the library delivered at the start of the next step.
struct Pass {
    fakejvm::BallState ball;
    fakejvm::BotState self;
    std::optional<double> move, turn;
    int otherCalls = 0;
};

std::vector<Pass> playSample(fakejvm::FakeJvm& jvm, fakejvm::FakeHost& host) {
    Probe sample(TOUCHLINE_SAMPLE_LIBRARY);
    std::vector<Pass> passes;
    script(0, host);
    passes.push_back({host.ball, selfOf(host), {}, {}, 0});
    host.onExecute = [&] {
        Pass& pass = passes.back();
        for (const fakejvm::Call& call : jvm.calls()) {
            bool operate = call.target == &host.operate;
            if (operate && call.method == "setMoveVelocity") {
                pass.move = call.args.at(0).d;
            } else if (operate && call.method == "setTurnVelocity") {
                pass.turn = call.args.at(0).d;
            } else if ((operate && call.method != "execute") || call.target == &host.debug) {
                ++pass.otherCalls;
            }
        }
        jvm.clearLog();
        // The host ends the match by throwing out of "execute".
        if (host.executes == kPasses) throw fakejvm::JavaThrow{"java.lang.IllegalStateException"};
        script(host.executes, host);
        passes.push_back({host.ball, selfOf(host), {}, {}, 0});
    };
    sample.adapterRun(jvm.env(), host.adapterRef());
    EXPECT_TRUE(jvm.exceptionPending());
    jvm.clearException();
    EXPECT_TRUE(jvm.violations().empty());
    EXPECT_EQ(static_cast<size_t>(kPasses), passes.size());
    return passes;
}

// A move to (centre, ball y): the whole distance, front or back first, never turning by more
// than a quarter turn.
void expectMoveToCentreLine(const Pass& pass, int k) {
    ASSERT_TRUE(pass.move && pass.turn) << "pass " << k;
    double dx = kCentre - pass.self.x, dy = pass.ball.y - pass.self.y;
    EXPECT_EQ(std::sqrt(dx * dx + dy * dy), std::fabs(*pass.move)) << "pass " << k;
    EXPECT_LE(std::fabs(*pass.turn), 1.5707963 + 1e-6) << "pass " << k;
    double facing = pass.self.heading + *pass.turn + (*pass.move < 0 ? std::acos(-1.0) : 0.0);
    double off = std::remainder(facing - std::atan2(dy, dx), 2 * std::acos(-1.0));
    EXPECT_NEAR(0.0, off, 1e-6) << "pass " << k;
}

void expectSampleRule(int selfId, int attack) {
    fakejvm::FakeJvm jvm;
    fakejvm::FakeHost host(jvm);
    host.standardMatch(3, selfId);
    host.teams[selfId < 3 ? 0 : 1].attack = attack;
    int moving = 0, idle = 0;
    std::vector<Pass> passes = playSample(jvm, host);
    for (int k = 0; k < static_cast<int>(passes.size()); ++k) {
        const Pass& pass = passes[static_cast<size_t>(k)];
        EXPECT_EQ(0, pass.otherCalls) << "pass " << k;
        double x = pass.ball.x;
        if ((attack > 0 && x > kCentre) || (attack < 0 && x < kCentre)) {
            ++moving;
            expectMoveToCentreLine(pass, k);
        } else {
            ++idle;
            EXPECT_FALSE(pass.move || pass.turn) << "pass " << k;
        }
    }
    EXPECT_GT(idle, 50);
    EXPECT_GT(moving, attack == 0 ? -1 : 50);
}

TEST(Player, AttackingUpTheCourtDrivesWhileTheBallIsBeyondTheCentre) {
    expectSampleRule(0, 1);
}

TEST(Player, AttackingDownTheCourtDrivesWhileTheBallIsShortOfTheCentre) {
    expectSampleRule(4, -1);
}

TEST(Player, NoAttackDirectionNeverDrives) {
    expectSampleRule(0, 0);
}

}  // namespace

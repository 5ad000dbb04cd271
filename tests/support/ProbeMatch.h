// ProbeMatch: a fresh probe library playing one robot of a standard fake match (teams 1 and 2,
// court 220 x 180). play() runs a body as the strategy's run(); step() ends one step and
// reports what reached the operate console at its start.
#ifndef TOUCHLINE_TESTS_PROBEMATCH_H
#define TOUCHLINE_TESTS_PROBEMATCH_H

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "Probe.h"

struct Sent {
    std::optional<double> move;
    std::optional<double> turn;
    std::vector<std::string> messages;
};

struct ProbeMatch {
    explicit ProbeMatch(int selfId = 0, int botsPerTeam = 3) {
        host.standardMatch(botsPerTeam, selfId);
    }

    fakejvm::BotState& self() {
        for (auto& team : host.teams) {
            for (auto& bot : team.members) {
                if (bot.id == host.selfId) return bot;
            }
        }
        throw std::logic_error("the own robot is not in the match");
    }

    void play(std::function<void()> body) {
        probe.onRun(std::move(body));
        probe.adapterRun(jvm.env(), host.adapterRef());
        EXPECT_TRUE(jvm.violations().empty());
        EXPECT_FALSE(jvm.exceptionPending());
    }

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

#endif

#include "FakeHost.h"

#include <stdexcept>

namespace fakejvm {

namespace {

const char* const kObject = "()Ljava/lang/Object;";
const char* const kList = "()Ljava/util/List;";
const char* const kString = "()Ljava/lang/String;";

using Args = std::vector<Value>;

Handler none() {
    return [](const Args&) { return Value::none(); };
}

}  // namespace

FakeHost::FakeHost(FakeJvm& jvm)
    : jvm(jvm),
      adapter(jvm.object("adapter")),
      info(jvm.object("info")),
      operate(jvm.object("operate")),
      debug(jvm.object("debug")),
      courtObject(jvm.object("court")),
      ballObject(jvm.object("ball")),
      teamList(jvm.object("teams")),
      actionList(jvm.object("actions")) {
    adapter.returns("getInfoConsole", kObject, Value::object(&info));
    adapter.returns("getOperateConsole", kObject, Value::object(&operate));
    adapter.returns("getDebugConsole", kObject, Value::object(&debug));

    info.on("getId", "()I", [this](const Args&) { return Value::integer(selfId); });
    info.on("getTime", "()J", [this](const Args&) { return Value::longValue(time); });
    info.on("getTotalTimes", "()J", [this](const Args&) { return Value::longValue(totalTimes); });
    info.returns("getCourt", kObject, Value::object(&courtObject));
    info.returns("getBall", kObject, Value::object(&ballObject));
    info.returns("getTeams", kList, Value::object(&teamList));
    info.returns("getActions", kList, Value::object(&actionList));

    auto real = [](const double& field) {
        const double* p = &field;
        return [p](const Args&) { return Value::real(*p); };
    };
    courtObject.on("getWidth", "()D", real(court.width));
    courtObject.on("getHeight", "()D", real(court.height));
    courtObject.on("getGoalWidth", "()D", real(court.goalWidth));
    courtObject.on("getGoalDepth", "()D", real(court.goalDepth));
    courtObject.on("getCornerWidth", "()D", real(court.cornerWidth));
    courtObject.on("getCornerHeight", "()D", real(court.cornerHeight));

    ballObject.on("getX", "()D", real(ball.x));
    ballObject.on("getY", "()D", real(ball.y));
    ballObject.on("getHeading", "()D", real(ball.heading));
    ballObject.on("getVelocity", "()D", real(ball.velocity));
    ballObject.on("getRadius", "()D", real(ball.radius));
    ballObject.on("getNegativeAcceleration", "()D", real(ball.negativeAcceleration));

    teamList.on("size", "()I",
                [this](const Args&) { return Value::integer(static_cast<int32_t>(teams.size())); });
    teamList.on("get", "(I)Ljava/lang/Object;", [this](const Args& a) -> Value {
        if (a[0].i < 0 || static_cast<size_t>(a[0].i) >= teams.size()) {
            throw JavaThrow{"java.lang.IndexOutOfBoundsException"};
        }
        return Value::object(&teamObject(static_cast<size_t>(a[0].i)));
    });

    actionList.on("size", "()I", [this](const Args&) {
        return Value::integer(static_cast<int32_t>(events.size()));
    });
    actionList.on("get", "(I)Ljava/lang/Object;", [this](const Args& a) -> Value {
        if (a[0].i < 0 || static_cast<size_t>(a[0].i) >= events.size()) {
            throw JavaThrow{"java.lang.IndexOutOfBoundsException"};
        }
        const EventState e = events[static_cast<size_t>(a[0].i)];
        Object& event = this->jvm.object("event" + std::to_string(eventCount_++));
        event.returns("getType", kString, Value::object(&this->jvm.string(e.type)));
        if (e.type == "messageReceived") {
            event.returns("getSender", "()I", Value::integer(e.sender));
            event.returns("getMessage", kString, Value::object(&this->jvm.string(e.message)));
        }
        if (e.type == "hitRobot") event.returns("getHited", "()I", Value::integer(e.hited));
        return Value::object(&event);
    });

    operate.on("setMoveVelocity", "(D)V", none());
    operate.on("setTurnVelocity", "(D)V", none());
    operate.on("sendMessage", "(ILjava/lang/String;)V", none());
    operate.on("execute", "()V", [this](const Args&) {
        ++executes;
        ++time;
        if (onExecute) onExecute();
        return Value::none();
    });

    debug.on("print", "(Ljava/lang/String;)V", none());
    debug.on("addView", "(Ljava/lang/Object;)V", none());
    debug.on("createLineView", kObject, [this](const Args&) {
        return Value::object(&view("lineView", {"setBeginX", "setBeginY", "setEndX", "setEndY"}));
    });
    debug.on("createTextView", kObject, [this](const Args&) {
        return Value::object(&view("textView", {"setLocationX", "setLocationY"}));
    });
    debug.on("createEllipseView", kObject, [this](const Args&) {
        return Value::object(
            &view("ellipseView", {"setXRadius", "setYRadius", "setLocationX", "setLocationY"}));
    });
    debug.on("createRectangleView", kObject, [this](const Args&) {
        return Value::object(
            &view("rectangleView", {"setWidth", "setHeight", "setLocationX", "setLocationY"}));
    });
}

void FakeHost::standardMatch(int botsPerTeam, int self) {
    teams.clear();
    int id = 0;
    for (int t = 0; t < 2; ++t) {
        TeamState team;
        team.id = t + 1;
        team.name = t == 0 ? "Home" : "Away";
        team.attack = t == 0 ? 1 : -1;
        for (int m = 0; m < botsPerTeam; ++m, ++id) {
            BotState bot;
            bot.id = id;
            bot.name = "robot" + std::to_string(id);
            bot.x = t == 0 ? 50 + 5 * m : 170 - 5 * m;
            bot.y = 40 + 30 * m;
            bot.heading = t == 0 ? 0 : 3.14;
            team.members.push_back(bot);
        }
        teams.push_back(team);
    }
    selfId = self;
}

Object& FakeHost::teamObject(size_t index) {
    while (teamObjects_.size() <= index) {
        size_t i = teamObjects_.size();
        Object& team = jvm.object("team" + std::to_string(i));
        team.on("getId", "()I", [this, i](const Args&) { return Value::integer(teams.at(i).id); });
        team.on("getAttack", "()I",
                [this, i](const Args&) { return Value::integer(teams.at(i).attack); });
        team.on("getName", kString,
                [this, i](const Args&) { return Value::object(&jvm.string(teams.at(i).name)); });
        team.on("getScore", "()D",
                [this, i](const Args&) { return Value::real(teams.at(i).score); });
        team.on("getMembers", kList,
                [this, i](const Args&) { return Value::object(&memberList(i)); });
        teamObjects_.push_back(&team);
    }
    return *teamObjects_[index];
}

Object& FakeHost::memberList(size_t t) {
    while (memberLists_.size() <= t) {
        size_t i = memberLists_.size();
        Object& list = jvm.object("members" + std::to_string(i));
        list.on("size", "()I", [this, i](const Args&) {
            return Value::integer(static_cast<int32_t>(teams.at(i).members.size()));
        });
        list.on("get", "(I)Ljava/lang/Object;", [this, i](const Args& a) -> Value {
            if (a[0].i < 0 || static_cast<size_t>(a[0].i) >= teams.at(i).members.size()) {
                throw JavaThrow{"java.lang.IndexOutOfBoundsException"};
            }
            return Value::object(&botObject(i, static_cast<size_t>(a[0].i)));
        });
        memberLists_.push_back(&list);
    }
    return *memberLists_[t];
}

Object& FakeHost::botObject(size_t t, size_t m) {
    if (botObjects_.size() <= t) botObjects_.resize(t + 1);
    std::vector<Object*>& objects = botObjects_[t];
    while (objects.size() <= m) {
        size_t j = objects.size();
        Object& bot = jvm.object("bot" + std::to_string(teams.at(t).members.at(j).id));
        auto state = [this, t, j]() -> const BotState& { return teams.at(t).members.at(j); };
        bot.on("getId", "()I", [state](const Args&) { return Value::integer(state().id); });
        bot.on("getName", kString,
               [this, state](const Args&) { return Value::object(&jvm.string(state().name)); });
        auto real = [state](double BotState::*field) {
            return [state, field](const Args&) { return Value::real(state().*field); };
        };
        bot.on("getX", "()D", real(&BotState::x));
        bot.on("getY", "()D", real(&BotState::y));
        bot.on("getHeading", "()D", real(&BotState::heading));
        bot.on("getMoveVelocity", "()D", real(&BotState::moveVelocity));
        bot.on("getTurnVelocity", "()D", real(&BotState::turnVelocity));
        bot.on("getRadius", "()D", real(&BotState::radius));
        bot.on("getMaxMoveVelocity", "()D", real(&BotState::maxMoveVelocity));
        bot.on("getMaxTurnVelocity", "()D", real(&BotState::maxTurnVelocity));
        objects.push_back(&bot);
    }
    return *objects[m];
}

Object& FakeHost::view(const std::string& kind, const std::vector<std::string>& setters) {
    Object& v = jvm.object(kind + std::to_string(++viewCount_));
    v.on("setShowTime", "(J)V", none());
    v.on("setColor", "(I)V", none());
    if (kind == "textView") {
        v.on("setText", "(Ljava/lang/String;)V", none());
        v.on("setSize", "(I)V", none());
    }
    if (kind == "ellipseView" || kind == "rectangleView") v.on("setFill", "(Z)V", none());
    for (const std::string& setter : setters) v.on(setter, "(D)V", none());
    return v;
}

}  // namespace fakejvm

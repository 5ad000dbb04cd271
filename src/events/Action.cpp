#include "events/Action.h"

#include <memory>
#include <string>
#include <vector>

#include "adapter/FootballAdapter.h"
#include "adapter/JavaUtils.h"
#include "events/ActionHandler.h"

namespace {

std::vector<std::unique_ptr<ActionHandler>> handlers;

// Destroys every handler, first to last, with the message texts it owns.
void clearHandlers() {
    for (std::unique_ptr<ActionHandler>& handler : handlers) handler.reset();
    handlers.clear();
}

// A handler for the host event, made from its type name; the handler reads the event's data
// now, so nothing is asked of the host when strategy code reads it later.
std::unique_ptr<ActionHandler> createHandler(JNIEnv* env, jobject event) {
    // A null type name reads as "", which no event has: it stops like any unknown type.
    const std::string type = JavaUtils::readString(env, event, "getType");
    if (type == "matchBegin") return std::make_unique<MatchBeginActionHandler>();
    if (type == "roundBegin") return std::make_unique<RoundBeginActionHandler>();
    if (type == "matchFinish") return std::make_unique<MatchFinishActionHandler>();
    if (type == "roundFinish") return std::make_unique<RoundFinishActionHandler>();
    if (type == "tick") return std::make_unique<TickActionHandler>();
    if (type == "messageReceived")
        return std::make_unique<MessageReceivedActionHandler>(env, event);
    if (type == "hitRobot") return std::make_unique<HitRobotActionHandler>(env, event);
    if (type == "hitWall") return std::make_unique<HitWallActionHandler>();
    if (type == "hitBall") return std::make_unique<HitBallActionHandler>();
    // adapterRun catches this text and shows it in the debug console.
    throw std::string("unknow action : ") + type;
}

}  // namespace

void updateAction(JNIEnv* env) {
    clearHandlers();
    LocalRef console(env, getInfoConsole());
    LocalRef list(env, JavaUtils::readList(env, console.get(), "getActions"));
    const int n = JavaUtils::readInt(env, list.get(), "size");
    for (int i = 0; i < n; ++i) {
        LocalRef event(env, JavaUtils::readObject(env, list.get(), "get", i));
        // A hole in the host's list is no event: nothing to report for it.
        if (!event) continue;
        handlers.push_back(createHandler(env, event.get()));
        event.reset();
    }
    list.reset();
    console.reset();
}

int getHandlerNum() {
    return static_cast<int>(handlers.size());
}

const ActionHandler* getHandler(int index) {
    if (index < 0 || static_cast<size_t>(index) >= handlers.size()) return nullptr;
    return handlers[static_cast<size_t>(index)].get();
}

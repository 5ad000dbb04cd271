#include "events/Action.h"

#include <cstring>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "adapter/FootballAdapter.h"
#include "adapter/JavaUtils.h"
#include "events/ActionHandler.h"

namespace {

// Every handler is stored in place, not behind a pointer of its own: clearing the list
// destroys the handlers but keeps the storage, so a step's rebuild allocates nothing for
// them (a long message text aside).
using StoredHandler =
    std::variant<TickActionHandler, MatchBeginActionHandler, MatchFinishActionHandler,
                 RoundBeginActionHandler, RoundFinishActionHandler, MessageReceivedActionHandler,
                 HitRobotActionHandler, HitWallActionHandler, HitBallActionHandler>;

std::vector<StoredHandler> handlers;

// Destroys every handler, first to last, with the message texts it owns.
void clearHandlers() {
    handlers.clear();
}

template <typename Handler, typename... Args>
void append(Args&&... args) {
    handlers.emplace_back(std::in_place_type<Handler>, std::forward<Args>(args)...);
}

// Whether type is the name; the length is compared first, which settles most mismatches.
template <size_t N>
bool named(const std::string& type, const char (&name)[N]) {
    return type.size() == N - 1 && std::memcmp(type.data(), name, N - 1) == 0;
}

// Appends the handler for the host event, made from its type name; the handler reads the
// event's data now, so nothing is asked of the host when strategy code reads it later.
void createHandler(JNIEnv* env, jobject event) {
    // A null type name reads as "", which no event has: it stops like any unknown type.
    const std::string type = JavaUtils::readString(env, event, "getType");
    if (named(type, "matchBegin")) return append<MatchBeginActionHandler>();
    if (named(type, "roundBegin")) return append<RoundBeginActionHandler>();
    if (named(type, "matchFinish")) return append<MatchFinishActionHandler>();
    if (named(type, "roundFinish")) return append<RoundFinishActionHandler>();
    if (named(type, "tick")) return append<TickActionHandler>();
    if (named(type, "messageReceived")) return append<MessageReceivedActionHandler>(env, event);
    if (named(type, "hitRobot")) return append<HitRobotActionHandler>(env, event);
    if (named(type, "hitWall")) return append<HitWallActionHandler>();
    if (named(type, "hitBall")) return append<HitBallActionHandler>();
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
        bool listHasGet = false;
        LocalRef event(env, JavaUtils::readObject(env, list.get(), "get", i, &listHasGet));
        // A list without "get" gives no event at all, whatever size it claims: stop, rather
        // than look the method up once for every index up to that size.
        if (!listHasGet) break;
        // A hole in the host's list is no event: nothing to report for it.
        if (!event) continue;
        createHandler(env, event.get());
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
    return std::visit([](const ActionHandler& handler) { return &handler; },
                      handlers[static_cast<size_t>(index)]);
}

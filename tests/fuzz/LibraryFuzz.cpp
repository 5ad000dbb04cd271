// LibraryFuzz: libFuzzer drives whole strategy runs of the library through the fake JVM. Each
// input is read, one value at a time as they are asked for, both as the host's replies
// (FuzzHost) and as the moves of the strategy below, which calls the whole toolkit with values
// from the input, null pointers and out-of-range indices included. Any JNI misuse aborts in the
// fake at the offending call; between two toolkit calls and after each run the target checks
// that no local reference or string is left behind, that a pending Java exception is exactly
// the one the host threw, and that the answers keep their documented ranges.
//
// Every input gets a library of its own (FreshLibrary): loaded before the input, unloaded
// after it. The library's state is process-global and never reset, and it only grows (teams
// and robots once mirrored stay), so one copy shared by all inputs would settle within a few
// inputs into a world that no later input can change, and a crash would depend on the inputs
// before it. With a fresh load each input starts where a robot process starts: its first run
// reads the static world and calls initialize(), and a crash reproduces from its input alone.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "FakeJvm.h"
#include "FreshLibrary.h"
#include "FuzzHost.h"
#include "Toolkit.h"

namespace {

// Moves a strategy makes per run at most, and in initialize().
constexpr int kMostMoves = 400;
constexpr int kInitializeMoves = 8;

struct Session {
    const Toolkit* toolkit = nullptr;
    fakejvm::FakeJvm* jvm = nullptr;
    fuzzhost::Input* input = nullptr;
    fuzzhost::FuzzHost* host = nullptr;
    int hostRefs = 0;        // live local references the host holds during the run
    bool swallow = false;    // the strategy catches whatever execute() throws and plays on
    bool swallowed = false;  // it has: a Java exception may stay pending
};
Session session;

const Toolkit& tl() {
    return *session.toolkit;
}

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "library fuzz: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

// Names are "valid for good": every name pointer handed out must keep its text for as long as
// the library is loaded, across steps and runs.
struct KeptName {
    const char* pointer;
    std::string text;
};
std::vector<KeptName> keptNames;

void keep(const char* name) {
    require(name != nullptr, "a name is null");
    if (keptNames.size() >= 64) return;
    for (const KeptName& kept : keptNames) {
        if (kept.pointer == name) return;
    }
    keptNames.push_back(KeptName{name, name});
}

void checkKeptNames() {
    for (const KeptName& kept : keptNames) {
        require(kept.text == kept.pointer, "a name handed out earlier changed");
    }
}

// Between two toolkit calls the library holds no local reference and no string characters,
// and a Java exception is pending only if the strategy swallowed the one the host threw.
void checkBetweenCalls() {
    fakejvm::FakeJvm& jvm = *session.jvm;
    require(jvm.liveLocalRefs() == session.hostRefs, "a local reference was left behind");
    require(jvm.outstandingStringChars() == 0, "string characters were not released");
    if (jvm.exceptionPending()) {
        require(session.swallowed, "a Java exception is pending in strategy code");
        require(jvm.pendingException() == session.host->firstThrown(),
                "the pending exception is not the one the host threw");
    }
}

bool finite(std::initializer_list<double> values) {
    for (double v : values) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

// A text from the input, or null now and then.
struct Text {
    explicit Text(fuzzhost::Input& in) : null(in.byte() >= 0xF0), text(null ? "" : in.text()) {}
    const char* get() const { return null ? nullptr : text.c_str(); }
    bool null;
    std::string text;
};

// An index to look up: mostly in range or just outside it, sometimes an extreme.
int indexFor(fuzzhost::Input& in, int count) {
    uint8_t b = in.byte();
    if (b < 0xF0) return static_cast<int>(b % (count + 3)) - 1;
    return in.integer();
}

template <typename Record>
Record* recordOrNull(fuzzhost::Input& in, Record& record) {
    return in.byte() >= 0xF0 ? nullptr : &record;
}

void step(int times) {
    try {
        if (times < 0) {
            tl().execute();
        } else {
            tl().executeTimes(times);
        }
    } catch (...) {
        if (!session.swallow) throw;
        session.swallowed = true;
    }
}

void world(fuzzhost::Input& in) {
    tl().getId();
    tl().getTime();
    tl().getTotalTimes();
    const int bots = tl().getBotNum();
    require(bots >= 0, "getBotNum below 0");
    Bot bot, untouched;
    std::memset(&bot, 0x5A, sizeof bot);
    untouched = bot;
    int index = indexFor(in, bots);
    Bot* out = recordOrNull(in, bot);
    tl().getBot(index, out);
    if (out != nullptr && index >= 0 && index < bots) {
        keep(bot.name);
    } else {
        require(std::memcmp(&bot, &untouched, sizeof bot) == 0, "getBot wrote out of range");
    }
    const int teams = tl().getTeamNum();
    require(teams >= 0, "getTeamNum below 0");
    Team team, untouchedTeam;
    std::memset(&team, 0x5A, sizeof team);
    untouchedTeam = team;
    index = indexFor(in, teams);
    Team* teamOut = recordOrNull(in, team);
    tl().getTeam(index, teamOut);
    if (teamOut != nullptr && index >= 0 && index < teams) {
        keep(team.name);
    } else {
        require(std::memcmp(&team, &untouchedTeam, sizeof team) == 0, "getTeam wrote out of range");
    }
    Ball ball;
    tl().getBall(recordOrNull(in, ball));
    Court court;
    tl().getCourt(recordOrNull(in, court));
}

void lookups(fuzzhost::Input& in) {
    Bot bot{};
    const int id = in.integer();
    Bot* out = recordOrNull(in, bot);
    int found = tl().getBotById(id, out);
    require(found == 0 || found == 1, "getBotById not 0 or 1");
    require(!found || out == nullptr || bot.id == id, "getBotById found another robot");
    found = tl().getSelfBot(out);
    require(found == 0 || found == 1, "getSelfBot not 0 or 1");
    require(!found || out == nullptr || bot.id == tl().getId(), "getSelfBot found another robot");
    Team team{};
    Team* teamOut = recordOrNull(in, team);
    found = tl().getTeamById(in.integer(), teamOut);
    require(found == 0 || found == 1, "getTeamById not 0 or 1");
    tl().getSelfTeam(recordOrNull(in, team));
    tl().getOpponentTeam(recordOrNull(in, team));
    const Bot* someBot = recordOrNull(in, bot);
    const int member = tl().isMember(someBot, recordOrNull(in, team));
    require(member == 0 || member == 1, "isMember not 0 or 1");
    tl().getBot(indexFor(in, tl().getBotNum()), &bot);
    const int mate = tl().isTeammate(recordOrNull(in, bot));
    require(mate == 0 || mate == 1, "isTeammate not 0 or 1");
    const int mates = tl().getTeammatesNum();
    require(mates >= 0 && mates <= tl().getBotNum(),
            "getTeammatesNum outside [0, tl().getBotNum()]");
}

void values() {
    const Toolkit& t = tl();
    for (double (*value)(void) : {t.getBallX,
                                  t.getBallY,
                                  t.getBallHeading,
                                  t.getBallVelocity,
                                  t.getBallRadius,
                                  t.getBallNegativeAcceleration,
                                  t.getX,
                                  t.getY,
                                  t.getHeading,
                                  t.getMoveVelocity,
                                  t.getTurnVelocity,
                                  t.getRadius,
                                  t.getMaxMoveVelocity,
                                  t.getMaxTurnVelocity,
                                  t.getScore,
                                  t.getLose,
                                  t.getCourtWidth,
                                  t.getCourtHeight,
                                  t.getGoalWidth,
                                  t.getGoalDepth,
                                  t.getCornerWidth,
                                  t.getCornerHeight,
                                  t.getCourtCenterX,
                                  t.getCourtCenterY,
                                  t.getOpponentGoalCenterX,
                                  t.getOpponentGoalCenterY,
                                  t.getSelfGoalCenterX,
                                  t.getSelfGoalCenterY}) {
        value();
    }
    keep(t.getName());
    t.getAttack();
    const double attack = t.getAttackHeading();
    require(attack == 0.0 || attack == TOOLKIT_PI, "getAttackHeading neither 0 nor pi");
}

void places(fuzzhost::Input& in) {
    const double x = in.real(), y = in.real(), margin = in.real();
    const int inside = tl().inCourt(x, y, margin);
    require(inside == 0 || inside == 1, "inCourt not 0 or 1");
    const int hit = tl().isPointHit(x, y);
    require(hit == 0 || hit == 1, "isPointHit not 0 or 1");
    double mx = x, my = y;
    double* outX = recordOrNull(in, mx);
    double* outY = recordOrNull(in, my);
    tl().modifyInCourt(outX, outY, margin);
    const double m = margin < 0 ? 0 : margin;
    const double width = tl().getCourtWidth(), height = tl().getCourtHeight();
    if (finite({x, m, width}) && 2 * m <= width) {
        require(mx == x || (mx >= m && mx <= width - m), "modifyInCourt left x outside");
    }
    if (finite({y, m, height}) && 2 * m <= height) {
        require(my == y || (my >= m && my <= height - m), "modifyInCourt left y outside");
    }
}

void events(fuzzhost::Input& in) {
    const int n = tl().getActionNum();
    require(n >= 0, "getActionNum below 0");
    bool seen[9] = {};
    for (int i = -1; i <= n; ++i) {
        const int type = tl().getActionType(i);
        if (i < 0 || i >= n) {
            require(type == -1, "getActionType of an index out of range is not -1");
        } else {
            require(type >= ACTION_TICK && type <= ACTION_HIT_BALL, "an unknown action type");
            seen[type] = true;
        }
        ActionUnion value, untouched;
        std::memset(&value, 0xA5, sizeof value);
        untouched = value;
        tl().getActionValue(i, recordOrNull(in, value));
        if (type == ACTION_MESSAGE_RECEIVED) {
            if (value.messageReceived.message != untouched.messageReceived.message) {
                require(value.messageReceived.message != nullptr, "a null message text");
                (void)std::strlen(value.messageReceived.message);
            }
        } else if (type != ACTION_HIT_ROBOT) {
            require(std::memcmp(&value, &untouched, sizeof value) == 0,
                    "getActionValue wrote for an event without data");
        }
    }
    require(tl().isMatchBegin() == seen[ACTION_MATCH_BEGIN], "isMatchBegin disagrees");
    require(tl().isMatchFinish() == seen[ACTION_MATCH_FINISH], "isMatchFinish disagrees");
    require(tl().isRoundBegin() == seen[ACTION_ROUND_BEGIN], "isRoundBegin disagrees");
    require(tl().isRoundFinish() == seen[ACTION_ROUND_FINISH], "isRoundFinish disagrees");
    require(tl().isHitRobot() == seen[ACTION_HIT_ROBOT], "isHitRobot disagrees");
    require(tl().isHitWall() == seen[ACTION_HIT_WALL], "isHitWall disagrees");
    require(tl().isHitBall() == seen[ACTION_HIT_BALL], "isHitBall disagrees");
    const bool hited = seen[ACTION_HIT_ROBOT] || seen[ACTION_HIT_WALL] || seen[ACTION_HIT_BALL];
    require(tl().isHited() == (hited ? 1 : 0), "isHited disagrees");
}

void geometry(fuzzhost::Input& in) {
    const double a = in.real(), b = in.real(), c = in.real(), d = in.real();
    tl().toDegrees(a);
    tl().toRadians(a);
    const double pi = std::acos(-1.0);
    if (finite({tl().toRadians(a)})) {
        const double v = tl().angle360(a);
        require(v >= 0 && v <= 360.000001, "angle360 outside [0, 360]");
    }
    if (finite({a})) {
        const double v = tl().anglePI(a);
        require(v >= -pi && v <= pi, "anglePI outside [-pi, pi]");
        const double w = tl().angleDoublePI(a);
        require(w >= 0 && w <= TOOLKIT_DOUBLE_PI, "angleDoublePI outside [0, 2 pi]");
    }
    if (finite({a, b})) {
        const double v = tl().bearing(a, b);
        require(v >= -pi && v <= pi, "bearing outside [-pi, pi]");
        const double w = tl().absBearing(a, b);
        require(w >= 0 && w <= pi, "absBearing outside [0, pi]");
    }
    if (finite({a, b, c, d})) {
        require(tl().distance(a, b, c, d) >= 0, "a negative distance");
        const double h = tl().heading(a, b, c, d);
        require(h >= 0 && h <= TOOLKIT_DOUBLE_PI, "heading outside [0, 2 pi]");
    }
    require(!(tl().gaussian(a, b) < 0), "a negative gaussian");
    double x, y;
    double* outX = recordOrNull(in, x);
    double* outY = recordOrNull(in, y);
    tl().nextPoint(a, b, c, d, outX, outY);
    const double e = in.real(), f = in.real(), g = in.real(), h = in.real();
    tl().crossPoint(a, b, c, d, e, f, g, h, outX, outY);
}

void message(fuzzhost::Input& in) {
    Bot bot{};
    tl().getBot(indexFor(in, tl().getBotNum()), &bot);
    if (in.byte() >= 0xC0) bot.id = in.integer();
    Text text(in);
    tl().sendMessage(recordOrNull(in, bot), text.get());
}

void view(fuzzhost::Input& in) {
    const int showTime = in.integer(), color = in.integer();
    switch (in.byte() % 4) {
        case 0: {
            LineView v{showTime, color, in.real(), in.real(), in.real(), in.real()};
            tl().addLineView(recordOrNull(in, v));
            break;
        }
        case 1: {
            Text text(in);
            TextView v{showTime, color, text.get(), in.integer(), in.real(), in.real()};
            tl().addTextView(recordOrNull(in, v));
            break;
        }
        case 2: {
            EllipseView v{showTime,     color,     in.real(), in.real(),
                          in.integer(), in.real(), in.real()};
            tl().addEllipseView(recordOrNull(in, v));
            break;
        }
        default: {
            RectangleView v{showTime,     color,     in.real(), in.real(),
                            in.integer(), in.real(), in.real()};
            tl().addRectangleView(recordOrNull(in, v));
            break;
        }
    }
}

// Strategy code may throw anything; adapterRun must catch it and report it.
[[noreturn]] void strategyThrows(fuzzhost::Input& in) {
    switch (in.byte() % 3) {
        case 0:
            throw std::runtime_error(in.text());
        case 1:
            throw in.text();
        default:
            throw 42;
    }
}

// Motion towards points from the input.
void motion(fuzzhost::Input& in) {
    const double x = in.real(), y = in.real();
    switch (in.byte() % 4) {
        case 0:
            tl().setMoveToward(x, y, in.real());
            break;
        case 1:
            tl().setMoveTo(x, y);
            break;
        case 2:
            tl().setTurnTo(x);
            break;
        default:
            tl().setKickBallTo(x, y);
            break;
    }
}

// One move of the strategy; false ends run(). A used-up input reads as 0: tl().execute().
bool move(fuzzhost::Input& in) {
    switch (in.byte() % 18) {
        case 0:
            step(-1);
            break;
        case 1:
            step(in.range(-2, 4));
            break;
        case 2:
            tl().setMoveVelocity(in.real());
            break;
        case 3:
            tl().setTurnVelocity(in.real());
            break;
        case 4:
            message(in);
            break;
        case 5:
            tl().broadcastMessage(Text(in).get());
            break;
        case 6:
            tl().print(Text(in).get());
            break;
        case 7:
            view(in);
            break;
        case 8:
            world(in);
            break;
        case 9:
            lookups(in);
            break;
        case 10:
            values();
            break;
        case 11:
            places(in);
            break;
        case 12:
            events(in);
            break;
        case 13:
            geometry(in);
            break;
        case 14:
            motion(in);
            break;
        case 15:
            session.swallow = !session.swallow;
            break;
        case 16:
            strategyThrows(in);
        default:
            return false;
    }
    return true;
}

void play(int most) {
    if (session.input == nullptr) return;
    fuzzhost::Input& in = *session.input;
    for (int moves = 0; moves < most && !in.exhausted(); ++moves) {
        const bool goOn = move(in);
        checkBetweenCalls();
        if (!goOn) return;
    }
}

void initializeHook(void*) {
    play(kInitializeMoves);
}

void runHook(void*) {
    play(kMostMoves);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FreshLibrary library(TOUCHLINE_FUZZ_LIBRARY, initializeHook, runHook);
    const Toolkit& toolkit = library.toolkit();
    fuzzhost::Input input(data, size);
    fakejvm::FakeJvm jvm;
    jvm.abortOnViolation();
    jvm.recordCalls(false);
    jvm.setLocalRefCapacity(16);
    fuzzhost::FuzzHost host(jvm, input);
    // Now and then a string function runs out of memory, as a JVM's may.
    jvm.onStringFunction([&](const char*) {
        if (input.byte() < 0xFA) return false;
        host.threw("java.lang.OutOfMemoryError");
        return true;
    });
    session = Session{&toolkit, &jvm, &input, &host};
    keptNames.clear();

    require(toolkit.adapterInit() == 1, "adapterInit is not 1");
    // The host may start the robot again after its run ended, with whatever world it likes.
    const int runs = input.byte() >= 0xE0 ? 2 : 1;
    for (int r = 0; r < runs; ++r) {
        jobject adapter = host.adapterRef();
        session.hostRefs = jvm.liveLocalRefs();
        session.swallow = false;
        session.swallowed = false;
        toolkit.adapterRun(jvm.env(), adapter);
        require(jvm.liveLocalRefs() == session.hostRefs, "a local reference was left behind");
        require(jvm.outstandingStringChars() == 0, "string characters were not released");
        // The run ends with the host's own exception pending, exactly as thrown, or with none
        // if the host threw none: the library clears only the lookups it made fail.
        if (!host.firstThrown().empty()) {
            require(jvm.pendingException() == host.firstThrown(),
                    "the host's exception is not pending after the run");
        } else {
            require(!jvm.exceptionPending(), "an exception the host never threw is pending");
        }
        jvm.clearException();
        host.forgetThrown();
        if (adapter != nullptr) jvm.env()->DeleteLocalRef(adapter);
        checkKeptNames();
    }
    toolkit.adapterClearup();
    require(jvm.liveLocalRefs() == 0, "a local reference outlived the runs");
    session = Session{};
    return 0;
}

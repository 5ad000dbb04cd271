// SceneTest.h: plays a scene with touchline-match from a C++ test (GoogleTest or any other)
// and reads what happened from its replay. Header only; link touchline::scenetest to get it.
//
//   touchline::SceneOptions options;
//   options.strategies = {"striker=/path/libstriker.so", "goalkeeper=/path/libgoalkeeper.so"};
//   touchline::SceneResult r = touchline::runScene(
//       touchline::Scene().steps(300).ball(170, 90)
//           .home("striker", 150, 90, 0).away("goalkeeper", 210, 90, 3.1415926),
//       options);
//   ASSERT_TRUE(r.played()) << r.output;
//   EXPECT_EQ(1, r.score[0]) << r.output;
//
// Without SceneOptions::out the replay goes to a temporary folder, which is removed with the
// result, whatever the scene gave; give out to keep the replay and its page to watch.
//
// The scene format, the expectations and touchline-match's exit status:
// <prefix>/share/doc/touchline/host.md, "Scenes", <prefix> being where the Touchline kit is
// installed.
#pragma once

#include <sys/wait.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <locale>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#ifndef TOUCHLINE_MATCH_PATH
// touchline::scenetest defines it as the kit's touchline-match; otherwise it is looked up in PATH.
#define TOUCHLINE_MATCH_PATH "touchline-match"
#endif

namespace touchline {

namespace scenedetail {
class TemporaryFolder;
}

// A position in court units; NaN when the replay has no such step or robot.
struct ScenePoint {
    double x = NAN;
    double y = NAN;
};

// A goal: its step, the scoring team (0 home, 1 away) and the scorer's id (0: no scorer).
struct SceneGoal {
    long step = 0;
    int team = 0;
    int scorer = 0;
};

// An event a robot got at a step ("tick" is left out): its type ("hitBall", ...), the other
// robot's id for "hitRobot" and the sender for "messageReceived" (else 0), a message's text.
struct SceneEvent {
    long step = 0;
    int robot = 0;
    std::string type;
    int other = 0;
    std::string text;
};

// A text a robot printed while it looked at a step.
struct ScenePrint {
    long step = 0;
    int robot = 0;
    std::string text;
};

// What playing a scene gave.
struct SceneResult {
    // touchline-match's exit status: 0 played and every expectation held, 3 an expectation
    // failed, 2 a bad scene or command line, 1 the host failed; -1 it could not be started.
    int status = -1;
    std::string output;  // what touchline-match printed (summary, expectations, errors)
    // The --out folder: SceneOptions::out, else a temporary folder, removed with the last copy
    // of this result.
    std::string folder;
    std::string page;    // the replay page to watch the scene in: folder/replay.html
    long lastStep = -1;  // the last step played
    int score[2] = {0, 0};
    std::vector<SceneGoal> goals;
    std::vector<SceneEvent> events;
    std::vector<ScenePrint> prints;

    // Whether the scene was played to its end (whatever its expectations gave).
    bool played() const { return (status == 0 || status == 3) && lastStep >= 0; }

    // The ball's centre at a step (0: the starting frame).
    ScenePoint ball(long step) const { return at(balls, step); }

    // A robot's centre at a step; robots are numbered 1, 2, ... as in the scene.
    ScenePoint robot(int id, long step) const {
        if (step < 0 || step >= static_cast<long>(robots.size())) return {};
        const std::vector<ScenePoint>& frame = robots[static_cast<size_t>(step)];
        if (id < 1 || id > static_cast<int>(frame.size())) return {};
        return frame[static_cast<size_t>(id - 1)];
    }

    // The first step at which the robot got an event of this type, or -1.
    long firstEvent(int robot, const std::string& type) const {
        for (const SceneEvent& e : events) {
            if (e.robot == robot && e.type == type) return e.step;
        }
        return -1;
    }

    // The first step at which the robot printed a text containing part, or -1.
    long firstPrint(int robot, const std::string& part) const {
        for (const ScenePrint& p : prints) {
            if (p.robot == robot && p.text.find(part) != std::string::npos) return p.step;
        }
        return -1;
    }

    // Filled from the replay: positions per step.
    std::vector<ScenePoint> balls;
    std::vector<std::vector<ScenePoint>> robots;

    // The temporary folder, when the result lives in one: shared by the result's copies.
    std::shared_ptr<const scenedetail::TemporaryFolder> temporary;

private:
    static ScenePoint at(const std::vector<ScenePoint>& points, long step) {
        if (step < 0 || step >= static_cast<long>(points.size())) return {};
        return points[static_cast<size_t>(step)];
    }
};

// A scene built in code; text() is the scene file. Headings are radians, positions court
// units. A library is a name given in SceneOptions::strategies, or an absolute path.
class Scene {
public:
    Scene& steps(long n) { return line("steps " + std::to_string(n)); }
    Scene& seed(long n) { return line("seed " + std::to_string(n)); }
    Scene& ball(double x, double y, double heading = 0, double speed = 0) {
        return line("ball " + number(x) + " " + number(y) + " " + number(heading) + " " +
                    number(speed));
    }
    // Robots are numbered in the order added: add the home team's first.
    Scene& home(const std::string& library, double x, double y, double heading) {
        return robot("home", library, x, y, heading);
    }
    Scene& away(const std::string& library, double x, double y, double heading) {
        return robot("away", library, x, y, heading);
    }
    // An expectation without the word "expect": "goal home by 300".
    Scene& expect(const std::string& what) { return line("expect " + what); }

    const std::string& text() const { return text_; }

private:
    Scene& line(const std::string& statement) {
        text_ += statement + "\n";
        return *this;
    }
    Scene& robot(const char* team, const std::string& library, double x, double y, double heading) {
        ++robots_;
        return line("robot " + std::to_string(robots_) + " " + team + " " + library + " " +
                    number(x) + " " + number(y) + " " + number(heading));
    }
    static std::string number(double value) {
        std::ostringstream out;
        out.imbue(std::locale::classic());
        out.precision(17);
        out << std::fixed << value;
        return out.str();
    }

    std::string text_;
    int robots_ = 0;
};

struct SceneOptions {
    // NAME=FILE: a scene's robot line naming NAME plays FILE.
    std::vector<std::string> strategies;
    // The --out folder (created if needed), kept; empty: a new folder under $TMPDIR or /tmp,
    // removed with the result.
    std::string out;
    // More touchline-match options, e.g. {"--steps", "50"}.
    std::vector<std::string> args;
    std::string match = TOUCHLINE_MATCH_PATH;
};

namespace scenedetail {

// Just enough JSON for the replay's lines.
struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> fields;

    const Json& operator[](const std::string& key) const {
        static const Json none;
        for (const auto& field : fields) {
            if (field.first == key) return field.second;
        }
        return none;
    }
    const Json& operator[](size_t index) const {
        static const Json none;
        return index < items.size() ? items[index] : none;
    }
    long whole() const { return static_cast<long>(number); }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : s_(text) {}

    bool read(Json& value) { return parse(value) && (skip(), i_ == s_.size()); }

private:
    void skip() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r')) ++i_;
    }
    bool literal(const char* word) {
        std::string w(word);
        if (s_.compare(i_, w.size(), w) != 0) return false;
        i_ += w.size();
        return true;
    }
    bool parse(Json& v) {
        skip();
        if (i_ >= s_.size()) return false;
        char c = s_[i_];
        if (c == '{') return object(v);
        if (c == '[') return array(v);
        if (c == '"') return v.kind = Json::String, string(v.text);
        if (literal("null")) return v.kind = Json::Null, true;
        if (literal("true")) return v.kind = Json::Bool, v.number = 1, true;
        if (literal("false")) return v.kind = Json::Bool, true;
        size_t start = i_;
        while (i_ < s_.size() && std::string("+-.0123456789eE").find(s_[i_]) != std::string::npos)
            ++i_;
        if (start == i_) return false;
        std::istringstream in(s_.substr(start, i_ - start));
        in.imbue(std::locale::classic());
        v.kind = Json::Number;
        return static_cast<bool>(in >> v.number);
    }
    bool object(Json& v) {
        v.kind = Json::Object;
        ++i_;
        skip();
        if (i_ < s_.size() && s_[i_] == '}') return ++i_, true;
        for (;;) {
            std::string key;
            Json item;
            skip();
            if (i_ >= s_.size() || s_[i_] != '"' || !string(key)) return false;
            skip();
            if (i_ >= s_.size() || s_[i_++] != ':' || !parse(item)) return false;
            v.fields.emplace_back(std::move(key), std::move(item));
            skip();
            if (i_ >= s_.size()) return false;
            if (s_[i_] == '}') return ++i_, true;
            if (s_[i_++] != ',') return false;
        }
    }
    bool array(Json& v) {
        v.kind = Json::Array;
        ++i_;
        skip();
        if (i_ < s_.size() && s_[i_] == ']') return ++i_, true;
        for (;;) {
            Json item;
            if (!parse(item)) return false;
            v.items.push_back(std::move(item));
            skip();
            if (i_ >= s_.size()) return false;
            if (s_[i_] == ']') return ++i_, true;
            if (s_[i_++] != ',') return false;
        }
    }
    // The replay escapes everything outside printable ASCII as \uXXXX; turned into UTF-8.
    bool string(std::string& out) {
        ++i_;
        unsigned pendingHigh = 0;
        while (i_ < s_.size() && s_[i_] != '"') {
            char c = s_[i_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) return false;
            char e = s_[i_++];
            const char* plain = "\"\\/bfnrt";
            const char* meant = "\"\\/\b\f\n\r\t";
            const char* found = std::strchr(plain, e);
            if (e != 'u') {
                if (found == nullptr) return false;
                out += meant[found - plain];
                continue;
            }
            if (i_ + 4 > s_.size()) return false;
            unsigned code = static_cast<unsigned>(std::stoul(s_.substr(i_, 4), nullptr, 16));
            i_ += 4;
            if (code >= 0xD800 && code < 0xDC00) {
                pendingHigh = code;
                continue;
            }
            if (code >= 0xDC00 && code < 0xE000 && pendingHigh != 0) {
                code = 0x10000 + ((pendingHigh - 0xD800) << 10) + (code - 0xDC00);
            }
            pendingHigh = 0;
            utf8(code, out);
        }
        if (i_ >= s_.size()) return false;
        ++i_;
        return true;
    }
    static void utf8(unsigned code, std::string& out) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    const std::string& s_;
    size_t i_ = 0;
};

inline std::string quoted(const std::string& word) {
    std::string out = "'";
    for (char c : word) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// A folder of its own for one scene's replay, under $TMPDIR or /tmp, removed with all it holds
// when the last result sharing it goes, so that no run leaves one behind, passed or failed.
class TemporaryFolder {
public:
    TemporaryFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/touchline-scene-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) != nullptr) path_ = name.data();
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    // Empty when no folder could be made.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline void readFrame(const Json& line, SceneResult& result) {
    long step = line["time"].whole();
    if (step < 0 || step > 100000000) return;
    size_t at = static_cast<size_t>(step);
    if (result.balls.size() <= at) {
        result.balls.resize(at + 1);
        result.robots.resize(at + 1);
    }
    result.balls[at] = {line["ball"][0].number, line["ball"][1].number};
    for (const Json& robot : line["robots"].items) {
        result.robots[at].push_back({robot[0].number, robot[1].number});
    }
    for (const Json& e : line["events"].items) {
        SceneEvent event;
        event.step = step;
        event.robot = static_cast<int>(e[0].whole());
        event.type = e[1].text;
        event.other = static_cast<int>(e[2].whole());
        event.text = e[3].text;
        result.events.push_back(std::move(event));
    }
}

inline void readEnd(const Json& end, SceneResult& result) {
    result.lastStep = end["time"].whole();
    result.score[0] = static_cast<int>(end["score"][0].whole());
    result.score[1] = static_cast<int>(end["score"][1].whole());
    for (const Json& g : end["goals"].items) {
        result.goals.push_back({g["time"].whole(), static_cast<int>(g["team"].whole()),
                                static_cast<int>(g["scorer"].whole())});
    }
}

inline void readReplay(const std::string& file, SceneResult& result) {
    std::ifstream in(file);
    std::string text;
    while (std::getline(in, text)) {
        Json line;
        if (!JsonReader(text).read(line)) continue;
        if (line["time"].kind == Json::Number) {
            readFrame(line, result);
        } else if (line["debug"].kind == Json::Object) {
            const Json& debug = line["debug"];
            for (const Json& print : debug["prints"].items) {
                result.prints.push_back(
                    {debug["time"].whole(), static_cast<int>(debug["robot"].whole()), print.text});
            }
        } else if (line["end"].kind == Json::Object) {
            readEnd(line["end"], result);
        }
    }
}

}  // namespace scenedetail

// Plays a scene file with touchline-match --scene and reads its replay. A relative library
// path in the file is taken from the file's folder.
inline SceneResult runSceneFile(const std::string& file, const SceneOptions& options = {}) {
    SceneResult result;
    result.folder = options.out;
    if (result.folder.empty()) {
        auto temporary = std::make_shared<const scenedetail::TemporaryFolder>();
        result.folder = temporary->path();
        result.temporary = std::move(temporary);
    }
    if (result.folder.empty()) {
        result.output = "cannot make a folder for the replay";
        return result;
    }
    result.page = result.folder + "/replay.html";
    std::string command = scenedetail::quoted(options.match) + " --scene " +
                          scenedetail::quoted(file) + " --out " +
                          scenedetail::quoted(result.folder);
    for (const std::string& strategy : options.strategies) {
        command += " --strategy " + scenedetail::quoted(strategy);
    }
    for (const std::string& arg : options.args) command += " " + scenedetail::quoted(arg);
    command += " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        result.output = "cannot start " + options.match;
        return result;
    }
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, got);
    int status = pclose(pipe);
    result.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    scenedetail::readReplay(result.folder + "/replay.jsonl", result);
    return result;
}

// Plays a scene built in code: written as scene.scene into a temporary folder the result
// owns, then played; the match's files go to that folder's "out" unless options name a
// folder (an --out folder holds only what the match writes).
inline SceneResult runScene(const Scene& scene, const SceneOptions& options = {}) {
    SceneOptions chosen = options;
    auto temporary = std::make_shared<const scenedetail::TemporaryFolder>();
    if (temporary->path().empty()) {
        SceneResult result;
        result.output = "cannot make a folder for the replay";
        return result;
    }
    if (chosen.out.empty()) chosen.out = temporary->path() + "/out";
    std::string file = temporary->path() + "/scene.scene";
    std::ofstream(file) << scene.text();
    SceneResult result = runSceneFile(file, chosen);
    result.temporary = std::move(temporary);
    return result;
}

}  // namespace touchline

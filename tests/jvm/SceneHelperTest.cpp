// SceneTest.h as a C++ strategy author uses it: a scene file and a scene built in code, played
// by the real touchline-match, read back from the replay.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <set>

#include "ControlTexts.h"
#include "SceneTest.h"

namespace {

touchline::SceneOptions libraries() {
    touchline::SceneOptions options;
    options.strategies = {std::string("striker=") + STRIKER,
                          std::string("goalkeeper=") + GOALKEEPER, std::string("sample=") + SAMPLE,
                          std::string("control=") + CONTROL};
    return options;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// $TMPDIR for the scenes played inside its scope: a new folder, whose contents it lists.
class OwnTmpdir {
public:
    OwnTmpdir() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/lines-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) != nullptr) path_ = name.data();
        const char* old = std::getenv("TMPDIR");
        if (old != nullptr) {
            old_ = old;
            hadOld_ = true;
        }
        setenv("TMPDIR", path_.c_str(), 1);
    }
    ~OwnTmpdir() {
        if (hadOld_) {
            setenv("TMPDIR", old_.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::vector<std::string> left() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            std::string name = entry.path().filename().string();
            // The user's folder for match runs stays, empty once every run has ended.
            bool runs = name.rfind("touchline-", 0) == 0 &&
                        name.find_first_not_of("0123456789", 10) == std::string::npos &&
                        std::filesystem::is_empty(entry.path());
            if (!runs) names.push_back(name);
        }
        return names;
    }

private:
    std::string path_;
    std::string old_;
    bool hadOld_ = false;
};

// The examples' striker scene, through the helper: the placement, the goal, the kick and the
// striker's print all come back from the replay.
TEST(SceneTest, StrikerSceneFile) {
    touchline::SceneResult r = touchline::runSceneFile(STRIKER_SCENE, libraries());
    ASSERT_EQ(0, r.status) << r.output;
    ASSERT_TRUE(r.played());
    EXPECT_EQ(400, r.lastStep);
    EXPECT_NE(std::string::npos, r.output.find("all 3 held")) << r.output;
    EXPECT_DOUBLE_EQ(170, r.ball(0).x);
    EXPECT_DOUBLE_EQ(90, r.ball(0).y);
    EXPECT_DOUBLE_EQ(165, r.robot(1, 0).x);
    EXPECT_DOUBLE_EQ(60, r.robot(2, 0).y);
    ASSERT_FALSE(r.goals.empty()) << "watch " << r.page;
    EXPECT_EQ(0, r.goals[0].team);
    EXPECT_EQ(1, r.goals[0].scorer);
    EXPECT_LE(r.goals[0].step, 300);
    EXPECT_GE(r.score[0], 1);
    long kick = r.firstEvent(1, "hitBall");
    EXPECT_GT(kick, 0);
    EXPECT_LE(kick, r.goals[0].step);
    long charge = r.firstPrint(1, "lined up: charge");
    EXPECT_GE(charge, 0);
    EXPECT_LE(charge, kick);
    EXPECT_TRUE(std::isnan(r.robot(3, 0).x)) << "no robot 3";
    EXPECT_TRUE(std::isnan(r.ball(401).x)) << "no step 401";
}

// A scene built in code; a failed expectation and a bad scene give their exit statuses.
TEST(SceneTest, SceneInCodeAndItsFailures) {
    touchline::Scene scene;
    scene.steps(30).ball(110, 90, 0, 2).home("sample", 50, 40, 0).away("sample", 170, 140, 3);
    scene.expect("ball-x > 110 at 5").expect("goal home by 20");
    touchline::SceneResult r = touchline::runScene(scene, libraries());
    ASSERT_EQ(3, r.status) << r.output;
    EXPECT_TRUE(r.played());
    EXPECT_EQ(30, r.lastStep);
    EXPECT_GT(r.ball(5).x, 110);
    EXPECT_NE(std::string::npos, r.output.find("PASS")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("FAIL")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find(r.page)) << r.output;

    touchline::SceneResult bad =
        touchline::runScene(touchline::Scene().steps(10).home("nothing", 1, 1, 0), libraries());
    EXPECT_EQ(2, bad.status) << bad.output;
    EXPECT_FALSE(bad.played());
    EXPECT_NE(std::string::npos, bad.output.find("scene.scene:2: no strategy library nothing"))
        << bad.output;
}

// A strategy prints texts with newlines, escapes and other control characters in them, one a
// step. The scene report gives each expectation one line, "  PASS" or "  FAIL" and the text
// escaped; --echo gives each print one line with its own "[step] id name: " prefix; nothing
// else prints a control character; and no scene leaves its temporary folder, whether it
// passed, failed or could not be played.
TEST(SceneTest, ControlTextsStayOnTheirLines) {
    OwnTmpdir tmpdir;
    ASSERT_FALSE(tmpdir.path().empty());
    {
        touchline::Scene scene;
        scene.steps(CONTROL_TEXT_COUNT + 2).ball(110, 90).home("control", 40, 60, 0);
        scene.away("sample", 180, 120, 3);
        for (int k = 0; k < CONTROL_TEXT_COUNT; ++k) {
            scene.expect("robot 1 printed \"#" + std::to_string(k) + "#\" by " +
                         std::to_string(k + 1));
        }
        scene.expect("robot 1 printed \"never\"");
        touchline::SceneOptions options = libraries();
        options.args = {"--echo", "1"};
        touchline::SceneResult r = touchline::runScene(scene, options);
        ASSERT_EQ(3, r.status) << r.output;
        ASSERT_EQ(0u, r.folder.rfind(tmpdir.path() + "/touchline-scene-", 0)) << r.folder;

        std::set<std::string> wanted;
        // The scene file lies beside the match's folder, in the folder the result owns.
        std::string file = std::filesystem::path(r.folder).parent_path().string() + "/scene.scene";
        const int firstExpectation = 5;  // after steps, ball and the two robots
        for (int k = 0; k < CONTROL_TEXT_COUNT; ++k) {
            std::string n = std::to_string(k);
            wanted.insert("  PASS " + file + ":" + std::to_string(firstExpectation + k) +
                          ": expect robot 1 printed \"#" + n + "#\" by " + std::to_string(k + 1) +
                          " (printed at step " + n + ": \"" + kControlTexts[k][1] + "\")");
            wanted.insert("[" + n + "] 1 jvm_strategy_control: " + kControlTexts[k][1]);
        }
        wanted.insert(
            "  FAIL " + file + ":" + std::to_string(firstExpectation + CONTROL_TEXT_COUNT) +
            ": expect robot 1 printed \"never\" (" + std::to_string(CONTROL_TEXT_COUNT) +
            " prints by step " + std::to_string(CONTROL_TEXT_COUNT + 2) +
            ", none with it; the last: \"" + kControlTexts[CONTROL_TEXT_COUNT - 1][1] + "\")");

        int reportLines = 0;
        int echoLines = 0;
        for (const std::string& line : linesOf(r.output)) {
            for (char c : line) {
                EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                    << "a control character in: " << line;
            }
            bool report = line.rfind("  PASS ", 0) == 0 || line.rfind("  FAIL ", 0) == 0;
            bool echo = line.rfind("[", 0) == 0;
            if (!report && !echo) continue;
            reportLines += report;
            echoLines += echo;
            EXPECT_EQ(1u, wanted.erase(line)) << "unexpected line: " << line;
        }
        EXPECT_EQ(CONTROL_TEXT_COUNT + 1, reportLines) << r.output;
        EXPECT_EQ(CONTROL_TEXT_COUNT, echoLines) << r.output;
        for (const std::string& line : wanted) ADD_FAILURE() << "missing line: " << line;
        EXPECT_TRUE(std::filesystem::exists(r.page)) << "the page lives as long as the result";
    }
    // A scene file that passes and a scene that cannot be played leave nothing either.
    {
        touchline::SceneResult passed = touchline::runSceneFile(STRIKER_SCENE, libraries());
        EXPECT_EQ(0, passed.status) << passed.output;
        touchline::SceneResult copy = passed;
        passed = touchline::SceneResult();
        EXPECT_TRUE(std::filesystem::exists(copy.folder)) << "a copy keeps the folder";
        touchline::SceneResult bad =
            touchline::runScene(touchline::Scene().home("nothing", 1, 1, 0), libraries());
        EXPECT_EQ(2, bad.status) << bad.output;
    }
    EXPECT_EQ(std::vector<std::string>(), tmpdir.left());
}

}  // namespace

// SceneTest.h as a C++ strategy author uses it: a scene file and a scene built in code, played
// by the real touchline-match, read back from the replay.
#include <gtest/gtest.h>

#include "SceneTest.h"

namespace {

touchline::SceneOptions libraries() {
    touchline::SceneOptions options;
    options.strategies = {std::string("striker=") + STRIKER,
                          std::string("goalkeeper=") + GOALKEEPER, std::string("sample=") + SAMPLE};
    return options;
}

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

}  // namespace

// One stall in the finale: a single frame that carries the scene's clock past both the sun's
// moment (7 s) and the closing fade's (22 s) does both in that frame, and the show still ends
// on its own. The scene is entered directly after start-up.
#include "support/ShowPlayer.hpp"

#include "scenes/FinaleScene.hpp"

#include <gtest/gtest.h>

namespace {

bool sunColoured(sf::Color c) {
    return c.r > 200 && c.g > 110 && c.b < 110 && c.a > 200;
}

TEST(FinaleLongFrame, SwitchesTheSunOnAndStartsTheClosingFadeTogether) {
    show::startAt(Scene::Finale);
    show::frame();
    const FinaleState& s = demo.finale;
    ASSERT_FALSE(s.finaleSunShown);
    ASSERT_EQ(s.finaleStep, 0);

    show::frame(22.5f);
    EXPECT_TRUE(s.finaleSunShown);
    EXPECT_EQ(s.finaleStep, 1);
    EXPECT_EQ(s.finaleTime, 0.0f);
    EXPECT_EQ(demo.fadeMode, 1);
    EXPECT_EQ(demo.fadeSpeed, 0.2f);
    EXPECT_EQ(demo.fadeLevel, 0.0f);
    // The sun's fade-in ran its whole course within the same frame: it is drawn fully opaque.
    EXPECT_FALSE(s.finaleSunTween.active);
    const sf::Image picture = show::frameTargetImage();
    test::saveStill(show::asShown(picture), "finale_long_frame");
    EXPECT_GT(show::countPixels(picture, 0, 0, 1920, 1080, sunColoured), 5000);

    show::frame(8.6f);
    EXPECT_EQ(demo.sceneIndex, Scene::Quit);
    EXPECT_TRUE(demo.running);
    show::frame();
    EXPECT_FALSE(demo.running);
}

} // namespace

// The party scene from its first frame into its second step, at 64 frames per second so that
// the step clock adds up exactly: the fresh set of stickers, the inclusive 13-second step, the
// peephole offsets that restart with the step, the walker and the cross star's pulse. The scene
// is entered directly after start-up; the tests of the fixture run in order and keep playing.
#include "support/ShowPlayer.hpp"

#include "assets/SpriteManager.hpp"
#include "scenes/PartyScene.hpp"

#include <gtest/gtest.h>

#include <set>

namespace {

// 1/64 s is exact in binary: 832 frames make exactly 13 s.
constexpr float kStep = 1.0f / 64.0f;

class Party : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { show::startAt(Scene::Party); }
    static PartyState& scene() { return demo.party; }
};

SHOW_CHAPTER(Party, FirstFrameReplacesTheStickersWithItsOwnFourteen) {
    // Leftovers of an earlier scene.
    for (int i = 0; i < 3; ++i) {
        addSticker(SpriteManager::get("star"), 100.0f, 100.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f,
                   0.0f, false, false, nullptr);
    }
    show::frame(kStep);
    ASSERT_EQ(demo.stickers.size(), 14u);

    // Which sticker goes through which peephole, when and where each pops in, the size and
    // turn it pops in from and settles at, and which drip or burst.
    struct Row {
        const char* key;
        float y, delay;
        float scale, rotation, targetScale, targetRotation;
        bool drip, burst;
        const sf::Shader* shader;
    };
    const sf::Shader* const blueprint = &demo.blueprintPeephole;
    const sf::Shader* const galaxy = &demo.galaxyPeephole;
    const Row rows[14] = {
        {"splat", 400, 3, 0.25f, -4, 1, 4, false, false, nullptr},
        {"charlie", 400, 3, 1.5f, 4, 1, -4, false, false, blueprint},
        {"splat", 720, 8, 0.25f, -4, 1, 4, false, false, nullptr},
        {"duck", 720, 8, 1.5f, 4, 1, -4, false, false, blueprint},
        {"splat", 500, 13, 0.25f, -4, 1, 4, false, false, nullptr},
        {"1202", 500, 13, 1.5f, 4, 1, -4, false, false, blueprint},
        {"bong", 800, 18, 0.75f, -4, 1, 1, false, true, blueprint},
        {"portrait", 500, 20.5f, 0.75f, -4, 1, 1, true, false, galaxy},
        {"charlie2000", 540, 23.5f, 0.25f, -12, 1, 0, false, true, galaxy},
        {"finger", 1080, 24.5f, 0.25f, -8, 1, 0, false, false, nullptr},
        {"ring", 1080, 25.5f, 1.5f, -8, 1, 0, false, false, nullptr},
        {"zib", 1080, 27.5f, 0.75f, 12, 1, 0, true, false, blueprint},
        {"vantie", 540, 31.5f, 1.25f, -12, 1, 6, true, false, &demo.vantiePeephole},
        {"tripple", 1080, 34.5f, 0.25f, 12, 0.8f, 0, false, false, nullptr},
    };
    for (std::size_t i = 0; i < 14; ++i) {
        const Sticker& s = demo.stickers[i];
        const Row& row = rows[i];
        EXPECT_EQ(s.sprite, SpriteManager::get(row.key)) << i;
        EXPECT_EQ(s.shader, row.shader) << i;
        EXPECT_FLOAT_EQ(s.popInDelay, row.delay - kStep) << i;
        EXPECT_EQ(s.x, 350.0f) << i;
        EXPECT_EQ(s.y, row.y) << i;
        EXPECT_EQ(s.alpha, 0.0f) << i;
        EXPECT_EQ(s.scale, row.scale) << i;
        EXPECT_EQ(s.rotation, row.rotation) << i;
        EXPECT_EQ(s.targetAlpha, 1.0f) << i;
        EXPECT_EQ(s.targetScale, row.targetScale) << i;
        EXPECT_EQ(s.targetRotation, row.targetRotation) << i;
        EXPECT_EQ(s.dripEnabled, row.drip) << i;
        EXPECT_EQ(s.burst, row.burst) << i;
    }
    EXPECT_EQ(demo.fadeMode, 2);
    EXPECT_EQ(demo.fadeSpeed, 1.0f / 3.0f);
}

SHOW_CHAPTER(Party, PeepholeStickerShowsItsBackground) {
    {
        show::Clipped clipped;
        show::play(287, kStep); // 4.5 s: the first pair has popped in and drifted right
    }
    const sf::Image window = show::frameWithWindowImage(kStep);
    test::saveStill(window, "party_peephole");
    // "charlie" (a beige monkey face) through the blueprint peephole: its face shows the
    // blueprint's blue, shaded by the face's brightness.
    const Sticker& charlie = demo.stickers[1];
    const show::Mean face = show::meanAround(show::frameTargetImage(), static_cast<int>(charlie.x),
                                             static_cast<int>(charlie.y), 12);
    EXPECT_GT(face.b, face.r + 40) << face.r << " " << face.g << " " << face.b;
    show::reportFrameTimes("party", 20, kStep);
}

SHOW_CHAPTER(Party, WalkerMarksTimeUntilTheInclusiveThirteenSecondStep) {
    std::set<unsigned> poses;
    float lowestPulse = 2.0f, highestPulse = 0.0f;
    show::Clipped clipped;
    while (scene().partyStepTime < 13.0f - kStep) {
        show::frame(kStep);
        poses.insert(scene().bravoWalker.frameIndex);
        lowestPulse = std::min(lowestPulse, scene().crossStarPulse);
        highestPulse = std::max(highestPulse, scene().crossStarPulse);
        EXPECT_EQ(scene().bravoWalker.x, -420.0f);
        EXPECT_EQ(scene().crossStar.x, -553.0f);
    }
    EXPECT_EQ(poses.size(), 6u);
    EXPECT_GE(lowestPulse, 0.75f);
    EXPECT_EQ(highestPulse, 1.5f);

    // The step clock stands at 13 - 1/64 exactly; the next frame brings it to exactly 13,
    // which ends the step.
    ASSERT_EQ(scene().partyStep, 0);
    ASSERT_EQ(scene().partyStepTime, 13.0f - kStep);
    EXPECT_EQ(scene().walkerSpeed, 0.0f);
    show::frame(kStep);
    EXPECT_EQ(scene().partyStep, 1);
    EXPECT_EQ(scene().partyStepTime, 0.0f);
    EXPECT_EQ(scene().walkerSpeed, 256.0f);
    EXPECT_EQ(scene().crossStarSpeed, 256.0f);
    // The offsets of that frame still came from the old step's clock.
    EXPECT_EQ(test::uniformValue(demo.blueprintPeephole, "xOffset"), 0.125f * (13.0f - kStep));
}

SHOW_CHAPTER(Party, PeepholeOffsetsRestartFromZeroWithTheNewStep) {
    show::Clipped clipped;
    const float walkerBefore = scene().bravoWalker.x;
    show::frame(kStep);
    EXPECT_EQ(test::uniformValue(demo.blueprintPeephole, "xOffset"), 0.0f);
    EXPECT_EQ(test::uniformValue(demo.blueprintPeephole, "yOffset"), 0.0f);
    EXPECT_EQ(test::uniformValue(demo.galaxyPeephole, "yOffset"), 0.0f);
    EXPECT_EQ(test::uniformValue(demo.vantiePeephole, "xOffset"), 0.0f);
    EXPECT_EQ(test::uniformValue(demo.vantiePeephole, "yOffset"), 0.0f);
    // The galaxy's horizontal offset stays where start-up put it.
    EXPECT_EQ(test::uniformValue(demo.galaxyPeephole, "xOffset"), 0.0f);
    EXPECT_EQ(scene().bravoWalker.x, walkerBefore + 256.0f * kStep);

    show::frame(kStep);
    EXPECT_EQ(test::uniformValue(demo.blueprintPeephole, "xOffset"), 0.125f * kStep);
    EXPECT_EQ(test::uniformValue(demo.blueprintPeephole, "yOffset"), 0.25f * kStep);
    EXPECT_EQ(test::uniformValue(demo.galaxyPeephole, "yOffset"), 0.125f * kStep);
    EXPECT_EQ(test::uniformValue(demo.vantiePeephole, "xOffset"), -0.125f * kStep);
    EXPECT_EQ(test::uniformValue(demo.vantiePeephole, "yOffset"), -0.25f * kStep);
}

SHOW_CHAPTER(Party, LongFrameResetsTheCrossStarPulseOnlyOnce) {
    show::Clipped clipped;
    // Two seconds at 1.5 per second would run the saw-tooth down through four periods; it
    // snaps back to its top once, whatever the frame's length.
    show::frame(2.0f);
    EXPECT_EQ(scene().crossStarPulse, 1.5f);
    EXPECT_EQ(scene().crossStar.scale, 1.5f);
    show::frame(kStep);
    EXPECT_EQ(scene().crossStarPulse, 1.5f - 1.5f * kStep);
}

SHOW_CHAPTER(Party, LaterStickersStills) {
    {
        show::Clipped clipped;
        // 21.5 s into the scene: the walker and the star are crossing, "bong" and "portrait"
        // have popped in through their peepholes.
        show::playWhile([] { return scene().partyStepTime < 8.5f; }, 20 * 64, kStep);
    }
    test::saveStill(show::frameWithWindowImage(kStep), "party_walker");
    EXPECT_GT(scene().bravoWalker.x, 1500.0f);
    EXPECT_LT(scene().bravoWalker.x, 1920.0f);
    {
        show::Clipped clipped;
        // 32.6 s: "vantie" has popped in through its own peephole.
        show::playWhile([] { return scene().partyStepTime < 19.6f; }, 20 * 64, kStep);
    }
    test::saveStill(show::frameWithWindowImage(kStep), "party_vantie");
    EXPECT_EQ(demo.stickers[12].popInDelay, 0.0f);
}

} // namespace

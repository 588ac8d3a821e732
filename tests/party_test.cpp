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

    // Which sticker goes through which peephole, and when each pops in.
    struct Row {
        const char* key;
        float delay;
        const sf::Shader* shader;
    };
    const Row rows[14] = {
        {"splat", 3, nullptr},
        {"charlie", 3, &demo.blueprintPeephole},
        {"splat", 8, nullptr},
        {"duck", 8, &demo.blueprintPeephole},
        {"splat", 13, nullptr},
        {"1202", 13, &demo.blueprintPeephole},
        {"bong", 18, &demo.blueprintPeephole},
        {"portrait", 20.5f, &demo.galaxyPeephole},
        {"charlie2000", 23.5f, &demo.galaxyPeephole},
        {"finger", 24.5f, nullptr},
        {"ring", 25.5f, nullptr},
        {"zib", 27.5f, &demo.blueprintPeephole},
        {"vantie", 31.5f, &demo.vantiePeephole},
        {"tripple", 34.5f, nullptr},
    };
    for (std::size_t i = 0; i < 14; ++i) {
        const Sticker& s = demo.stickers[i];
        EXPECT_EQ(s.sprite, SpriteManager::get(rows[i].key)) << i;
        EXPECT_EQ(s.shader, rows[i].shader) << i;
        EXPECT_FLOAT_EQ(s.popInDelay, rows[i].delay - kStep) << i;
        EXPECT_EQ(s.x, 350.0f) << i;
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

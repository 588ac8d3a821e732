// Long single frames, as a stall gives them: one of 10 s in the intro's step 1, a first title
// frame of 2 s and one of 9 s in the title's step 0. Each moves its timeline one step only,
// and what that step starts happens at once.
#include "support/OpeningShow.hpp"

#include "assets/RegistryViews.hpp"
#include "assets/SoundManager.hpp"
#include "assets/SpriteManager.hpp"

#include <SFML/Audio/Sound.hpp>

#include <algorithm>

namespace {

constexpr float kDt = 1.0f / 60.0f;

class LongFrames : public opening::Show {
  protected:
    static bool noisePlaying() {
        const SoundPool* pool = RegistryViews::soundPool("noise");
        return pool != nullptr &&
               std::any_of(pool->voices.begin(), pool->voices.end(),
                           [](const sf::Sound& v) { return v.getStatus() == sf::Sound::Playing; });
    }
};

SHOW_CHAPTER(LongFrames, TenSecondsInIntroStepOneMoveOneStepWithoutStatic) {
    const IntroState& s = demo.intro;
    playWhile(kDt, [&] { return s.introStep == 0; });
    ASSERT_EQ(s.introStep, 1);
    playWhile(kDt, [&] { return s.introStepTime < 1.0f; });

    drawInFull();
    frame(10.0f);
    clipAgain();
    // One step only: step 2 begins, its own 8.5 s threshold waits for the next frames.
    EXPECT_EQ(s.introStep, 2);
    EXPECT_EQ(s.introStepTime, 0.0f);
    EXPECT_EQ(demo.fadeMode, 0) << "step 2's fade to black ran early";
    EXPECT_TRUE(s.introPresentsShown);
    // The whole 0.75 s burst fell inside this frame: it ended here, silent and unseen.
    EXPECT_LE(s.introNoiseTime, 0.0f);
    EXPECT_FALSE(noisePlaying());
    const sf::Image picture = scenePicture();
    for (unsigned x = 40; x < 240; ++x) {
        ASSERT_EQ(opening::brightness(picture.getPixel(x, 100)), 0) << "static at x " << x;
    }
    // The record's shrink waits out its 9 s delay with its start scale, whatever the frame.
    EXPECT_TRUE(s.introVinylTween.active);
    EXPECT_EQ(s.introVinylTween.delay, 0.0f);
    EXPECT_EQ(s.introVinylTween.elapsed, 0.0f);
    EXPECT_EQ(s.introVinylScale, 1.0f);
    test::saveStill(windowPicture(), "intro-after-10s-frame");

    playWhile(kDt, [] { return demo.sceneIndex == -1; });
    EXPECT_EQ(frames - 1, opening::introHandOverFrame(played));
}

SHOW_CHAPTER(LongFrames, AFirstTitleFrameOfTwoSecondsDropsTheWordsAtOnce) {
    ASSERT_EQ(demo.sceneIndex, 0);
    const TitleState& s = demo.title;
    frame(2.0f);
    EXPECT_EQ(s.titleStep, 0);
    EXPECT_EQ(s.titleStepTime, 0.0f);
    const float delays[6] = {1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.5f};
    const SceneObject* words[6] = {&s.aint, &s.zilchy, &s.but, &s.a, &s.symbol, &s.klomp};
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(words[i]->yTween.active);
        EXPECT_EQ(words[i]->y, -400.0f);
        EXPECT_EQ(words[i]->yTween.delay, std::max(delays[i] - 2.0f, 0.0f));
        EXPECT_EQ(words[i]->yTween.elapsed, 0.0f);
    }
    // Step 0 had begun by the time the words were drawn: the symbol word was drawn too.
    EXPECT_EQ(SpriteManager::get("symbol")->getPosition(), sf::Vector2f(680.0f, -400.0f));
}

SHOW_CHAPTER(LongFrames, NineSecondsInTitleStepZeroStartTheDripAndTheSpinTogether) {
    const TitleState& s = demo.title;
    playWhile(kDt, [&] { return s.titleStepTime < 1.0f; });
    ASSERT_FALSE(s.dripShown);
    frame(9.0f);
    EXPECT_EQ(s.titleStep, 1);
    EXPECT_TRUE(s.dripShown);
    // Started and, advanced by the same 9 s, already at the end of its slide.
    EXPECT_FALSE(s.dripYTween.active);
    EXPECT_EQ(s.dripY, 780.0f);
    for (const SceneObject* word : {&s.aint, &s.zilchy, &s.but, &s.a, &s.symbol, &s.klomp}) {
        EXPECT_TRUE(word->scaleTween.active);
        EXPECT_EQ(word->scaleTween.to, 0.0f);
        EXPECT_EQ(word->alphaTween.to, 0.0f);
    }
    EXPECT_TRUE(s.wallBottomTween.active && s.wallTopTween.active);

    // The drip stays until the very end of step 1.
    while (s.titleStep == 1 && !HasFatalFailure()) {
        ASSERT_TRUE(s.dripShown);
        frame(kDt);
    }
    EXPECT_EQ(s.titleStep, 2);
    EXPECT_FALSE(s.dripShown);
    EXPECT_EQ(demo.stickers.size(), 14u);

    playWhile(kDt, [] { return demo.sceneIndex == 0; });
    const long introEnd = opening::introHandOverFrame(played);
    EXPECT_EQ(frames - 1, opening::titleHandOverFrame(played, introEnd + 1));
}

} // namespace

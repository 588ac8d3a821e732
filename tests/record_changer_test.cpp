// The vinyl scroller scene and its record changer, played from the scene's first frame to its
// hand-over at a steady 60 frames per second: when the labels come and the star bursts fly,
// what the record shows, and the scene's result after its end. The scene is entered directly
// after start-up; the tests of the fixture run in order and keep playing.
#include "support/ShowPlayer.hpp"

#include "effects/ParticleManager.hpp"
#include "scenes/VinylScrollerScene.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Mean colour of a ring around the record's centre, where a label at full size shows its
// face and the bare record is black vinyl.
show::Mean ringAroundCentre(const sf::Image& picture, double inner, double outer) {
    show::Mean m;
    int n = 0;
    for (int y = 540 - static_cast<int>(outer); y <= 540 + outer; ++y) {
        for (int x = 960 - static_cast<int>(outer); x <= 960 + outer; ++x) {
            const double d = std::hypot(x - 960.0, y - 540.0);
            if (d < inner || d > outer) {
                continue;
            }
            const sf::Color c =
                picture.getPixel(static_cast<unsigned>(x), static_cast<unsigned>(y));
            m.r += c.r;
            m.g += c.g;
            m.b += c.b;
            ++n;
        }
    }
    m.r /= n;
    m.g /= n;
    m.b /= n;
    return m;
}

class RecordChanger : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { show::startAt(Scene::VinylScroller); }
    static VinylState& scene() { return demo.vinyl; }
    static ::RecordChanger& changer() { return demo.vinyl.recordChanger; }
    static ParticleSystem& stars() { return *ParticleManager::get("vinyl_stars"); }

    // Plays one frame and notes label switches and bursts by the frame's number.
    static void observedFrame() {
        const std::int32_t label = changer().labelIndex;
        const std::int32_t stateBefore = changer().state;
        const std::int32_t liveBefore = stars().liveCount();
        show::frame();
        ++frames;
        if (changer().labelIndex != label && changer().labelIndex >= 0) {
            labelFrames.push_back(frames);
        }
        if (stateBefore == 1 && changer().state == 2) {
            burstFrames.push_back(frames);
            burstSizes.push_back(stars().liveCount() - liveBefore);
            // The burst left the centre this frame: undo its one step of flight.
            const float dt = show::kFrame;
            for (const Particle& p : stars().pool()) {
                if (p.alive && p.age == dt) {
                    EXPECT_NEAR(p.x - (p.xs - p.xg * dt) * dt, 960.0f, 0.01f);
                    EXPECT_NEAR(p.y - (p.ys - p.yg * dt) * dt, 540.0f, 0.01f);
                }
            }
        }
    }

    static inline long frames = 0;
    static inline std::vector<long> labelFrames;
    static inline std::vector<long> burstFrames;
    static inline std::vector<int> burstSizes;
};

SHOW_CHAPTER(RecordChanger, FirstFrameSetsUpTheSmallSlowScrollerAndStopsTheSway) {
    ASSERT_NE(ParticleManager::get("vinyl_stars"), nullptr);
    demo.frameSprite.setRotation(4.0f);
    demo.frameSprite.setScale(1.15f, 1.15f);
    observedFrame();
    const Scroller& s = demo.scroller;
    EXPECT_EQ(s.scrollerMessage, kVinylScrollerMessage);
    EXPECT_FLOAT_EQ(s.scrollerX, 1920.0f - 332.8f * show::kFrame);
    EXPECT_EQ(s.scrollerY, 100.0f);
    EXPECT_EQ(s.scrollerText.getCharacterSize(), 128u);
    EXPECT_EQ(s.scrollerAmplitude, 75.0f);
    EXPECT_FALSE(s.scrollerShadow);
    EXPECT_EQ(s.scrollerFill, sf::Color::White);
    EXPECT_EQ(s.scrollerOutline, sf::Color::Black);
    EXPECT_EQ(demo.frameSprite.getRotation(), 0.0f);
    EXPECT_EQ(demo.frameSprite.getScale(), sf::Vector2f(1.0f, 1.0f));
    EXPECT_EQ(demo.fadeMode, 2);
    EXPECT_EQ(changer().labelIndex, -1);
    EXPECT_EQ(changer().labels.size(), 5u);
}

SHOW_CHAPTER(RecordChanger, FirstLabelSitsOnTheRecordAtFullSize) {
    {
        show::Clipped clipped;
        while (frames < 240) { // 4 s: the first label has faded in and the record has grown
            observedFrame();
        }
    }
    ASSERT_EQ(changer().labelIndex, 0);
    ASSERT_EQ(changer().state, 2);
    // The record grew to full size backing off first, and the label faded in the same way.
    EXPECT_EQ(changer().scaleTween.kind, Easing::BackIn);
    EXPECT_EQ(changer().scaleTween.duration, 0.5f);
    EXPECT_EQ(changer().opacityTween.kind, Easing::CircIn);
    renderFrame(show::kFrame);
    ++frames;
    test::saveStill(show::windowImage(), "vinyl_first_label");
    demo.window->display();
    const sf::Image picture = show::frameTargetImage();
    // The yellow face of the first label around the spindle, the black vinyl further out.
    const show::Mean label = ringAroundCentre(picture, 70, 120);
    EXPECT_GT(label.r, 120) << label.r << " " << label.g << " " << label.b;
    EXPECT_GT(label.g, 90);
    EXPECT_LT(label.b, label.r - 60);
    const show::Mean vinyl = ringAroundCentre(picture, 250, 380);
    EXPECT_LT(vinyl.r, 70);
    EXPECT_LT(vinyl.g, 70);
    EXPECT_LT(vinyl.b, 70);
    show::reportFrameTimes("vinyl scroller", 20);
    frames += 20;
}

SHOW_CHAPTER(RecordChanger, LastLabelVanishesAtOnceWithoutBeingDrawnAtIndexMinusOne) {
    {
        show::Clipped clipped;
        while (!(changer().labelIndex == 4 && changer().state == 2 && changer().stateTime > 3.9f)) {
            observedFrame();
            ASSERT_LT(frames, 40 * 60);
        }
    }
    while (changer().state == 2) {
        observedFrame();
    }
    // The frame that ended the last label: the record still at full size and the label's
    // opacity only beginning to fall, yet no label is drawn.
    EXPECT_EQ(changer().state, 3);
    EXPECT_EQ(changer().labelIndex, -1);
    EXPECT_GT(changer().opacity, 0.9f);
    const sf::Image picture = show::frameTargetImage();
    test::saveStill(show::asShown(picture), "vinyl_after_last_label");
    const show::Mean centre = ringAroundCentre(picture, 70, 120);
    EXPECT_LT(centre.r, 70) << centre.r << " " << centre.g << " " << centre.b;
    EXPECT_LT(centre.g, 70);
    EXPECT_LT(centre.b, 70);
}

SHOW_CHAPTER(RecordChanger, LabelsAndBurstsComeOnTimeAndTheSceneHandsOverForGood) {
    {
        show::Clipped clipped;
        while (demo.sceneIndex == Scene::VinylScroller) {
            observedFrame();
            ASSERT_LT(frames, 48 * 60);
        }
    }
    // Each state of the changer ends in the first frame past its length and drops the rest of
    // that frame, so at a steady rate a moment is late by at most one frame per state change
    // on the way: two before the first label, four more for each label after it.
    ASSERT_EQ(labelFrames.size(), 5u);
    ASSERT_EQ(burstFrames.size(), 5u);
    const double frame = 1.0 / 60.0;
    for (std::size_t k = 0; k < 5; ++k) {
        const double nominal = 3.25 + 7.5 * static_cast<double>(k);
        const double at = static_cast<double>(labelFrames[k]) * frame;
        EXPECT_GE(at, nominal - frame / 2) << "label " << k;
        EXPECT_LE(at, nominal + static_cast<double>(2 + 4 * k) * frame + 1e-9) << "label " << k;
        // The burst a quarter second after the label switch (both counted from the start of
        // the growth, each within a frame), fifty stars at once.
        const double burst = static_cast<double>(burstFrames[k] - labelFrames[k]) * frame;
        EXPECT_NEAR(burst, 0.25, frame + 1e-9) << "burst " << k;
        EXPECT_EQ(burstSizes[k], 50) << "burst " << k;
    }
    // After the last label the record shrank to nothing; the scene returns 3 from now on.
    EXPECT_EQ(changer().state, 4);
    EXPECT_EQ(changer().scale, 0.0f);
    EXPECT_EQ(demo.sceneIndex, Scene::Party);
    EXPECT_EQ(scene().vinylResult, Scene::Party);
    EXPECT_EQ(vinylScrollerScene(show::kFrame), Scene::Party);
    EXPECT_EQ(vinylScrollerScene(show::kFrame), Scene::Party);
}

SHOW_CHAPTER(RecordChanger, LongFrameInTheGrowingStateSwitchesTheLabelAndBurstsTogether) {
    ::RecordChanger& r = changer();
    r.state = 1;
    r.stateTime = 0.0f;
    r.labelLatch = false;
    r.labelIndex = 1;
    const int before = stars().liveCount();
    updateRecordChanger(0.6f);
    EXPECT_EQ(r.labelIndex, 2);
    EXPECT_EQ(r.state, 2);
    EXPECT_EQ(r.stateTime, 0.0f);
    EXPECT_FALSE(r.labelLatch);
    EXPECT_TRUE(r.opacityTween.active);
    EXPECT_EQ(stars().liveCount() - before, 50);
    int atCentre = 0;
    for (const Particle& p : stars().pool()) {
        if (p.alive && p.age == 0.0f) {
            atCentre += (p.x == 960.0f && p.y == 540.0f) ? 1 : 0;
        }
    }
    EXPECT_EQ(atCentre, 50);
}

} // namespace

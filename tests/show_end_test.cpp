// The whole show at a steady 60 frames per second, drawing clipped to one pixel: every scene
// hands over at its moment, counted from the intro's first frame, and the run ends one frame
// after the finale gives the quit index.
#include "support/ShowPlayer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

namespace {

TEST(ShowEnd, ScenesHandOverOnTimeAndTheLoopEndsOneFrameAfterTheFinale) {
    show::startShow();
    ASSERT_EQ(demo.sceneIndex, Scene::Intro);

    // Frame number (1-based) whose scene returned the next index, by the index it returned.
    std::map<SceneId, long> handOver;
    long frames = 0;
    {
        show::Clipped clipped;
        const long limit = 205L * 60L;
        while (demo.running && demo.sceneIndex != Scene::Quit && frames < limit) {
            const SceneId before = demo.sceneIndex;
            show::frame();
            ++frames;
            if (demo.sceneIndex != before) {
                ASSERT_EQ(demo.sceneIndex, before + 1) << "after frame " << frames;
                handOver[demo.sceneIndex] = frames;
            }
        }
        ASSERT_EQ(demo.sceneIndex, Scene::Quit) << "the show did not end within 205 s";
        EXPECT_TRUE(demo.running) << "the loop must run the frame that sees the quit index";

        show::frame();
        EXPECT_FALSE(demo.running);
    }

    for (const auto& [scene, at] : handOver) {
        std::printf("hand-over to %d after frame %ld = %.4f s\n", scene, at,
                    static_cast<double>(at) / 60.0);
    }

    // Every step of every scene ends in the first frame whose step clock has passed the step's
    // length; the step change drops the rest of that frame. At a steady rate each step thus
    // lasts its length plus up to one frame, so a hand-over is never early and is late by at
    // most one frame per step boundary passed since the intro began. The boundaries: intro 4,
    // title 7, brick wall 3, vinyl 2 (the record changer has none of its own in the scene's
    // timeline), party 3, finale 2.
    struct Moment {
        SceneId scene;
        double seconds;
        int boundaries;
    };
    const Moment moments[] = {
        {Scene::VinylScroller, 79.3, 4 + 7 + 3}, // brick-wall scroller to vinyl scroller
        {Scene::Party, 125.8, 4 + 7 + 3 + 2},    // vinyl scroller to party
        {Scene::Finale, 166.3, 4 + 7 + 3 + 2 + 3},
        {Scene::Quit, 196.8, 4 + 7 + 3 + 2 + 3 + 2}, // the finale gives the quit index
    };
    const double frame = 1.0 / 60.0;
    for (const Moment& m : moments) {
        ASSERT_EQ(handOver.count(m.scene), 1u) << "no hand-over to " << m.scene;
        const double at = static_cast<double>(handOver[m.scene]) * frame;
        EXPECT_GE(at, m.seconds - frame / 2) << "hand-over to scene " << m.scene << " too early";
        EXPECT_LE(at, m.seconds + m.boundaries * frame + 1e-9)
            << "hand-over to scene " << m.scene << " too late";
    }

    // Each of the later scenes on its own: its length from its first frame to the frame that
    // hands over, in frames.
    struct Length {
        SceneId from, to;
        double seconds;
        int boundaries;
    };
    const Length lengths[] = {
        {Scene::WallScroller, Scene::VinylScroller, 23.5, 3},
        {Scene::VinylScroller, Scene::Party, 46.5, 2},
        {Scene::Party, Scene::Finale, 40.5, 3},
        {Scene::Finale, Scene::Quit, 30.5, 2},
    };
    for (const Length& l : lengths) {
        const long framesInScene = handOver[l.to] - handOver[l.from];
        const long nominal = std::lround(l.seconds * 60.0);
        EXPECT_GE(framesInScene, nominal) << "scene " << l.from;
        EXPECT_LE(framesInScene, nominal + l.boundaries) << "scene " << l.from;
    }
}

} // namespace

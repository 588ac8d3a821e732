// The intro and the title at a steady 30 frames per second: every step ends in the frame
// its rule gives for these frame times, and the jet, whose frames are now longer than its
// 0.032 s emission period, emits exactly one star per frame.
#include "support/OpeningShow.hpp"

#include "effects/ParticleManager.hpp"

#include <iostream>

namespace {

constexpr float kDt = 1.0f / 30.0f;

class OpeningAt30 : public opening::TimelineShow {};

TEST_F(OpeningAt30, StepsAndHandOversFollowTheRulesAndTheJetEmitsEveryFrame) {
    const opening::FrameTimes dt = [](long) { return kDt; };
    const TitleState& t = demo.title;
    int jetFrames = 0;
    int stars = 0;
    const opening::Timeline seen = playOpening(dt, [&](float) {
        if (!t.jetFlying) {
            return;
        }
        const ParticleSystem* system = ParticleManager::get("star_particles");
        ASSERT_NE(system, nullptr);
        int fresh = 0;
        for (const Particle& p : system->pool()) {
            fresh += p.alive && p.age == 0.0f && p.x == t.jetX - 200.0f && p.y == 400.0f;
        }
        ++jetFrames;
        // From its very first frame: that frame alone is longer than 0.032 s.
        const bool poolFull = system->liveCount() == system->capacity;
        EXPECT_TRUE(fresh == 1 || (fresh == 0 && poolFull)) << "jet frame " << jetFrames;
        stars += fresh;
    });
    expectStepsFollowTheRules(seen, dt);

    const double intro = secondsThrough(dt, seen.introEnds.back());
    const double title = secondsThrough(dt, seen.titleEnds.back()) - intro;
    std::cout << "intro hands over at " << intro << " s, title after " << title
              << " s; jet: " << stars << " stars in " << jetFrames << " frames\n";
    // Each step may end up to one frame after its nominal length.
    EXPECT_GE(intro, 20.0 - 1e-6);
    EXPECT_LE(intro, 20.0 + static_cast<double>(4 * kDt) + 1e-5);
    EXPECT_GE(title, 35.8 - 1e-6);
    EXPECT_LE(title, 35.8 + static_cast<double>(7 * kDt) + 1e-5);
    EXPECT_GT(stars, jetFrames / 2);
}

} // namespace

// The intro and the title with uneven frame times: a repeating pattern of binary fractions
// of a second, so that step times add up exactly and land on the thresholds themselves.
// Every step must end in the frame its rule gives, strict thresholds must hold on the
// threshold (and the title's first step and the sun's fade must not).
#include "support/OpeningShow.hpp"

#include <iostream>

namespace {

// 1/128 s units: 2, 1, 3, 1, 6, 2, 1 (56 frames per second on average).
const float kPattern[7] = {0.015625f, 0.0078125f, 0.0234375f, 0.0078125f,
                           0.046875f, 0.015625f,  0.0078125f};

class UnevenOpening : public opening::TimelineShow {};

TEST_F(UnevenOpening, StepsEndWhereTheRulesPutThemAndThresholdsKeepTheirStrictness) {
    const opening::FrameTimes dt = [](long frame) { return kPattern[frame % 7]; };
    const opening::Timeline seen = playOpening(dt);
    expectStepsFollowTheRules(seen, dt);
    // All but the title's 2.8 s step can land exactly on their thresholds with this pattern.
    EXPECT_GE(seen.exactHits, 8);
    std::cout << seen.exactHits << " step times landed exactly on a threshold; intro hands over at "
              << secondsThrough(dt, seen.introEnds.back()) << " s, title at "
              << secondsThrough(dt, seen.titleEnds.back()) << " s\n";
}

} // namespace

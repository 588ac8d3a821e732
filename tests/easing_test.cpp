// The easing curves and the tween that drives one value along them.
#include "effects/Easing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

const std::vector<std::int32_t> kAllKinds{0,  1,  2,  3,  4,  5,  6,  7,   8,  9,
                                          10, 11, 12, 13, 14, 15, 16, 111, 112};

// The largest magnitude among the values a curve combines, so that the rounding of c·f(p)
// is measured on the scale where it happens.
float scaleOf(float b, float c) {
    return std::max({std::fabs(b), std::fabs(c), std::fabs(b + c)});
}

// True when `value` lies within `ulps` units in the last place of `scale` from `expected`.
bool closeOnScale(float value, float expected, float scale, int ulps) {
    const float unit = std::nextafter(scale, INFINITY) - scale;
    return std::fabs(value - expected) <= unit * static_cast<float>(ulps);
}

struct Span {
    float b, c, d;
};

const std::vector<Span> kSpans{{0.0f, 1.0f, 1.0f},       {10.0f, 20.0f, 1.0f},
                               {-300.0f, 1250.5f, 0.7f}, {1.0f, -1.0f, 1.25f},
                               {540.0f, -540.0f, 5.0f},  {0.25f, 3.0f, 0.14f}};

} // namespace

TEST(Easing, EveryKindStartsAtStartAndEndsAtEnd) {
    for (const std::int32_t kind : kAllKinds) {
        for (const Span& s : kSpans) {
            const float start = ease(kind, 0.0f, s.b, s.c, s.d);
            const float end = ease(kind, s.d, s.b, s.c, s.d);
            const float scale = scaleOf(s.b, s.c);
            EXPECT_TRUE(closeOnScale(start, s.b, scale, 2))
                << "kind " << kind << " b " << s.b << " c " << s.c << " gives " << start;
            EXPECT_TRUE(closeOnScale(end, s.b + s.c, scale, 2))
                << "kind " << kind << " b " << s.b << " c " << s.c << " gives " << end;
        }
    }
}

TEST(Easing, PinnedValues) {
    // Linear at the midpoint.
    EXPECT_EQ(ease(Easing::Linear, 0.5f, 10.0f, 20.0f, 1.0f), 20.0f);

    // The exponential curves give their ends exactly, without evaluating a power there.
    EXPECT_EQ(ease(Easing::ExpoIn, 0.0f, 7.25f, 100.0f, 3.0f), 7.25f);
    EXPECT_EQ(ease(Easing::ExpoIn, 3.0f, 7.25f, 100.0f, 3.0f), 7.25f + 100.0f);
    EXPECT_EQ(ease(Easing::ExpoInOut, 0.0f, -3.5f, 11.0f, 0.3f), -3.5f);
    EXPECT_EQ(ease(Easing::ExpoInOut, 0.3f, -3.5f, 11.0f, 0.3f), -3.5f + 11.0f);
    EXPECT_EQ(ease(Easing::ExpoOut, 0.3f, -3.5f, 11.0f, 0.3f), -3.5f + 11.0f);

    // Halfway through the cubic in-out curve: exactly half the change.
    EXPECT_EQ(ease(Easing::CubicInOut, 0.5f, 100.0f, 40.0f, 1.0f), 120.0f);
    EXPECT_EQ(ease(Easing::CubicInOut, 1.5f, -8.0f, 6.0f, 3.0f), -5.0f);
}

TEST(Easing, BackOutOvershootsToAboutTenPercentNearP058) {
    float peak = -1.0f;
    float peakAt = 0.0f;
    for (int i = 0; i <= 1000; ++i) {
        const float p = static_cast<float>(i) / 1000.0f;
        const float v = ease(Easing::BackOut, p, 0.0f, 1.0f, 1.0f);
        if (v > peak) {
            peak = v;
            peakAt = p;
        }
    }
    EXPECT_NEAR(peak, 1.1f, 0.002f);
    EXPECT_NEAR(peakAt, 0.58f, 0.01f);
    EXPECT_GT(ease(Easing::BackOut, 0.9f, 0.0f, 1.0f, 1.0f), 1.0f);
    EXPECT_EQ(ease(Easing::BackOut, 1.0f, 0.0f, 1.0f, 1.0f), 1.0f);
    // BackIn dips below the start before it rises.
    EXPECT_LT(ease(Easing::BackIn, 0.3f, 0.0f, 1.0f, 1.0f), 0.0f);
}

TEST(Easing, BounceSegmentsMeetAtTheirThresholds) {
    // p = 1/2.75 lies in the second segment, where the curve touches 1 from both sides.
    const float t = 1.0f;
    const float d = 2.75f;
    const double x = static_cast<double>(t / d);
    const double y = static_cast<float>(x - 1.5 / 2.75);
    const float secondSegment = static_cast<float>((7.5625 * y * y + 0.75) * 5.0 + 2.0);
    EXPECT_EQ(ease(Easing::BounceOut, t, 2.0f, 5.0f, d), secondSegment);
    EXPECT_TRUE(closeOnScale(ease(Easing::BounceOut, t, 2.0f, 5.0f, d), 7.0f, 7.0f, 2));
    // The other touching points: 2/2.75 and 2.5/2.75 sit just under 1 after the bounce.
    EXPECT_NEAR(ease(Easing::BounceOut, 2.0f, 0.0f, 1.0f, 2.75f), 1.0f, 1e-6f);
    EXPECT_NEAR(ease(Easing::BounceOut, 2.5f, 0.0f, 1.0f, 2.75f), 1.0f, 1e-6f);
    // Between the touching points it drops: the bounces.
    EXPECT_NEAR(ease(Easing::BounceOut, 1.5f, 0.0f, 1.0f, 2.75f), 0.75f, 1e-6f);
    EXPECT_NEAR(ease(Easing::BounceOut, 2.25f, 0.0f, 1.0f, 2.75f), 0.9375f, 1e-6f);
    // BounceIn mirrors BounceOut in time and value; BounceInOut joins both at its middle.
    EXPECT_NEAR(ease(Easing::BounceIn, 1.25f, 0.0f, 1.0f, 2.75f), 0.25f, 1e-6f);
    EXPECT_NEAR(ease(Easing::BounceInOut, 0.5f, 3.0f, 8.0f, 1.0f), 7.0f, 1e-6f);
}

TEST(Easing, CurvesHaveTheirShapes) {
    // Mid-curve values of the classic equations, computed by hand.
    EXPECT_NEAR(ease(Easing::SineIn, 0.5f, 0.0f, 1.0f, 1.0f), 1.0f - std::cos(kPi / 4), 1e-6);
    EXPECT_NEAR(ease(Easing::SineOut, 0.5f, 0.0f, 1.0f, 1.0f), std::sin(kPi / 4), 1e-6);
    EXPECT_NEAR(ease(Easing::SineInOut, 0.25f, 0.0f, 1.0f, 1.0f), 0.5 - std::cos(kPi / 4) / 2,
                1e-6);
    EXPECT_NEAR(ease(Easing::CubicIn, 0.5f, 0.0f, 8.0f, 1.0f), 1.0f, 1e-6f);
    EXPECT_NEAR(ease(Easing::CubicOut, 0.5f, 0.0f, 8.0f, 1.0f), 7.0f, 1e-6f);
    EXPECT_NEAR(ease(Easing::CircIn, 0.6f, 0.0f, 1.0f, 1.0f), 0.2f, 1e-6f);
    EXPECT_NEAR(ease(Easing::CircOut, 0.4f, 0.0f, 1.0f, 1.0f), 0.8f, 1e-6f);
    EXPECT_NEAR(ease(Easing::CircInOut, 0.3f, 0.0f, 2.0f, 1.0f), 0.2f, 1e-6f);
    EXPECT_NEAR(ease(Easing::ExpoIn, 0.5f, 0.0f, 1.0f, 1.0f), 1.0 / 32.0, 1e-7);
    EXPECT_NEAR(ease(Easing::ExpoOut, 0.5f, 0.0f, 1.0f, 1.0f), 1.0 - 1.0 / 32.0, 1e-7);
    EXPECT_NEAR(ease(Easing::ExpoInOut, 0.25f, 0.0f, 2.0f, 1.0f), 1.0 / 32.0, 1e-7);
    EXPECT_NEAR(ease(Easing::BackInOut, 0.5f, 0.0f, 1.0f, 1.0f), 0.5f, 1e-6f);
    // Past the end the formulas extrapolate rather than clamp.
    EXPECT_NEAR(ease(Easing::Linear, 2.0f, 0.0f, 1.0f, 1.0f), 2.0f, 1e-6f);
}

TEST(Easing, UnknownKindsAreLinearAndNoDurationGivesTheEnd) {
    for (const std::int32_t kind : {17, 50, 110, 113, -1}) {
        EXPECT_EQ(ease(kind, 0.25f, 4.0f, 8.0f, 1.0f),
                  ease(Easing::Linear, 0.25f, 4.0f, 8.0f, 1.0f))
            << "kind " << kind;
    }
    for (const std::int32_t kind : kAllKinds) {
        EXPECT_EQ(ease(kind, 0.0f, 4.0f, 8.0f, 0.0f), 12.0f) << "kind " << kind;
        EXPECT_EQ(ease(kind, 0.5f, 4.0f, 8.0f, -1.0f), 12.0f) << "kind " << kind;
    }
}

TEST(Tween, DelayHoldsTheValueWithoutMovingElapsed) {
    Tween tween;
    tween.start(0.0f, 10.0f, 1.0f, Easing::Linear, 0.5f);
    tween.advance(0.3f);
    EXPECT_FLOAT_EQ(tween.delay, 0.2f);
    EXPECT_EQ(tween.elapsed, 0.0f);
    EXPECT_EQ(tween.value, 0.0f);
    // The frame that uses up the delay clamps it at 0 and still does not move the clock.
    tween.advance(0.3f);
    EXPECT_EQ(tween.delay, 0.0f);
    EXPECT_EQ(tween.elapsed, 0.0f);
    EXPECT_EQ(tween.value, 0.0f);
    tween.advance(0.25f);
    EXPECT_EQ(tween.elapsed, 0.25f);
    EXPECT_FLOAT_EQ(tween.value, 2.5f);
    EXPECT_TRUE(tween.active);
}

TEST(Tween, EndsExactlyOnItsTargetAndThenStaysStill) {
    Tween tween;
    tween.start(1.0f, 0.3f, 1.0f, Easing::BackOut);
    for (int i = 0; i < 6; ++i) {
        tween.advance(0.15f);
        EXPECT_TRUE(tween.active) << "frame " << i;
    }
    tween.advance(0.15f); // elapsed 1.05 >= 1
    EXPECT_FALSE(tween.active);
    EXPECT_EQ(tween.value, 0.3f);
    const float elapsed = tween.elapsed;
    tween.advance(0.5f);
    EXPECT_EQ(tween.value, 0.3f);
    EXPECT_EQ(tween.elapsed, elapsed);

    // Reaching the duration exactly also ends it.
    tween.start(0.0f, 5.0f, 0.5f, Easing::SineOut);
    tween.advance(0.5f);
    EXPECT_FALSE(tween.active);
    EXPECT_EQ(tween.value, 5.0f);

    // A tween of no duration takes its end value on its first step.
    tween.start(3.0f, 4.0f, 0.0f, Easing::SineOut);
    tween.advance(0.016f);
    EXPECT_FALSE(tween.active);
    EXPECT_EQ(tween.value, 4.0f);

    // A tween never started ignores time.
    Tween idle;
    idle.value = 7.0f;
    idle.advance(1.0f);
    EXPECT_EQ(idle.value, 7.0f);
    EXPECT_EQ(idle.elapsed, 0.0f);
}

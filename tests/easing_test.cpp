// The easing curves and the tween that drives one value along them.
#include "effects/Easing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
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

    // Every kind's arithmetic to the bit: where it is done in float and where in double, the
    // order of its products, the rounding of the bounce offsets and of the sine angles. The
    // inputs are chosen where those choices give different floats; the expected bit patterns
    // were computed once, outside this code, from the formulas with numpy's float32.
    struct Bits {
        std::int32_t kind;
        float t, b, c, d;
        std::uint32_t bits;
    };
    const Bits pinned[] = {
        {Easing::Linear, 0.913f, 1.0f, 1250.5f, 1.5f, 0x443e88d0u},         // 762.1376953125
        {Easing::Linear, 1.98f, 123.4f, 0.3f, 5.0f, 0x42f709a0u},           // 123.518798828125
        {Easing::Linear, 0.22f, 1.0f, -1.0f, 0.5f, 0x3f0f5c29u},            // 0.5600000023841858
        {Easing::SineIn, 3.817f, -2.5f, -1.0f, 5.0f, 0xc048c216u},          // -3.1368460655212402
        {Easing::SineIn, 2.19f, 123.4f, 977.7f, 3.0f, 0x442eb0ccu},         // 698.762451171875
        {Easing::SineIn, 0.087f, 10.0f, 3.0f, 0.14f, 0x41351bf1u},          // 11.319321632385254
        {Easing::BounceOut, 0.49f, 0.25f, 1.0f, 1.25f, 0x3f96cb75u},        // 1.1780840158462524
        {Easing::BounceOut, 0.342f, 123.4f, 123.456f, 0.7f, 0x435b0351u},   // 219.01295471191406
        {Easing::BounceOut, 0.197f, 123.4f, 0.3f, 1.0f, 0x42f6f9e2u},       // 123.48805236816406
        {Easing::BounceIn, 0.673f, 10.0f, 0.3f, 0.7f, 0x4124befau},         // 10.296625137329102
        {Easing::BounceIn, 0.08f, -2.5f, 3.0f, 3.0f, 0xc01d8335u},          // -2.4611332416534424
        {Easing::BounceIn, 2.082f, 10.0f, 1.0f, 5.0f, 0x4123d2eeu},         // 10.238996505737305
        {Easing::CubicIn, 1.29f, -2.5f, 1250.5f, 1.5f, 0x444638d3u},        // 792.8878784179688
        {Easing::CubicIn, 0.462f, 540.0f, -1.0f, 0.7f, 0x4406ed9au},        // 539.7125244140625
        {Easing::CubicIn, 0.429f, 0.0f, 977.7f, 0.7f, 0x43610d61u},         // 225.05226135253906
        {Easing::CubicOut, 0.069f, 0.25f, 1250.5f, 0.14f, 0x4487f48du},     // 1087.6422119140625
        {Easing::CubicOut, 1.23f, -2.5f, -1.0f, 5.0f, 0xc04490d1u},         // -3.0713388919830322
        {Easing::CubicOut, 0.42f, 0.0f, -540.0f, 1.0f, 0xc3d951dbu},        // -434.6394958496094
        {Easing::CubicInOut, 0.421f, 540.0f, 0.3f, 0.7f, 0x44070e56u},      // 540.2239990234375
        {Easing::CubicInOut, 0.093f, 0.0f, 123.456f, 0.14f, 0x42d18b01u},   // 104.77149200439453
        {Easing::CubicInOut, 0.13f, 123.4f, 1.0f, 0.14f, 0x42f8cc0eu},      // 124.39854431152344
        {Easing::BounceInOut, 2.078f, -300.0f, 1250.5f, 5.0f, 0x433e8528u}, // 190.5201416015625
        {Easing::BounceInOut, 0.13f, 0.25f, -1.0f, 0.5f, 0x3e1096bcu},      // 0.1412000060081482
        {Easing::BounceInOut, 0.942f, -300.0f, 0.3f, 1.5f, 0xc395e349u},    // -299.7756652832031
        {Easing::BackIn, 0.86f, 1.0f, 3.0f, 1.25f, 0x3f9c8e72u},            // 1.2230970859527588
        {Easing::BackIn, 0.1f, 0.25f, -540.0f, 0.14f, 0xc27a65cdu},         // -62.59941482543945
        {Easing::BackIn, 0.567f, 1.0f, -540.0f, 1.5f, 0x4255fc75u},         // 53.49654006958008
        {Easing::BackOut, 0.1f, 0.25f, -1.0f, 1.0f, 0xbe22a3d4u},           // -0.15882807970046997
        {Easing::BackOut, 0.08f, 0.0f, 123.456f, 0.7f, 0x426208ddu},        // 56.5086555480957
        {Easing::BackOut, 0.96f, 1.0f, 1250.5f, 1.5f, 0x44ab34b4u},         // 1369.64697265625
        {Easing::BackInOut, 0.55f, 540.0f, 123.456f, 1.0f, 0x441ddb92u},    // 631.4307861328125
        {Easing::BackInOut, 0.548f, 1.0f, 0.3f, 0.7f, 0x3faa24a9u},         // 1.329243779182434
        {Easing::BackInOut, 0.931f, 0.25f, 0.3f, 1.25f, 0x3f146742u},       // 0.5797005891799927
        {Easing::CircIn, 2.22f, 540.0f, 1250.5f, 3.0f, 0x446d59eeu},        // 949.4051513671875
        {Easing::CircIn, 0.03f, 0.25f, 1.0f, 0.14f, 0x3e8be4aau},           // 0.2732289433479309
        {Easing::CircIn, 0.11f, 10.0f, 977.7f, 0.14f, 0x43bf73d4u},         // 382.9049072265625
        {Easing::CircOut, 0.9f, 0.0f, 20.0f, 1.0f, 0x419f32afu},            // 19.899747848510742
        {Easing::CircOut, 0.78f, 10.0f, -1.0f, 1.5f, 0x4111f6b5u},          // 9.12273120880127
        {Easing::CircOut, 0.549f, 0.25f, 1250.5f, 1.5f, 0x4471d364u},       // 967.302978515625
        {Easing::CircInOut, 0.37f, 540.0f, 1250.5f, 0.5f, 0x44d46a29u},     // 1699.3175048828125
        {Easing::CircInOut, 1.26f, 0.0f, 1.0f, 1.5f, 0x3f7944fau},          // 0.9737087488174438
        {Easing::CircInOut, 0.2f, -300.0f, 0.3f, 0.5f, 0xc395f852u},        // -299.94000244140625
        {Easing::ExpoIn, 0.54f, 0.0f, 20.0f, 3.0f, 0x3d8b49c1u},            // 0.06801176816225052
        {Easing::ExpoIn, 1.78f, 123.4f, 977.7f, 3.0f, 0x4335bf2du},         // 181.7467803955078
        {Easing::ExpoIn, 0.128f, 540.0f, 123.456f, 0.14f, 0x441809cfu},     // 608.1532592773438
        {Easing::ExpoOut, 2.793f, 540.0f, -540.0f, 3.0f, 0x3f59cb10u},      // 0.8507547378540039
        {Easing::ExpoOut, 1.121f, 540.0f, 1.0f, 5.0f, 0x44073279u},         // 540.7886352539062
        {Easing::ExpoOut, 0.017f, 0.0f, 3.0f, 0.14f, 0x3fda8051u},          // 1.7070409059524536
        {Easing::ExpoInOut, 1.15f, 123.4f, 3.0f, 1.25f, 0x42fcca87u},       // 126.39556121826172
        {Easing::ExpoInOut, 0.77f, 540.0f, 977.7f, 3.0f, 0x440b305eu},      // 556.7557373046875
        {Easing::ExpoInOut, 0.04f, 0.0f, -540.0f, 0.5f, 0xbf4c9f25u},       // -0.7993033528327942
        {Easing::SineOut, 0.207f, 0.0f, -1.0f, 1.25f, 0xbe83afc1u},         // -0.2572002708911896
        {Easing::SineOut, 0.34f, 1.0f, 0.3f, 1.0f, 0x3f938c15u},            // 1.1527124643325806
        {Easing::SineOut, 2.87f, 0.0f, 977.7f, 3.0f, 0x4473dbe7u},          // 975.4359741210938
        {Easing::SineInOut, 0.08f, 1.0f, 20.0f, 0.5f, 0x400f29e8u},         // 2.2369327545166016
        {Easing::SineInOut, 0.85f, 1.0f, 3.0f, 1.5f, 0x4033f5a4u},          // 2.8118677139282227
        {Easing::SineInOut, 0.18f, 10.0f, 3.0f, 0.5f, 0x412dc803u},         // 10.86133098602295
    };
    for (const Bits& p : pinned) {
        const float value = ease(p.kind, p.t, p.b, p.c, p.d);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        EXPECT_EQ(bits, p.bits) << "kind " << p.kind << " t " << p.t << " b " << p.b << " c " << p.c
                                << " d " << p.d << ": " << value;
    }
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
    const double y = static_cast<double>(static_cast<float>(x - 1.5 / 2.75));
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
    EXPECT_NEAR(ease(Easing::SineIn, 0.5f, 0.0f, 1.0f, 1.0f), 1.0 - std::cos(kPi / 4), 1e-6);
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

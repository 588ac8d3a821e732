#pragma once
#include <cstdint>

// The easing curves in their four-argument form: t elapsed, b start value, c change
// (end - start), d duration. Kinds 0..16, 111 and 112 select the curves; any other kind
// gives the linear curve, and a duration of 0 or less gives the end value.
namespace Easing {
enum Kind : std::int32_t {
    Linear = 0,
    SineIn = 1,
    BounceOut = 2,
    BounceIn = 3,
    CubicIn = 4,
    CubicOut = 5,
    CubicInOut = 6,
    BounceInOut = 7,
    BackIn = 8,
    BackOut = 9,
    BackInOut = 10,
    CircIn = 11,
    CircOut = 12,
    CircInOut = 13,
    ExpoIn = 14,
    ExpoOut = 15,
    ExpoInOut = 16,
    SineOut = 111,
    SineInOut = 112,
};
}

float ease(std::int32_t kind, float t, float b, float c, float d);

// One float driven from `from` to `to` along an easing curve after an optional delay.
struct Tween {
    std::int32_t kind = 0;
    float elapsed = 0.0f;
    float from = 0.0f;
    float to = 0.0f;
    float change = 0.0f;
    float duration = 0.0f;
    bool active = false;
    float value = 0.0f;
    float delay = 0.0f;

    // Sets from, to, change, duration, kind and delay; elapsed 0, value = from, active.
    void start(float fromValue, float toValue, float durationSeconds, std::int32_t easingKind,
               float delaySeconds = 0.0f);
    // Moves the clock only: a positive delay shrinks (clamped at 0) and elapsed stays;
    // otherwise elapsed grows. Does nothing while inactive.
    void advanceTime(float dt);
    // Evaluates the curve at the current elapsed time; at or past the duration the value
    // becomes exactly `to` and the tween stops. Does nothing while inactive.
    void evaluate();
    // The usual step: advanceTime then evaluate.
    void advance(float dt) {
        advanceTime(dt);
        evaluate();
    }
};

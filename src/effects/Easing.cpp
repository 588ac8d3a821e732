#include "effects/Easing.hpp"

#include <cmath>

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kPi = 3.141592653589793;

// Marks a float operand that is meant to take part in double arithmetic: the curves mix the
// two on purpose, in this order, so that they give the classic formulation's exact floats.
constexpr double inDouble(float v) {
    return static_cast<double>(v);
}

// The bounce curve, all in double; the segment offsets are rounded to float as the
// classic single-precision formulation does.
double bounce(double x) {
    if (x < 1.0 / 2.75) {
        return 7.5625 * x * x;
    }
    if (x < 2.0 / 2.75) {
        const double y = inDouble(static_cast<float>(x - 1.5 / 2.75));
        return 7.5625 * y * y + 0.75;
    }
    if (x < 2.5 / 2.75) {
        const double y = inDouble(static_cast<float>(x - 2.25 / 2.75));
        return 7.5625 * y * y + 0.9375;
    }
    const double y = inDouble(static_cast<float>(x - 2.625 / 2.75));
    return 7.5625 * y * y + 0.984375;
}

float sqrtf64(float x) {
    return static_cast<float>(std::sqrt(static_cast<double>(x)));
}

} // namespace

float ease(std::int32_t kind, float t, float b, float c, float d) {
    if (!(d > 0.0f)) {
        return b + c;
    }
    switch (kind) {
    case Easing::SineIn: {
        const float p = t / d;
        const float a = static_cast<float>(inDouble(p) * kHalfPi);
        const float cs = static_cast<float>(std::cos(static_cast<double>(a)));
        return b + (c - cs * c);
    }
    case Easing::BounceOut: {
        const float p = t / d;
        return static_cast<float>(bounce(inDouble(p)) * inDouble(c) + inDouble(b));
    }
    case Easing::BounceIn: {
        const float x = (d - t) / d;
        const float bracket = static_cast<float>(bounce(inDouble(x)) * inDouble(c) + 0.0);
        return c - bracket + b;
    }
    case Easing::CubicIn: {
        const float p = t / d;
        return c * p * p * p + b;
    }
    case Easing::CubicOut: {
        const float r = t / d - 1.0f;
        return c * (r * r * r + 1.0f) + b;
    }
    case Easing::CubicInOut: {
        const float q = t / (d / 2.0f);
        const float h = c / 2.0f;
        if (q < 1.0f) {
            return h * q * q * q + b;
        }
        const float r = q - 2.0f;
        return h * (r * r * r + 2.0f) + b;
    }
    case Easing::BounceInOut: {
        if (t < d / 2.0f) {
            const float x = (d - 2.0f * t) / d;
            const float inner = static_cast<float>(bounce(inDouble(x)) * inDouble(c) + 0.0);
            return static_cast<float>(static_cast<double>(c - inner) * 0.5 + inDouble(b));
        }
        const float x = (2.0f * t - d) / d;
        const float inner = static_cast<float>(bounce(inDouble(x)) * inDouble(c));
        return static_cast<float>(inDouble(inner) * 0.5 + inDouble(c) * 0.5 + inDouble(b));
    }
    case Easing::BackIn: {
        const float p = t / d;
        return c * p * p * (2.70158f * p - 1.70158f) + b;
    }
    case Easing::BackOut: {
        const float r = t / d - 1.0f;
        return c * (r * r * (2.70158f * r + 1.70158f) + 1.0f) + b;
    }
    case Easing::BackInOut: {
        const float q = t / (d / 2.0f);
        const float h = c / 2.0f;
        if (q < 1.0f) {
            return h * (q * q * (3.5949094f * q - 2.5949094f)) + b;
        }
        const float r = q - 2.0f;
        return h * (r * r * (3.5949094f * r + 2.5949094f) + 2.0f) + b;
    }
    case Easing::CircIn: {
        const float p = t / d;
        return b - (sqrtf64(1.0f - p * p) - 1.0f) * c;
    }
    case Easing::CircOut: {
        const float r = t / d - 1.0f;
        return sqrtf64(1.0f - r * r) * c + b;
    }
    case Easing::CircInOut: {
        const float q = t / (d / 2.0f);
        const float h = c / 2.0f;
        if (q < 1.0f) {
            return b - (sqrtf64(1.0f - q * q) - 1.0f) * h;
        }
        const float r = q - 2.0f;
        return b + (sqrtf64(1.0f - r * r) + 1.0f) * h;
    }
    case Easing::ExpoIn: {
        if (t == 0.0f) {
            return b;
        }
        const float x = 10.0f * (t / d - 1.0f);
        return static_cast<float>(std::pow(2.0, static_cast<double>(x)) * inDouble(c) +
                                  inDouble(b));
    }
    case Easing::ExpoOut: {
        if (t == d) {
            return b + c;
        }
        const float x = -10.0f * t / d;
        return static_cast<float>((1.0 - std::pow(2.0, static_cast<double>(x))) * inDouble(c) +
                                  inDouble(b));
    }
    case Easing::ExpoInOut: {
        if (t == 0.0f) {
            return b;
        }
        if (t == d) {
            return b + c;
        }
        const float q = t / (d / 2.0f);
        const float h = c / 2.0f;
        const float x = 10.0f * (q - 1.0f);
        if (q < 1.0f) {
            return static_cast<float>(std::pow(2.0, static_cast<double>(x)) * inDouble(h) +
                                      inDouble(b));
        }
        const float y = -10.0f * (q - 1.0f);
        return static_cast<float>((2.0 - std::pow(2.0, static_cast<double>(y))) * inDouble(h) +
                                  inDouble(b));
    }
    case Easing::SineOut: {
        const float p = t / d;
        const float a = static_cast<float>(inDouble(p) * kHalfPi);
        const float sn = static_cast<float>(std::sin(static_cast<double>(a)));
        return sn * c + b;
    }
    case Easing::SineInOut: {
        const float a = static_cast<float>(inDouble(t) * kPi / inDouble(d));
        const float cs = static_cast<float>(std::cos(static_cast<double>(a)));
        const float h = c / 2.0f;
        return b - (cs - 1.0f) * h;
    }
    case Easing::Linear:
    default:
        return c * t / d + b;
    }
}

void Tween::start(float fromValue, float toValue, float durationSeconds, std::int32_t easingKind,
                  float delaySeconds) {
    from = fromValue;
    to = toValue;
    change = toValue - fromValue;
    duration = durationSeconds;
    kind = easingKind;
    delay = delaySeconds;
    elapsed = 0.0f;
    value = fromValue;
    active = true;
}

void Tween::advanceTime(float dt) {
    if (!active) {
        return;
    }
    if (delay > 0.0f) {
        delay -= dt;
        if (delay < 0.0f) {
            delay = 0.0f;
        }
    } else {
        elapsed += dt;
    }
}

void Tween::evaluate() {
    if (!active) {
        return;
    }
    value = ease(kind, elapsed, from, change, duration);
    if (elapsed >= duration) {
        value = to;
        active = false;
    }
}

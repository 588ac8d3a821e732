#pragma once
#include <SFML/Config.hpp>

// An opacity 0..1 as a colour's alpha byte: times 255, truncated toward zero. Values outside
// 0..1 (an overshooting curve, a fade counted past its end) are held to the byte's range.
inline sf::Uint8 alphaByte(float opacity) {
    const float scaled = opacity * 255.0f;
    if (!(scaled > 0.0f)) {
        return 0;
    }
    if (scaled >= 255.0f) {
        return 255;
    }
    return static_cast<sf::Uint8>(scaled);
}

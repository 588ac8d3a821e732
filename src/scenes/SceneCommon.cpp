#include "scenes/SceneCommon.hpp"

#include "runtime/DemoState.hpp"

void swayFrame(float clock) {
    demo.frameSprite.setRotation(5.0f * sinf64(0.5f * clock));
    const float scale = 0.025f * sinf64(clock) + 0.025f + 1.12f;
    demo.frameSprite.setScale(scale, scale);
}

void unswaySprite(sf::Sprite& sprite) {
    sprite.setRotation(0.0f);
    sprite.setScale(1.0f, 1.0f);
}

float wallGlitchAmount(float clock) {
    return 12.0f * sinf64(8.0f * clock) + 12.0f;
}

#pragma once
// Small pieces the scenes share.
#include "runtime/RenderTargets.hpp"

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <cmath>

// sin and cos in double precision, narrowed to float.
inline float sinf64(float x) {
    return static_cast<float>(std::sin(static_cast<double>(x)));
}
inline float cosf64(float x) {
    return static_cast<float>(std::cos(static_cast<double>(x)));
}

// Draws a registry sprite if there is one; a missing sprite has been reported at lookup.
inline void drawIfPresent(sf::RenderTarget& target, const sf::Sprite* sprite,
                          const sf::Shader* shader = nullptr) {
    if (sprite == nullptr) {
        return;
    }
    if (shader != nullptr) {
        target.draw(*sprite, shaded(*shader));
    } else {
        target.draw(*sprite);
    }
}

// Gives the whole picture the slow turn and breathing scale of the wall scenes.
void swayFrame(float clock);
// Undoes the sway on a sprite: no rotation, scale 1.
void unswaySprite(sf::Sprite& sprite);
// The pulse of the glitch used by the wall scenes.
float wallGlitchAmount(float clock);

// How far, in texture pixels, the glitch program at `amount` reads sideways from the pixel it
// draws (band shift, wide block jump and colour split together). It never reads up or down.
float glitchReach(float amount);

// How far, in target pixels across and down, the ripple program reads from the pixel it
// draws, at the force loadShaders gives it, over a 1920x1080 picture.
sf::Vector2f rippleReach();

// Draws `picture` (a sprite of a work target) into `target` through `shader`, limited to the
// part that can change pixels: where the picture's content lies (`content`, in the picture's
// own pixels), widened sideways by `reach`. Valid for programs whose output is transparent
// wherever every texel they read is transparent. Empty content draws nothing.
void drawPassOver(sf::RenderTarget& target, const sf::Sprite& picture, const sf::Shader& shader,
                  const sf::FloatRect& content, float reach);

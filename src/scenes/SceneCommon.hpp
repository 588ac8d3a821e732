#pragma once
// Small pieces the scenes share.
#include "effects/ElasticSprite.hpp"
#include "runtime/RenderTargets.hpp"

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <cstddef>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

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

// The program a sticker is drawn through, if any.
enum class Look { Plain, Ripple, Glitch, Blueprint, Galaxy, Vantie };
const sf::Shader* shaderFor(Look look);

// Moves a scene's timeline to step `next`, whose clock starts again at zero.
inline void enterStep(std::int32_t& step, float& stepTime, std::int32_t next) {
    step = next;
    stepTime = 0.0f;
}

// The registry sprite `key` placed at the frame's centre, or null (reported at lookup).
sf::Sprite* centredSprite(const char* key);
// Turns and scales `sprite` about the frame's centre, where it lies.
void pivotOnCentre(sf::Sprite& sprite);

// Builds `sprite` over the registry texture `key`: shaded, perspective-mapped, at the frame's
// centre about `origin`. Without its texture the sprite would be a blank white quad over the
// frame, so then `sprite` stays empty, the scene goes on without it and this returns null.
ElasticSprite* buildElasticSprite(std::optional<ElasticSprite>& sprite, const char* key,
                                  sf::Vector2f origin);
// The brick wall of the wall scenes, turning about its middle.
ElasticSprite* buildWall(std::optional<ElasticSprite>& wall);
// Moves the shared wall window on by this frame's drift and draws the wall, if there is one.
void scrollWall(std::optional<ElasticSprite>& wall, float dt);

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
// part that can change pixels: where the picture's content lies (`contents`, rectangles in the
// picture's own pixels), widened sideways by `reach`. The target is taken in bands of rows,
// each drawn across the span that the widened rectangles meeting it cover, so content that
// wanders up and down (a sine scroller) costs less than its bounding box. Valid for programs
// whose output is transparent wherever every texel they read is transparent. No content, or
// only empty rectangles, draws nothing.
void drawPassOver(sf::RenderTarget& target, const sf::Sprite& picture, const sf::Shader& shader,
                  const sf::FloatRect* contents, std::size_t count, float reach);
inline void drawPassOver(sf::RenderTarget& target, const sf::Sprite& picture,
                         const sf::Shader& shader, const sf::FloatRect& content, float reach) {
    drawPassOver(target, picture, shader, &content, 1, reach);
}

#pragma once
// Drawing helpers that several scenes share: tweened scene objects, pop-in stickers and the
// sine scroller.
#include "effects/Easing.hpp"
#include "runtime/Frame.hpp"

#include <SFML/Graphics/Color.hpp>
#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Text.hpp>

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// How fast, in pixels a second, the brick wall and the stickers on it drift across the frame.
constexpr float kDriftSpeed = 256.0f;

// A sprite with a position, alpha, rotation and uniform scale, each animated by its own
// tween, and an optional flip-book over a list of sprites.
struct SceneObject {
    sf::Sprite* sprite = nullptr;
    float x = 0.0f;
    float y = 0.0f;
    float alpha = 0.0f;
    float rotation = 0.0f;
    float scale = 0.0f;
    bool animated = false;
    float frameTime = 0.0f;
    float frameTimer = 0.0f;
    unsigned int frameIndex = 0;
    std::vector<sf::Sprite*> frames;
    Tween xTween;
    Tween yTween;
    Tween rotationTween;
    Tween alphaTween;
    Tween scaleTween;
};

// Gives `object` the registry sprite `key` at (x, y) with `alpha`, upright at scale 1 and
// without a flip-book.
void placeSceneObject(SceneObject& object, const char* key, float x, float y, float alpha);
void updateSceneObject(SceneObject& object, float dt);
// Draws into frameTarget, through `shader` when one is given.
void drawSceneObject(const SceneObject& object, const sf::Shader* shader);

// A scene object that waits invisible for its delay, pops in (alpha, scale and rotation ease
// to their targets within a second, optionally with a star burst), may grow a paint drip and
// then drifts right with the wall.
struct Sticker : SceneObject {
    Tween dripOffsetTween;
    Tween dripStretchTween;
    const sf::Shader* shader = nullptr;
    float textureHeight = 0.0f;
    float popInDelay = 0.0f;
    bool dripEnabled = false;
    float targetAlpha = 1.0f;
    float targetScale = 1.0f;
    float targetRotation = 0.0f;
    float dripDelay = 1.5f;
    bool dripStarted = false;
    float dripOffset = 0.0f;
    float dripStretch = 1.0f;
    bool burst = false;
};

void addSticker(sf::Sprite* sprite, float x, float y, float popInDelay, float alpha, float scale,
                float rotation, float targetAlpha, float targetScale, float targetRotation,
                bool dripEnabled, bool burst, const sf::Shader* shader);
void updateSticker(Sticker& sticker, float dt);
// Updates every sticker of the list in order.
void updateStickers(float dt);
void drawStickers();
// Empties the sticker list; later addSticker calls start a new set.
void clearStickers();

// A message drawn one character at a time along a sine wave, with an optional dark shadow
// pass running a quarter period ahead.
struct Scroller {
    sf::Text scrollerText;
    std::string scrollerMessage;
    float scrollerX = kFrameWidthF;
    float scrollerY = 400.0f;
    float scrollerSpeed = 0.0f;
    bool scrollerActive = false;
    float scrollerPhase = 0.0f;
    bool scrollerShadow = true;
    float scrollerAmplitude = 190.0f;
    sf::Color scrollerFill = sf::Color(255, 255, 255, 255);
    sf::Color scrollerOutline = sf::Color(0, 0, 0, 255);
    // Where the last drawScroller drew, in target pixels: the bounds of each letter it drew
    // (the last one grows to take in any beyond the table's size).
    std::array<sf::FloatRect, 64> drawnAreas;
    std::size_t drawnAreaCount = 0;
};

void advanceScroller(float dt);
void drawScroller(sf::RenderTexture& target);

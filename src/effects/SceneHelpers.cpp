#include "effects/SceneHelpers.hpp"

#include "assets/SpriteManager.hpp"
#include "effects/ParticleManager.hpp"
#include "runtime/Colour.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/RenderTargets.hpp"

#include <algorithm>
#include <cmath>

namespace {

// Advances a tween by the shared rule and copies its value while it ran this frame.
void step(Tween& tween, float dt, float& property) {
    if (tween.active) {
        tween.advance(dt);
        property = tween.value;
    }
}

} // namespace

void placeSceneObject(SceneObject& object, const char* key, float x, float y, float alpha) {
    object.sprite = SpriteManager::get(key);
    object.x = x;
    object.y = y;
    object.alpha = alpha;
    object.rotation = 0.0f;
    object.scale = 1.0f;
    object.animated = false;
}

void updateSceneObject(SceneObject& object, float dt) {
    step(object.xTween, dt, object.x);
    step(object.yTween, dt, object.y);
    step(object.scaleTween, dt, object.scale);
    step(object.rotationTween, dt, object.rotation);
    step(object.alphaTween, dt, object.alpha);

    if (object.animated && !object.frames.empty()) {
        object.frameTimer -= dt;
        if (object.frameTimer <= 0.0f) {
            object.frameIndex += 1;
            object.frameTimer = object.frameTime;
            if (object.frameIndex >= object.frames.size()) {
                object.frameIndex = 0;
            }
            object.sprite = object.frames[object.frameIndex];
        }
    }
}

void drawSceneObject(const SceneObject& object, const sf::Shader* shader) {
    if (object.sprite == nullptr) {
        return;
    }
    sf::Sprite& sprite = *object.sprite;
    sprite.setPosition(object.x, object.y);
    sprite.setScale(object.scale, object.scale);
    sprite.setRotation(object.rotation);
    sprite.setColor(sf::Color(255, 255, 255, alphaByte(object.alpha)));
    if (shader != nullptr) {
        demo.frameTarget.draw(sprite, shaded(*shader));
    } else {
        demo.frameTarget.draw(sprite);
    }
}

void addSticker(sf::Sprite* sprite, float x, float y, float popInDelay, float alpha, float scale,
                float rotation, float targetAlpha, float targetScale, float targetRotation,
                bool dripEnabled, bool burst, const sf::Shader* shader) {
    Sticker sticker;
    sticker.sprite = sprite;
    sticker.x = x;
    sticker.y = y;
    sticker.alpha = alpha;
    sticker.rotation = rotation;
    sticker.scale = scale;
    sticker.animated = false;
    sticker.targetAlpha = targetAlpha;
    sticker.targetScale = targetScale;
    sticker.targetRotation = targetRotation;
    sticker.dripEnabled = dripEnabled;
    sticker.burst = burst;
    sticker.dripStarted = false;
    sticker.dripDelay = 1.5f;
    // Every sticker goes through the pop-in once, on its first update.
    sticker.popInDelay = popInDelay == 0.0f ? 0.01f : popInDelay;
    sticker.textureHeight = (sprite != nullptr && sprite->getTexture() != nullptr)
                                ? static_cast<float>(sprite->getTexture()->getSize().y)
                                : 0.0f;
    sticker.shader = shader;
    demo.stickers.push_back(std::move(sticker));
}

void updateSticker(Sticker& sticker, float dt) {
    if (sticker.popInDelay > 0.0f) {
        sticker.popInDelay -= dt;
        if (sticker.popInDelay <= 0.0f) {
            sticker.popInDelay = 0.0f;
            sticker.alphaTween.start(sticker.alpha, sticker.targetAlpha, 1.0f, Easing::SineOut);
            sticker.scaleTween.start(sticker.scale, sticker.targetScale, 1.0f, Easing::ExpoOut);
            sticker.rotationTween.start(sticker.rotation, sticker.targetRotation, 1.0f,
                                        Easing::BackOut);
            if (sticker.burst) {
                if (ParticleSystem* stars = ParticleManager::get("star_particles")) {
                    for (int i = 0; i < 75; ++i) {
                        stars->emitParticleAt(sticker.x, sticker.y);
                    }
                }
            }
        }
        return;
    }

    sticker.x += kDriftSpeed * dt;
    updateSceneObject(sticker, dt);
    if (sticker.dripEnabled && !sticker.dripStarted) {
        sticker.dripDelay -= dt;
        if (sticker.dripDelay < 0.0f) {
            sticker.dripStarted = true;
            sticker.dripOffset = 0.0f;
            sticker.dripStretch = 1.0f;
            sticker.dripOffsetTween.start(0.0f, sticker.textureHeight * 0.5f + 30.0f, 1.25f,
                                          Easing::SineOut);
            sticker.dripStretchTween.start(1.0f, 3.0f, 5.0f, Easing::SineOut);
        }
    }
    step(sticker.dripOffsetTween, dt, sticker.dripOffset);
    step(sticker.dripStretchTween, dt, sticker.dripStretch);
}

void updateStickers(float dt) {
    for (auto& sticker : demo.stickers) {
        updateSticker(sticker, dt);
    }
}

void drawStickers() {
    for (auto& sticker : demo.stickers) {
        if (sticker.popInDelay > 0.0f) {
            continue; // still waiting: invisible
        }
        if (sticker.dripStarted) {
            if (sf::Sprite* drop = SpriteManager::get("drop")) {
                drop->setPosition(sticker.x - 40.0f, sticker.y + sticker.dripOffset);
                drop->setScale(1.0f, sticker.dripStretch);
                demo.frameTarget.draw(*drop);
            }
        }
        drawSceneObject(sticker, sticker.shader);
    }
}

void clearStickers() {
    demo.stickers.clear();
}

void advanceScroller(float dt) {
    Scroller& s = demo.scroller;
    if (!s.scrollerActive) {
        return;
    }
    s.scrollerPhase += dt;
    s.scrollerX += s.scrollerSpeed * dt;
}

namespace {

// One pass over the message: each character drawn on its own, the pen moved on by the width
// of that character's local bounds.
// The smallest rectangle holding both; an empty rectangle counts as nothing.
sf::FloatRect unite(const sf::FloatRect& a, const sf::FloatRect& b) {
    if (!(a.width > 0.0f) || !(a.height > 0.0f)) {
        return b;
    }
    const float left = std::min(a.left, b.left);
    const float top = std::min(a.top, b.top);
    const float right = std::max(a.left + a.width, b.left + b.width);
    const float bottom = std::max(a.top + a.height, b.top + b.height);
    return sf::FloatRect(left, top, right - left, bottom - top);
}

template <typename Wave> void scrollerPass(sf::RenderTexture& target, Wave wave) {
    Scroller& s = demo.scroller;
    const sf::FloatRect targetArea(0.0f, 0.0f, static_cast<float>(target.getSize().x),
                                   static_cast<float>(target.getSize().y));
    float x = s.scrollerX;
    float offset = 0.0f;
    char text[2] = {0, 0};
    for (char c : s.scrollerMessage) {
        text[0] = c;
        s.scrollerText.setString(text);
        const double angle = static_cast<double>(s.scrollerPhase + offset);
        const float y = s.scrollerY + s.scrollerAmplitude * static_cast<float>(wave(angle));
        s.scrollerText.setPosition(x, y);
        // A letter wholly outside the target would change no pixel: most of the message is.
        const sf::FloatRect bounds = s.scrollerText.getGlobalBounds();
        if (bounds.intersects(targetArea)) {
            target.draw(s.scrollerText);
            if (s.drawnAreaCount < s.drawnAreas.size()) {
                s.drawnAreas[s.drawnAreaCount++] = bounds;
            } else {
                s.drawnAreas.back() = unite(s.drawnAreas.back(), bounds);
            }
        }
        offset = static_cast<float>(static_cast<double>(offset) + 0.2);
        x += s.scrollerText.getLocalBounds().width;
    }
}

} // namespace

void drawScroller(sf::RenderTexture& target) {
    Scroller& s = demo.scroller;
    s.drawnAreaCount = 0;
    if (!s.scrollerActive) {
        return;
    }
    if (s.scrollerShadow) {
        const sf::Color shadow(0, 0, 0, 192);
        s.scrollerText.setFillColor(shadow);
        s.scrollerText.setOutlineColor(shadow);
        scrollerPass(target, [](double a) { return std::cos(a); });
    }
    s.scrollerText.setFillColor(s.scrollerFill);
    s.scrollerText.setOutlineColor(s.scrollerOutline);
    scrollerPass(target, [](double a) { return std::sin(a); });
}

#include "scenes/SceneCommon.hpp"

#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/Frame.hpp"

#include <algorithm>
#include <array>

const sf::Shader* shaderFor(Look look) {
    switch (look) {
    case Look::Ripple:
        return &demo.rippleShader;
    case Look::Glitch:
        return &demo.glitchShader;
    case Look::Blueprint:
        return &demo.blueprintPeephole;
    case Look::Galaxy:
        return &demo.galaxyPeephole;
    case Look::Vantie:
        return &demo.vantiePeephole;
    default:
        return nullptr;
    }
}

sf::Sprite* centredSprite(const char* key) {
    sf::Sprite* sprite = SpriteManager::get(key);
    if (sprite != nullptr) {
        sprite->setPosition(kFrameCentre);
    }
    return sprite;
}

void pivotOnCentre(sf::Sprite& sprite) {
    sprite.setOrigin(kFrameCentre);
    sprite.setPosition(kFrameCentre);
}

ElasticSprite* buildElasticSprite(std::optional<ElasticSprite>& sprite, const char* key,
                                  sf::Vector2f origin) {
    const sf::Texture* texture = TextureManager::get(key);
    if (texture == nullptr) {
        return nullptr;
    }
    ElasticSprite& built = sprite.emplace();
    built.setUseShader();
    built.setTexture(*texture, false);
    built.enablePerspective();
    built.setPosition(kFrameCentre);
    built.setOrigin(origin);
    return &built;
}

ElasticSprite* buildWall(std::optional<ElasticSprite>& wall) {
    return buildElasticSprite(wall, "brickwall", sf::Vector2f(1024.0f, 1024.0f));
}

void scrollWall(std::optional<ElasticSprite>& wall, float dt) {
    demo.wallRect.left -= kDriftSpeed * dt;
    if (wall) {
        wall->setTextureRect(demo.wallRect);
        demo.frameTarget.draw(*wall);
    }
}

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

float glitchReach(float amount) {
    // Mirrors glitch.frag: a band shifts by at most amount * 1.5 px, a wide block by at most
    // 0.125 of the width times the strength, and the red and blue reads split by at most
    // amount * 0.8 px.
    const float a = std::max(amount, 0.0f);
    const float strength = std::min(a / 128.0f, 1.0f);
    return a * 1.5f + 0.125f * kFrameWidthF * strength + a * 0.8f;
}

sf::Vector2f rippleReach() {
    // Mirrors ripple.frag: the two waves of each direction add up to at most 1.5, times
    // force * 0.0012 of the picture, at force 4.
    const float uv = 1.5f * 4.0f * 0.0012f;
    return sf::Vector2f(uv * kFrameWidthF, uv * kFrameHeightF);
}

namespace {

// The smallest rectangle holding both.
sf::IntRect bounding(const sf::IntRect& a, const sf::IntRect& b) {
    const int left = std::min(a.left, b.left);
    const int top = std::min(a.top, b.top);
    const int right = std::max(a.left + a.width, b.left + b.width);
    const int bottom = std::max(a.top + a.height, b.top + b.height);
    return sf::IntRect(left, top, right - left, bottom - top);
}

} // namespace

void drawPassOver(sf::RenderTarget& target, const sf::Sprite& picture, const sf::Shader& shader,
                  const sf::FloatRect* contents, std::size_t count, float reach) {
    // The target pixels each widened rectangle can change. Two pixels on every side cover the
    // rounding of texel reads and of the transform.
    std::array<sf::IntRect, 64> areas;
    std::size_t areaCount = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const sf::FloatRect& content = contents[i];
        if (!(content.width > 0.0f) || !(content.height > 0.0f)) {
            continue; // a transparent picture leaves every pixel as it is
        }
        const sf::FloatRect widened(content.left - reach, content.top, content.width + 2.0f * reach,
                                    content.height);
        const sf::IntRect area =
            pixelArea(picture.getTransform().transformRect(widened), 2, target);
        if (area.width <= 0 || area.height <= 0) {
            continue;
        }
        if (areaCount < areas.size()) {
            areas[areaCount++] = area;
        } else {
            areas.back() = bounding(areas.back(), area);
        }
    }
    // Bands of rows as tall as the renderer's tiles; neighbouring bands with the same span are
    // drawn together.
    constexpr int kBandRows = 64;
    const int height = static_cast<int>(target.getSize().y);
    std::array<sf::IntRect, 64> bands;
    std::size_t bandCount = 0;
    for (int top = 0; top < height; top += kBandRows) {
        const int bottom = std::min(height, top + kBandRows);
        int left = 0;
        int right = 0;
        for (std::size_t i = 0; i < areaCount; ++i) {
            const sf::IntRect& area = areas[i];
            if (area.top >= bottom || area.top + area.height <= top) {
                continue;
            }
            if (right <= left) {
                left = area.left;
                right = area.left + area.width;
            } else {
                left = std::min(left, area.left);
                right = std::max(right, area.left + area.width);
            }
        }
        if (right <= left) {
            continue;
        }
        const sf::IntRect band(left, top, right - left, bottom - top);
        sf::IntRect* last = bandCount > 0 ? &bands[bandCount - 1] : nullptr;
        if (last != nullptr && last->left == left && last->width == band.width &&
            last->top + last->height == top) {
            last->height = bottom - last->top;
        } else if (bandCount < bands.size()) {
            bands[bandCount++] = band;
        } else {
            *last = bounding(*last, band); // a target taller than the table holds
        }
    }
    drawWithinEach(target, picture, shaded(shader), bands.data(), bandCount);
}

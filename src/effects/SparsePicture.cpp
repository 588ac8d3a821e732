#include "effects/SparsePicture.hpp"

#include "runtime/DrawingClip.hpp"

#include <SFML/Graphics/Image.hpp>

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace {

struct Prepared {
    const sf::Texture* texture = nullptr;
    std::array<sf::IntRect, 4> parts;
    std::size_t partCount = 0;
    // The picture without its fully opaque edge bands (whole rows from the top and bottom,
    // whole columns from the left and right).
    sf::IntRect seeThrough;
    // Every pixel opaque and of this one colour.
    bool uniform = false;
    sf::Color colour;
};

// Whole rows (or columns) of opaque pixels from each edge: how many from the start, and where
// the opaque run at the end begins.
sf::IntRect opaqueEdgesRemoved(const sf::Image& image) {
    const int width = static_cast<int>(image.getSize().x);
    const int height = static_cast<int>(image.getSize().y);
    const sf::Uint8* pixels = image.getPixelsPtr();
    auto opaque = [&](int x, int y) {
        const std::size_t pixel = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                  static_cast<std::size_t>(x);
        return pixels[pixel * 4 + 3] == 255;
    };
    auto rowOpaque = [&](int y) {
        for (int x = 0; x < width; ++x) {
            if (!opaque(x, y)) {
                return false;
            }
        }
        return true;
    };
    auto columnOpaque = [&](int x) {
        for (int y = 0; y < height; ++y) {
            if (!opaque(x, y)) {
                return false;
            }
        }
        return true;
    };
    int top = 0;
    while (top < height && rowOpaque(top)) {
        ++top;
    }
    int bottom = height;
    while (bottom > top && rowOpaque(bottom - 1)) {
        --bottom;
    }
    int left = 0;
    while (left < width && columnOpaque(left)) {
        ++left;
    }
    int right = width;
    while (right > left && columnOpaque(right - 1)) {
        --right;
    }
    return sf::IntRect(left, top, right - left, bottom - top);
}

// A handful of pictures at most; a fixed table keeps drawing free of allocations.
std::array<Prepared, 8> prepared;
std::size_t preparedCount = 0;

// The largest rectangle of pixels with alpha 0 (row by row, the classic largest rectangle
// under a histogram of transparent run heights).
sf::IntRect largestTransparentRect(const sf::Image& image) {
    const int width = static_cast<int>(image.getSize().x);
    const int height = static_cast<int>(image.getSize().y);
    const sf::Uint8* pixels = image.getPixelsPtr();
    std::vector<int> run(static_cast<std::size_t>(width) + 1, 0);
    std::vector<int> stack;
    stack.reserve(static_cast<std::size_t>(width) + 1);
    long long bestArea = 0;
    sf::IntRect best;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t column = static_cast<std::size_t>(x);
            const std::size_t alpha =
                (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + column) * 4 + 3;
            run[column] = pixels[alpha] == 0 ? run[column] + 1 : 0;
        }
        stack.clear();
        for (int x = 0; x <= width; ++x) {
            const int h = x < width ? run[static_cast<std::size_t>(x)] : 0;
            while (!stack.empty() && run[static_cast<std::size_t>(stack.back())] >= h) {
                const int top = run[static_cast<std::size_t>(stack.back())];
                stack.pop_back();
                const int left = stack.empty() ? 0 : stack.back() + 1;
                const long long area = static_cast<long long>(top) * (x - left);
                if (area > bestArea) {
                    bestArea = area;
                    best = sf::IntRect(left, y - top + 1, x - left, top);
                }
            }
            stack.push_back(x);
        }
    }
    return best;
}

const Prepared* find(const sf::Texture* texture) {
    for (std::size_t i = 0; i < preparedCount; ++i) {
        if (prepared[i].texture == texture) {
            return &prepared[i];
        }
    }
    return nullptr;
}

} // namespace

void prepareSparsePicture(const sf::Texture* texture) {
    if (texture == nullptr || find(texture) != nullptr || preparedCount == prepared.size()) {
        return;
    }
    const sf::Image image = texture->copyToImage();
    const int width = static_cast<int>(image.getSize().x);
    const int height = static_cast<int>(image.getSize().y);
    Prepared& entry = prepared[preparedCount++];
    entry.texture = texture;
    entry.seeThrough = opaqueEdgesRemoved(image);
    const bool opaque = entry.seeThrough.width <= 0 && entry.seeThrough.height <= 0;
    const sf::IntRect hole = opaque ? sf::IntRect() : largestTransparentRect(image);
    const sf::Uint8* pixels = image.getPixelsPtr();
    const std::size_t bytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    entry.uniform = bytes > 0 && pixels[3] == 255;
    for (std::size_t i = 4; entry.uniform && i < bytes; ++i) {
        entry.uniform = pixels[i] == pixels[i % 4];
    }
    if (entry.uniform) {
        entry.colour = sf::Color(pixels[0], pixels[1], pixels[2], pixels[3]);
    }
    // Below a tenth of the picture the extra draws are not worth it: drawn whole.
    if (static_cast<long long>(hole.width) * hole.height * 10 <
        static_cast<long long>(width) * height) {
        entry.parts[entry.partCount++] = sf::IntRect(0, 0, width, height);
        return;
    }
    const int holeRight = hole.left + hole.width;
    const int holeBottom = hole.top + hole.height;
    const sf::IntRect parts[4] = {
        {0, 0, width, hole.top},                                // above the hole
        {0, holeBottom, width, height - holeBottom},            // below
        {0, hole.top, hole.left, hole.height},                  // left of it
        {holeRight, hole.top, width - holeRight, hole.height}}; // right of it
    for (const sf::IntRect& part : parts) {
        if (part.width > 0 && part.height > 0) {
            entry.parts[entry.partCount++] = part;
        }
    }
}

namespace {

// The prepared record of the sprite's texture when the sprite shows that whole texture
// unrotated, unscaled, at whole pixels, in a target with its default view; else null.
const Prepared* preparedPlacement(const sf::RenderTarget& target, const sf::Sprite& sprite, int& dx,
                                  int& dy) {
    const sf::Texture* texture = sprite.getTexture();
    const Prepared* entry = find(texture);
    const sf::IntRect rect = sprite.getTextureRect();
    const float* m = sprite.getTransform().getMatrix();
    const bool whole = rect.left == 0 && rect.top == 0 && texture != nullptr &&
                       rect.width == static_cast<int>(texture->getSize().x) &&
                       rect.height == static_cast<int>(texture->getSize().y);
    // Column-major 4x4: m[0] m[5] the scales, m[1] m[4] the shears, m[12] m[13] the move.
    const bool plainMove = m[0] == 1.0f && m[5] == 1.0f && m[1] == 0.0f && m[4] == 0.0f &&
                           std::floor(m[12]) == m[12] && std::floor(m[13]) == m[13];
    const sf::View& view = target.getView();
    const bool defaultView = view.getRotation() == 0.0f &&
                             view.getSize() == sf::Vector2f(target.getSize()) &&
                             view.getCenter() == sf::Vector2f(target.getSize()) / 2.0f &&
                             view.getViewport() == sf::FloatRect(0.0f, 0.0f, 1.0f, 1.0f);
    if (entry == nullptr || !whole || !plainMove || !defaultView) {
        return nullptr;
    }
    dx = static_cast<int>(m[12]);
    dy = static_cast<int>(m[13]);
    return entry;
}

} // namespace

sf::IntRect unhiddenArea(const sf::RenderTarget& target, const sf::Sprite* sprite) {
    const sf::IntRect all(0, 0, static_cast<int>(target.getSize().x),
                          static_cast<int>(target.getSize().y));
    int dx = 0;
    int dy = 0;
    const Prepared* entry =
        sprite != nullptr ? preparedPlacement(target, *sprite, dx, dy) : nullptr;
    if (entry == nullptr || sprite->getColor().a != 255) {
        return all;
    }
    const sf::IntRect onTarget(entry->seeThrough.left + dx, entry->seeThrough.top + dy,
                               entry->seeThrough.width, entry->seeThrough.height);
    // Bands hide only where they lie on the target; a picture moved off an edge hides nothing
    // along that edge.
    const sf::IntRect placed(dx, dy, static_cast<int>(sprite->getTexture()->getSize().x),
                             static_cast<int>(sprite->getTexture()->getSize().y));
    sf::IntRect area = all;
    if (placed.left <= 0 && placed.left + placed.width >= all.width && placed.top <= 0 &&
        placed.top + placed.height >= all.height) {
        sf::IntRect clipped;
        if (onTarget.intersects(all, clipped)) {
            area = clipped;
        } else {
            area = sf::IntRect();
        }
    }
    return area;
}

void drawSparsePicture(sf::RenderTarget& target, const sf::Sprite* sprite) {
    if (sprite == nullptr) {
        return;
    }
    int dx = 0;
    int dy = 0;
    const Prepared* entry = preparedPlacement(target, *sprite, dx, dy);
    // Under the 1x1 clip the parts would all land on the one pixel: draw the picture once.
    if (entry == nullptr || drawingClipped() || entry->partCount == 1) {
        target.draw(*sprite);
        return;
    }
    for (std::size_t i = 0; i < entry->partCount; ++i) {
        sf::IntRect area = entry->parts[i];
        area.left += dx;
        area.top += dy;
        const DrawWithin within(target, area);
        if (within.any()) {
            target.draw(*sprite);
        }
    }
}

void drawBackdrop(sf::RenderTarget& target, const sf::Sprite* sprite) {
    if (sprite == nullptr) {
        return;
    }
    int dx = 0;
    int dy = 0;
    const Prepared* entry = preparedPlacement(target, *sprite, dx, dy);
    const bool opaque = entry != nullptr && entry->seeThrough.width <= 0 &&
                        entry->seeThrough.height <= 0 && sprite->getColor() == sf::Color::White;
    const sf::Vector2u size =
        sprite->getTexture() != nullptr ? sprite->getTexture()->getSize() : sf::Vector2u();
    const bool covers = dx <= 0 && dy <= 0 &&
                        dx + static_cast<int>(size.x) >= static_cast<int>(target.getSize().x) &&
                        dy + static_cast<int>(size.y) >= static_cast<int>(target.getSize().y);
    if (!opaque || !covers) {
        drawSparsePicture(target, sprite);
        return;
    }
    // An opaque texel replaces the pixel under alpha blending, exactly as without blending.
    if (entry->uniform) {
        target.clear(entry->colour);
    } else {
        target.draw(*sprite, sf::RenderStates(sf::BlendNone));
    }
}

void forgetSparsePictures() {
    preparedCount = 0;
}

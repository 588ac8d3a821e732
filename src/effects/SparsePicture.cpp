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
};

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
            const std::size_t alpha = (static_cast<std::size_t>(y) * width + x) * 4 + 3;
            run[x] = pixels[alpha] == 0 ? run[x] + 1 : 0;
        }
        stack.clear();
        for (int x = 0; x <= width; ++x) {
            const int h = x < width ? run[x] : 0;
            while (!stack.empty() && run[stack.back()] >= h) {
                const int top = run[stack.back()];
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
    const sf::IntRect hole = largestTransparentRect(image);
    // Below a tenth of the picture the extra draws are not worth it.
    if (static_cast<long long>(hole.width) * hole.height * 10 <
        static_cast<long long>(width) * height) {
        return;
    }
    Prepared& entry = prepared[preparedCount++];
    entry.texture = texture;
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

void drawSparsePicture(sf::RenderTarget& target, const sf::Sprite* sprite) {
    if (sprite == nullptr) {
        return;
    }
    const sf::Texture* texture = sprite->getTexture();
    const Prepared* entry = find(texture);
    const sf::IntRect rect = sprite->getTextureRect();
    const float* m = sprite->getTransform().getMatrix();
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
    // Under the 1x1 clip the parts would all land on the one pixel: draw the picture once.
    if (entry == nullptr || !whole || !plainMove || !defaultView || drawingClipped()) {
        target.draw(*sprite);
        return;
    }
    const int dx = static_cast<int>(m[12]);
    const int dy = static_cast<int>(m[13]);
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

void forgetSparsePictures() {
    preparedCount = 0;
}

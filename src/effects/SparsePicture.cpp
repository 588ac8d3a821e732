#include "effects/SparsePicture.hpp"

#include "runtime/DrawingClip.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace {

struct Prepared {
    const sf::Texture* texture = nullptr;
    std::array<sf::IntRect, 48> parts;
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

// Rows are taken in bands of this many: each band is drawn without the widest run of columns
// that is transparent throughout the band. Bands follow a rounded hole closely; each part is
// one more draw, so they are not thinner than the renderer's 64-pixel tiles.
constexpr int kBandRows = 64;

// The parts of the picture to draw: per band of rows, what lies left and right of its widest
// transparent run of columns; bands with the same run are drawn together.
void findParts(const sf::Image& image, Prepared& entry) {
    const int width = static_cast<int>(image.getSize().x);
    const int height = static_cast<int>(image.getSize().y);
    const sf::Uint8* pixels = image.getPixelsPtr();
    std::vector<bool> clearColumn(static_cast<std::size_t>(width));
    struct Band {
        int top, bottom, holeLeft, holeRight;
    };
    std::vector<Band> bands;
    long long skipped = 0;
    for (int top = 0; top < height; top += kBandRows) {
        const int bottom = std::min(height, top + kBandRows);
        std::fill(clearColumn.begin(), clearColumn.end(), true);
        for (int y = top; y < bottom; ++y) {
            const sf::Uint8* row =
                pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
            for (std::size_t x = 0; x < clearColumn.size(); ++x) {
                clearColumn[x] = clearColumn[x] && row[x * 4 + 3] == 0;
            }
        }
        int holeLeft = 0;
        int holeRight = 0;
        for (int x = 0; x < width;) {
            if (!clearColumn[static_cast<std::size_t>(x)]) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < width && clearColumn[static_cast<std::size_t>(x)]) {
                ++x;
            }
            if (x - start > holeRight - holeLeft) {
                holeLeft = start;
                holeRight = x;
            }
        }
        skipped += static_cast<long long>(holeRight - holeLeft) * (bottom - top);
        if (!bands.empty() && bands.back().holeLeft == holeLeft &&
            bands.back().holeRight == holeRight) {
            bands.back().bottom = bottom;
        } else {
            bands.push_back({top, bottom, holeLeft, holeRight});
        }
    }
    // Below a tenth of the picture, or with more parts than the table holds, the extra draws
    // are not worth it: drawn whole.
    std::size_t needed = 0;
    for (const Band& band : bands) {
        needed += band.holeRight > band.holeLeft ? 2 : 1;
    }
    if (skipped * 10 < static_cast<long long>(width) * height || needed > entry.parts.size()) {
        entry.parts[entry.partCount++] = sf::IntRect(0, 0, width, height);
        return;
    }
    for (const Band& band : bands) {
        const int rows = band.bottom - band.top;
        const sf::IntRect pieces[2] = {
            {0, band.top, band.holeLeft, rows},                        // left of the hole
            {band.holeRight, band.top, width - band.holeRight, rows}}; // right of it
        if (band.holeRight <= band.holeLeft) {
            entry.parts[entry.partCount++] = sf::IntRect(0, band.top, width, rows);
            continue;
        }
        for (const sf::IntRect& piece : pieces) {
            if (piece.width > 0 && piece.height > 0) {
                entry.parts[entry.partCount++] = piece;
            }
        }
    }
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

void prepareSparsePicture(const sf::Texture* texture, const sf::Image* picture) {
    if (texture == nullptr || find(texture) != nullptr || preparedCount == prepared.size()) {
        return;
    }
    const bool pictureFits = picture != nullptr && picture->getSize() == texture->getSize();
    const sf::Image readBack = pictureFits ? sf::Image() : texture->copyToImage();
    const sf::Image& image = pictureFits ? *picture : readBack;
    const int width = static_cast<int>(image.getSize().x);
    const int height = static_cast<int>(image.getSize().y);
    // A slot freed by forgetSparsePictures still holds its earlier picture's parts.
    Prepared& entry = prepared[preparedCount++];
    entry = Prepared{};
    entry.texture = texture;
    entry.seeThrough = opaqueEdgesRemoved(image);
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
    findParts(image, entry);
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
    if (entry == nullptr || entry->partCount == 1) {
        target.draw(*sprite);
        return;
    }
    drawWithinEach(target, *sprite, sf::RenderStates::Default, entry->parts.data(),
                   entry->partCount, sf::Vector2i(dx, dy));
}

bool drawBackdrop(sf::RenderTarget& target, const sf::Sprite* sprite) {
    if (sprite == nullptr) {
        return false;
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
        return false;
    }
    // An opaque texel replaces the pixel under alpha blending, exactly as without blending.
    if (entry->uniform) {
        target.clear(entry->colour);
    } else {
        target.draw(*sprite, sf::RenderStates(sf::BlendNone));
    }
    return true;
}

void forgetSparsePictures() {
    preparedCount = 0;
}

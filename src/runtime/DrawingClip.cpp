#include "runtime/DrawingClip.hpp"

#include "runtime/DemoState.hpp"

#include <SFML/OpenGL.hpp>

#include <algorithm>
#include <cmath>

namespace {

bool clippedNow = false;

// The scissor box is state of each target's own GL context.
void setScissor(sf::RenderTarget& target, bool on) {
    if (!target.setActive(true)) {
        return;
    }
    if (on) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 1, 1);
    } else {
        glDisable(GL_SCISSOR_TEST);
    }
}

} // namespace

void setDrawingClipped(bool clipped) {
    if (clipped == clippedNow) {
        return;
    }
    clippedNow = clipped;
    setScissor(demo.frameTarget, clipped);
    setScissor(demo.workTargetB, clipped);
    setScissor(demo.workTargetC, clipped);
    if (demo.window != nullptr) {
        setScissor(*demo.window, clipped);
    }
}

bool drawingClipped() {
    return clippedNow;
}

DrawWithin::DrawWithin(sf::RenderTarget& drawTarget, const sf::IntRect& area) : target(drawTarget) {
    const int width = static_cast<int>(target.getSize().x);
    const int height = static_cast<int>(target.getSize().y);
    const int left = std::max(area.left, 0);
    const int top = std::max(area.top, 0);
    const int right = std::min(area.left + area.width, width);
    const int bottom = std::min(area.top + area.height, height);
    nonEmpty = right > left && bottom > top;
    if (!nonEmpty || clippedNow || !target.setActive(true)) {
        return;
    }
    if (left == 0 && top == 0 && right == width && bottom == height) {
        return; // the whole target: nothing to save
    }
    enabled = true;
    glEnable(GL_SCISSOR_TEST);
    // GL counts rows from the bottom, in the window and in SFML's render textures alike.
    glScissor(left, height - bottom, right - left, bottom - top);
}

DrawWithin::~DrawWithin() {
    if (enabled && target.setActive(true)) {
        glDisable(GL_SCISSOR_TEST);
    }
}

void drawWithinEach(sf::RenderTarget& target, const sf::Drawable& drawable,
                    const sf::RenderStates& states, const sf::IntRect* areas, std::size_t count,
                    sf::Vector2i offset) {
    for (std::size_t i = 0; i < count; ++i) {
        const sf::IntRect area(areas[i].left + offset.x, areas[i].top + offset.y, areas[i].width,
                               areas[i].height);
        const DrawWithin within(target, area);
        if (within.any()) {
            target.draw(drawable, states);
            if (clippedNow) {
                return;
            }
        }
    }
}

sf::IntRect pixelArea(const sf::FloatRect& bounds, int margin, const sf::RenderTarget& target) {
    if (!(bounds.width > 0.0f) || !(bounds.height > 0.0f)) {
        return sf::IntRect();
    }
    const float limit = 1.0e6f; // keeps the conversion to int defined for far-away bounds
    auto clampf = [limit](float v) { return std::max(-limit, std::min(limit, v)); };
    const int left = static_cast<int>(std::floor(clampf(bounds.left))) - margin;
    const int top = static_cast<int>(std::floor(clampf(bounds.top))) - margin;
    const int right = static_cast<int>(std::ceil(clampf(bounds.left + bounds.width))) + margin;
    const int bottom = static_cast<int>(std::ceil(clampf(bounds.top + bounds.height))) + margin;
    const int width = static_cast<int>(target.getSize().x);
    const int height = static_cast<int>(target.getSize().y);
    const int l = std::max(left, 0);
    const int t = std::max(top, 0);
    const int r = std::min(right, width);
    const int b = std::min(bottom, height);
    if (r <= l || b <= t) {
        return sf::IntRect();
    }
    return sf::IntRect(l, t, r - l, b - t);
}

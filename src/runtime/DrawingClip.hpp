#pragma once
#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/RenderTarget.hpp>

#include <cstddef>

// Limits every later clear and draw into the window and the three render targets to a single
// pixel (a 1x1 scissor box), or lifts the limit; drawFrame leaves its clears out meanwhile.
// The show's logic runs unchanged at a fraction of the cost: the capture tool uses it for frames
// before the part it records, the benchmark for allocation audits, the tests for timelines over
// thousands of frames. The show itself uses scissor boxes only through DrawWithin below. Switching
// is cheap when the state does not change.
void setDrawingClipped(bool clipped);
bool drawingClipped();

// While it lives, draws into `target` touch only the pixels of `area` (target pixels, top-left
// origin, clamped to the target). The picture is the same as without it wherever the draws
// could change a pixel: it only saves the software renderer the fragments that are known to
// leave their pixel as it was (transparent ones under alpha blending). Inside a clipped
// stretch (setDrawingClipped) the 1x1 box stays in force and this does nothing.
class DrawWithin {
  public:
    DrawWithin(sf::RenderTarget& target, const sf::IntRect& area);
    ~DrawWithin();
    DrawWithin(const DrawWithin&) = delete;
    DrawWithin& operator=(const DrawWithin&) = delete;
    // False when the area holds no pixel of the target: a draw would change nothing.
    bool any() const { return nonEmpty; }

  private:
    sf::RenderTarget& target;
    bool enabled = false;
    bool nonEmpty = false;
};

// Draws `drawable` into `target` once for each of `areas` (disjoint target pixel rectangles,
// moved by `offset`), limited to that area: the pixels of one unlimited draw wherever the
// areas hold everything the draw can change. Under the 1x1 clip every draw would land on its
// one pixel, so the drawable is drawn once, if any area holds a pixel of the target.
void drawWithinEach(sf::RenderTarget& target, const sf::Drawable& drawable,
                    const sf::RenderStates& states, const sf::IntRect* areas, std::size_t count,
                    sf::Vector2i offset = sf::Vector2i());

// The pixels that a draw of the target-space rectangle `bounds` can touch, widened by
// `margin` pixels on every side and clamped to the target. Empty bounds give an empty area.
sf::IntRect pixelArea(const sf::FloatRect& bounds, int margin, const sf::RenderTarget& target);

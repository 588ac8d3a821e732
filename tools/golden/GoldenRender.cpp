#include "golden/GoldenFrames.hpp"

#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/Startup.hpp"

#include <SFML/OpenGL.hpp>

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

#include <optional>

namespace golden {

bool renderStills(sf::RenderWindow& window,
                  const std::function<void(const Moment&, const sf::Image&)>& still) {
    startUp(window);
    window.setVerticalSyncEnabled(false);
    const float dt = static_cast<float>(1.0 / kFramesPerSecond);
    const std::vector<Moment>& list = moments();
    const unsigned width = window.getSize().x;
    const unsigned height = window.getSize().y;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);

    // Held across the frames as the show's own loop holds it.
    std::optional<FrameContextHold> hold;
    hold.emplace();
    std::size_t next = 0;
    for (std::int64_t frame = 0; next < list.size() && demo.running; ++frame) {
        const bool golden = list[next].frame == frame;
        setDrawingClipped(!golden);
        renderFrame(dt);
        if (golden) {
            // The back buffer, before presenting leaves it undefined.
            window.setActive(true);
            glPixelStorei(GL_PACK_ALIGNMENT, 4);
            glReadBuffer(GL_BACK);
            glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_BGRA,
                         GL_UNSIGNED_BYTE, pixels.data());
            still(list[next], shrink(pixels.data(), width, height));
            ++next;
        }
        window.display();
    }
    hold.reset();
    setDrawingClipped(false);
    return next == list.size();
}

} // namespace golden

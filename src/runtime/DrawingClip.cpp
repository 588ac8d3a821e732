#include "runtime/DrawingClip.hpp"

#include "runtime/DemoState.hpp"

#include <SFML/OpenGL.hpp>

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

#pragma once
#include <SFML/Window/GlResource.hpp>

// Darkens the picture from fully visible to black in 1/speed seconds.
void fadeToBlack(float speed);
// Starts fully black and clears in 1/speed seconds.
void fadeFromBlack(float speed);

// All of one frame's work for the frame time `dt` except presenting: Escape and close
// events, the fade step, clearing, the scene of `sceneIndex`, and composing its picture and
// the fade overlay into the window. The clock-driven loop and the fixed-step tools share it.
void renderFrame(float dt);
// The two halves of renderFrame. readShowInput ends the show on Escape or a close request
// (and drops every other window event); drawFrame is the rest. A tool that handles the
// window's events itself (the preview) calls drawFrame alone.
void readShowInput();
void drawFrame(float dt);
// renderFrame, then present the window.
void runFrame(float dt);
// The clock-driven loop: one frame per displayed frame until the show ends.
void runFrameLoop();

// Keeps SFML's per-thread record of the current GL context alive while it lives. Without an
// outer holder SFML creates and frees that record for every texture bind, uniform and clear,
// which is heap traffic on every frame; the loop (and the tools that step frames) hold one.
class FrameContextHold : sf::GlResource {
    TransientContextLock lock;
};

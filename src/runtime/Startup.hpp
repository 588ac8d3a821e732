#pragma once
#include <SFML/Graphics/RenderWindow.hpp>

// The show's title: the window's, and the video's.
inline constexpr const char* kShowTitle = "Ain't zilchy but a (symbol) klomp";
// The scrollers' font.
inline constexpr const char* kFontFile = "assets/colored-crayons/colored-crayons.ttf";
// The characters of the scroller messages, but for the full stops of one message.
inline constexpr const char* kScrollerLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ ";

// Everything before the frame loop: configuration, the window and its black first frame, the
// render targets, the registries, the fade overlay and the mask, the shaders, the font and
// the scroller, then the warm-up of the drawing (prepareDrawing). Nothing here stops the
// program: every loader reports and carries on.
void startUp(sf::RenderWindow& window);

// The stages of start-up, for tools that time them. Each runs the steps named.
void startUpWindow(sf::RenderWindow& window); // configuration, window, black frame, targets
void startUpRegistries();                     // the five registries, overlay, mask
void startUpShadersAndFont();                 // shaders, font, scroller, glyph preparation

// Undoes the last two stages and puts the show back where start-up leaves it: the registries
// emptied, the first scene with no fade, no stickers and fresh scene states, the C library's
// random sequence from its start. The window, the render targets and the configuration stay.
// A tool that plays the show more than once in one process (the preview) calls this and then
// startUpRegistries and startUpShadersAndFont again; the next frame is then the show's first.
void tearDownShow();

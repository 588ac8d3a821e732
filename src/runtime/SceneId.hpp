#pragma once
#include <cstdint>

// Index of a scene: -1 intro, 0 title, 1 brick-wall scroller, 2 vinyl scroller, 3 party,
// 4 finale, 5 quit.
using SceneId = std::int32_t;

namespace Scene {
constexpr SceneId Intro = -1;
constexpr SceneId Title = 0;
constexpr SceneId WallScroller = 1;
constexpr SceneId VinylScroller = 2;
constexpr SceneId Party = 3;
constexpr SceneId Finale = 4;
constexpr SceneId Quit = 5;
} // namespace Scene

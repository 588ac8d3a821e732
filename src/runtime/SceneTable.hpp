#pragma once
// The show's scenes in order, each with its name, its frame function and the step its
// timeline stands at: the frame loop runs scenes from here, and the tools name them from here.
#include "runtime/SceneId.hpp"

#include <cstdint>

struct SceneEntry {
    SceneId id;
    const char* name;
    SceneId (*frame)(float dt); // runs one frame; gives the scene of the next frame
    std::int32_t (*step)();     // the timeline step as the scene's state holds it now
};

// The entry of `scene`, or null for the quit index and any other id.
const SceneEntry* sceneEntry(SceneId scene);
// "intro", "title", "wall scroller", "vinyl scroller", "party", "finale"; "quit" otherwise.
const char* sceneName(SceneId scene);
// The timeline step of `scene` (0 for the quit index).
std::int32_t sceneStep(SceneId scene);

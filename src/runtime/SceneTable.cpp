#include "runtime/SceneTable.hpp"

#include "runtime/DemoState.hpp"

namespace {

const SceneEntry kScenes[] = {
    {Scene::Intro, "intro", introScene, [] { return demo.intro.introStep; }},
    {Scene::Title, "title", titleScene, [] { return demo.title.titleStep; }},
    {Scene::WallScroller, "wall scroller", wallScrollerScene,
     [] { return demo.wallScroller.wallScrollerStep; }},
    {Scene::VinylScroller, "vinyl scroller", vinylScrollerScene,
     [] { return demo.vinyl.vinylStep; }},
    {Scene::Party, "party", partyScene, [] { return demo.party.partyStep; }},
    {Scene::Finale, "finale", finaleScene, [] { return demo.finale.finaleStep; }},
};

} // namespace

const SceneEntry* sceneEntry(SceneId scene) {
    for (const SceneEntry& entry : kScenes) {
        if (entry.id == scene) {
            return &entry;
        }
    }
    return nullptr;
}

const char* sceneName(SceneId scene) {
    const SceneEntry* entry = sceneEntry(scene);
    return entry != nullptr ? entry->name : "quit";
}

std::int32_t sceneStep(SceneId scene) {
    const SceneEntry* entry = sceneEntry(scene);
    return entry != nullptr ? entry->step() : 0;
}

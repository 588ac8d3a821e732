// A particle system's definition file: the bytes become the file that loadFromFile reads;
// a system that loads is then run through stream, burst, stall and draw frames.
#include "FuzzSupport.hpp"
#include "ParticleExercise.hpp"

#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "effects/ParticleSystem.hpp"
#include "runtime/DemoState.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        fuzz::setUpOnce();
        TextureManager::load("assets/textures.json");
        SpriteManager::load("assets/sprites.json");
        demo.frameTarget.create(64, 64);
        return true;
    }();
    (void)ready;
    ParticleSystem system;
    if (system.loadFromFile(fuzz::writeInput("system.json", data, size), 100)) {
        fuzz::exerciseParticleSystem("system.json", system);
    }
    return 0;
}

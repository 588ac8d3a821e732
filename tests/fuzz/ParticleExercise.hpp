#pragma once
// Runs a loaded particle system through the show's kinds of frames: a switched-on stream, a
// burst, ordinary frames, a 10 s stall, and drawing; checks that the pool never grows.
#include "FuzzSupport.hpp"

#include "effects/ParticleSystem.hpp"

#include <string>

namespace fuzz {

inline void exerciseParticleSystem(const std::string& name, ParticleSystem& system) {
    if (system.pool().size() != static_cast<std::size_t>(system.capacity)) {
        fail(name + ": pool of " + std::to_string(system.pool().size()) + " slots, capacity " +
             std::to_string(system.capacity));
    }
    system.emitting = true;
    system.spawnAccumulator = 0.0f;
    for (float dt : {0.0f, 0.016f, 0.25f}) {
        system.update(dt);
    }
    for (int i = 0; i < 5; ++i) {
        system.emitParticleAt(960.0f, 540.0f);
    }
    system.update(10.0f); // a stalled frame
    system.update(0.016f);
    system.draw();
    system.emitting = false;
    system.update(0.5f);
    if (system.liveCount() < 0 || system.liveCount() > system.capacity) {
        fail(name + ": " + std::to_string(system.liveCount()) + " live particles in a pool of " +
             std::to_string(system.capacity));
    }
}

} // namespace fuzz

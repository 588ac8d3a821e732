#pragma once
#include "effects/ParticleSystem.hpp"

#include <nlohmann/json_fwd.hpp>

#include <map>
#include <string>

// The named particle systems of the show, filled once from assets/particles.json. Systems
// are kept by value in key order; update and draw visit them in that order.
class ParticleManager {
  public:
    static bool load(const std::string& path);
    static bool readEntries(const nlohmann::json& document);
    // Forgets every particle system, so that load can fill the registry again.
    static void clear();
    static ParticleSystem* get(const std::string& key);
    static void update(float dt);
    static void draw();

  private:
    // Read-only views for checks, tools and tests (assets/RegistryViews.hpp).
    friend struct RegistryViews;
    static std::map<std::string, ParticleSystem> systems;
};

#include "effects/ParticleManager.hpp"

#include "assets/Definitions.hpp"
#include "runtime/Printable.hpp"

#include <iostream>

namespace {
const DefinitionFormat kFormat{
    "ParticleManager: ",          "ParticleSystem", "particlesystems", "file", nullptr,
    "Missing FILE property for ["};
}

std::map<std::string, ParticleSystem> ParticleManager::systems;

bool ParticleManager::load(const std::string& path) {
    return loadDefinitions(kFormat, path, &readEntries);
}

bool ParticleManager::readEntries(const nlohmann::json& document) {
    return readDefinitionEntries(kFormat, document,
                                 [](const std::string& key, const nlohmann::json& entry) {
                                     const std::string file = entry.at("file").get<std::string>();
                                     const int instances = readOptionalInt(entry, "instances", 100);
                                     if (instances < 0) {
                                         std::cerr << "ParticleManager: Negative instances for ["
                                                   << printable(key) << "]" << std::endl;
                                         return;
                                     }
                                     ParticleSystem system;
                                     if (system.loadFromFile(file, instances)) {
                                         systems.emplace(key, std::move(system));
                                     }
                                 });
}

void ParticleManager::clear() {
    systems.clear();
}

ParticleSystem* ParticleManager::get(const std::string& key) {
    return lookUpEntry(systems, key, kFormat);
}

void ParticleManager::update(float dt) {
    for (auto& entry : systems) {
        entry.second.update(dt);
    }
}

void ParticleManager::draw() {
    for (auto& entry : systems) {
        entry.second.draw();
    }
}

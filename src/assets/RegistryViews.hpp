#pragma once
// Read-only views into the sound and music registries for the asset check, the capture tool
// and the tests. The show itself plays and stops sounds and songs by key: the registries' own
// interface hands out no pool, voice or song entry.
#include "assets/MusicManager.hpp"
#include "assets/SoundManager.hpp"

#include <string>

struct RegistryViews {
    // The pool registered under `key`, or null, without a diagnostic.
    static const SoundPool* soundPool(const std::string& key) { return SoundManager::pool(key); }
    // What the registry holds for the song `key`, or null.
    static const MusicEntry* musicEntry(const std::string& key) { return MusicManager::entry(key); }
    // The one music stream of the show; null when the machine has no audio device.
    static sf::Music* currentMusic() { return MusicManager::currentMusic(); }
};

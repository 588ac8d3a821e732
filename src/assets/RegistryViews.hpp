#pragma once
// Read-only views into the registries for the asset check, the capture tool and the tests.
// The show itself plays and stops sounds and songs by key and looks up single entries: the
// registries' own interface hands out no pool, voice or song entry and no walk over entries.
#include "assets/MusicManager.hpp"
#include "assets/SoundManager.hpp"
#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "effects/ParticleManager.hpp"

#include <string>

struct RegistryViews {
    // The pool registered under `key`, or null, without a diagnostic.
    static const SoundPool* soundPool(const std::string& key) { return SoundManager::pool(key); }
    // What the registry holds for the song `key`, or null.
    static const MusicEntry* musicEntry(const std::string& key) { return MusicManager::entry(key); }
    // The one music stream of the show; null when the machine has no audio device.
    static sf::Music* currentMusic() { return MusicManager::currentMusic(); }

    // Call `visit(key, entry)` for every registered entry, in the registry's own order.
    template <typename Visit> static void forEachTexture(Visit visit) {
        visitAll(TextureManager::textures, visit);
    }
    template <typename Visit> static void forEachSprite(Visit visit) {
        visitAll(SpriteManager::sprites, visit);
    }
    template <typename Visit> static void forEachSoundPool(Visit visit) {
        visitAll(SoundManager::pools, visit);
    }
    template <typename Visit> static void forEachSong(Visit visit) {
        visitAll(MusicManager::entries, visit);
    }
    template <typename Visit> static void forEachParticleSystem(Visit visit) {
        visitAll(ParticleManager::systems, visit);
    }

  private:
    template <typename Value> static const Value* view(const std::unique_ptr<Value>& entry) {
        return entry.get();
    }
    template <typename Value> static const Value& view(const Value& entry) { return entry; }
    template <typename Map, typename Visit> static void visitAll(const Map& entries, Visit& visit) {
        for (const auto& [key, entry] : entries) {
            visit(key, view(entry));
        }
    }
};

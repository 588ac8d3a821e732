#pragma once
// Read and reset access to the registries' private maps for the fuzz targets. An explicit
// template instantiation may name private members; the friend function it defines hands out
// a pointer to the member. This keeps the registries' interface free of test-only operations.
#include "assets/MusicManager.hpp"
#include "assets/SoundManager.hpp"
#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "effects/ParticleManager.hpp"

#include <map>
#include <memory>
#include <string>
#include <unordered_map>

namespace fuzz::access {

template <typename Tag, typename Tag::Type Member> struct Expose {
    friend typename Tag::Type member(Tag) { return Member; }
};

struct Textures {
    using Type = std::unordered_map<std::string, std::unique_ptr<sf::Texture>>*;
    friend Type member(Textures);
};
struct Sprites {
    using Type = std::unordered_map<std::string, std::unique_ptr<sf::Sprite>>*;
    friend Type member(Sprites);
};
struct Sounds {
    using Type = std::unordered_map<std::string, std::unique_ptr<SoundPool>>*;
    friend Type member(Sounds);
};
struct Songs {
    using Type = std::unordered_map<std::string, std::unique_ptr<MusicEntry>>*;
    friend Type member(Songs);
};
struct Particles {
    using Type = std::map<std::string, ParticleSystem>*;
    friend Type member(Particles);
};

template struct Expose<Textures, &TextureManager::textures>;
template struct Expose<Sprites, &SpriteManager::sprites>;
template struct Expose<Sounds, &SoundManager::pools>;
template struct Expose<Songs, &MusicManager::entries>;
template struct Expose<Particles, &ParticleManager::systems>;

} // namespace fuzz::access

namespace fuzz {

template <typename Visit> void forEachTexture(Visit visit) {
    for (const auto& [key, texture] : *member(access::Textures{})) {
        visit(key, texture.get());
    }
}
template <typename Visit> void forEachSprite(Visit visit) {
    for (const auto& [key, sprite] : *member(access::Sprites{})) {
        visit(key, sprite.get());
    }
}
template <typename Visit> void forEachSoundPool(Visit visit) {
    for (const auto& [key, pool] : *member(access::Sounds{})) {
        visit(key, pool.get());
    }
}
template <typename Visit> void forEachSong(Visit visit) {
    for (const auto& [key, song] : *member(access::Songs{})) {
        visit(key, song.get());
    }
}
template <typename Visit> void forEachParticleSystem(Visit visit) {
    for (auto& [key, system] : *member(access::Particles{})) {
        visit(key, system);
    }
}

} // namespace fuzz

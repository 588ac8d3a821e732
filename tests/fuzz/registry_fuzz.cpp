// One registry's definition document. This source is built once per registry and input kind:
//   KLOMP_FUZZ_FROM_FILE=1: the bytes are written to a file and the registry's load(path)
//     reads it, parsing included;
//   KLOMP_FUZZ_FROM_FILE=0: the bytes are decoded into a document (fuzz::decodeDocument) and
//     the registry's readEntries walks it.
// KLOMP_FUZZ_REGISTRY picks the registry: 1 textures, 2 sprites, 3 sounds, 4 music,
// 5 particle systems. Whatever the document holds, reading it must report and return, and
// what got registered must be usable.
#include "FuzzSupport.hpp"
#include "ParticleExercise.hpp"

#include "assets/AudioOutput.hpp"
#include "assets/MusicManager.hpp"
#include "assets/RegistryViews.hpp"
#include "assets/SoundManager.hpp"
#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "effects/ParticleManager.hpp"
#include "runtime/DemoState.hpp"

namespace {

#if KLOMP_FUZZ_REGISTRY == 1
using Registry = TextureManager;
void prepare() {}
void check() {
    RegistryViews::forEachTexture([](const std::string& key, const sf::Texture* texture) {
        if (texture == nullptr || texture->getSize().x == 0 || texture->getSize().y == 0) {
            fuzz::fail("texture " + key + " registered without an image");
        }
    });
}

#elif KLOMP_FUZZ_REGISTRY == 2
using Registry = SpriteManager;
void prepare() {
    TextureManager::load("assets/textures.json");
}
void check() {
    RegistryViews::forEachSprite([](const std::string& key, const sf::Sprite* sprite) {
        if (sprite == nullptr || sprite->getTexture() == nullptr) {
            fuzz::fail("sprite " + key + " registered without a texture");
        }
    });
}

#elif KLOMP_FUZZ_REGISTRY == 3
using Registry = SoundManager;
void prepare() {}
void check() {
    const bool device = audioOutputAvailable("SoundManager: ");
    RegistryViews::forEachSoundPool([device](const std::string& key, const SoundPool* pool) {
        if (pool == nullptr || pool->count < 0) {
            fuzz::fail("sound " + key + " registered with a broken pool");
        }
        if (device && (pool->buffer == nullptr ||
                       pool->voices.size() != static_cast<std::size_t>(pool->count))) {
            fuzz::fail("sound " + key + " has " + std::to_string(pool->voices.size()) +
                       " voices for " + std::to_string(pool->count) + " instances");
        }
    });
    SoundManager::play("noise");
    SoundManager::stop("noise");
}

#elif KLOMP_FUZZ_REGISTRY == 4
using Registry = MusicManager;
void prepare() {}
void check() {
    RegistryViews::forEachSong([](const std::string& key, const MusicEntry* song) {
        if (song == nullptr || song->loopLength != -1.0) {
            fuzz::fail("song " + key + " registered with a broken entry");
        }
    });
}

#elif KLOMP_FUZZ_REGISTRY == 5
using Registry = ParticleManager;
void prepare() {
    TextureManager::load("assets/textures.json");
    SpriteManager::load("assets/sprites.json");
    demo.frameTarget.create(64, 64);
}
void check() {
    RegistryViews::forEachParticleSystem([](const std::string& key, const ParticleSystem&) {
        fuzz::exerciseParticleSystem(key, *ParticleManager::get(key));
    });
}

#else
#error "KLOMP_FUZZ_REGISTRY must be 1 to 5"
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        fuzz::setUpOnce();
        prepare();
        return true;
    }();
    (void)ready;
#if KLOMP_FUZZ_FROM_FILE
    Registry::load(fuzz::writeInput("definitions.json", data, size));
#else
    Registry::readEntries(fuzz::decodeDocument(data, size));
#endif
    check();
    // The show never empties a registry; each input starts from the same state and memory
    // stays bounded.
    Registry::clear();
    return 0;
}

#include "assets/SoundManager.hpp"

#include "assets/AudioOutput.hpp"
#include "assets/Definitions.hpp"

#include <SFML/Audio/InputSoundFile.hpp>

#include <iostream>

namespace {
const DefinitionFormat kFormat{"SoundManager: ", "sounds", "file",
                               "Missing properties in soundsfile.", nullptr};
// The most voices one sound may have: every voice holds one of the audio device's sources,
// of which OpenAL Soft offers 256 in all.
constexpr std::int32_t kMaxVoices = 256;
} // namespace

std::unordered_map<std::string, std::unique_ptr<SoundPool>> SoundManager::pools;
bool SoundManager::soundMuted = false;

bool SoundManager::load(const std::string& path) {
    nlohmann::json document;
    if (!parseDefinitionFile(kFormat.prefix, path, document)) {
        return false;
    }
    return readEntries(document);
}

bool SoundManager::readEntries(const nlohmann::json& document) {
    return readDefinitionEntries(kFormat, document,
                                 [](const std::string& key, const nlohmann::json& entry) {
                                     const int instances = readOptionalInt(entry, "instances", 1);
                                     const std::string file = entry.at("file").get<std::string>();
                                     add(key, file, instances);
                                 });
}

bool SoundManager::add(const std::string& key, const std::string& file, std::int32_t instances) {
    if (exists(key)) {
        std::cerr << "SoundManager: Sound with key " << key << " already exists." << std::endl;
        return false;
    }
    // A negative count cannot make a voice array: such a sound is refused, as from a file.
    if (instances < 0) {
        std::cerr << "SoundManager: Negative instances for [" << key << "]" << std::endl;
        return false;
    }
    if (instances > kMaxVoices) {
        std::cerr << "SoundManager: Too many instances for [" << key << "]" << std::endl;
        return false;
    }
    if (isSpecialFile(file)) {
        std::cerr << "SoundManager: Unable to load file " << file << "." << std::endl;
        return false;
    }
    auto pool = std::make_unique<SoundPool>();
    if (audioOutputAvailable(kFormat.prefix)) {
        pool->buffer = std::make_unique<sf::SoundBuffer>();
        if (!pool->buffer->loadFromFile(file)) {
            std::cerr << "SoundManager: Unable to load file " << file << "." << std::endl;
            return false;
        }
        pool->voices.resize(static_cast<std::size_t>(instances));
        for (auto& voice : pool->voices) {
            voice.setBuffer(*pool->buffer);
        }
    } else {
        // Without a device nothing can sound; still check that the file decodes.
        sf::InputSoundFile probe;
        if (!probe.openFromFile(file)) {
            std::cerr << "SoundManager: Unable to load file " << file << "." << std::endl;
            return false;
        }
    }
    pool->count = instances;
    pools.emplace(key, std::move(pool));
    return true;
}

bool SoundManager::exists(const std::string& key) {
    return pools.count(key) != 0;
}

SoundPool* SoundManager::find(const std::string& key) {
    const auto it = pools.find(key);
    if (it == pools.end()) {
        std::cerr << "SoundManager: Sound with key " << key << " does not exist." << std::endl;
        return nullptr;
    }
    return it->second.get();
}

const SoundPool* SoundManager::pool(const std::string& key) {
    const auto it = pools.find(key);
    return it == pools.end() ? nullptr : it->second.get();
}

void SoundManager::play(const std::string& key) {
    SoundPool* pool = find(key);
    if (pool == nullptr || soundMuted) {
        return;
    }
    for (auto& voice : pool->voices) {
        if (voice.getStatus() == sf::SoundSource::Stopped) {
            voice.play();
            return;
        }
    }
}

void SoundManager::stop(const std::string& key) {
    SoundPool* pool = find(key);
    if (pool == nullptr || soundMuted) {
        return;
    }
    for (auto& voice : pool->voices) {
        voice.stop();
    }
}

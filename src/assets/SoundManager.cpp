#include "assets/SoundManager.hpp"

#include "assets/AudioOutput.hpp"
#include "assets/Definitions.hpp"
#include "runtime/Printable.hpp"

#include <SFML/Audio/InputSoundFile.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace {
const DefinitionFormat kFormat{
    "SoundManager: ", "Sound", "sounds", "file", "Missing properties in soundsfile.", nullptr};
// The most voices one sound may have: every voice holds one of the audio device's sources,
// of which OpenAL Soft offers 256 in all.
constexpr std::int32_t kMaxVoices = 256;

// A sound buffer reserves memory for every sample the file's header claims before it decodes
// any, and a header can claim far more than the file holds (a few kilobytes of FLAC may claim
// days of sound, a WAV header 4 GB). A claim is believed up to this many bytes of decoded
// sound, and beyond it only as far as the file's size can hold: PCM in a WAV file decodes to
// at most twice its size (8-bit samples), compressed sound to at most kMaxCompression times.
constexpr std::uintmax_t kAlwaysBelieved = 64u << 20;
constexpr std::uintmax_t kMaxCompression = 128;

bool isWave(const std::string& file) {
    char magic[4] = {};
    std::ifstream in(file, std::ios::binary);
    in.read(magic, 4);
    const std::string tag(magic, 4);
    return tag == "RIFF" || tag == "RIFX" || tag == "RF64";
}

// Whether the file opens and its header claims no more sound than the file can hold.
bool opensWithBelievableLength(const std::string& file) {
    sf::InputSoundFile probe;
    if (!loadWithoutThrowing([&] { return probe.openFromFile(file); })) {
        return false;
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) {
        return false;
    }
    const std::uintmax_t claimed = probe.getSampleCount() * sizeof(sf::Int16);
    const std::uintmax_t ratio = isWave(file) ? 2 : kMaxCompression;
    return claimed <= std::max(kAlwaysBelieved, size * ratio);
}

} // namespace

std::unordered_map<std::string, std::unique_ptr<SoundPool>> SoundManager::pools;
bool SoundManager::soundMuted = false;

bool SoundManager::load(const std::string& path) {
    return loadDefinitions(kFormat, path, &readEntries);
}

bool SoundManager::readEntries(const nlohmann::json& document) {
    return readDefinitionEntries(kFormat, document,
                                 [](const std::string& key, const nlohmann::json& entry) {
                                     const int instances = readOptionalInt(entry, "instances", 1);
                                     const std::string file = entry.at("file").get<std::string>();
                                     add(key, file, instances);
                                 });
}

void SoundManager::clear() {
    pools.clear(); // each pool's voices go before its buffer
}

bool SoundManager::add(const std::string& key, const std::string& file, std::int32_t instances) {
    if (exists(key)) {
        std::cerr << "SoundManager: Sound with key " << printable(key) << " already exists."
                  << std::endl;
        return false;
    }
    // A negative count cannot make a voice array: such a sound is refused, as from a file.
    if (instances < 0) {
        std::cerr << "SoundManager: Negative instances for [" << printable(key) << "]" << std::endl;
        return false;
    }
    if (instances > kMaxVoices) {
        std::cerr << "SoundManager: Too many instances for [" << printable(key) << "]" << std::endl;
        return false;
    }
    const auto unusable = [&file] {
        std::cerr << "SoundManager: Unable to load file " << printable(file) << "." << std::endl;
        return false;
    };
    if (isSpecialFile(file)) {
        return unusable();
    }
    // Without a device nothing sounds, but the file is checked all the same.
    const bool device = audioOutputAvailable(kFormat.prefix);
    if (!opensWithBelievableLength(file)) {
        return unusable();
    }
    auto pool = std::make_unique<SoundPool>();
    if (device) {
        pool->buffer = std::make_unique<sf::SoundBuffer>();
        if (!loadWithoutThrowing([&] { return pool->buffer->loadFromFile(file); })) {
            return unusable();
        }
        pool->voices.resize(static_cast<std::size_t>(instances));
        for (auto& voice : pool->voices) {
            voice.setBuffer(*pool->buffer);
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
    return lookUpEntry(pools, key, kFormat);
}

const SoundPool* SoundManager::pool(const std::string& key) {
    return findEntry(pools, key);
}

void SoundManager::mute() {
    soundMuted = true;
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

#pragma once
#include <SFML/Audio/Sound.hpp>
#include <SFML/Audio/SoundBuffer.hpp>
#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// One sound effect decoded into memory with a fixed number of voices, so that it can sound
// several times at once. Voices are declared after the buffer so they are destroyed first.
struct SoundPool {
    std::unique_ptr<sf::SoundBuffer> buffer; // null when there is no audio device
    std::vector<sf::Sound> voices;
    std::int32_t count = 0;
};

// The show's sound effects by key, filled once from assets/sounds.json.
class SoundManager {
  public:
    static bool load(const std::string& path);
    static bool readEntries(const nlohmann::json& document);
    // Stops and forgets every sound, so that load can fill the registry again.
    static void clear();
    static bool add(const std::string& key, const std::string& file, std::int32_t instances);
    static bool exists(const std::string& key);
    // Starts the first stopped voice from the beginning; drops the request when all play.
    static void play(const std::string& key);
    // Stops every voice of the sound.
    static void stop(const std::string& key);
    // Turns sound effects off for the rest of the run: later play and stop calls do nothing.
    static void mute();

    static bool soundMuted;

  private:
    // Read-only views for checks, tools and tests (assets/RegistryViews.hpp).
    friend struct RegistryViews;
    static const SoundPool* pool(const std::string& key);
    static SoundPool* find(const std::string& key);
    static std::unordered_map<std::string, std::unique_ptr<SoundPool>> pools;
};

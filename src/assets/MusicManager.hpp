#pragma once
#include <SFML/Audio/Music.hpp>
#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

// What the registry knows of one song; the file is opened only when the song plays.
struct MusicEntry {
    std::string file;
    std::int32_t volume = 100;
    double loopTo = 0.0;      // loop start, milliseconds
    double loopLength = -1.0; // -1: up to the end of the track
};

// The show's songs by key, played one at a time through one streamed music object.
class MusicManager {
  public:
    static bool load(const std::string& path);
    static bool readEntries(const nlohmann::json& document);
    // Forgets every song entry and stops the stream (which stays open for the next song).
    static void clear();
    // Opens the song on the music stream (stopping what played), applies volume, loop flag
    // and loop span, and starts it `startOffset` milliseconds in (0 or less: the beginning).
    static void play(const std::string& key, bool loop, double startOffset);
    // Turns music off for the rest of the run: the current stream and every later song play
    // at volume 0.
    static void mute();

    static bool musicMuted;

  private:
    // Read-only views for checks, tools and tests (assets/RegistryViews.hpp).
    friend struct RegistryViews;
    // The one music stream of the show; null when the machine has no audio device.
    static sf::Music* currentMusic();
    static const MusicEntry* entry(const std::string& key);

    static std::unordered_map<std::string, std::unique_ptr<MusicEntry>> entries;
    static std::unique_ptr<sf::Music> music;
};

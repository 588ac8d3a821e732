#include "assets/MusicManager.hpp"

#include "assets/AudioOutput.hpp"
#include "assets/Definitions.hpp"
#include "runtime/Printable.hpp"

#include <SFML/Audio/InputSoundFile.hpp>

#include <algorithm>
#include <iostream>

namespace {
const DefinitionFormat kFormat{"MusicManager: ", "Song",  "music",
                               "file",           nullptr, "Missing FILE property for ["};

sf::Int32 wholeMilliseconds(double ms) {
    if (!(ms > -2147483648.0) || !(ms < 2147483647.0)) {
        return ms > 0 ? 2147483647 : -2147483647 - 1;
    }
    return static_cast<sf::Int32>(ms);
}
} // namespace

std::unordered_map<std::string, std::unique_ptr<MusicEntry>> MusicManager::entries;
std::unique_ptr<sf::Music> MusicManager::music;
bool MusicManager::musicMuted = false;

bool MusicManager::load(const std::string& path) {
    return loadDefinitions(kFormat, path, &readEntries);
}

bool MusicManager::readEntries(const nlohmann::json& document) {
    return readDefinitionEntries(
        kFormat, document, [](const std::string& key, const nlohmann::json& value) {
            auto song = std::make_unique<MusicEntry>();
            song->volume = readOptionalInt(value, "volume", 100);
            song->loopTo = readOptional<double>(value, "loopTo", 0.0);
            song->file = value.at("file").get<std::string>();
            song->loopLength = -1.0;
            entries.emplace(key, std::move(song)); // a key loaded earlier keeps its entry
        });
}

void MusicManager::clear() {
    entries.clear();
    if (music) {
        music->stop();
    }
}

sf::Music* MusicManager::currentMusic() {
    if (!music && audioOutputAvailable(kFormat.prefix)) {
        music = std::make_unique<sf::Music>();
        if (musicMuted) {
            music->setVolume(0.0f);
        }
    }
    return music.get();
}

const MusicEntry* MusicManager::entry(const std::string& key) {
    return findEntry(entries, key);
}

void MusicManager::mute() {
    musicMuted = true;
    if (sf::Music* stream = currentMusic()) {
        stream->setVolume(0.0f);
    }
}

void MusicManager::play(const std::string& key, bool loop, double startOffset) {
    const MusicEntry* song = lookUpEntry(entries, key, kFormat);
    if (song == nullptr) {
        return;
    }
    sf::Music* stream = currentMusic();
    if (isSpecialFile(song->file)) {
        // Opening would stop the current song before failing; so does this.
        if (stream != nullptr) {
            stream->stop();
        }
        std::cerr << "MusicManager: Unable to load music file " << printable(song->file) << "."
                  << std::endl;
        return;
    }
    if (stream == nullptr) {
        // No audio device: nothing streams, but a missing file is still reported.
        sf::InputSoundFile probe;
        if (!loadWithoutThrowing([&] { return probe.openFromFile(song->file); })) {
            std::cerr << "MusicManager: Unable to load music file " << printable(song->file) << "."
                      << std::endl;
        }
        return;
    }
    if (!loadWithoutThrowing([&] { return stream->openFromFile(song->file); })) {
        std::cerr << "MusicManager: Unable to load music file " << printable(song->file) << "."
                  << std::endl;
        return;
    }
    // Volumes are percentages; anything outside would reach the audio library as a gain far
    // out of its range.
    stream->setVolume(static_cast<float>(std::clamp(song->volume, 0, 100)));
    stream->setLoop(loop);
    if (stream->getDuration() > sf::Time::Zero) {
        stream->setLoopPoints(
            sf::Music::TimeSpan(sf::milliseconds(wholeMilliseconds(song->loopTo)),
                                sf::milliseconds(wholeMilliseconds(song->loopLength))));
    } else {
        // A file cut short can leave its decoder without a length: it plays what it has, with
        // no loop points to set.
        std::cerr << "MusicManager: Unable to read the length of music file "
                  << printable(song->file) << "; it plays without loop points." << std::endl;
    }
    if (musicMuted) {
        stream->setVolume(0.0f);
    }
    if (startOffset > 0.0) {
        stream->setPlayingOffset(sf::milliseconds(wholeMilliseconds(startOffset)));
    }
    stream->play();
}

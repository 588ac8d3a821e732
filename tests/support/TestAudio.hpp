#pragma once
// Short sound files for the audio registries' tests, written with the audio library itself.
#include <SFML/Audio/OutputSoundFile.hpp>

#include <cmath>
#include <string>
#include <vector>

namespace test {

// Writes `seconds` of a quiet 440 Hz mono tone at `sampleRate` to `path` (the format follows
// the extension: .wav, .ogg or .flac) and returns the path. The file is complete on return.
inline std::string writeTone(const std::string& path, double seconds, unsigned sampleRate = 8000) {
    std::vector<sf::Int16> samples(static_cast<std::size_t>(seconds * sampleRate));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        samples[i] = static_cast<sf::Int16>(3000.0 * std::sin(2.0 * 3.141592653589793 * 440.0 * t));
    }
    sf::OutputSoundFile file; // SFML 2.5 finishes the file only in the destructor
    if (file.openFromFile(path, sampleRate, 1)) {
        file.write(samples.data(), samples.size());
    }
    return path;
}

} // namespace test

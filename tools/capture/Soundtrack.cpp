#include "capture/Soundtrack.hpp"

#include "assets/MusicManager.hpp"
#include "assets/RegistryViews.hpp"
#include "assets/SoundManager.hpp"
#include "runtime/DemoState.hpp"

#include <SFML/Audio/InputSoundFile.hpp>
#include <SFML/Audio/OutputSoundFile.hpp>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <deque>
#include <fstream>
#include <iostream>

namespace capture {

bool readPcm(const std::string& path, Pcm& pcm) {
    sf::InputSoundFile file;
    if (!file.openFromFile(path)) {
        std::cerr << "klomp-capture: cannot decode " << path << std::endl;
        return false;
    }
    pcm.rate = file.getSampleRate();
    pcm.channels = file.getChannelCount();
    pcm.samples.resize(static_cast<std::size_t>(file.getSampleCount()));
    const sf::Uint64 got = file.read(pcm.samples.data(), pcm.samples.size());
    pcm.samples.resize(static_cast<std::size_t>(got));
    return true;
}

std::string soundFile(const std::string& definitions, const std::string& key) {
    std::ifstream file(definitions);
    const nlohmann::json document = nlohmann::json::parse(file, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        return {};
    }
    const nlohmann::json sounds = document.value("sounds", nlohmann::json::object());
    if (!sounds.is_object() || !sounds.contains(key) || !sounds[key].is_object()) {
        return {};
    }
    const nlohmann::json entry = sounds[key];
    const auto name = entry.find("file");
    return name != entry.end() && name->is_string() ? name->get<std::string>() : std::string();
}

bool writeWav(const std::string& path, const Pcm& pcm) {
    sf::OutputSoundFile file; // the header is finished when the object goes
    if (!file.openFromFile(path, pcm.rate, pcm.channels)) {
        return false;
    }
    file.write(pcm.samples.data(), pcm.samples.size());
    return true;
}

SoundtrackObserver::SoundtrackObserver() {
    const MusicEntry* song = RegistryViews::musicEntry("klomp");
    const float volume = song != nullptr ? static_cast<float>(song->volume) : 0.0f;
    // The stream's volume 0..100 becomes a gain, which the audio library caps at 1.
    plan_.songGain = MusicManager::musicMuted ? 0.0f : std::clamp(volume / 100.0f, 0.0f, 1.0f);
    plan_.noiseGain = SoundManager::soundMuted ? 0.0f : 1.0f;
}

void SoundtrackObserver::afterFrame(const FrameRecord& record) {
    if (record.scene != Scene::Intro) {
        return;
    }
    const IntroState& intro = demo.intro;
    if (introFirstFrame_ && !intro.introFirstFrame) {
        plan_.songStart = record.time;
    }
    introFirstFrame_ = intro.introFirstFrame;
    if (noiseTime_ <= 0.0f && intro.introNoiseTime > 0.0f && plan_.noiseStart < 0.0) {
        plan_.noiseStart = record.time;
    } else if (noiseTime_ > 0.0f && intro.introNoiseTime <= 0.0f && plan_.noiseStop < 0.0) {
        plan_.noiseStop = record.time;
    }
    noiseTime_ = intro.introNoiseTime;
}

namespace {

// Adds `gain` x `source` into `out`, the source starting at show time `start` and cut at
// `stop` (if stop >= start), the mix covering show time from `from`.
void addSource(std::vector<float>& out, unsigned rate, unsigned channels, const Pcm& source,
               float gain, double start, double stop, double from) {
    if (start < 0.0 || gain <= 0.0f || source.frames() == 0 || source.channels == 0) {
        return;
    }
    const std::size_t outFrames = out.size() / channels;
    const double step = static_cast<double>(source.rate) / rate; // source frames per out frame
    const double sourceLength = static_cast<double>(source.frames()) / source.rate;
    double end = start + sourceLength;
    if (stop >= start) {
        end = std::min(end, stop);
    }
    const auto first = static_cast<std::int64_t>(std::ceil((start - from) * rate - 1e-9));
    const auto last = static_cast<std::int64_t>(std::ceil((end - from) * rate - 1e-9));
    const std::int64_t begin = std::max<std::int64_t>(first, 0);
    const std::int64_t finish = std::min<std::int64_t>(last, static_cast<std::int64_t>(outFrames));
    const float monoSpread = channels > 1 ? static_cast<float>(1.0 / std::sqrt(2.0)) : 1.0f;
    for (std::int64_t i = begin; i < finish; ++i) {
        // Position in the source, in its own frames; linear between neighbours.
        const double at = std::max(0.0, (static_cast<double>(i) + (from - start) * rate) * step);
        const auto index = static_cast<std::size_t>(std::floor(at));
        if (index >= source.frames()) {
            break;
        }
        const std::size_t next = std::min(index + 1, source.frames() - 1);
        const float frac = static_cast<float>(at - std::floor(at));
        for (unsigned c = 0; c < channels; ++c) {
            float value = 0.0f;
            float spread = 1.0f;
            if (source.channels == channels) {
                value = (1.0f - frac) * source.samples[index * channels + c] +
                        frac * source.samples[next * channels + c];
            } else {
                // Channel counts differ: every output channel gets the source's average.
                for (unsigned s = 0; s < source.channels; ++s) {
                    value += (1.0f - frac) * source.samples[index * source.channels + s] +
                             frac * source.samples[next * source.channels + s];
                }
                value /= static_cast<float>(source.channels);
                spread = source.channels == 1 ? monoSpread : 1.0f;
            }
            out[static_cast<std::size_t>(i) * channels + c] += gain * spread * value;
        }
    }
}

// Interpolates a channel of interleaved samples between samples `i` and `i + 1`, at quarter
// steps, with a Hann-windowed sinc over 16 neighbours: the largest magnitude of the three
// points in between.
class QuarterInterpolator {
  public:
    QuarterInterpolator() {
        constexpr double pi = 3.14159265358979323846;
        for (int phase = 0; phase < 3; ++phase) {
            const double offset = (phase + 1) / 4.0;
            for (int k = 0; k < kTaps; ++k) {
                // Tap k stands for sample i + k - 7; its distance from the point i + offset.
                const double x = static_cast<double>(k - kTaps / 2 + 1) - offset;
                const double sinc = std::sin(pi * x) / (pi * x);
                const double window = 0.5 + 0.5 * std::cos(pi * x / (kTaps / 2));
                taps_[phase][k] = static_cast<float>(sinc * window);
            }
        }
    }

    float peakAfter(const std::vector<float>& samples, std::size_t frames, unsigned channels,
                    unsigned channel, std::size_t i) const {
        float values[kTaps];
        for (int k = 0; k < kTaps; ++k) {
            const std::int64_t at = static_cast<std::int64_t>(i) + k - kTaps / 2 + 1;
            values[k] = at >= 0 && at < static_cast<std::int64_t>(frames)
                            ? samples[static_cast<std::size_t>(at) * channels + channel]
                            : 0.0f;
        }
        float peak = 0.0f;
        for (const auto& phase : taps_) {
            float sum = 0.0f;
            for (int k = 0; k < kTaps; ++k) {
                sum += phase[k] * values[k];
            }
            peak = std::max(peak, std::fabs(sum));
        }
        return peak;
    }

  private:
    static constexpr int kTaps = 16;
    float taps_[3][kTaps];
};

// The true peak at each frame: the largest magnitude over the channels of the sample and of
// the signal up to the next sample.
std::vector<float> framePeaks(const std::vector<float>& samples, unsigned channels) {
    const std::size_t frames = channels == 0 ? 0 : samples.size() / channels;
    std::vector<float> peaks(frames, 0.0f);
    const QuarterInterpolator interpolator;
    for (std::size_t i = 0; i < frames; ++i) {
        float peak = 0.0f;
        for (unsigned c = 0; c < channels; ++c) {
            peak = std::max(peak, std::fabs(samples[i * channels + c]));
            peak = std::max(peak, interpolator.peakAfter(samples, frames, channels, c, i));
        }
        peaks[i] = peak;
    }
    return peaks;
}

} // namespace

float truePeak(const std::vector<float>& samples, unsigned channels) {
    const std::vector<float> peaks = framePeaks(samples, channels);
    return peaks.empty() ? 0.0f : *std::max_element(peaks.begin(), peaks.end());
}

void limitTruePeak(std::vector<float>& samples, unsigned rate, unsigned channels, float ceiling) {
    if (channels == 0 || rate == 0 || !(ceiling > 0.0f)) {
        return;
    }
    std::vector<float> gain = framePeaks(samples, channels);
    const std::size_t frames = gain.size();
    // The gain each frame needs on its own, with a hair of room for the rounding of the
    // products.
    const float target = ceiling * 0.9999f;
    for (float& g : gain) {
        g = g > target ? target / g : 1.0f;
    }
    const std::size_t ahead = std::max<std::size_t>(1, rate / 500); // 2 ms
    // The least gain needed in the window [i, i + ahead): a sliding minimum, whose deque
    // holds indices of rising gains from front to back.
    std::vector<float> least(frames, 1.0f);
    std::deque<std::size_t> window;
    for (std::size_t i = frames; i-- > 0;) {
        while (!window.empty() && gain[window.back()] >= gain[i]) {
            window.pop_back();
        }
        window.push_back(i);
        while (window.front() >= i + ahead) {
            window.pop_front();
        }
        least[i] = gain[window.front()];
    }
    // Held and released slowly, then averaged over the look-ahead: every frame's gain is then
    // at most what each frame in the window before it needed, so no peak passes the ceiling.
    const float release = 1.0f - std::exp(-1.0f / (0.1f * static_cast<float>(rate)));
    float held = 1.0f;
    std::vector<float> history(ahead, 1.0f);
    double sum = static_cast<double>(ahead);
    for (std::size_t i = 0; i < frames; ++i) {
        float next = held + (1.0f - held) * release;
        if (next > 0.99999f) {
            next = 1.0f; // fully released: the level is the mix's own again
        }
        held = std::min(least[i], next);
        sum += static_cast<double>(held) - static_cast<double>(history[i % ahead]);
        history[i % ahead] = held;
        const double applied = sum / static_cast<double>(ahead);
        if (applied < 1.0 - 1e-9) {
            for (unsigned c = 0; c < channels; ++c) {
                samples[i * channels + c] *= static_cast<float>(applied);
            }
        }
    }
}

Pcm mixSoundtrack(const Pcm& song, const Pcm& noise, const SoundtrackPlan& plan, double from,
                  double length, double ceilingDb) {
    Pcm mix;
    mix.rate = song.rate != 0 ? song.rate : 44100;
    mix.channels = song.channels != 0 ? song.channels : 2;
    const auto frames = static_cast<std::size_t>(std::llround(std::max(0.0, length) * mix.rate));
    std::vector<float> sum(frames * mix.channels, 0.0f);
    addSource(sum, mix.rate, mix.channels, song, plan.songGain, plan.songStart, -1.0, from);
    addSource(sum, mix.rate, mix.channels, noise, plan.noiseGain, plan.noiseStart, plan.noiseStop,
              from);
    if (std::isfinite(ceilingDb)) {
        limitTruePeak(sum, mix.rate, mix.channels,
                      static_cast<float>(32768.0 * std::pow(10.0, ceilingDb / 20.0)));
    }
    mix.samples.resize(sum.size());
    for (std::size_t i = 0; i < sum.size(); ++i) {
        const float v = std::clamp(std::round(sum[i]), -32768.0f, 32767.0f);
        mix.samples[i] = static_cast<std::int16_t>(v);
    }
    return mix;
}

} // namespace capture

#pragma once
// The sound of a captured stretch of the show, rebuilt from what the show did: the song from
// the intro's first frame at its registry volume, and the noise burst from the frame that
// played it to the frame that stopped it. The mix is written as a WAV file for the encoder.
#include "capture/ShowSession.hpp"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace capture {

// Interleaved 16-bit samples.
struct Pcm {
    unsigned rate = 44100;
    unsigned channels = 2;
    std::vector<std::int16_t> samples;

    std::size_t frames() const { return channels == 0 ? 0 : samples.size() / channels; }
};

// Decodes any file the audio library reads (OGG, WAV, FLAC). False, with a line on stderr,
// when it cannot.
bool readPcm(const std::string& path, Pcm& pcm);
// The file of sound `key` in a sound definition file (assets/sounds.json), or an empty
// string when the file or the entry is missing.
std::string soundFile(const std::string& definitions, const std::string& key);
// Writes a 16-bit WAV file; false when it cannot.
bool writeWav(const std::string& path, const Pcm& pcm);

// When the show's sounds started and stopped, in show seconds (negative: never).
struct SoundtrackPlan {
    double songStart = -1.0;
    float songGain = 1.0f; // 0 when music is off
    double noiseStart = -1.0;
    double noiseStop = -1.0; // negative: plays to its end
    float noiseGain = 1.0f;  // 0 when sound is off
};

// Watches the intro's state frame by frame and fills a plan: the song starts in the intro's
// first frame, the noise when the burst time is set and stops when it runs out.
class SoundtrackObserver {
  public:
    // Reads the music entry's volume and the music and sound switches.
    SoundtrackObserver();
    // Call right after each frame with that frame's record.
    void afterFrame(const FrameRecord& record);
    const SoundtrackPlan& plan() const { return plan_; }

  private:
    SoundtrackPlan plan_;
    bool introFirstFrame_ = true;
    float noiseTime_ = 0.0f;
};

// Mixes `length` seconds of show time from `from` on, in the song's rate and channel count.
// The noise is resampled to that rate if needed; a mono noise lies in the middle of a stereo
// mix at equal power (each side 1/sqrt 2). With a finite `ceilingDb` the sum goes through
// limitTruePeak at that ceiling (dB relative to 16-bit full scale); what is left above full
// scale is clipped. Silence where nothing plays.
Pcm mixSoundtrack(const Pcm& song, const Pcm& noise, const SoundtrackPlan& plan, double from,
                  double length, double ceilingDb = std::numeric_limits<double>::infinity());

// A look-ahead peak limiter on interleaved samples (full scale 32768) with the channels
// linked: wherever the true peak (the signal between samples too, estimated at four times the
// rate) would pass `ceiling` (same scale), the gain is lowered smoothly over the 2 ms before
// it and comes back over about 100 ms. Samples whose neighbourhood stays below the ceiling
// keep their level exactly.
void limitTruePeak(std::vector<float>& samples, unsigned rate, unsigned channels, float ceiling);

// The highest true peak of interleaved samples, as limitTruePeak estimates it.
float truePeak(const std::vector<float>& samples, unsigned channels);

} // namespace capture

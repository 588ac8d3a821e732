#pragma once
// The MP4 the capture makes: the x264 encoder's command line, the chapters and tags, the
// final mux of the video stream(s) with the soundtrack, and the loudness of the result as
// measured after the AAC encode.
#include "runtime/SceneId.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace capture {

// The encoder that reads raw BGRA frames from its standard input and writes a raw H.264
// stream to `output`: BT.709 matrix, limited range, tagged as such in the stream.
std::vector<std::string> encoderCommand(const std::string& rateText, int crf,
                                        const std::string& preset, const std::string& output);

// The first frame of a scene, in frames of the run's fixed clock.
struct SceneStart {
    std::int64_t frame = 0;
    SceneId scene = 0;
};

// The chapter title of a scene ("Brick-wall scroller").
const char* chapterTitle(SceneId scene);

// An ffmetadata file: the show's title and credits, and one chapter per scene seen in the
// video, which holds frames [firstFrame, endFrame). A scene already running at firstFrame
// starts its chapter at 0. A chapter starts at the frame in which its scene first draws, in
// whole milliseconds rounded up, so that seeking to it shows that frame.
std::string chapterMetadata(const std::vector<SceneStart>& starts, std::int64_t firstFrame,
                            std::int64_t endFrame, double fps);

// Runs a program and collects its standard output and error; the exit status (or -1).
int runCollecting(const std::vector<std::string>& args, std::string& output);

struct Loudness {
    bool measured = false;
    double integratedLufs = 0.0;
    double truePeakDbtp = 0.0;
};

// ffmpeg's EBU R128 meter with true peak on the first sound stream of `file`.
Loudness measureLoudness(const std::string& file);

// Joins the H.264 `streams` (MPEG-TS files as encoderCommand writes them, in order) without
// re-encoding and muxes them with `sound` (a WAV) and `metadata` (ffmetadata) into an MP4
// with its index at the front. False with `error` set when ffmpeg fails.
bool muxVideo(const std::vector<std::string>& streams, const std::string& sound,
              const std::string& metadata, const std::string& output, std::string& error);

} // namespace capture

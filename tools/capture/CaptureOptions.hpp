#pragma once
// The command line of klomp-capture.
#include <limits>
#include <string>
#include <vector>

namespace capture {

// The default x264 settings: a video of sensible size for sharing. --crf/--preset pick others.
inline constexpr int kShareCrf = 27;
inline constexpr const char* kSharePreset = "faster";

struct CaptureOptions {
    double fps = 60.0;
    double start = 0.0;
    double end = std::numeric_limits<double>::infinity();
    std::string video;             // --video: H.264 MP4 with the sound
    std::vector<double> stills;    // --stills: show times
    std::string outDir = "stills"; // --out-dir: where the stills go
    std::string contactSheet;      // --contact-sheet
    double every = 5.0;            // --every: seconds between contact-sheet frames
    std::string trace;             // --trace
    bool traceOnly = false;        // --trace-only: no pixels at all
    std::string plot;              // --plot: frame times of the captured frames
    bool extras = true;            // with --video: a sheet and a plot beside it unless asked
    bool present = true;           // present captured frames in the window
    bool progress = true;          // progress on the terminal
    int crf = kShareCrf;
    std::string preset = kSharePreset;
    int jobs = 0;            // --jobs: processes rendering spans at once (0: from the cores)
    std::string frameHashes; // --frame-hashes: one hash per raw frame handed to the encoder
    std::string segment;     // --segment (internal): one job's span, see runJob
    bool help = false;
};

// Reads the arguments after the program name. False with `error` set on a bad command line.
bool parseCaptureOptions(const std::vector<std::string>& args, CaptureOptions& options,
                         std::string& error);

const char* captureUsage();

} // namespace capture

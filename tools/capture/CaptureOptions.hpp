#pragma once
// The command line of klomp-capture.
#include <limits>
#include <string>
#include <vector>

namespace capture {

// The default x264 settings: a video of sensible size for sharing. --crf/--preset pick others.
// Against `faster` at CRF 27 (the earlier default) this gives the same SSIM to a lossless
// capture within 0.001 in four scenes, files 5-10 % larger, for 37 % less encoding time.
#define KLOMP_SHARE_CRF 26
#define KLOMP_SHARE_PRESET "veryfast"
inline constexpr int kShareCrf = KLOMP_SHARE_CRF;
inline constexpr const char* kSharePreset = KLOMP_SHARE_PRESET;

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

// Reads a tool's command line one option at a time (the capture tool's and the preview's):
// value() and number() take the word after the option at hand, and say in `error` when it is
// missing or is no finite number.
class OptionReader {
  public:
    OptionReader(const std::vector<std::string>& args, std::string& error)
        : args_(args), error_(error) {}
    // Moves to the next option; false after the last.
    bool next() { return ++index_ < args_.size(); }
    const std::string& option() const { return args_[index_]; }
    bool value(std::string& out);
    bool number(double& out);

  private:
    const std::vector<std::string>& args_;
    std::string& error_;
    std::size_t index_ = static_cast<std::size_t>(-1);
};

// A whole word as a finite number.
bool readNumber(const std::string& text, double& value);

} // namespace capture

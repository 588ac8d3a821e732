#pragma once
// The command line of klomp-preview.
#include <string>
#include <vector>

namespace preview {

struct PreviewOptions {
    double fps = 60.0;   // --fps: the fixed frame time is 1/fps
    double at = 0.0;     // --at: the show second to open at
    bool paused = false; // --paused: open paused
    bool overlay = true; // --no-overlay: open with the overlay hidden
    std::string trace;   // --trace: one line per drawn frame, as klomp-capture writes them
    bool help = false;
};

// Reads the arguments after the program name. False with `error` set on a bad command line.
bool parsePreviewOptions(const std::vector<std::string>& args, PreviewOptions& options,
                         std::string& error);

const char* previewUsage();

} // namespace preview

// klomp-golden: plays the show at a fixed 60 fps through the program's own start-up and frame
// work and writes its golden stills (480x270 PNG) into a folder. Run it from the repository
// root on a display (tools/with-xvfb.sh); klomp-golden-compare checks the stills.
#include "golden/GoldenFrames.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: klomp-golden DIR   (writes the golden stills into DIR)\n");
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::filesystem::create_directories(folder);
    // Silent audio: the stills need no sound card.
#ifdef _WIN32
    if (std::getenv("ALSOFT_DRIVERS") == nullptr) {
        _putenv_s("ALSOFT_DRIVERS", "null");
    }
#else
    setenv("ALSOFT_DRIVERS", "null", 0);
#endif
    sf::RenderWindow window;
    int failed = 0;
    const bool complete =
        golden::renderStills(window, [&](const golden::Moment& moment, const sf::Image& still) {
            if (!still.saveToFile((folder / (moment.name + ".png")).string())) {
                ++failed;
            }
        });
    if (!complete) {
        std::fprintf(stderr, "klomp-golden: the show ended before the last golden frame\n");
    }
    return complete && failed == 0 ? 0 : 1;
}

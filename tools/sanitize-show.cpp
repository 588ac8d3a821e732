// klomp-sanitize-show: start-up as the program does it, then the show frame by frame with a
// fixed frame time until it ends by itself (or after a given number of frames), drawing and
// presenting every frame. Meant to run under AddressSanitizer/UndefinedBehaviorSanitizer or
// valgrind, from the repository root (config.json and assets/), on an X server:
//
//   klomp-sanitize-show [--fps N] [--frames N]
//
// --fps N     frames per second of show time (default 4: the whole show is about 790 frames)
// --frames N  stop after N frames (default: play to the end)
//
// Prints the number of frames and the scene reached; exits with 0 when the show ended by
// itself or the frame limit was reached, 1 otherwise.
#include "runtime/DemoState.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/Startup.hpp"

#include <SFML/Graphics/RenderWindow.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: klomp-sanitize-show [--fps N] [--frames N]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    double fps = 4.0;
    long limit = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--fps" && i + 1 < argc) {
            fps = std::atof(argv[++i]);
        } else if (option == "--frames" && i + 1 < argc) {
            limit = std::atol(argv[++i]);
        } else {
            usage();
        }
    }
    if (!(fps > 0.0)) {
        usage();
    }

    sf::RenderWindow window;
    startUp(window);
    const float dt = static_cast<float>(1.0 / fps);
    long frames = 0;
    while (demo.running && (limit < 0 || frames < limit)) {
        runFrame(dt);
        ++frames;
    }
    const bool ended = !demo.running && demo.sceneIndex == Scene::Quit;
    std::printf("klomp-sanitize-show: %ld frames at %.2f fps, scene %d, %s\n", frames, fps,
                static_cast<int>(demo.sceneIndex),
                ended ? "the show ended by itself" : "stopped at the frame limit");
    window.close();
    return ended || (limit >= 0 && frames >= limit) ? 0 : 1;
}

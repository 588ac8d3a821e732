// klomp-golden-compare: compares a folder of golden stills (from klomp-golden, on this machine
// or another platform) with the references. Needs no display.
#include "golden/GoldenFrames.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: klomp-golden-compare REFERENCE_DIR STILLS_DIR [--tolerance N] "
                 "[--diff-dir DIR]\n"
                 "         a pixel differs when one of its channels differs by more than N\n"
                 "         (default 0); the stills that differ are written into --diff-dir\n"
                 "         (NAME-actual.png, NAME-reference.png, NAME-diff.png); exit status 1\n"
                 "         when any still differs or is missing\n"
                 "       klomp-golden-compare --list\n"
                 "         the golden moments: name, frame at 60 fps, show seconds\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--list") {
        for (const golden::Moment& moment : golden::moments()) {
            std::printf("%s\t%lld\t%.3f\n", moment.name.c_str(),
                        static_cast<long long>(moment.frame), moment.seconds());
        }
        return 0;
    }
    if (argc < 3 || argv[1][0] == '-' || argv[2][0] == '-') {
        return usage();
    }
    int tolerance = 0;
    std::string diffFolder;
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--tolerance" && i + 1 < argc) {
            tolerance = std::atoi(argv[++i]);
        } else if (option == "--diff-dir" && i + 1 < argc) {
            diffFolder = argv[++i];
        } else {
            return usage();
        }
    }
    const int failed = golden::compareFolders(argv[1], argv[2], tolerance, diffFolder);
    std::printf("golden: %d of %zu stills differ\n", failed, golden::moments().size());
    return failed == 0 ? 0 : 1;
}

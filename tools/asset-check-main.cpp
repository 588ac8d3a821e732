// klomp-asset-check: loads the show's definition files through the real registries from the
// working directory (the repository root) and checks the asset set: no diagnostics, every key
// the scenes fetch present, and the properties they rely on holding. Prints each check and
// exits with 0 when all hold, 1 when any fails, 2 when it cannot run.
//
//     build/tools/klomp-asset-check
//     tools/with-xvfb.sh build/tools/klomp-asset-check      (no screen: a private X server)
//
// Textures need an X display: without one the media library stops the program at start.
#include "asset-check.hpp"

#include <cstdlib>
#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 1) {
        std::cerr << "usage: " << argv[0] << "   (run from the repository root; no arguments)"
                  << std::endl;
        return 2;
    }
    // The check decodes the sounds but plays nothing: OpenAL Soft's null backend keeps the
    // machine's audio hardware (or its lack, which the registries would report) out of it.
    setenv("ALSOFT_DRIVERS", "null", 1);
    if (!std::filesystem::is_directory("assets")) {
        std::cerr << "klomp-asset-check: no assets/ here; run it from the repository root"
                  << std::endl;
        return 2;
    }
    std::cout << "Checking the asset set in " << std::filesystem::current_path().string() << "\n";
    const assetcheck::Report report = assetcheck::checkAssetSet(std::cout);
    if (report.passed()) {
        std::cout << "All checks hold." << std::endl;
        return 0;
    }
    std::cout << report.failures.size() << " check(s) failed, " << report.diagnostics.size()
              << " diagnostic line(s)." << std::endl;
    return 1;
}

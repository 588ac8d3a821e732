#include "FuzzSupport.hpp"

#include <SFML/Audio/OutputSoundFile.hpp>
#include <SFML/Graphics/Image.hpp>
#include <SFML/System/Err.hpp>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <streambuf>
#include <unistd.h>
#include <vector>

namespace fuzz {

namespace {

namespace fs = std::filesystem;

// Swallows everything written to it.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

fs::path scratch;

void removeScratch() {
    std::error_code ignored;
    if (!scratch.empty()) {
        fs::remove_all(scratch, ignored);
    }
}

void writeTinyPicture(const fs::path& path) {
    sf::Image image;
    image.create(4, 4, sf::Color(200, 100, 50, 255));
    image.saveToFile(path.string());
}

void writeTinySound(const fs::path& path) {
    std::vector<sf::Int16> samples(441, 0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<sf::Int16>((i % 40) * 400);
    }
    sf::OutputSoundFile file;
    if (file.openFromFile(path.string(), 44100, 1)) {
        file.write(samples.data(), samples.size());
    }
}

// Mirrors the repository's assets/ into the scratch folder (see setUpOnce).
void buildMiniatureAssets() {
    const fs::path source = fs::path(KLOMP_SOURCE_DIR) / "assets";
    for (const auto& item : fs::recursive_directory_iterator(source)) {
        if (!item.is_regular_file()) {
            continue;
        }
        const fs::path relative = fs::relative(item.path(), source);
        const fs::path target = scratch / "assets" / relative;
        fs::create_directories(target.parent_path());
        const std::string extension = item.path().extension().string();
        if (extension == ".json") {
            fs::copy_file(item.path(), target);
        } else if (extension == ".png") {
            writeTinyPicture(target);
        } else if (extension == ".wav") {
            writeTinySound(target);
        } else if (extension == ".ogg") {
            // The music loader never opens its files; a WAV under the song's name serves.
            writeTinySound(target.string() + ".wav");
            fs::rename(target.string() + ".wav", target);
        }
    }
}

} // namespace

void setUpOnce() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;

    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "The fuzz targets need an X display: run them under "
                             "tools/with-xvfb.sh (tools/fuzz.sh does).\n");
        std::exit(2);
    }
    // Keep Mesa's driver loaded to the end, so leak checks see this project's leaks only.
    for (const char* driver : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                               "/usr/lib/aarch64-linux-gnu/dri/swrast_dri.so"}) {
        if (dlopen(driver, RTLD_NOW | RTLD_NODELETE) != nullptr) {
            break;
        }
    }
    setenv("ALSOFT_DRIVERS", "null", 0);

    const char* verbose = std::getenv("KLOMP_FUZZ_VERBOSE");
    if (verbose == nullptr || std::string(verbose) != "1") {
        static NullBuffer nothing;
        std::cerr.rdbuf(&nothing);
        sf::err().rdbuf(&nothing);
    }

    // Rewriting a file on a disk file system costs milliseconds (the truncation flushes);
    // in memory it costs microseconds, so the scratch folder goes to /dev/shm where there is one.
    std::error_code error;
    const fs::path base = fs::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0
                              ? fs::path("/dev/shm")
                              : fs::temp_directory_path();
    std::string pattern = (base / "klomp-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    scratch = pattern;
    std::atexit(removeScratch);
    buildMiniatureAssets();
    fs::current_path(scratch);
}

std::string writeInput(const char* name, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return name;
}

nlohmann::json decodeDocument(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return nlohmann::json();
    }
    const std::uint8_t* begin = data + 1;
    const std::uint8_t* end = data + size;
    try {
        switch (data[0] % 5) {
        case 0: {
            nlohmann::json document;
            std::istringstream in(std::string(begin, end));
            try {
                in >> document;
            } catch (const nlohmann::json::exception&) {
                // keep the part built before the error, as the loaders do
            }
            return document;
        }
        case 1:
            return nlohmann::json::from_cbor(begin, end, true, false);
        case 2:
            return nlohmann::json::from_msgpack(begin, end, true, false);
        case 3:
            return nlohmann::json::from_ubjson(begin, end, true, false);
        default:
            return nlohmann::json::from_bson(begin, end, true, false);
        }
    } catch (const nlohmann::json::exception&) {
        return nlohmann::json();
    }
}

void fail(const std::string& what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
    std::abort();
}

} // namespace fuzz

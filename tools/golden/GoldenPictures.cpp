#include "golden/GoldenFrames.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace golden {

namespace {

struct Pick {
    const char* name;
    double seconds;
};

// At least four moments in every scene, chosen where something is moving or an effect is on.
const Pick kPicks[] = {
    // intro (0 - 20 s)
    {"intro-02.0-fade-in-sun", 2.0},
    {"intro-02.5-vinyl-grows", 2.5},
    {"intro-07.8-static-over-presents", 7.8},
    {"intro-12.0-presents-glitch", 12.0},
    {"intro-17.5-vinyl-shrinks-fading", 17.5},
    // title (20.03 - 55.9 s)
    {"title-20.15-fade-in-wall", 20.15},
    {"title-22.8-words-drop-in", 22.8},
    {"title-27.0-drip-symbol-glitch", 27.0},
    {"title-31.0-words-spin-away", 31.0},
    {"title-38.2-stickers-bomb-falls", 38.2},
    {"title-46.0-stencil-leaves", 46.0},
    {"title-49.5-sun", 49.5},
    {"title-53.5-jet-stars", 53.5},
    // wall scroller (55.9 - 79.45 s)
    {"wall-56.3-sun-fades-in", 56.3},
    {"wall-60.0-scroller-stars", 60.0},
    {"wall-70.0-scroller-glitch", 70.0},
    {"wall-78.4-fading-out", 78.4},
    // vinyl scroller (79.45 - 126 s)
    {"vinyl-80.2-fade-in-ripple", 80.2},
    {"vinyl-83.2-label-star-burst", 83.2},
    {"vinyl-96.0-third-label", 96.0},
    {"vinyl-110.0-record-scroller", 110.0},
    {"vinyl-123.5-fading-out", 123.5},
    // party (126 - 166.55 s)
    {"party-127.0-fade-in-wall", 127.0},
    {"party-130.5-blueprint-peephole", 130.5},
    {"party-147.5-galaxy-walker", 147.5},
    {"party-158.8-vantie-peephole", 158.8},
    {"party-165.5-fading-out", 165.5},
    // finale (166.55 - 197.05 s)
    {"finale-167.0-fade-in-logo", 167.0},
    {"finale-175.0-sun-credits", 175.0},
    {"finale-181.0-credits-scroller", 181.0},
    {"finale-190.0-fading-out", 190.0},
};

} // namespace

const std::vector<Moment>& moments() {
    static const std::vector<Moment> list = [] {
        std::vector<Moment> made;
        for (const Pick& pick : kPicks) {
            made.push_back({pick.name, std::llround(pick.seconds * kFramesPerSecond)});
        }
        return made;
    }();
    return list;
}

sf::Image shrink(const std::uint8_t* bgra, unsigned width, unsigned height) {
    const unsigned outWidth = width / kFactor;
    const unsigned outHeight = height / kFactor;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(outWidth) * outHeight * 4, 255);
    constexpr unsigned kCount = kFactor * kFactor;
    for (unsigned oy = 0; oy < outHeight; ++oy) {
        for (unsigned ox = 0; ox < outWidth; ++ox) {
            unsigned sum[3] = {0, 0, 0}; // b, g, r
            for (unsigned dy = 0; dy < kFactor; ++dy) {
                // Rows come bottom-up: output row 0 is the top of the picture.
                const unsigned row = height - 1 - (oy * kFactor + dy);
                const std::uint8_t* p =
                    bgra + (static_cast<std::size_t>(row) * width + ox * kFactor) * 4;
                for (unsigned dx = 0; dx < kFactor; ++dx, p += 4) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            std::uint8_t* out = &rgba[(static_cast<std::size_t>(oy) * outWidth + ox) * 4];
            out[0] = static_cast<std::uint8_t>((sum[2] + kCount / 2) / kCount);
            out[1] = static_cast<std::uint8_t>((sum[1] + kCount / 2) / kCount);
            out[2] = static_cast<std::uint8_t>((sum[0] + kCount / 2) / kCount);
        }
    }
    sf::Image image;
    image.create(outWidth, outHeight, rgba.data());
    return image;
}

Difference compare(const sf::Image& actual, const sf::Image& reference, int tolerance) {
    Difference d;
    if (actual.getSize() != reference.getSize()) {
        d.sizesDiffer = true;
        return d;
    }
    const std::uint8_t* a = actual.getPixelsPtr();
    const std::uint8_t* r = reference.getPixelsPtr();
    const std::size_t count = static_cast<std::size_t>(actual.getSize().x) * actual.getSize().y;
    for (std::size_t i = 0; i < count; ++i, a += 4, r += 4) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            worst = std::max(worst, std::abs(a[c] - r[c]));
        }
        d.largest = std::max(d.largest, worst);
        d.pixels += worst > tolerance ? 1 : 0;
    }
    return d;
}

sf::Image differencePicture(const sf::Image& actual, const sf::Image& reference, int tolerance) {
    sf::Image picture;
    const sf::Vector2u size = reference.getSize();
    picture.create(size.x, size.y, sf::Color::Black);
    const bool comparable = actual.getSize() == size;
    for (unsigned y = 0; y < size.y; ++y) {
        for (unsigned x = 0; x < size.x; ++x) {
            const sf::Color r = reference.getPixel(x, y);
            int worst = 256;
            if (comparable) {
                const sf::Color a = actual.getPixel(x, y);
                worst = std::max({std::abs(a.r - r.r), std::abs(a.g - r.g), std::abs(a.b - r.b)});
            }
            if (worst > tolerance) {
                const int level = std::min(255, 128 + worst);
                picture.setPixel(x, y, sf::Color(static_cast<sf::Uint8>(level), 0, 0));
            } else {
                picture.setPixel(x, y, sf::Color(r.r / 4, r.g / 4, r.b / 4));
            }
        }
    }
    return picture;
}

bool writeDifference(const std::string& folder, const std::string& name, const sf::Image& actual,
                     const sf::Image& reference, int tolerance) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::filesystem::path base(folder);
    bool written = actual.saveToFile((base / (name + "-actual.png")).string());
    if (reference.getSize().x > 0) {
        written = reference.saveToFile((base / (name + "-reference.png")).string()) && written;
        written = differencePicture(actual, reference, tolerance)
                      .saveToFile((base / (name + "-diff.png")).string()) &&
                  written;
    }
    return written;
}

int compareFolders(const std::string& referenceFolder, const std::string& actualFolder,
                   int tolerance, const std::string& diffFolder) {
    int failed = 0;
    for (const Moment& moment : moments()) {
        const std::string file = moment.name + ".png";
        sf::Image reference;
        sf::Image actual;
        const bool haveReference =
            reference.loadFromFile((std::filesystem::path(referenceFolder) / file).string());
        if (!actual.loadFromFile((std::filesystem::path(actualFolder) / file).string())) {
            std::printf("golden: %s: no still to compare\n", moment.name.c_str());
            ++failed;
            continue;
        }
        if (!haveReference) {
            std::printf("golden: %s: no reference\n", moment.name.c_str());
            ++failed;
        } else {
            const Difference d = compare(actual, reference, tolerance);
            if (d.same()) {
                continue;
            }
            ++failed;
            if (d.sizesDiffer) {
                std::printf("golden: %s: size %ux%u, reference %ux%u\n", moment.name.c_str(),
                            actual.getSize().x, actual.getSize().y, reference.getSize().x,
                            reference.getSize().y);
            } else {
                std::printf("golden: %s: %lld pixels differ by more than %d (largest %d)\n",
                            moment.name.c_str(), static_cast<long long>(d.pixels), tolerance,
                            d.largest);
            }
        }
        if (!diffFolder.empty()) {
            writeDifference(diffFolder, moment.name, actual,
                            haveReference ? reference : sf::Image(), tolerance);
        }
    }
    std::fflush(stdout);
    return failed;
}

} // namespace golden

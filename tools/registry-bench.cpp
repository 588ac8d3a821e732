// Measures the asset registries: the start-up cost of the five registry loads on the shipped
// definition files, and the cost of TextureManager::get and SpriteManager::get on registries
// of a few hundred keys, with the heap allocations each lookup makes (counted by the replaced
// global operator new of bench/AllocationCounter, on every thread). Run from the repository root
// under Xvfb, with an audio backend that opens (ALSOFT_DRIVERS=null on a machine without a sound
// card).
#include "bench/AllocationCounter.hpp"

#include "assets/MusicManager.hpp"
#include "assets/SoundManager.hpp"
#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "effects/ParticleManager.hpp"

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Heap allocations of the whole process since main began.
std::uint64_t allocationsSoFar() {
    return allocations::counted() + allocations::otherThreads();
}

// Reports the allocations made since `before` per iteration of `state`.
void reportAllocations(benchmark::State& state, std::uint64_t before) {
    const std::uint64_t made = allocationsSoFar() - before;
    state.counters["allocs/lookup"] =
        benchmark::Counter(static_cast<double>(made) / static_cast<double>(state.iterations()));
}

// --- start-up loads ---------------------------------------------------------------------------

double millisecondsOf(bool (*load)(const std::string&), const char* path, bool& ok) {
    const auto start = std::chrono::steady_clock::now();
    ok = load(path) && ok;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The five loads of start-up, in start-up's order, once (the registries can only be filled
// once per process; run the tool several times for a spread).
void BM_StartUpLoads(benchmark::State& state) {
    static bool done = false;
    for (auto _ : state) {
        if (done) {
            state.SkipWithError("the registries are filled once per process");
            break;
        }
        done = true;
        bool ok = true;
        const double textures = millisecondsOf(&TextureManager::load, "assets/textures.json", ok);
        const double sprites = millisecondsOf(&SpriteManager::load, "assets/sprites.json", ok);
        const double sounds = millisecondsOf(&SoundManager::load, "assets/sounds.json", ok);
        const double music = millisecondsOf(&MusicManager::load, "assets/music.json", ok);
        const double particles =
            millisecondsOf(&ParticleManager::load, "assets/particles.json", ok);
        if (!ok) {
            state.SkipWithError("a definition file did not load: run from the repository root");
            break;
        }
        state.counters["textures_ms"] = textures;
        state.counters["sprites_ms"] = sprites;
        state.counters["sounds_ms"] = sounds;
        state.counters["music_ms"] = music;
        state.counters["particles_ms"] = particles;
        state.counters["total_ms"] = textures + sprites + sounds + music + particles;
    }
}
BENCHMARK(BM_StartUpLoads)->Iterations(1)->Unit(benchmark::kMillisecond);

// --- lookups ----------------------------------------------------------------------------------

constexpr int kSyntheticKeys = 300;
const char* const kLongKey = "bench-key-longer-than-fifteen"; // beyond the string's own buffer

struct LookupKeys {
    std::vector<std::string> textures;
    std::vector<std::string> sprites;
};

// Adds kSyntheticKeys small textures and one sprite on each, beside whatever start-up loaded,
// and returns every registered key (built once, so the loops below hand over existing strings).
const LookupKeys& lookupKeys() {
    static const LookupKeys keys = [] {
        LookupKeys built;
        const std::filesystem::path png =
            std::filesystem::temp_directory_path() /
            ("klomp-registry-bench-" + std::to_string(getpid()) + ".png");
        sf::Image image;
        image.create(8, 8, sf::Color::White);
        image.saveToFile(png.string());
        nlohmann::json sprites = nlohmann::json::object();
        for (int i = 0; i < kSyntheticKeys; ++i) {
            const std::string key = "bench-" + std::to_string(i);
            TextureManager::add(key, png.string(), false);
            sprites[key] = {{"texture", key}, {"autocenter", true}};
            built.textures.push_back(key);
            built.sprites.push_back(key);
        }
        TextureManager::add(kLongKey, png.string(), false);
        sprites[kLongKey] = {{"texture", kLongKey}, {"autocenter", true}};
        SpriteManager::readEntries({{"sprites", sprites}});
        std::filesystem::remove(png);
        // The keys of the shipped files join in when start-up has loaded them.
        const auto shippedKeys = [](const char* path, const char* section) {
            std::vector<std::string> found;
            nlohmann::json document;
            std::ifstream file(path);
            try {
                file >> document;
            } catch (const nlohmann::json::exception&) {
                return found;
            }
            if (document.is_object() && document.contains(section) &&
                document[section].is_object()) {
                for (const auto& member : document[section].items()) {
                    found.push_back(member.key());
                }
            }
            return found;
        };
        for (const std::string& key : shippedKeys("assets/textures.json", "textures")) {
            if (TextureManager::exists(key)) {
                built.textures.push_back(key);
            }
        }
        for (const std::string& key : shippedKeys("assets/sprites.json", "sprites")) {
            if (SpriteManager::exists(key)) {
                built.sprites.push_back(key);
            }
        }
        return built;
    }();
    return keys;
}

template <typename Lookup>
void runLookups(benchmark::State& state, const std::vector<std::string>& keys, Lookup lookup) {
    std::size_t next = 0;
    const std::uint64_t before = allocationsSoFar();
    for (auto _ : state) {
        benchmark::DoNotOptimize(lookup(keys[next]));
        next = next + 1 == keys.size() ? 0 : next + 1;
    }
    reportAllocations(state, before);
    state.counters["keys"] = static_cast<double>(keys.size());
}

void BM_TextureGet(benchmark::State& state) {
    runLookups(state, lookupKeys().textures, &TextureManager::get);
}
BENCHMARK(BM_TextureGet);

void BM_SpriteGet(benchmark::State& state) {
    runLookups(state, lookupKeys().sprites, &SpriteManager::get);
}
BENCHMARK(BM_SpriteGet);

// How scenes call it: a string literal becomes the key argument. A short key fits the string's
// own buffer; a key longer than 15 characters costs one allocation for the argument itself.
void BM_SpriteGetShortLiteral(benchmark::State& state) {
    lookupKeys();
    const std::uint64_t before = allocationsSoFar();
    for (auto _ : state) {
        benchmark::DoNotOptimize(SpriteManager::get("bench-42"));
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_SpriteGetShortLiteral);

void BM_SpriteGetLongLiteral(benchmark::State& state) {
    lookupKeys();
    const std::uint64_t before = allocationsSoFar();
    for (auto _ : state) {
        benchmark::DoNotOptimize(SpriteManager::get("bench-key-longer-than-fifteen"));
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_SpriteGetLongLiteral);

} // namespace

int main(int argc, char** argv) {
    allocations::countThisThread();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    // Like start-up, load with a window's OpenGL context active on this thread.
    sf::RenderWindow window(sf::VideoMode(640, 360), "klomp-registry-bench");
    window.setActive(true);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

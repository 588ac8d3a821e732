// The real program under faults, end to end: each case runs the program in a folder of its own
// (config.json and the asset tree, as links to the repository's files, with the fault applied)
// on a private X server, holds Escape once the show has drawn a few frames, and checks
// that the program kept running until then, exited with status 0, and wrote exactly the
// expected diagnostic lines. Lines of the libraries underneath (SFML's "Failed to load
// image ...", Mesa's shader compiler log) are allowed; an unknown line fails the case.
//
// Stalls (the process stopped for 10 s, so the next frame measures 10 s) and the window's
// close button run end to end in the intro and the title; the later scenes, which the program
// reaches only after a minute or more, get the same treatment in-process at the end of this
// file, frame by frame through renderFrame.
//
// KLOMP_SHOW_STDERR=1 prints every run's standard error.
#include "support/TestSupport.hpp"

#include "runtime/DemoState.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/Startup.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <regex>
#include <set>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// After everything else: Xlib defines macros (None, Bool, Status) that other headers use as names.
#include <X11/Xlib.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Lines splitLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// ---------------------------------------------------------------------------------------
// Running the program: each run on an X server of its own (test support's runner)

// Every run holds Escape once the show has drawn ten frames, unless its plan says otherwise:
// past loading the assets and into the intro's first frames (the intro reports what it misses
// in its first), however busy the machine is.
struct Plan : test::RunPlan {
    Plan() { escapeAfterFrames = 10; }
};
using Outcome = test::ProgramRun;

Outcome play(const fs::path& dir, const Plan& plan) {
    return test::runProgram(dir, plan);
}

// ---------------------------------------------------------------------------------------
// Case folders

// Relative path -> the file's content, or nothing for a path that must not exist.
using Changes = std::map<std::string, std::optional<std::string>>;

// Fills `dir` with config.json and assets/ as links to the repository's files, except where
// `changes` names a path (or a path below it): there the file gets the given content, or
// the path (file or folder) is left out.
void buildTree(const fs::path& source, const fs::path& dir, const std::string& relative,
               const Changes& changes) {
    const auto changed = changes.find(relative);
    if (changed != changes.end()) {
        if (changed->second) {
            std::ofstream(dir / relative, std::ios::binary) << *changed->second;
        }
        return;
    }
    bool touched = false;
    for (const auto& [path, content] : changes) {
        touched = touched || path.rfind(relative + "/", 0) == 0;
    }
    if (!touched || !fs::is_directory(source / relative)) {
        fs::create_symlink(source / relative, dir / relative);
        return;
    }
    fs::create_directories(dir / relative);
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(source / relative)) {
        names.insert(item.path().filename().string());
    }
    for (const auto& [path, content] : changes) {
        if (path.rfind(relative + "/", 0) == 0) {
            const std::string rest = path.substr(relative.size() + 1);
            names.insert(rest.substr(0, rest.find('/')));
        }
    }
    for (const std::string& name : names) {
        buildTree(source, dir, relative + "/" + name, changes);
    }
}

void buildCase(const fs::path& dir, const Changes& changes) {
    for (const char* top : {"config.json", "assets"}) {
        buildTree(test::sourceDir(), dir, top, changes);
    }
}

std::string shipped(const std::string& relative) {
    return readFile(test::sourceDir() / relative);
}

// The shipped file with `from` replaced by `to` (which must occur).
std::string edited(const std::string& relative, const std::string& from, const std::string& to) {
    std::string text = shipped(relative);
    const auto at = text.find(from);
    if (at == std::string::npos) {
        ADD_FAILURE() << relative << " no longer contains " << from;
        return text;
    }
    return text.replace(at, from.size(), to);
}

// The shipped file cut off right after the first occurrence of `after`.
std::string cutAfter(const std::string& relative, const std::string& after) {
    const std::string text = shipped(relative);
    const auto at = text.find(after);
    if (at == std::string::npos) {
        ADD_FAILURE() << relative << " no longer contains " << after;
        return text;
    }
    return text.substr(0, at + after.size());
}

// ---------------------------------------------------------------------------------------
// What start-up reports, worked out from the definition files a case leaves in place

nlohmann::json shippedDocument(const std::string& relative) {
    return nlohmann::json::parse(shipped(relative));
}

// Sprite keys (ascending) with the texture each names.
std::vector<std::pair<std::string, std::string>> spriteTextures() {
    std::vector<std::pair<std::string, std::string>> result;
    const nlohmann::json document = shippedDocument("assets/sprites.json");
    for (const auto& [key, entry] : document.at("sprites").items()) {
        result.emplace_back(key, entry.at("texture").get<std::string>());
    }
    return result;
}

// The definition file and sprite keys of each particle system (ascending keys).
std::vector<std::pair<std::string, Lines>> particleSprites() {
    std::vector<std::pair<std::string, Lines>> result;
    const nlohmann::json document = shippedDocument("assets/particles.json");
    for (const auto& [key, entry] : document.at("particlesystems").items()) {
        const std::string file = entry.at("file").get<std::string>();
        result.emplace_back(file,
                            shippedDocument(file).at("sprites").get<std::vector<std::string>>());
    }
    return result;
}

std::set<std::string> textureKeys() {
    std::set<std::string> keys;
    const nlohmann::json document = shippedDocument("assets/textures.json");
    for (const auto& item : document.at("textures").items()) {
        keys.insert(item.key());
    }
    return keys;
}

std::string noSprite(const std::string& key) {
    return "SpriteManager: Sprite with key " + key + " does not exist.";
}
std::string noTexture(const std::string& key) {
    return "TextureManager: Texture with key " + key + " does not exist.";
}

// The registries as a case leaves them: which textures and sprites exist.
struct Registered {
    std::set<std::string> textures = textureKeys();
    std::set<std::string> sprites;     // filled by spriteLines()
    bool spritesFileLoads = true;      // false: sprites.json yields no entries at all
    std::set<std::string> lostSprites; // sprite entries the case removes or spoils
};

// The sprite registry's lines for the textures that are missing, and the sprites it keeps.
Lines spriteLines(Registered& r) {
    Lines lines;
    if (!r.spritesFileLoads) {
        return lines;
    }
    for (const auto& [sprite, texture] : spriteTextures()) {
        if (r.lostSprites.count(sprite) != 0) {
            continue;
        }
        if (r.textures.count(texture) == 0) {
            lines.push_back(noTexture(texture));
        } else {
            r.sprites.insert(sprite);
        }
    }
    return lines;
}

// The particle systems' lines for sprites that are missing.
Lines particleLines(const Registered& r) {
    Lines lines;
    for (const auto& [file, sprites] : particleSprites()) {
        bool unknown = false;
        for (const std::string& sprite : sprites) {
            if (r.sprites.count(sprite) == 0) {
                lines.push_back(noSprite(sprite));
                unknown = true;
            }
        }
        if (unknown) {
            lines.push_back("ParticleSystem: Unknown sprite in " + file + ".");
        }
    }
    return lines;
}

// The overlay, the mask, the peephole backgrounds and the intro's first frame.
Lines afterRegistries(const Registered& r) {
    Lines lines;
    for (const char* key : {"black", "mask"}) {
        if (r.sprites.count(key) == 0) {
            lines.push_back(noSprite(key));
        }
    }
    for (const char* key : {"blueprint", "galaxy", "vantiebg"}) {
        if (r.textures.count(key) == 0) {
            lines.push_back(noTexture(key));
        }
    }
    return lines;
}

Lines introLines(const Registered& r) {
    Lines lines;
    for (const char* key : {"vinyl", "presents", "black", "sun"}) {
        if (r.sprites.count(key) == 0) {
            lines.push_back(noSprite(key));
        }
    }
    return lines;
}

Lines concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// Everything start-up and the intro's first seconds report, given the texture registry's own
// lines and what it keeps, with the rest of the files shipped.
Lines cascadeFromTextures(const Lines& textureLines, Registered r) {
    const Lines sprites = spriteLines(r);
    return concat({textureLines, sprites, particleLines(r), afterRegistries(r), introLines(r)});
}

Lines cascadeFromSprites(const Lines& spriteFileLines, Registered r) {
    const Lines sprites = spriteLines(r);
    return concat({spriteFileLines, sprites, particleLines(r), afterRegistries(r), introLines(r)});
}

// ---------------------------------------------------------------------------------------
// Judging a run

// The lines this program writes, as opposed to the libraries underneath.
bool isOurs(const std::string& line) {
    for (const char* prefix :
         {"TextureManager: ", "SpriteManager: ", "SoundManager: ", "MusicManager: ",
          "ParticleManager: ", "ParticleSystem: ", "validateJson: ", "Config.json ",
          "config.json: ", "Unable to load fontfile ", "[json.exception.",
          "Shaders are not available"}) {
        if (line.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

// Lines that SFML, Mesa or the X server write for the faults of this matrix.
bool isLibraryLine(const std::string& line) {
    static const std::regex known(
        "Setting vertical sync not supported"
        "|Failed to load image \".*\"\\. Reason: .*"
        "|Failed to load font \".*\" \\(failed to create the font face\\)"
        "|Failed to open (vertex |fragment )?shader file \".*\""
        "|Failed to compile (vertex|fragment) shader:"
        "|Failed to link shader:"
        "|(\\d+:\\d+\\(\\d+\\): (error|warning|preprocessor error)|error|warning): .*"
        "|Failed to open sound file \".*\" \\(.*\\)"
        "|Failed to open music file \".*\" \\(.*\\)"
        "|Failed to open sound file \".*\" \\(couldn't open stream\\)"
        "|\\s*");
    return std::regex_match(line, known);
}

struct Case {
    std::string name{};
    Changes changes{};
    Lines expected{}; // our lines, exactly, in order
    Plan plan{};
    bool withConfig = true;
    std::vector<std::string> folders{}; // folders made in place of files
    std::vector<std::string> fifos{};   // named pipes, with no writer, in place of files
    bool fullscreen = false;            // the configuration asks for a fullscreen window
};

void judge(const Case& c, const Outcome& outcome) {
    SCOPED_TRACE(c.name);
    if (std::getenv("KLOMP_SHOW_STDERR") != nullptr) {
        std::printf("---- %s: exit %d, %d frames drawn\n%s", c.name.c_str(), outcome.exitStatus,
                    outcome.framesDrawn, outcome.standardError.c_str());
    }
    ASSERT_EQ(outcome.problem, "");
    EXPECT_TRUE(outcome.windowSeen) << "no window appeared";
    EXPECT_EQ(outcome.fullscreenWindow, c.fullscreen);
    EXPECT_FALSE(outcome.endedBeforeAsked) << "ended on its own before Escape or close";
    EXPECT_GE(outcome.framesDrawn, std::max(1, c.plan.escapeAfterFrames)) << "the show drew";
    EXPECT_EQ(outcome.exitStatus, 0) << outcome.standardError;
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(outcome.rasterizerThreads, 0);
    Lines ours;
    for (const std::string& line : splitLines(outcome.standardError)) {
        if (isOurs(line)) {
            ours.push_back(line);
        } else {
            EXPECT_TRUE(isLibraryLine(line)) << "unexpected line: " << line;
        }
    }
    EXPECT_EQ(ours, c.expected) << outcome.standardError;
}

// Runs the cases, `parallel` at a time (by default one per processor core, at least two),
// each in a fresh folder on its own X server.
void runCases(const std::vector<Case>& cases, unsigned parallel = 0) {
    std::vector<Outcome> outcomes(cases.size());
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i = next++; i < cases.size(); i = next++) {
            test::TempDir dir;
            Changes changes = cases[i].changes;
            if (!cases[i].withConfig) {
                changes["config.json"] = std::nullopt;
            }
            for (const std::string& folder : cases[i].folders) {
                changes[folder] = std::nullopt;
            }
            for (const std::string& fifo : cases[i].fifos) {
                changes[fifo] = std::nullopt;
            }
            buildCase(dir.path(), changes);
            for (const std::string& folder : cases[i].folders) {
                fs::create_directories(dir.path() / folder / "inside");
            }
            for (const std::string& fifo : cases[i].fifos) {
                EXPECT_EQ(mkfifo((dir.path() / fifo).c_str(), 0644), 0) << fifo;
            }
            outcomes[i] = play(dir.path(), cases[i].plan);
        }
    };
    if (parallel == 0) {
        parallel = std::max(2u, std::min(4u, std::thread::hardware_concurrency()));
    }
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < parallel; ++i) {
        workers.emplace_back(worker);
    }
    for (auto& thread : workers) {
        thread.join();
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        judge(cases[i], outcomes[i]);
    }
}

// ---------------------------------------------------------------------------------------
// The matrix

TEST(FaultMatrix, ShippedShowAndConfiguration) {
    runCases({
        {"shipped files", {}, {}, {}},
        {"no config.json", {}, {"Config.json missing."}, {}, false},
        {"config.json is a folder", {}, {"Config.json missing."}, {}, true, {"config.json"}},
    });
}

// The registry files and a particle system's own file, each missing, empty, cut off, with its
// section of the wrong type, and with entries of the wrong types.
const std::string kTypeError = "[json.exception.type_error.302] type must be ";

Lines parseLines(const std::string& prefix, const std::string& text) {
    return {prefix + "Error while parsing JSON.", test::parserMessage(text)};
}

TEST(FaultMatrix, TextureDefinitions) {
    const std::string file = "assets/textures.json";
    const std::string cut = cutAfter(file, "\"file\": \"assets/gfx/bo");
    Registered none;
    none.textures.clear();
    Registered beforeBreak;
    for (auto it = beforeBreak.textures.begin(); it != beforeBreak.textures.end();) {
        it = *it < "bomb" ? std::next(it) : beforeBreak.textures.erase(it);
    }
    Registered withoutSun;
    withoutSun.textures.erase("sun");
    Registered withoutBlueprint;
    withoutBlueprint.textures.erase("blueprint");
    runCases({
        {"textures.json missing",
         {{file, std::nullopt}},
         cascadeFromTextures({"TextureManager: Unable to open file assets/textures.json."}, none)},
        {"textures.json empty",
         {{file, ""}},
         cascadeFromTextures(concat({parseLines("TextureManager: ", ""),
                                     {"validateJson: Missing prop: textures.",
                                      "TextureManager: Missing properties in texturesfile."}}),
                             none)},
        {"textures.json cut off",
         {{file, cut}},
         cascadeFromTextures(concat({parseLines("TextureManager: ", cut),
                                     {"TextureManager: Unable to read [bomb]: " + kTypeError +
                                      "string, but is null"}}),
                             beforeBreak)},
        {"textures section is an array",
         {{file, R"({"textures": [{"file": "assets/gfx/sun.png"}]})"}},
         cascadeFromTextures(
             {"TextureManager: Unable to read [textures]: " + kTypeError + "object, but is array"},
             none)},
        {"texture file of the wrong type",
         {{file, edited(file, R"("file": "assets/gfx/sun.png")", R"("file": 7)")}},
         cascadeFromTextures(
             {"TextureManager: Unable to read [sun]: " + kTypeError + "string, but is number"},
             withoutSun)},
        {"texture flag of the wrong type",
         {{file, edited(file, R"("repeated": true)", R"("repeated": "yes")")}},
         cascadeFromTextures({"TextureManager: Unable to read [blueprint]: " + kTypeError +
                              "boolean, but is string"},
                             withoutBlueprint)},
    });
}

TEST(FaultMatrix, SpriteDefinitions) {
    const std::string file = "assets/sprites.json";
    const std::string cut = cutAfter(file, "\"texture\": \"bo");
    Registered none;
    none.spritesFileLoads = false;
    Registered beforeBreak;
    for (const auto& [sprite, texture] : spriteTextures()) {
        if (sprite >= "bomb") {
            beforeBreak.lostSprites.insert(sprite);
        }
    }
    Registered withoutSun;
    withoutSun.lostSprites = {"sun"};
    Registered withoutBlack;
    withoutBlack.lostSprites = {"black"};
    runCases({
        {"sprites.json missing",
         {{file, std::nullopt}},
         cascadeFromSprites({"SpriteManager: Unable to open file assets/sprites.json."}, none)},
        {"sprites.json empty",
         {{file, ""}},
         cascadeFromSprites(concat({parseLines("SpriteManager: ", ""),
                                    {"validateJson: Missing prop: sprites.",
                                     "SpriteManager: Missing properties in spritesfile."}}),
                            none)},
        {"sprites.json cut off",
         {{file, cut}},
         cascadeFromSprites(concat({parseLines("SpriteManager: ", cut),
                                    {"SpriteManager: Unable to read [bomb]: " + kTypeError +
                                     "string, but is null"}}),
                            beforeBreak)},
        {"sprites section is a number",
         {{file, R"({"sprites": 5})"}},
         cascadeFromSprites(
             {"SpriteManager: Unable to read [sprites]: " + kTypeError + "object, but is number"},
             none)},
        {"sprite entry of the wrong types",
         {{file, edited(file, "\"texture\": \"sun\",\n      \"autocenter\": true",
                        "\"texture\": \"sun\",\n      \"autocenter\": \"yes\"")}},
         cascadeFromSprites(
             {"SpriteManager: Unable to read [sun]: " + kTypeError + "boolean, but is string"},
             withoutSun)},
        // The fade overlay: start-up and the intro ask for it; the frame loop darkens the
        // picture without it.
        {"sprite black missing",
         {{file, edited(file,
                        "\"black\": {\n      \"texture\": \"black\",\n      \"rectW\": -1,\n"
                        "      \"rectH\": -1\n    },",
                        "")}},
         cascadeFromSprites({}, withoutBlack)},
    });
}

TEST(FaultMatrix, SoundAndMusicDefinitions) {
    const std::string sounds = "assets/sounds.json";
    const std::string music = "assets/music.json";
    const std::string soundsCut = cutAfter(sounds, "\"file\": \"assets/sou");
    const std::string musicCut = cutAfter(music, "\"file\": \"assets/mu");
    const std::string noSong = "MusicManager: Song with key klomp does not exist.";
    runCases({
        {"sounds.json missing",
         {{sounds, std::nullopt}},
         {"SoundManager: Unable to open file assets/sounds.json."}},
        {"sounds.json empty",
         {{sounds, ""}},
         concat({parseLines("SoundManager: ", ""),
                 {"validateJson: Missing prop: sounds.",
                  "SoundManager: Missing properties in soundsfile."}})},
        {"sounds.json cut off",
         {{sounds, soundsCut}},
         concat({parseLines("SoundManager: ", soundsCut),
                 {"SoundManager: Unable to read [noise]: " + kTypeError + "string, but is null"}})},
        {"sounds section is an array",
         {{sounds, R"({"sounds": ["assets/sounds/noise.wav"]})"}},
         {"SoundManager: Unable to read [sounds]: " + kTypeError + "object, but is array"}},
        {"sound entry of the wrong types",
         {{sounds, edited(sounds, R"("instances": 1)", R"("instances": "one")")}},
         {"SoundManager: Unable to read [noise]: " + kTypeError + "number, but is string"}},
        {"music.json missing",
         {{music, std::nullopt}},
         {"MusicManager: Unable to open file assets/music.json.", noSong}},
        {"music.json empty",
         {{music, ""}},
         concat(
             {parseLines("MusicManager: ", ""), {"validateJson: Missing prop: music.", noSong}})},
        {"music.json cut off",
         {{music, musicCut}},
         concat({parseLines("MusicManager: ", musicCut),
                 {"MusicManager: Unable to read [klomp]: " + kTypeError + "string, but is null",
                  noSong}})},
        {"music section is a string",
         {{music, R"({"music": "assets/music/klomp.ogg"})"}},
         {"MusicManager: Unable to read [music]: " + kTypeError + "object, but is string", noSong}},
        {"music entry of the wrong types",
         {{music, edited(music, R"("volume": 100)", R"("volume": "loud")")}},
         {"MusicManager: Unable to read [klomp]: " + kTypeError + "number, but is string", noSong}},
    });
}

// Only the title and later scenes use particles, so the intro reports nothing more.
TEST(FaultMatrix, ParticleDefinitions) {
    const std::string registry = "assets/particles.json";
    const std::string system = "assets/particles/bw_stars.json";
    const std::string registryCut = cutAfter(registry, "\"file\": \"assets/particles/star");
    const std::string systemCut = cutAfter(system, "\"fadeout\": tr");
    const std::string unreadable = "ParticleSystem: Unable to read [" + system + "]: ";
    runCases({
        {"particles.json missing",
         {{registry, std::nullopt}},
         {"ParticleManager: Unable to open file assets/particles.json."}},
        {"particles.json empty",
         {{registry, ""}},
         concat({parseLines("ParticleManager: ", ""),
                 {"validateJson: Missing prop: particlesystems."}})},
        {"particles.json cut off",
         {{registry, registryCut}},
         concat({parseLines("ParticleManager: ", registryCut),
                 {"ParticleManager: Unable to read [star_particles]: " + kTypeError +
                  "string, but is null"}})},
        {"particlesystems section is a string",
         {{registry, R"({"particlesystems": "assets/particles/bw_stars.json"})"}},
         {"ParticleManager: Unable to read [particlesystems]: " + kTypeError +
          "object, but is string"}},
        {"particle registry entry of the wrong types",
         {{registry, edited(registry, R"("instances": 100)", R"("instances": "many")")}},
         {"ParticleManager: Unable to read [bw_stars]: " + kTypeError + "number, but is string"}},
        {"particle system file missing",
         {{system, std::nullopt}},
         {"ParticleSystem: Unable to open file " + system + "."}},
        {"particle system file empty",
         {{system, ""}},
         concat({parseLines("ParticleSystem: ", ""),
                 {"validateJson: Missing prop: name.",
                  "ParticleSystem: Missing properties in jsonfile."}})},
        {"particle system file cut off",
         {{system, systemCut}},
         concat({parseLines("ParticleSystem: ", systemCut),
                 {"validateJson: Missing prop: min_fadespeed.",
                  "ParticleSystem: Missing properties in jsonfile."}})},
        {"particle sprite list of the wrong type",
         {{system, edited(system, "\"sprites\": [", "\"sprites\": 5, \"unused\": [")}},
         {unreadable + kTypeError + "string, but is number"}},
        {"particle values of the wrong types",
         {{system, edited(system, R"("fadein": true)", R"("fadein": 1)")}},
         {unreadable + kTypeError + "boolean, but is number"}},
    });
}

// Pictures, the font, the shaders, the song and the sound effect.
TEST(FaultMatrix, MediaFiles) {
    Lines everyImage;
    const nlohmann::json textures = shippedDocument("assets/textures.json");
    for (const auto& [key, entry] : textures.at("textures").items()) {
        everyImage.push_back("TextureManager: Unable to load file " +
                             entry.at("file").get<std::string>() + ".");
    }
    Registered noTextures;
    noTextures.textures.clear();
    const std::string broken = "#version 110\nvoid main() { this is not GLSL }\n";
    std::vector<Case> cases{
        {"every image missing",
         {{"assets/gfx", std::nullopt}},
         cascadeFromTextures(everyImage, noTextures)},
        {"font missing",
         {{"assets/colored-crayons/colored-crayons.ttf", std::nullopt}},
         {"Unable to load fontfile assets/colored-crayons/colored-crayons.ttf"}},
        {"song missing",
         {{"assets/music/klomp.ogg", std::nullopt}},
         {"MusicManager: Unable to load music file assets/music/klomp.ogg."}},
        {"sound missing",
         {{"assets/sounds/noise.wav", std::nullopt}},
         {"SoundManager: Unable to load file assets/sounds/noise.wav."}},
        {"song is a folder",
         {},
         {"MusicManager: Unable to load music file assets/music/klomp.ogg."},
         {},
         true,
         {"assets/music/klomp.ogg"}},
    };
    // A shader that is missing or does not compile is reported by SFML alone; the show
    // draws without it.
    for (const char* shader :
         {"passthrough.vert", "glitch.frag", "ripple.frag", "tvstatic.frag", "peephole.frag"}) {
        const std::string path = std::string("assets/shaders/") + shader;
        cases.push_back({std::string(shader) + " missing", {{path, std::nullopt}}, {}});
        cases.push_back({std::string(shader) + " not compiling", {{path, broken}}, {}});
    }
    runCases(cases);
}

// Media whose headers lie, files cut short, values out of range: reported, never fatal.
std::string soundClaimingDays() {
    // A FLAC of the shipped sound whose header claims 2^36 - 1 samples (days of sound): the
    // sound buffer would reserve memory for all of them.
    test::TempDir dir;
    const fs::path flac = dir.path() / "noise.flac";
    const std::string command = "sox -q '" +
                                (test::sourceDir() / "assets/sounds/noise.wav").string() + "' '" +
                                flac.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::string bytes = readFile(flac);
    if (bytes.size() < 26 || bytes.compare(0, 4, "fLaC") != 0) {
        ADD_FAILURE() << "sox made no FLAC";
        return bytes;
    }
    // STREAMINFO's total sample count: the low 4 bits of byte 21 and bytes 22 to 25.
    bytes[21] = static_cast<char>(bytes[21] | 0x0f);
    for (std::size_t i = 22; i < 26; ++i) {
        bytes[i] = static_cast<char>(0xff);
    }
    return bytes;
}

std::string waveClaimingFourGigabytes() {
    std::string bytes = shipped("assets/sounds/noise.wav");
    const auto data = bytes.find("data");
    if (data == std::string::npos || data + 8 > bytes.size()) {
        ADD_FAILURE() << "noise.wav has no data chunk";
        return bytes;
    }
    for (std::size_t i = data + 4; i < data + 8; ++i) {
        bytes[i] = static_cast<char>(0xf0);
    }
    return bytes;
}

std::string firstBytes(const std::string& relative, std::size_t count) {
    return shipped(relative).substr(0, count);
}

TEST(FaultMatrix, HostileMediaAndSpecialFiles) {
    const std::string sound = "assets/sounds/noise.wav";
    const std::string song = "assets/music/klomp.ogg";
    const std::string font = "assets/colored-crayons/colored-crayons.ttf";
    const std::string noSound = "SoundManager: Unable to load file " + sound + ".";
    Plan threeGigabytes;
    threeGigabytes.addressSpaceLimit = 3000000L * 1024L; // ulimit -v 3000000
    Registered withoutSun;
    withoutSun.textures.erase("sun");
    Registered noSprites;
    noSprites.spritesFileLoads = false;
    runCases({
        {"sound claiming days of samples", {{sound, soundClaimingDays()}}, {noSound}},
        {"sound claiming 4 GB, address space 3 GB",
         {{sound, waveClaimingFourGigabytes()}},
         {noSound},
         threeGigabytes},
        {"font cut short",
         {{font, firstBytes(font, 4096)}},
         {"Unable to load fontfile " + font + " (its letters cannot be read)"}},
        {"song cut short",
         {{song, firstBytes(song, 5000)}},
         {"MusicManager: Unable to read the length of music file " + song +
          "; it plays without loop points."}},
        {"music volume far below 0",
         {{"assets/music.json",
           edited("assets/music.json", R"("volume": 100)", R"("volume": -1e308)")}},
         {}},
        // Named pipes with no writer: opening one would wait for ever.
        {"config.json is a pipe", {}, {"Config.json missing."}, {}, true, {}, {"config.json"}},
        {"sprites.json is a pipe",
         {},
         cascadeFromSprites({"SpriteManager: Unable to open file assets/sprites.json."}, noSprites),
         {},
         true,
         {},
         {"assets/sprites.json"}},
        {"a picture is a pipe",
         {},
         cascadeFromTextures({"TextureManager: Unable to load file assets/gfx/sun.png."},
                             withoutSun),
         {},
         true,
         {},
         {"assets/gfx/sun.png"}},
        {"the font is a pipe", {}, {"Unable to load fontfile " + font}, {}, true, {}, {font}},
        {"a shader is a pipe", {}, {}, {}, true, {}, {"assets/shaders/glitch.frag"}},
        {"the song is a pipe",
         {},
         {"MusicManager: Unable to load music file " + song + "."},
         {},
         true,
         {},
         {song}},
    });
}

// Standard streams the program cannot write to, and keys and paths that hold control
// characters: the show plays on, and every diagnostic stays one line that cannot drive the
// terminal.
TEST(FaultMatrix, StreamsAndControlCharacters) {
    Plan closed;
    closed.standardError = Plan::Stderr::Closed;
    Plan gone;
    gone.standardError = Plan::Stderr::GonePipe;
    const std::string sprites = "assets/sprites.json";
    Registered r;
    runCases({
        {"standard error closed", {}, {}, closed},
        {"standard error a pipe without reader", {}, {}, gone, false},
        {"keys and paths with control characters",
         {{sprites, edited(sprites, "\"sprites\": {",
                           "\"sprites\": {\"bad\\nkey\": {\"texture\": \"no\\u001b[2Jtexture\"},"
                           "\"odd\\u0007key\": 5,")}},
         cascadeFromSprites({"TextureManager: Texture with key no\\x1b[2Jtexture does not exist.",
                             "SpriteManager: Missing TEXTURE property for [odd\\x07key]"},
                            r)},
    });
}

// Shaders switched off in the GL driver: one line at start-up, then the show unshaded,
// without the library's complaint at every shaded drawing.
TEST(FaultMatrix, NoShaders) {
    Plan noGlsl;
    // Of the GLSL extensions, Mesa lets these two be switched off; either missing makes the
    // library report shaders unavailable.
    noGlsl.environment = {"MESA_EXTENSION_OVERRIDE=-GL_ARB_vertex_shader -GL_ARB_fragment_shader"};
    // Past the static burst and the glitched "presents" at 7.5 s, the intro's shaded drawings;
    // libfaketime runs the program's clock six times faster.
    noGlsl.escapeAfterFrames = -1;
    noGlsl.clockSpeed = 6.0;
    noGlsl.escapeAt = 9.0;
    runCases({{"no GLSL",
               {},
               {"Shaders are not available here; the show runs without its post-processing "
                "effects."},
               noGlsl}});
}

// Without a display, without OpenGL on it, or with too few files allowed, the graphics library
// would abort or crash while the static render targets are built: the program says what is
// missing in one line and ends with status 1 instead.
TEST(FaultMatrix, NoDisplayNoGlxTooFewFiles) {
    struct Refusal {
        std::string name;
        Plan plan;
        std::string line; // the start of the one line expected
    };
    Plan unset;
    unset.environment = {"DISPLAY"};
    Plan nowhere;
    nowhere.environment = {"DISPLAY=:64999"};
    Plan noGlx;
    noGlx.serverWithoutGlx = true;
    Plan fourFiles;
    fourFiles.fileLimit = 4;
    const std::string advice = "; without a display that offers OpenGL, run it under "
                               "tools/with-xvfb.sh (tools/play.sh renders the show to klomp.mp4 "
                               "that way).";
    const std::vector<Refusal> refusals{
        {"DISPLAY unset", unset, "klomp: cannot open the X display (DISPLAY is not set)" + advice},
        {"DISPLAY nowhere", nowhere, "klomp: cannot open the X display \":64999\"" + advice},
        {"no GLX", noGlx, "klomp: the X display \":"},
        {"ulimit -n 4", fourFiles,
         "klomp: only 4 files may be open at once (ulimit -n); the show needs 64."},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        test::TempDir dir;
        buildCase(dir.path(), {});
        const Outcome outcome = play(dir.path(), refusal.plan);
        ASSERT_EQ(outcome.problem, "");
        EXPECT_FALSE(outcome.windowSeen);
        EXPECT_EQ(outcome.exitStatus, 1) << outcome.standardError;
        const Lines lines = splitLines(outcome.standardError);
        ASSERT_EQ(lines.size(), 1u) << outcome.standardError;
        EXPECT_EQ(lines[0].rfind(refusal.line, 0), 0u) << lines[0];
        if (refusal.plan.serverWithoutGlx) {
            EXPECT_NE(lines[0].find("offers no OpenGL (GLX)" + advice), std::string::npos);
        }
    }
}

// No audio device at all: one line, then a silent show. OpenAL Soft finds no device when
// ALSOFT_DRIVERS names no backend it has; with ALSA asked for a device that does not exist,
// ALSA and OpenAL Soft would write a dozen lines of their own, as on a machine without a
// sound card.
TEST(FaultMatrix, NoAudioDevice) {
    const std::string alsa = "[general]\ndrivers = alsa\n[alsa]\ndevice = klomp_no_such_pcm\n";
    Plan noBackend;
    noBackend.environment = {"ALSOFT_DRIVERS=klomp-no-such-backend"};
    Plan noCard;
    noCard.environment = {"ALSOFT_DRIVERS", "ALSOFT_CONF=alsoft.conf"};
    runCases({
        {"no audio backend",
         {},
         {"SoundManager: No audio device found; the show plays without sound."},
         noBackend},
        {"no sound card",
         {{"alsoft.conf", alsa}},
         {"SoundManager: No audio device found; the show plays without sound."},
         noCard},
        // Also fullscreen without vertical sync: the window's switches reach the window.
        {"no audio backend, music off, fullscreen",
         {{"config.json", R"({"music": false, "fullscreen": true, "vsync": false})"}},
         {"MusicManager: No audio device found; the show plays without sound."},
         noBackend,
         true,
         {},
         {},
         true},
        {"no audio backend, song missing",
         {{"assets/music/klomp.ogg", std::nullopt}},
         {"SoundManager: No audio device found; the show plays without sound.",
          "MusicManager: Unable to load music file assets/music/klomp.ogg."},
         noBackend},
    });
}

// A stall of 10 s in the middle of the intro and of the title (the next frame's dt is 10 s),
// and the window's close button in both. The title begins about 20 s into the show. The times
// count from the show's first frame in the program's own seconds: libfaketime runs its clock
// six times faster than the wall clock.
TEST(FaultMatrix, StallsAndClosingInTheFirstScenes) {
    Plan introStall;
    introStall.stopAt = 3.0;
    introStall.escapeAt = 15.0;
    Plan introClose;
    introClose.escapeAt = -1.0;
    introClose.closeAt = 3.0;
    Plan titleStall;
    titleStall.stopAt = 32.0;
    titleStall.escapeAt = 44.0;
    Plan titleClose;
    titleClose.escapeAt = -1.0;
    titleClose.closeAt = 32.0;
    for (Plan* plan : {&introStall, &introClose, &titleStall, &titleClose}) {
        plan->escapeAfterFrames = -1;
        plan->clockSpeed = 6.0;
    }
    runCases(
        {
            {"title: stall of 10 s, then Escape", {}, {}, titleStall},
            {"title: window closed", {}, {}, titleClose},
            {"intro: stall of 10 s, then Escape", {}, {}, introStall},
            {"intro: window closed", {}, {}, introClose},
        },
        4); // mostly waiting: all at once
}

// ---------------------------------------------------------------------------------------
// Every scene, in-process: the show plays at 4 frames per second with drawing clipped to one
// pixel; halfway through each scene Escape is held for one frame, the window's close request
// arrives for one frame, and one frame measures 10 s. Each of the first two must end the run
// after its frame (the test then lets the show go on); the stall must leave the show playing
// on to its own end, with no diagnostic on the way.

struct SceneLength {
    SceneId scene;
    float seconds;
};
const SceneLength kScenes[] = {{Scene::Intro, 20.0f},        {Scene::Title, 35.8f},
                               {Scene::WallScroller, 23.5f}, {Scene::VinylScroller, 46.5f},
                               {Scene::Party, 40.5f},        {Scene::Finale, 30.5f}};

bool holdEscape(bool down) {
    return std::system(down ? "xdotool keydown Escape" : "xdotool keyup Escape") == 0;
}

void requestOwnClose(sf::RenderWindow& window) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    test::sendCloseRequest(display, static_cast<Window>(window.getSystemHandle()));
    XSync(display, False);
    XCloseDisplay(display);
}

TEST(FaultMatrixInProcess, EscapeCloseAndStallHalfwayThroughEveryScene) {
    sf::RenderWindow window;
    startUp(window);
    test::clipDrawingToOnePixel(window);
    test::CerrCapture diagnostics;

    const float dt = 0.25f;
    std::set<SceneId> stalled;
    SceneId current = demo.sceneIndex;
    float sceneTime = 0.0f;
    int frames = 0;
    while (demo.running && frames < 2000) {
        const float length = kScenes[current + 1].seconds;
        if (stalled.count(current) == 0 && sceneTime >= length / 2.0f) {
            SCOPED_TRACE("scene " + std::to_string(current));
            stalled.insert(current);

            ASSERT_TRUE(holdEscape(true));
            renderFrame(dt);
            EXPECT_FALSE(demo.running) << "Escape did not end the run";
            ASSERT_TRUE(holdEscape(false));
            EXPECT_EQ(demo.sceneIndex, current);
            demo.running = true;

            requestOwnClose(window);
            for (int tries = 0; tries < 10 && demo.running; ++tries) {
                renderFrame(dt);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            EXPECT_FALSE(demo.running) << "the close request did not end the run";
            demo.running = true;
            frames += 2;
            sceneTime += 2 * dt;

            // The stall: the scene jumps ahead by 10 s, at most into the next scene.
            renderFrame(10.0f);
            EXPECT_TRUE(demo.running);
            EXPECT_GE(demo.sceneIndex, current);
            EXPECT_LE(demo.sceneIndex, current + 1);
            sceneTime += 10.0f;
        } else {
            renderFrame(dt);
            sceneTime += dt;
        }
        ++frames;
        if (demo.sceneIndex != current) {
            if (demo.sceneIndex == Scene::Quit) {
                break;
            }
            ASSERT_EQ(demo.sceneIndex, current + 1) << "scenes must follow one another";
            current = demo.sceneIndex;
            sceneTime = 0.0f;
        }
    }
    // Index 5 ends the run one frame later, by itself.
    renderFrame(dt);
    EXPECT_FALSE(demo.running);
    EXPECT_EQ(demo.sceneIndex, Scene::Quit);
    EXPECT_EQ(stalled.size(), 6u);
    EXPECT_EQ(diagnostics.text(), "");
    test::unclipDrawing(window);
}

} // namespace

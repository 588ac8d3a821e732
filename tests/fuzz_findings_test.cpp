// What fuzzing the loaders found, kept as unit tests (the inputs are also in the fuzz corpora
// under tests/fuzz/corpus): a path that names a folder, voice and particle counts too large to
// allocate, and a spawn interval too small to use up the accumulator.
#include "support/TestAudio.hpp"
#include "support/TestSupport.hpp"

#include "assets/MusicManager.hpp"
#include "assets/RegistryViews.hpp"
#include "assets/SoundManager.hpp"
#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/ParticleSystem.hpp"
#include "runtime/Config.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using Lines = std::vector<std::string>;

// A definition file path that names a folder opens as a stream but cannot be read; the JSON
// library's reader then met the stream's exception, which nothing caught.
TEST(FuzzFindings, DefinitionFileThatIsAFolderIsReportedAsUnopenable) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "defs.json");
    const std::string path = (dir.path() / "defs.json").string();
    struct Loader {
        const char* prefix;
        bool (*load)(const std::string&);
    };
    for (const Loader& loader : {Loader{"TextureManager: ", TextureManager::load},
                                 Loader{"SpriteManager: ", SpriteManager::load},
                                 Loader{"SoundManager: ", SoundManager::load},
                                 Loader{"MusicManager: ", MusicManager::load},
                                 Loader{"ParticleManager: ", ParticleManager::load}}) {
        test::CerrCapture capture;
        EXPECT_FALSE(loader.load(path));
        EXPECT_EQ(capture.lines(),
                  Lines{std::string(loader.prefix) + "Unable to open file " + path + "."});
    }
    test::CerrCapture capture;
    ParticleSystem system;
    EXPECT_FALSE(system.loadFromFile(path, 10));
    EXPECT_EQ(capture.lines(), Lines{"ParticleSystem: Unable to open file " + path + "."});
}

TEST(FuzzFindings, ConfigThatIsAFolderCountsAsMissing) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "config.json");
    test::WorkingDir inside(dir.path());
    test::CerrCapture capture;
    loadConfig();
    EXPECT_EQ(capture.lines(), Lines{"Config.json missing."});
}

// Given a folder, the audio library's FLAC reader never returned: start-up hung. A hang shows
// as this test's time-out.
TEST(FuzzFindings, SoundOrSongThatIsAFolderIsReportedAtOnce) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "noise.wav");
    const std::string folder = (dir.path() / "noise.wav").string();
    {
        test::CerrCapture capture;
        EXPECT_FALSE(SoundManager::add("findings-folder-sound", folder, 1));
        EXPECT_EQ(capture.lines(), Lines{"SoundManager: Unable to load file " + folder + "."});
        EXPECT_FALSE(SoundManager::exists("findings-folder-sound"));
    }
    {
        const std::string song = test::writeTone(dir.file("song.wav"), 0.5);
        ASSERT_TRUE(MusicManager::readEntries(
            nlohmann::json::parse(R"({"music": {"findings-folder-song": {"file": ")" + folder +
                                  R"("}, "findings-good-song": {"file": ")" + song + R"("}}})")));
        MusicManager::play("findings-good-song", true, 0.0);
        test::CerrCapture capture;
        MusicManager::play("findings-folder-song", false, 0.0);
        EXPECT_EQ(capture.lines(),
                  Lines{"MusicManager: Unable to load music file " + folder + "."});
        // As when any other file fails to open, the song that played before is stopped.
        if (RegistryViews::currentMusic() != nullptr) {
            EXPECT_EQ(RegistryViews::currentMusic()->getStatus(), sf::SoundSource::Stopped);
        }
    }
}

// "instances": 100000000 asked for gigabytes of voices (and more audio sources than the device
// has); "instances": 2000000000 for a particle pool of 200 GB. Both ended the program.
TEST(FuzzFindings, VoiceAndPoolCountsHaveAnUpperBound) {
    test::TempDir dir;
    const std::string wav = test::writeTone(dir.file("tone.wav"), 0.05);
    {
        test::CerrCapture capture;
        EXPECT_FALSE(SoundManager::add("findings-many-voices", wav, 100000000));
        EXPECT_FALSE(SoundManager::add("findings-257-voices", wav, 257));
        EXPECT_EQ(capture.lines(),
                  (Lines{"SoundManager: Too many instances for [findings-many-voices]",
                         "SoundManager: Too many instances for [findings-257-voices]"}));
        EXPECT_FALSE(SoundManager::exists("findings-many-voices"));
    }
    EXPECT_TRUE(SoundManager::add("findings-four-voices", wav, 4));

    ASSERT_TRUE(TextureManager::add(
        "findings-dot", test::writePng(dir.file("dot.png"), 4, 4, sf::Color::White), false));
    ASSERT_TRUE(SpriteManager::readEntries(nlohmann::json::parse(
        R"({"sprites": {"findings-dot": {"texture": "findings-dot", "autocenter": true}}})")));
    const std::string definition = dir.write(
        "system.json",
        R"({"name": "s", "sprites": ["findings-dot"], "min_xs": 0, "max_xs": 0, "min_ys": 0,
            "max_ys": 0, "min_xg": 0, "max_xg": 0, "min_yg": 0, "max_yg": 0, "min_rot": 0,
            "max_rot": 0, "min_rotspeed": 0, "max_rotspeed": 0, "min_scale": 1,
            "max_scale": 1, "min_scalespeed": 0, "max_scalespeed": 0, "fadein": false,
            "fadeout": false, "min_fadespeed": 0, "max_fadespeed": 0, "min_ttl": 5,
            "max_ttl": 5})");
    test::CerrCapture capture;
    ParticleSystem system;
    EXPECT_FALSE(system.loadFromFile(definition, 2000000000));
    EXPECT_TRUE(ParticleManager::readEntries(
        nlohmann::json::parse(R"({"particlesystems": {"findings-huge": {"file": ")" + definition +
                              R"(", "instances": 1e9}}})")));
    EXPECT_EQ(capture.lines(),
              (Lines{"ParticleSystem: Pool size too large for " + definition + ".",
                     "ParticleSystem: Pool size too large for " + definition + "."}));
    EXPECT_TRUE(system.loadFromFile(definition, 100000));
    EXPECT_EQ(system.pool().size(), 100000u);
}

// With an interval too small to change the accumulator ("spawn_rate": 1e-8), the spawn loop of
// a switched-on system never ended (a hang shows as the test's time-out); with a small one, a
// stalled frame took seconds.
class SpawnLoop : public ::testing::Test {
  protected:
    static std::string definition(const test::TempDir& dir, const std::string& rate) {
        if (!TextureManager::exists("findings-spark")) {
            TextureManager::add("findings-spark",
                                test::writePng(dir.file("spark.png"), 2, 2, sf::Color::White),
                                false);
            SpriteManager::readEntries(nlohmann::json::parse(
                R"({"sprites": {"findings-spark": {"texture": "findings-spark"}}})"));
        }
        return dir.write("stream.json",
                         R"({"name": "s", "sprites": "findings-spark", "min_xs": 0, "max_xs": 0,
            "min_ys": 0, "max_ys": 0, "min_xg": 0, "max_xg": 0, "min_yg": 0, "max_yg": 0,
            "min_rot": 0, "max_rot": 0, "min_rotspeed": 0, "max_rotspeed": 0, "min_scale": 1,
            "max_scale": 1, "min_scalespeed": 0, "max_scalespeed": 0, "fadein": false,
            "fadeout": false, "min_fadespeed": 0, "max_fadespeed": 0, "min_ttl": 100,
            "max_ttl": 100, "spawn_rate": )" +
                             rate + "}");
    }
    static ParticleSystem emitting(const std::string& path, std::int32_t capacity) {
        ParticleSystem system;
        EXPECT_TRUE(system.loadFromFile(path, capacity));
        system.emitting = true;
        system.spawnAccumulator = 0.0f;
        return system;
    }
};

TEST_F(SpawnLoop, IntervalTooSmallForTheAccumulatorFillsThePoolAndReturns) {
    test::TempDir dir;
    ParticleSystem system = emitting(definition(dir, "1e-8"), 50);
    system.update(0.25f);
    system.update(10.0f);
    EXPECT_EQ(system.liveCount(), 50);
    EXPECT_LT(system.spawnAccumulator, system.spawnInterval);
    EXPECT_GE(system.spawnAccumulator, 0.0f);
}

TEST_F(SpawnLoop, FullPoolStillUsesUpOneIntervalPerSpawn) {
    test::TempDir dir;
    // Room for every spawn: three of them in a 0.35 s frame, 0.05 s left over.
    // Each spawn subtracts one interval from the accumulator, in float.
    const float threeSpawnsLater = 0.35f - 0.1f - 0.1f - 0.1f;
    ParticleSystem roomy = emitting(definition(dir, "0.1"), 10);
    roomy.update(0.35f);
    EXPECT_EQ(roomy.liveCount(), 3);
    EXPECT_EQ(roomy.spawnAccumulator, threeSpawnsLater);
    // Room for two: the third spawn is dropped but its interval is used up all the same, by
    // the same subtraction (a remainder taken at once, fmod(0.35f, 0.1f), is another float).
    ParticleSystem tight = emitting(definition(dir, "0.1"), 2);
    tight.update(0.35f);
    EXPECT_EQ(tight.liveCount(), 2);
    EXPECT_EQ(tight.spawnAccumulator, threeSpawnsLater);
    // A 10 s stall on a full pool: a hundred dropped spawns, each one interval, and no backlog.
    float stalled = threeSpawnsLater + 10.0f;
    while (stalled >= 0.1f) {
        stalled -= 0.1f;
    }
    tight.update(10.0f);
    EXPECT_EQ(tight.liveCount(), 2);
    EXPECT_EQ(tight.spawnAccumulator, stalled);
}

} // namespace

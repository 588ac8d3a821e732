// The sound and music registries on OpenAL Soft's null backend (silent, but voices and streams
// advance in real time): voice pools, muting, the song's volume, loop span and start offset,
// and a run without any audio device in a process of its own.
#include "support/TestAudio.hpp"
#include "support/TestSupport.hpp"

#include "assets/MusicManager.hpp"
#include "assets/RegistryViews.hpp"
#include "assets/SoundManager.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

std::string uniqueKey(const std::string& stem) {
    static int counter = 0;
    return "sm" + std::to_string(++counter) + "-" + stem;
}

Lines loadFile(bool (*load)(const std::string&), const test::TempDir& dir,
               const std::string& text) {
    const std::string path = dir.write(uniqueKey("defs.json"), text);
    test::CerrCapture capture;
    EXPECT_TRUE(load(path));
    return capture.lines();
}

// Waits until `done` holds, for at most ten seconds; whether it came to hold. Audio advances on
// OpenAL's own thread, which a busy machine can hold back for a while: the tests wait for what
// they need to see rather than sleeping a fixed time and assuming it happened.
bool waitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Sets a registry's mute flag for the length of a test.
class MuteFlag {
  public:
    explicit MuteFlag(bool& muted) : flag(muted), saved(muted) { flag = true; }
    ~MuteFlag() { flag = saved; }

  private:
    bool& flag;
    bool saved;
};

// --- sound pools ------------------------------------------------------------------------------

class SoundPools : public ::testing::Test {
  protected:
    // Registers one sound of `seconds` under a new key with the given entry members.
    std::string addSound(double seconds, const std::string& members) {
        const std::string key = uniqueKey("sound");
        const std::string wav = test::writeTone(dir.file(key + ".wav"), seconds);
        const Lines lines =
            loadFile(&SoundManager::load, dir,
                     R"({"sounds": {")" + key + R"(": {"file": ")" + wav + "\"" + members + "}}}");
        EXPECT_EQ(lines, Lines{});
        return key;
    }
    static std::vector<sf::SoundSource::Status> statuses(const std::string& key) {
        std::vector<sf::SoundSource::Status> result;
        for (const sf::Sound& voice : RegistryViews::soundPool(key)->voices) {
            result.push_back(voice.getStatus());
        }
        return result;
    }

    static constexpr auto Playing = sf::SoundSource::Playing;
    static constexpr auto Stopped = sf::SoundSource::Stopped;
    test::TempDir dir;
};

TEST_F(SoundPools, VoiceCountFollowsInstances) {
    const std::vector<std::pair<std::string, std::size_t>> cases{{"", 1},
                                                                 {R"(, "instances": 3)", 3},
                                                                 {R"(, "instances": 2.7)", 2},
                                                                 {R"(, "instances": true)", 1},
                                                                 {R"(, "instances": 0)", 0}};
    for (const auto& [members, voices] : cases) {
        const std::string key = addSound(0.1, members);
        ASSERT_TRUE(SoundManager::exists(key)) << members;
        const SoundPool* pool = RegistryViews::soundPool(key);
        EXPECT_EQ(pool->voices.size(), voices) << members;
        EXPECT_EQ(pool->count, static_cast<std::int32_t>(voices)) << members;
        for (const sf::Sound& voice : pool->voices) {
            EXPECT_EQ(voice.getBuffer(), pool->buffer.get()) << members;
        }
    }
}

TEST_F(SoundPools, FourPlaysInOneFrameStartThreeVoicesAndDropTheFourth) {
    const std::string key = addSound(2.0, R"(, "instances": 3)");
    test::CerrCapture capture;
    SoundManager::play(key);
    SoundManager::play(key);
    SoundManager::play(key);
    SoundManager::play(key);
    EXPECT_EQ(statuses(key), (std::vector{Playing, Playing, Playing}));

    // A later play finds every voice busy: none of them is restarted.
    std::vector<sf::Time> before;
    for (const sf::Sound& voice : RegistryViews::soundPool(key)->voices) {
        ASSERT_TRUE(waitFor([&] { return voice.getPlayingOffset() > sf::Time::Zero; }));
        before.push_back(voice.getPlayingOffset());
    }
    SoundManager::play(key);
    for (std::size_t i = 0; i < before.size(); ++i) {
        const sf::Sound& voice = RegistryViews::soundPool(key)->voices[i];
        EXPECT_EQ(voice.getStatus(), Playing) << i;
        EXPECT_GE(voice.getPlayingOffset(), before[i]) << i;
    }
    EXPECT_EQ(capture.text(), "");
    SoundManager::stop(key);
}

TEST_F(SoundPools, NoVoicesMeansRegisteredButNeverSounding) {
    const std::string key = addSound(0.5, R"(, "instances": 0)");
    test::CerrCapture capture;
    SoundManager::play(key);
    SoundManager::stop(key);
    EXPECT_EQ(capture.text(), "");
    EXPECT_TRUE(RegistryViews::soundPool(key)->voices.empty());
}

TEST_F(SoundPools, OneVoiceIsLeftAloneWhilePlayingAndStartsAgainAfterItEnds) {
    const std::string key = addSound(0.3, "");
    const sf::Sound& voice = RegistryViews::soundPool(key)->voices[0];
    SoundManager::play(key);
    ASSERT_TRUE(waitFor([&] { return voice.getPlayingOffset() > sf::Time::Zero; }));
    const sf::Time before = voice.getPlayingOffset();
    SoundManager::play(key);
    EXPECT_EQ(voice.getStatus(), Playing);
    EXPECT_GE(voice.getPlayingOffset(), before) << "the voice was restarted";

    ASSERT_TRUE(waitFor([&] { return voice.getStatus() == Stopped; }))
        << "a 0.3 s sound should have ended";
    // A voice that ended is back at its start, and a play starts it from there.
    EXPECT_EQ(voice.getPlayingOffset(), sf::Time::Zero);
    SoundManager::play(key);
    EXPECT_EQ(voice.getStatus(), Playing);
    SoundManager::stop(key);
}

TEST_F(SoundPools, StopSilencesEveryVoiceAndTheNextPlayUsesVoiceZeroFromTheStart) {
    const std::string key = addSound(2.0, R"(, "instances": 2)");
    SoundManager::play(key);
    SoundManager::play(key);
    const sf::Sound& first = RegistryViews::soundPool(key)->voices[0];
    ASSERT_TRUE(waitFor([&] { return first.getPlayingOffset() > sf::Time::Zero; }));
    SoundManager::stop(key);
    EXPECT_EQ(statuses(key), (std::vector{Stopped, Stopped}));
    // Stopped voices are back at their start, so the next play starts voice 0 from there.
    EXPECT_EQ(first.getPlayingOffset(), sf::Time::Zero);

    SoundManager::play(key);
    EXPECT_EQ(statuses(key), (std::vector{Playing, Stopped}));
    SoundManager::stop(key);
}

TEST_F(SoundPools, MutedPlaysAndStopsDoNothingSilentlyButUnknownKeysStillReport) {
    const std::string key = addSound(2.0, R"(, "instances": 2)");
    SoundManager::play(key); // voice 0 sounds before the mute
    {
        MuteFlag muted(SoundManager::soundMuted);
        test::CerrCapture capture;
        SoundManager::play(key);
        SoundManager::stop(key);
        EXPECT_EQ(statuses(key), (std::vector{Playing, Stopped}));
        EXPECT_EQ(capture.text(), "");

        const std::string unknown = uniqueKey("unknown");
        SoundManager::play(unknown);
        SoundManager::stop(unknown);
        const std::string line = "SoundManager: Sound with key " + unknown + " does not exist.";
        EXPECT_EQ(capture.lines(), (Lines{line, line}));
    }
    SoundManager::stop(key);
}

TEST_F(SoundPools, UnusableEntriesAreSkippedWithTheirLines) {
    const std::string stem = uniqueKey("skip-");
    const std::string wav = test::writeTone(dir.file("ok.wav"), 0.1);
    const std::string missing = dir.file("missing.wav");
    const std::string notSound = dir.write("text.wav", "not a sound");
    const Lines lines = loadFile(
        &SoundManager::load, dir,
        R"({"sounds": {")" + stem + R"(neg": {"file": ")" + wav + R"(", "instances": -2}, ")" +
            stem + R"(gone": {"file": ")" + missing + R"("}, ")" + stem + R"(bad": {"file": ")" +
            notSound + R"("}, ")" + stem + R"(ok": {"file": ")" + wav + R"("}}})");
    EXPECT_EQ(lines, (Lines{"SoundManager: Unable to load file " + notSound + ".",
                            "SoundManager: Unable to load file " + missing + ".",
                            "SoundManager: Negative instances for [" + stem + "neg]"}));
    for (const char* skipped : {"neg", "gone", "bad"}) {
        EXPECT_FALSE(SoundManager::exists(stem + skipped)) << skipped;
    }
    EXPECT_TRUE(SoundManager::exists(stem + "ok"));

    // Added directly, a negative count is refused the same way, with the same line.
    test::CerrCapture capture;
    EXPECT_FALSE(SoundManager::add(stem + "neg-direct", wav, -1));
    EXPECT_EQ(capture.lines(),
              Lines{"SoundManager: Negative instances for [" + stem + "neg-direct]"});
    EXPECT_FALSE(SoundManager::exists(stem + "neg-direct"));
}

TEST_F(SoundPools, AddingATakenKeyKeepsTheFirstPool) {
    const std::string key = addSound(0.1, R"(, "instances": 2)");
    const SoundPool* first = RegistryViews::soundPool(key);
    test::CerrCapture capture;
    EXPECT_FALSE(SoundManager::add(key, test::writeTone(dir.file("other.wav"), 0.2), 5));
    EXPECT_EQ(capture.lines(), Lines{"SoundManager: Sound with key " + key + " already exists."});
    EXPECT_EQ(RegistryViews::soundPool(key), first);
    EXPECT_EQ(first->voices.size(), 2u);
}

// --- music ------------------------------------------------------------------------------------

class Music : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = new test::TempDir;
        songA = test::writeTone(dir->file("song-a.wav"), 10.0);
        songB = test::writeTone(dir->file("song-b.wav"), 3.0);
        songShort = test::writeTone(dir->file("song-short.wav"), 0.6);
    }
    static void TearDownTestSuite() {
        if (sf::Music* stream = RegistryViews::currentMusic()) {
            stream->stop();
        }
        delete dir;
        dir = nullptr;
    }

    // Registers one song under a new key with the given entry members.
    static std::string addSong(const std::string& file, const std::string& members = "") {
        const std::string key = uniqueKey("song");
        EXPECT_EQ(
            loadFile(&MusicManager::load, *dir,
                     R"({"music": {")" + key + R"(": {"file": ")" + file + "\"" + members + "}}}"),
            Lines{});
        return key;
    }
    static sf::Music& stream() {
        sf::Music* music = RegistryViews::currentMusic();
        EXPECT_NE(music, nullptr);
        return *music;
    }

    static test::TempDir* dir;
    static std::string songA;
    static std::string songB;
    static std::string songShort;
};
test::TempDir* Music::dir = nullptr;
std::string Music::songA;
std::string Music::songB;
std::string Music::songShort;

TEST_F(Music, FileAloneGivesFullVolumeAndALoopSpanOverTheWholeTrack) {
    const std::string key = addSong(songA);
    const MusicEntry* entry = RegistryViews::musicEntry(key);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->volume, 100);
    EXPECT_EQ(entry->loopTo, 0.0);
    EXPECT_EQ(entry->loopLength, -1.0);

    test::CerrCapture capture;
    MusicManager::play(key, false, 0.0);
    EXPECT_EQ(capture.text(), "");
    EXPECT_EQ(stream().getStatus(), sf::SoundSource::Playing);
    EXPECT_FLOAT_EQ(stream().getVolume(), 100.0f);
    EXPECT_FALSE(stream().getLoop());
    const sf::Music::TimeSpan span = stream().getLoopPoints();
    EXPECT_EQ(span.offset, sf::Time::Zero);
    EXPECT_EQ(span.length, stream().getDuration());
}

TEST_F(Music, VolumeAndLoopPointApplyInWholeMilliseconds) {
    const std::string key = addSong(songA, R"(, "volume": 40, "loopTo": 2000.9)");
    EXPECT_EQ(RegistryViews::musicEntry(key)->loopTo, 2000.9);

    MusicManager::play(key, true, 0.0);
    EXPECT_FLOAT_EQ(stream().getVolume(), 40.0f);
    EXPECT_TRUE(stream().getLoop());
    const sf::Music::TimeSpan span = stream().getLoopPoints();
    EXPECT_EQ(span.offset, sf::milliseconds(2000));
    EXPECT_EQ(span.length, stream().getDuration() - sf::milliseconds(2000))
        << "a length of -1 reaches to the end of the track";
    EXPECT_LT(stream().getPlayingOffset(), sf::seconds(1)) << "playback starts at the beginning";

    // A loop point at or past the end of the track: the loop covers the whole track.
    const std::string beyond = addSong(songB, R"(, "loopTo": 3000)");
    MusicManager::play(beyond, true, 0.0);
    EXPECT_EQ(stream().getLoopPoints().offset, sf::Time::Zero);
    EXPECT_EQ(stream().getLoopPoints().length, stream().getDuration());

    // A looping song that reaches the end of its track goes on at its loop point.
    const std::string loop = addSong(songShort, R"(, "loopTo": 300)");
    MusicManager::play(loop, true, 0.0);
    sf::Time last = sf::Time::Zero;
    bool wrapped = false;
    ASSERT_TRUE(waitFor([&] {
        const sf::Time now = stream().getPlayingOffset();
        wrapped = now < last;
        last = now;
        return wrapped || stream().getStatus() != sf::SoundSource::Playing;
    }));
    EXPECT_TRUE(wrapped) << "the song stopped instead of looping";
    EXPECT_GE(last, sf::milliseconds(300)) << "it went on before its loop point";
    EXPECT_EQ(stream().getStatus(), sf::SoundSource::Playing);
}

TEST_F(Music, StartOffsetMovesThePositionAndZeroOrLessStartsAtTheBeginning) {
    const std::string key = addSong(songA);
    MusicManager::play(key, true, 5000.0);
    EXPECT_EQ(stream().getStatus(), sf::SoundSource::Playing);
    EXPECT_GE(stream().getPlayingOffset(), sf::milliseconds(5000));
    EXPECT_LT(stream().getPlayingOffset(), sf::milliseconds(6000));

    for (const double offset : {0.0, -2500.0}) {
        MusicManager::play(key, false, 5000.0); // move away from the beginning first
        MusicManager::play(key, false, offset);
        EXPECT_EQ(stream().getStatus(), sf::SoundSource::Playing) << offset;
        EXPECT_LT(stream().getPlayingOffset(), sf::seconds(1)) << offset;
    }
}

TEST_F(Music, MutedSongStreamsAtVolumeZero) {
    const std::string key = addSong(songA, R"(, "volume": 80)");
    MusicManager::play(key, false, 0.0);
    {
        MuteFlag muted(MusicManager::musicMuted);
        MusicManager::mute();
        EXPECT_FLOAT_EQ(stream().getVolume(), 0.0f) << "muting silences the current song at once";
        MusicManager::play(key, false, 0.0);
        EXPECT_EQ(stream().getStatus(), sf::SoundSource::Playing);
        EXPECT_FLOAT_EQ(stream().getVolume(), 0.0f);
        EXPECT_TRUE(waitFor([] { return stream().getPlayingOffset() > sf::Time::Zero; }))
            << "it still advances";
    }
    MusicManager::play(key, false, 0.0);
    EXPECT_FLOAT_EQ(stream().getVolume(), 80.0f);
}

TEST_F(Music, UnknownKeyLeavesTheCurrentSongPlaying) {
    const std::string key = addSong(songA);
    MusicManager::play(key, false, 3000.0);
    const std::string unknown = uniqueKey("unknown");
    test::CerrCapture capture;
    MusicManager::play(unknown, true, 0.0);
    EXPECT_EQ(capture.lines(),
              Lines{"MusicManager: Song with key " + unknown + " does not exist."});
    EXPECT_EQ(stream().getStatus(), sf::SoundSource::Playing);
    EXPECT_GE(stream().getPlayingOffset(), sf::milliseconds(3000));
    EXPECT_EQ(stream().getDuration(), sf::seconds(10));
}

TEST_F(Music, SongWhoseFileIsMissingLoadsQuietlyAndStopsTheCurrentSongWhenPlayed) {
    const std::string missing = dir->file("missing.ogg");
    const std::string broken = addSong(missing); // addSong expects no diagnostic
    const std::string key = addSong(songA);
    MusicManager::play(key, false, 0.0);

    test::CerrCapture capture;
    MusicManager::play(broken, false, 0.0);
    EXPECT_EQ(capture.lines(), Lines{"MusicManager: Unable to load music file " + missing + "."});
    EXPECT_EQ(stream().getStatus(), sf::SoundSource::Stopped);
}

TEST_F(Music, PlayingAnotherSongReplacesTheFirst) {
    const std::string first = addSong(songA);
    const std::string second = addSong(songB, R"(, "volume": 30)");
    MusicManager::play(first, false, 4000.0);
    MusicManager::play(second, false, 0.0);
    EXPECT_EQ(stream().getStatus(), sf::SoundSource::Playing);
    EXPECT_EQ(stream().getDuration(), sf::seconds(3));
    EXPECT_FLOAT_EQ(stream().getVolume(), 30.0f);
    EXPECT_LT(stream().getPlayingOffset(), sf::seconds(1));
}

TEST_F(Music, SecondLoadKeepsTheFirstEntryOfAKey) {
    const std::string key = uniqueKey("twice");
    for (const char* volume : {"40", "70"}) {
        EXPECT_EQ(loadFile(&MusicManager::load, *dir,
                           R"({"music": {")" + key + R"(": {"file": ")" + songA +
                               R"(", "volume": )" + volume + "}}}"),
                  Lines{});
    }
    EXPECT_EQ(RegistryViews::musicEntry(key)->volume, 40);
}

// --- no audio device --------------------------------------------------------------------------

// Runs in a child process (below) whose OpenAL has no usable backend: the registries keep
// their entries, nothing sounds, and the missing device is reported once.
TEST(NoAudioDeviceChild, RegistriesWorkSilently) {
    if (std::getenv("KLOMP_NO_AUDIO_CHILD") == nullptr) {
        GTEST_SKIP() << "runs only inside NoAudioDevice.OneLineAndNoLibraryErrors";
    }
    test::TempDir dir;
    const std::string wav = test::writeTone(dir.file("fx.wav"), 0.5);
    const std::string missingSong = dir.file("missing.ogg");
    const std::string sounds =
        dir.write("sounds.json", R"({"sounds": {"fx": {"file": ")" + wav + R"(", "instances": 2},
                                      "broken": {"file": ")" +
                                     dir.file("none.wav") + R"("}}})");
    const std::string music =
        dir.write("music.json", R"({"music": {"song": {"file": ")" + wav + R"("},
                                    "lost": {"file": ")" +
                                    missingSong + R"("}}})");

    test::CerrCapture capture;
    EXPECT_TRUE(SoundManager::load(sounds));
    EXPECT_TRUE(MusicManager::load(music));
    for (int i = 0; i < 3; ++i) {
        SoundManager::play("fx");
        SoundManager::stop("fx");
    }
    MusicManager::mute();
    MusicManager::play("song", true, 1000.0);
    MusicManager::play("lost", false, 0.0);
    SoundManager::play("nothing");

    EXPECT_EQ(capture.lines(),
              (Lines{"SoundManager: No audio device found; the show plays without sound.",
                     "SoundManager: Unable to load file " + dir.file("none.wav") + ".",
                     "MusicManager: Unable to load music file " + missingSong + ".",
                     "SoundManager: Sound with key nothing does not exist."}));
    EXPECT_TRUE(SoundManager::exists("fx"));
    EXPECT_FALSE(SoundManager::exists("broken"));
    EXPECT_EQ(RegistryViews::soundPool("fx")->count, 2);
    EXPECT_TRUE(RegistryViews::soundPool("fx")->voices.empty());
    EXPECT_NE(RegistryViews::musicEntry("song"), nullptr);
    EXPECT_EQ(RegistryViews::currentMusic(), nullptr);
}

TEST(NoAudioDevice, OneLineAndNoLibraryErrors) {
    // OpenAL Soft's wave backend without a file to write cannot open a device.
    const std::string command = "KLOMP_NO_AUDIO_CHILD=1 ALSOFT_DRIVERS=wave /proc/" +
                                std::to_string(getpid()) +
                                "/exe --gtest_filter=NoAudioDeviceChild.* 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[4096];
    while (const std::size_t n = fread(chunk, 1, sizeof chunk, pipe)) {
        output.append(chunk, n);
    }
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    for (const char* noise :
         {"AL_INVALID", "Failed to open the audio device", "AL lib", "OpenAL", "audio device"}) {
        EXPECT_EQ(output.find(noise), std::string::npos) << noise << "\n" << output;
    }
}

} // namespace

#include "preview/Player.hpp"

#include "assets/MusicManager.hpp"
#include "assets/RegistryViews.hpp"
#include "assets/SoundManager.hpp"
#include "runtime/Config.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/Startup.hpp"
#include "runtime/WarmUp.hpp"

#include <SFML/Audio/InputSoundFile.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace preview {

namespace {
// The song the intro starts.
const char* const kSongKey = "klomp";
} // namespace

Player::Player(sf::RenderWindow& window, const capture::FixedClock& clock, std::FILE* trace)
    : window_(window), clock_(clock), trace_(trace) {
    picture_.create(window.getSize().x, window.getSize().y);
    sceneStarts_.fill(-1);
}

void Player::restart() {
    tearDownShow();
    // The configuration's switches only ever turn sound off; start from on so that a changed
    // config.json can turn them back on.
    MusicManager::musicMuted = false;
    SoundManager::soundMuted = false;
    loadConfig();
    musicMuted_ = MusicManager::musicMuted;
    soundMuted_ = SoundManager::soundMuted;
    startUpRegistries();
    startUpShadersAndFont();
    prepareDrawing();
    // The show opens its song only when the intro starts it; open it now so that a song that
    // does not decode is reported with the rest of the start-up.
    if (const MusicEntry* song = RegistryViews::musicEntry(kSongKey)) {
        sf::InputSoundFile probe;
        probe.openFromFile(song->file);
    }
    next_ = 0;
    shown_ = -1;
    soundtrack_.emplace();
}

void Player::forgetTimeline() {
    endFrame_ = -1;
    sceneStarts_.fill(-1);
}

void Player::muteForReplay(bool replaying) {
    MusicManager::musicMuted = replaying || musicMuted_;
    SoundManager::soundMuted = replaying || soundMuted_;
}

bool Player::playOne(bool seen) {
    if (demo.sceneIndex < Scene::Intro || demo.sceneIndex >= Scene::Quit) {
        endFrame_ = next_;
        return false;
    }
    setDrawingClipped(!seen);
    const auto began = std::chrono::steady_clock::now();
    const capture::FrameRecord record = capture::playFrame(clock_, next_, false);
    soundtrack_->afterFrame(record);
    std::int64_t& start = sceneStarts_[static_cast<std::size_t>(record.scene - Scene::Intro)];
    if (start < 0) {
        // Every frame from the start has been played, so this is the scene's first.
        start = record.frame;
    }
    ++next_;
    if (seen) {
        picture_.update(window_);
        drawSeconds_ =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        shown_ = record.frame;
        shownRecord_ = record;
        if (trace_ != nullptr) {
            capture::writeTraceLine(trace_, record);
            std::fflush(trace_);
        }
    }
    return true;
}

void Player::seek(std::int64_t frame) {
    frame = std::max<std::int64_t>(0, frame);
    if (endFrame_ > 0) {
        frame = std::min(frame, endFrame_ - 1);
    }
    if (frame < next_) {
        restart();
    }
    muteForReplay(true);
    bool ended = false;
    while (next_ < frame && !ended) {
        ended = !playOne(false);
    }
    ended = ended || !playOne(true);
    muteForReplay(false);
    if (ended && endFrame_ > 0) {
        // The show ended before `frame`: its last frame has been played unseen; show it.
        seek(endFrame_ - 1);
    }
}

bool Player::seekScene(int index) {
    if (sceneStarts_[static_cast<std::size_t>(index)] >= 0) {
        seek(sceneStarts_[static_cast<std::size_t>(index)]);
        return true;
    }
    // Not reached since the start: play on unseen until the scene is the one to run.
    muteForReplay(true);
    const SceneId scene = Scene::Intro + index;
    bool ended = false;
    while (demo.sceneIndex != scene && !ended) {
        ended = !playOne(false);
    }
    ended = ended || !playOne(true);
    muteForReplay(false);
    if (ended && endFrame_ > 0) {
        seek(endFrame_ - 1);
        return false;
    }
    return true;
}

bool Player::playTo(std::int64_t frame) {
    if (frame < next_) {
        seek(frame);
        return true;
    }
    bool ended = false;
    while (next_ < frame && !ended) {
        ended = !playOne(false);
    }
    ended = ended || !playOne(true);
    if (ended && endFrame_ > 0) {
        if (shown_ != endFrame_ - 1) {
            seek(endFrame_ - 1);
        }
        return false;
    }
    return true;
}

void Player::followMusic(bool audible, double showSeconds) {
    sf::Music* stream = RegistryViews::currentMusic();
    if (stream == nullptr) {
        return;
    }
    const double songStart = soundtrack_ ? soundtrack_->plan().songStart : -1.0;
    const double offset = showSeconds - songStart;
    const bool wanted = audible && songStart >= 0.0 && offset >= 0.0 &&
                        offset < static_cast<double>(stream->getDuration().asSeconds());
    if (!wanted) {
        if (stream->getStatus() == sf::SoundSource::Playing) {
            stream->pause();
        }
        return;
    }
    const MusicEntry* song = RegistryViews::musicEntry(kSongKey);
    stream->setVolume(musicMuted_ || song == nullptr ? 0.0f : static_cast<float>(song->volume));
    const sf::Time at = sf::seconds(static_cast<float>(offset));
    switch (stream->getStatus()) {
    case sf::SoundSource::Stopped:
        // Playing a stopped stream rewinds it to the start: start, hold, then move.
        stream->play();
        stream->pause();
        stream->setPlayingOffset(at);
        stream->play();
        break;
    case sf::SoundSource::Paused:
        stream->setPlayingOffset(at);
        stream->play();
        break;
    case sf::SoundSource::Playing:
        if (std::fabs(static_cast<double>(stream->getPlayingOffset().asSeconds()) - offset) > 0.1) {
            stream->setPlayingOffset(at);
        }
        break;
    }
}

} // namespace preview

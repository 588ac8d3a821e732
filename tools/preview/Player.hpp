#pragma once
// The show played as a preview needs it: any frame can be shown, forwards by playing on and
// backwards by building the show afresh and replaying the frames before it unseen (drawing
// clipped to one pixel), so that every frame shown is exactly the one a straight run shows.
#include "capture/ShowSession.hpp"
#include "capture/Soundtrack.hpp"

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace preview {

// The six scenes in show order; index 0 is the intro.
constexpr int kSceneCount = 6;

class Player {
  public:
    // `trace` (may be null) gets one line per drawn frame.
    Player(sf::RenderWindow& window, const capture::FixedClock& clock, std::FILE* trace);

    // Builds the show's start-up pieces afresh from the working folder (configuration,
    // registries, shaders, font) and puts the show before its first frame. What the loaders
    // report goes to std::cerr and sf::err() as in the show.
    void restart();
    // Forgets the scene starts and the end learned so far (after the assets changed).
    void forgetTimeline();

    // Shows `frame` (held within the show), replaying from the start when it lies behind.
    void seek(std::int64_t frame);
    // Shows the first frame of scene `index` (0 the intro .. 5 the finale); false when the
    // show ended before it began (the last frame is then shown).
    bool seekScene(int index);
    // Plays on to `frame` (not behind the next frame), drawing only that one; sounds play as
    // in the show. False when the show ended on the way (its last frame is then shown).
    bool playTo(std::int64_t frame);

    // Keeps the song with the picture: playing from the offset of `showSeconds` when
    // `audible`, paused otherwise.
    void followMusic(bool audible, double showSeconds);

    std::int64_t shown() const { return shown_; }
    std::int64_t next() const { return next_; }
    const capture::FrameRecord& shownRecord() const { return shownRecord_; }
    // The frame at which the show ends (nothing more to draw), or -1 while not yet known.
    std::int64_t endFrame() const { return endFrame_; }
    // The first frame of scene `index`, or -1 while not yet known.
    std::int64_t sceneStart(int index) const {
        return sceneStarts_[static_cast<std::size_t>(index)];
    }
    // The show's picture of the frame shown (the window's contents after its frame work).
    const sf::Texture& picture() const { return picture_; }
    // Seconds the last drawn frame's work took.
    double drawSeconds() const { return drawSeconds_; }

  private:
    bool playOne(bool seen);
    void muteForReplay(bool replaying);

    sf::RenderWindow& window_;
    capture::FixedClock clock_;
    std::FILE* trace_;
    sf::Texture picture_;
    std::int64_t next_ = 0;
    std::int64_t shown_ = -1;
    capture::FrameRecord shownRecord_;
    std::int64_t endFrame_ = -1;
    std::array<std::int64_t, kSceneCount> sceneStarts_;
    std::optional<capture::SoundtrackObserver> soundtrack_;
    double drawSeconds_ = 0.0;
    // The music and sound switches of the configuration, while a replay silences both.
    bool musicMuted_ = false;
    bool soundMuted_ = false;
};

} // namespace preview

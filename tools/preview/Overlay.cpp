#include "preview/Overlay.hpp"

#include "capture/Pictures.hpp"

#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/Text.hpp>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace preview {

namespace {

const sf::Color kPanel(0, 0, 0, 170);
const sf::Color kText(235, 235, 235);
const sf::Color kDim(160, 160, 170);
const sf::Color kProblem(255, 120, 110);
const sf::Color kAccent(255, 200, 60);

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    char text[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

std::string speedText(double speed) {
    if (speed >= 1.0) {
        return format("%gx", speed);
    }
    return format("1/%gx", 1.0 / speed);
}

} // namespace

Overlay::Overlay() {
    const std::string file = capture::labelFontFile();
    haveFont_ = !file.empty() && font_.loadFromFile(file);
}

void Overlay::draw(sf::RenderWindow& window, const OverlayInfo& info) {
    const sf::View showView = window.getView();
    const sf::Vector2f size(static_cast<float>(window.getSize().x),
                            static_cast<float>(window.getSize().y));
    window.setView(sf::View(sf::FloatRect(0.0f, 0.0f, size.x, size.y)));
    const float scale = std::max(0.6f, size.x / 1920.0f);
    const unsigned textSize = static_cast<unsigned>(20.0f * scale);
    const float lineHeight = 27.0f * scale;
    const float margin = 16.0f * scale;

    std::vector<std::pair<std::string, sf::Color>> lines;
    const capture::FrameRecord& f = info.frame;
    lines.push_back({format("%.3f s   frame %lld   %s  step %d   fade %.2f", f.time,
                            static_cast<long long>(f.frame), sceneName(f.scene), f.step,
                            static_cast<double>(f.fadeLevel)),
                     kText});
    lines.push_back({format("frame time %.3f ms (%g fps)   drawn in %.0f ms   speed %s   %s",
                            1000.0 / info.fps, info.fps, info.drawSeconds * 1000.0,
                            speedText(info.speed).c_str(), info.playing ? "playing" : "paused"),
                     kText});
    if (!info.message.empty()) {
        lines.push_back({info.message, info.problems.empty() ? kAccent : kProblem});
    }
    const std::size_t shownProblems = std::min<std::size_t>(info.problems.size(), 14);
    for (std::size_t i = 0; i < shownProblems; ++i) {
        lines.push_back({info.problems[i], kProblem});
    }
    if (shownProblems < info.problems.size()) {
        lines.push_back(
            {format("... %zu more lines on standard error", info.problems.size() - shownProblems),
             kProblem});
    }
    lines.push_back({"Space play/pause   . step   Left/Right 1 s   Shift 10 s   Home   1-6 "
                     "scenes   [ ] speed   R reload   H overlay   Esc quit",
                     kDim});

    if (haveFont_) {
        sf::Text text;
        text.setFont(font_);
        text.setCharacterSize(textSize);
        float width = 0.0f;
        for (const auto& line : lines) {
            text.setString(line.first);
            width = std::max(width, text.getLocalBounds().width);
        }
        sf::RectangleShape panel(sf::Vector2f(
            width + 2.0f * margin, lineHeight * static_cast<float>(lines.size()) + margin * 1.5f));
        panel.setPosition(margin * 0.5f, margin * 0.5f);
        panel.setFillColor(kPanel);
        window.draw(panel);
        float y = margin;
        for (const auto& line : lines) {
            text.setString(line.first);
            text.setFillColor(line.second);
            text.setPosition(margin * 1.5f, y);
            window.draw(text);
            y += lineHeight;
        }
    }

    // The time bar along the bottom edge, with a tick and the key for every scene start.
    const float barLeft = margin * 2.0f;
    const float barWidth = size.x - 4.0f * margin;
    const float barHeight = 10.0f * scale;
    const float barTop = size.y - margin * 2.5f;
    const double length = std::max(info.lengthSeconds, 1e-3);
    auto xOf = [&](double seconds) {
        return barLeft + barWidth * static_cast<float>(std::clamp(seconds / length, 0.0, 1.0));
    };
    sf::RectangleShape back(sf::Vector2f(barWidth + 2.0f * margin, barHeight + 3.0f * margin));
    back.setPosition(barLeft - margin, barTop - 2.0f * margin);
    back.setFillColor(kPanel);
    window.draw(back);
    sf::RectangleShape bar(sf::Vector2f(barWidth, barHeight));
    bar.setPosition(barLeft, barTop);
    bar.setFillColor(sf::Color(70, 70, 80));
    window.draw(bar);
    bar.setSize(sf::Vector2f(xOf(f.time) - barLeft, barHeight));
    bar.setFillColor(sf::Color(150, 150, 165));
    window.draw(bar);
    sf::Text key;
    if (haveFont_) {
        key.setFont(font_);
        key.setCharacterSize(static_cast<unsigned>(14.0f * scale));
        key.setFillColor(kDim);
    }
    for (int i = 0; i < kSceneCount; ++i) {
        if (info.sceneStarts[static_cast<std::size_t>(i)] < 0.0) {
            continue;
        }
        const float x = xOf(info.sceneStarts[static_cast<std::size_t>(i)]);
        sf::RectangleShape tick(sf::Vector2f(std::max(1.0f, 2.0f * scale), barHeight * 2.0f));
        tick.setPosition(x, barTop - barHeight * 0.5f);
        tick.setFillColor(kText);
        window.draw(tick);
        if (haveFont_) {
            key.setString(format("%d", i + 1));
            key.setPosition(x + 3.0f * scale, barTop - 1.8f * margin);
            window.draw(key);
        }
    }
    sf::RectangleShape hand(sf::Vector2f(std::max(2.0f, 3.0f * scale), barHeight * 2.4f));
    hand.setPosition(xOf(f.time) - hand.getSize().x * 0.5f, barTop - barHeight * 0.7f);
    hand.setFillColor(kAccent);
    window.draw(hand);

    window.setView(showView);
}

} // namespace preview

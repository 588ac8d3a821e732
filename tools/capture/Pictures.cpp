#include "capture/Pictures.hpp"

#include "capture/ShowSession.hpp"
#include "runtime/Startup.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Text.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/Graphics/VertexArray.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace capture {

std::string labelFontFile() {
    for (const char* candidate : {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                                  "/usr/share/fonts/dejavu/DejaVuSans.ttf", kFontFile}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) {
            return candidate;
        }
    }
    return {};
}

void shrinkFrame(const std::uint8_t* pixels, unsigned width, unsigned height, unsigned factor,
                 Thumbnail& out) {
    factor = std::max(1u, factor);
    out.width = width / factor;
    out.height = height / factor;
    out.pixels.assign(static_cast<std::size_t>(out.width) * out.height * 4, 0);
    const unsigned area = factor * factor;
    for (unsigned ty = 0; ty < out.height; ++ty) {
        // Thumbnail row ty (from the top) comes from source rows counted from the bottom.
        const unsigned sourceTop = height - (ty + 1) * factor;
        for (unsigned tx = 0; tx < out.width; ++tx) {
            unsigned sum[3] = {0, 0, 0};
            for (unsigned dy = 0; dy < factor; ++dy) {
                const std::uint8_t* row =
                    pixels + (static_cast<std::size_t>(sourceTop + dy) * width + tx * factor) * 4;
                for (unsigned dx = 0; dx < factor * 4; dx += 4) {
                    sum[0] += row[dx];
                    sum[1] += row[dx + 1];
                    sum[2] += row[dx + 2];
                }
            }
            std::uint8_t* target = &out.pixels[(static_cast<std::size_t>(ty) * out.width + tx) * 4];
            target[0] = static_cast<std::uint8_t>(sum[2] / area);
            target[1] = static_cast<std::uint8_t>(sum[1] / area);
            target[2] = static_cast<std::uint8_t>(sum[0] / area);
            target[3] = 255; // the window's alpha means nothing on screen
        }
    }
}

namespace {

bool saveTarget(sf::RenderTexture& target, const std::string& path) {
    target.display();
    const sf::Image image = target.getTexture().copyToImage();
    std::error_code error;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) {
        std::filesystem::create_directories(parent, error);
    }
    return image.saveToFile(path);
}

std::string formatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

} // namespace

bool saveContactSheet(const std::string& path, const std::vector<Thumbnail>& thumbnails,
                      unsigned columns) {
    if (thumbnails.empty()) {
        return false;
    }
    columns = std::max(1u, std::min<unsigned>(columns, static_cast<unsigned>(thumbnails.size())));
    const unsigned rows = static_cast<unsigned>((thumbnails.size() + columns - 1) / columns);
    const unsigned cellW = thumbnails.front().width;
    const unsigned cellH = thumbnails.front().height;
    const unsigned pad = 12;
    const unsigned labelH = 26;
    sf::RenderTexture sheet;
    if (!sheet.create(pad + columns * (cellW + pad), pad + rows * (cellH + labelH + pad))) {
        return false;
    }
    sheet.clear(sf::Color(24, 24, 28));
    sf::Font font;
    const std::string fontFile = labelFontFile();
    const bool haveFont = !fontFile.empty() && font.loadFromFile(fontFile);
    sf::Texture texture;
    for (std::size_t i = 0; i < thumbnails.size(); ++i) {
        const Thumbnail& thumb = thumbnails[i];
        const float x = static_cast<float>(pad + (i % columns) * (cellW + pad));
        const float y = static_cast<float>(pad + (i / columns) * (cellH + labelH + pad));
        if (texture.getSize() != sf::Vector2u(thumb.width, thumb.height)) {
            texture.create(thumb.width, thumb.height);
        }
        texture.update(thumb.pixels.data());
        sf::Sprite picture(texture);
        picture.setPosition(x, y);
        sheet.draw(picture);
        if (haveFont) {
            sf::Text label(formatSeconds(thumb.time) + "  " + sceneName(thumb.scene), font, 16);
            label.setFillColor(sf::Color(230, 230, 230));
            label.setPosition(x + 2.0f, y + static_cast<float>(cellH) + 3.0f);
            sheet.draw(label);
        }
    }
    return saveTarget(sheet, path);
}

bool saveTimePlot(const std::string& path, const std::string& title,
                  const std::vector<PlotSeries>& series, const std::vector<PlotMark>& marks) {
    const float width = 1600.0f;
    const float height = 640.0f;
    const float left = 70.0f;
    const float right = 20.0f;
    const float top = 50.0f;
    const float bottom = 50.0f;
    sf::RenderTexture plot;
    if (!plot.create(static_cast<unsigned>(width), static_cast<unsigned>(height))) {
        return false;
    }
    plot.clear(sf::Color::White);

    double xMin = 0.0;
    double xMax = 1.0;
    std::vector<double> all;
    bool first = true;
    for (const PlotSeries& s : series) {
        for (std::size_t i = 0; i < s.x.size(); ++i) {
            xMin = first ? s.x[i] : std::min(xMin, s.x[i]);
            xMax = first ? s.x[i] : std::max(xMax, s.x[i]);
            first = false;
        }
        all.insert(all.end(), s.y.begin(), s.y.end());
    }
    if (xMax <= xMin) {
        xMax = xMin + 1.0;
    }
    double yMax = 1.0;
    if (!all.empty()) {
        std::sort(all.begin(), all.end());
        yMax = std::max(
            1.0, all[static_cast<std::size_t>(0.995 * static_cast<double>(all.size() - 1))] * 1.15);
    }
    // A round step for the y grid: 1, 2 or 5 times a power of ten, about six lines.
    const double rawStep = yMax / 6.0;
    const double power = std::pow(10.0, std::floor(std::log10(rawStep)));
    double yStep = power;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= rawStep) {
            yStep = m * power;
            break;
        }
    }
    yMax = std::ceil(yMax / yStep) * yStep;

    const float plotW = width - left - right;
    const float plotH = height - top - bottom;
    auto px = [&](double x) {
        return left + static_cast<float>((x - xMin) / (xMax - xMin)) * plotW;
    };
    auto py = [&](double y) {
        return top + plotH - static_cast<float>(std::min(y, yMax) / yMax) * plotH;
    };

    sf::Font font;
    const std::string fontFile = labelFontFile();
    const bool haveFont = !fontFile.empty() && font.loadFromFile(fontFile);
    auto text = [&](const std::string& s, float x, float y, unsigned size, sf::Color colour) {
        if (!haveFont) {
            return;
        }
        sf::Text t(s, font, size);
        t.setFillColor(colour);
        t.setPosition(x, y);
        plot.draw(t);
    };

    sf::VertexArray lines(sf::Lines);
    const sf::Color grid(225, 225, 225);
    for (double y = 0.0; y <= yMax + 1e-9; y += yStep) {
        lines.append(sf::Vertex(sf::Vector2f(left, py(y)), grid));
        lines.append(sf::Vertex(sf::Vector2f(left + plotW, py(y)), grid));
        char label[32];
        std::snprintf(label, sizeof label, "%g", y);
        text(label, 8.0f, py(y) - 9.0f, 14, sf::Color(90, 90, 90));
    }
    const double xStep = (xMax - xMin) > 60.0 ? 20.0 : ((xMax - xMin) > 10.0 ? 5.0 : 1.0);
    for (double x = std::ceil(xMin / xStep) * xStep; x <= xMax; x += xStep) {
        char label[32];
        std::snprintf(label, sizeof label, "%g s", x);
        text(label, px(x) - 12.0f, top + plotH + 8.0f, 14, sf::Color(90, 90, 90));
    }
    const sf::Color markColour(200, 60, 60);
    for (const PlotMark& mark : marks) {
        if (mark.x < xMin || mark.x > xMax) {
            continue;
        }
        lines.append(sf::Vertex(sf::Vector2f(px(mark.x), top), markColour));
        lines.append(sf::Vertex(sf::Vector2f(px(mark.x), top + plotH), markColour));
        text(mark.label, px(mark.x) + 4.0f, top + 2.0f, 14, markColour);
    }
    const sf::Color axis(60, 60, 60);
    lines.append(sf::Vertex(sf::Vector2f(left, top + plotH), axis));
    lines.append(sf::Vertex(sf::Vector2f(left + plotW, top + plotH), axis));
    lines.append(sf::Vertex(sf::Vector2f(left, top), axis));
    lines.append(sf::Vertex(sf::Vector2f(left, top + plotH), axis));
    plot.draw(lines);

    float legendX = width * 0.5f;
    for (const PlotSeries& s : series) {
        sf::VertexArray curve(sf::LineStrip);
        for (std::size_t i = 0; i < s.x.size() && i < s.y.size(); ++i) {
            curve.append(sf::Vertex(sf::Vector2f(px(s.x[i]), py(s.y[i])), s.colour));
        }
        plot.draw(curve);
        sf::RectangleShape swatch(sf::Vector2f(18.0f, 4.0f));
        swatch.setFillColor(s.colour);
        swatch.setPosition(legendX, 22.0f);
        plot.draw(swatch);
        text(s.name, legendX + 24.0f, 12.0f, 16, sf::Color(40, 40, 40));
        legendX += 24.0f + 9.0f * static_cast<float>(s.name.size()) + 30.0f;
    }
    text(title + "  (ms)", left, 10.0f, 18, sf::Color::Black);
    return saveTarget(plot, path);
}

} // namespace capture

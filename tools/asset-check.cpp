// The asset check (asset-check.hpp): what the show needs from the asset set, and the check
// that loads the set through the registries and holds it against those needs.
#include "asset-check.hpp"

#include "assets/MusicManager.hpp"
#include "assets/RegistryViews.hpp"
#include "assets/ShowKeys.hpp"
#include "assets/SoundManager.hpp"
#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "effects/ParticleManager.hpp"
#include "runtime/Startup.hpp"

#include <SFML/Audio/InputSoundFile.hpp>
#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/System/Err.hpp>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace assetcheck {

namespace {

// ---------------------------------------------------------------------------------------------
// What the show needs.

// The scroller writes its messages in capitals and spaces only.
const char* const kScrollerCharacters = kScrollerLetters;
const double kSongSeconds = 197.0; // the show runs about 197 s on one song
const double kNoiseSeconds = 0.75; // the intro's static burst lasts 0.75 s

} // namespace

// ---------------------------------------------------------------------------------------------
// Font character map.

// Which of `wanted` the font file at `path` maps to a real glyph (not glyph 0, .notdef) in
// its Unicode character map (formats 4 and 12). The others go to `missing`. False with a
// reason in `error` when the file cannot be read or has no usable Unicode map.
bool findUnmappedCharacters(const std::string& path, const std::vector<char32_t>& wanted,
                            std::vector<char32_t>& missing, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    const std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    bool truncated = false;
    auto u16 = [&](std::size_t at) -> std::uint32_t {
        if (at + 2 > data.size()) {
            truncated = true;
            return 0;
        }
        return (std::uint32_t(data[at]) << 8) | data[at + 1];
    };
    auto u32 = [&](std::size_t at) -> std::uint32_t { return (u16(at) << 16) | u16(at + 2); };

    // Table directory: find 'cmap'.
    const std::uint32_t tableCount = u16(4);
    std::size_t cmap = 0;
    for (std::uint32_t i = 0; i < tableCount && !truncated; ++i) {
        const std::size_t record = 12 + 16 * std::size_t(i);
        if (record + 16 <= data.size() &&
            std::string(data.begin() + long(record), data.begin() + long(record) + 4) == "cmap") {
            cmap = u32(record + 8);
        }
    }
    if (truncated || cmap == 0) {
        error = path + " has no character map";
        return false;
    }

    // The glyph of `c` in one subtable, 0 when unmapped.
    auto glyphFormat4 = [&](std::size_t sub, char32_t c) -> std::uint32_t {
        const std::uint32_t segments = u16(sub + 6) / 2;
        const std::size_t ends = sub + 14;
        const std::size_t starts = ends + 2 * segments + 2;
        const std::size_t deltas = starts + 2 * segments;
        const std::size_t offsets = deltas + 2 * segments;
        for (std::uint32_t s = 0; s < segments && !truncated; ++s) {
            const std::uint32_t end = u16(ends + 2 * s);
            const std::uint32_t start = u16(starts + 2 * s);
            if (c < start || c > end) {
                continue;
            }
            const std::uint32_t delta = u16(deltas + 2 * s);
            const std::uint32_t rangeOffset = u16(offsets + 2 * s);
            if (rangeOffset == 0) {
                return (c + delta) & 0xFFFFu;
            }
            const std::uint32_t glyph = u16(offsets + 2 * s + rangeOffset + 2 * (c - start));
            return glyph == 0 ? 0 : (glyph + delta) & 0xFFFFu;
        }
        return 0;
    };
    auto glyphFormat12 = [&](std::size_t sub, char32_t c) -> std::uint32_t {
        const std::uint32_t groups = u32(sub + 12);
        for (std::uint32_t g = 0; g < groups && !truncated; ++g) {
            const std::size_t group = sub + 16 + 12 * std::size_t(g);
            const std::uint32_t first = u32(group);
            const std::uint32_t last = u32(group + 4);
            if (c >= first && c <= last) {
                return u32(group + 8) + (c - first);
            }
        }
        return 0;
    };

    // Every Unicode subtable of a supported format takes part.
    std::vector<std::pair<std::size_t, std::uint32_t>> subtables; // offset, format
    const std::uint32_t encodings = u16(cmap + 2);
    for (std::uint32_t i = 0; i < encodings && !truncated; ++i) {
        const std::size_t record = cmap + 4 + 8 * std::size_t(i);
        const std::uint32_t platform = u16(record);
        const std::uint32_t encoding = u16(record + 2);
        const bool unicode = platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
        const std::size_t sub = cmap + u32(record + 4);
        const std::uint32_t format = u16(sub);
        if (unicode && (format == 4 || format == 12)) {
            subtables.emplace_back(sub, format);
        }
    }
    if (truncated || subtables.empty()) {
        error = path + " has no Unicode character map of format 4 or 12";
        return false;
    }
    missing.clear();
    for (const char32_t c : wanted) {
        std::uint32_t glyph = 0;
        for (const auto& sub : subtables) {
            glyph = sub.second == 4 ? glyphFormat4(sub.first, c) : glyphFormat12(sub.first, c);
            if (glyph != 0) {
                break;
            }
        }
        if (glyph == 0) {
            missing.push_back(c);
        }
    }
    if (truncated) {
        error = path + ": the character map runs past the end of the file";
        return false;
    }
    return true;
}

namespace {

// ---------------------------------------------------------------------------------------------
// Sound files.

// Length of a sound file in seconds, or a negative value when it does not open.
double soundFileSeconds(const std::string& path) {
    sf::InputSoundFile file;
    if (!file.openFromFile(path)) {
        return -1.0;
    }
    return static_cast<double>(file.getDuration().asSeconds());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The check.

namespace detail {

// Sends std::cerr and the media library's error stream into one buffer while it lives.
class DiagnosticCapture {
  public:
    DiagnosticCapture()
        : previousCerr(std::cerr.rdbuf(buffer.rdbuf())),
          previousErr(sf::err().rdbuf(buffer.rdbuf())) {}
    ~DiagnosticCapture() {
        std::cerr.rdbuf(previousCerr);
        sf::err().rdbuf(previousErr);
    }
    DiagnosticCapture(const DiagnosticCapture&) = delete;
    DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;
    std::vector<std::string> takeLines() {
        std::vector<std::string> lines;
        std::istringstream in(buffer.str());
        for (std::string line; std::getline(in, line);) {
            if (!line.empty()) {
                lines.push_back(line);
            }
        }
        buffer.str("");
        return lines;
    }

  private:
    std::ostringstream buffer;
    std::streambuf* previousCerr;
    std::streambuf* previousErr;
};

// The keys of one section of a definition file, in file order; empty when unreadable (the
// registry itself reports that).
std::vector<std::string> sectionKeys(const std::string& path, const char* section) {
    std::vector<std::string> keys;
    std::ifstream in(path);
    const nlohmann::json document = nlohmann::json::parse(in, nullptr, false);
    if (document.is_object() && document.contains(section) && document[section].is_object()) {
        for (const auto& item : document[section].items()) {
            keys.push_back(item.key());
        }
    }
    return keys;
}

std::string memberString(const std::string& path, const char* section, const std::string& key,
                         const char* member) {
    std::ifstream in(path);
    const nlohmann::json document = nlohmann::json::parse(in, nullptr, false);
    if (!document.is_object()) {
        return "";
    }
    const auto sectionIt = document.find(section);
    if (sectionIt == document.end() || !sectionIt->is_object()) {
        return "";
    }
    const auto entryIt = sectionIt->find(key);
    if (entryIt == sectionIt->end() || !entryIt->is_object()) {
        return "";
    }
    const auto memberIt = entryIt->find(member);
    return memberIt != entryIt->end() && memberIt->is_string() ? memberIt->get<std::string>() : "";
}

std::string rectText(const sf::IntRect& r) {
    std::ostringstream out;
    out << "(" << r.left << ", " << r.top << ", " << r.width << ", " << r.height << ")";
    return out.str();
}

std::string rectText(const sf::FloatRect& r) {
    std::ostringstream out;
    out << "(" << r.left << ", " << r.top << ", " << r.width << ", " << r.height << ")";
    return out.str();
}

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", s);
    return text;
}

} // namespace detail

Report checkAssetSet(std::ostream& log) {
    Report report;
    auto pass = [&log](const std::string& what) { log << "  ok    " << what << "\n"; };
    auto fail = [&log, &report](const std::string& what) {
        log << "  FAIL  " << what << "\n";
        report.failures.push_back(what);
    };
    auto check = [&pass, &fail](bool holds, const std::string& what) {
        if (holds) {
            pass(what);
        } else {
            fail(what);
        }
    };
    // Moves what a capture caught into the report.
    auto absorb = [&log, &report](detail::DiagnosticCapture& capture) {
        for (const std::string& line : capture.takeLines()) {
            log << "  diagnostic: " << line << "\n";
            report.diagnostics.push_back(line);
        }
    };

    struct DefinitionFile {
        const char* path;
        const char* section;
        const char* noun;
    };
    const DefinitionFile files[] = {
        {"assets/textures.json", "textures", "textures"},
        {"assets/sprites.json", "sprites", "sprites"},
        {"assets/sounds.json", "sounds", "sounds"},
        {"assets/music.json", "music", "songs"},
        {"assets/particles.json", "particlesystems", "particle systems"},
    };

    // 1. Loading, in start-up's order (sprites name textures, particle systems name sprites).
    log << "Loading the definition files through the registries:\n";
    {
        detail::DiagnosticCapture capture;
        TextureManager::load(files[0].path);
        SpriteManager::load(files[1].path);
        SoundManager::load(files[2].path);
        MusicManager::load(files[3].path);
        ParticleManager::load(files[4].path);
        absorb(capture);
    }
    if (report.diagnostics.empty()) {
        log << "  no diagnostics\n";
    }

    // Whether the registry holds `key`, asked without letting a lookup report anything.
    auto registered = [](std::size_t file, const std::string& key) {
        switch (file) {
        case 0:
            return TextureManager::exists(key);
        case 1:
            return SpriteManager::exists(key);
        case 2:
            return SoundManager::exists(key);
        case 3:
            return RegistryViews::musicEntry(key) != nullptr;
        default: {
            detail::DiagnosticCapture quiet;
            return ParticleManager::get(key) != nullptr;
        }
        }
    };

    // 2. Every entry of every file made it into its registry.
    log << "Entries of the definition files:\n";
    for (std::size_t f = 0; f < std::size(files); ++f) {
        const std::vector<std::string> keys = detail::sectionKeys(files[f].path, files[f].section);
        std::vector<std::string> lost;
        for (const std::string& key : keys) {
            if (!registered(f, key)) {
                lost.push_back(key);
            }
        }
        std::ostringstream what;
        what << files[f].path << ": " << keys.size() - lost.size() << " of " << keys.size() << " "
             << files[f].noun << " registered";
        for (const std::string& key : lost) {
            what << (&key == &lost.front() ? " (lost: " : ", ") << key;
        }
        if (!lost.empty()) {
            what << ")";
        }
        check(lost.empty() && !keys.empty(), what.str());
    }

    // 3. The keys the scenes fetch.
    log << "Keys the show fetches:\n";
    const struct {
        std::size_t file;
        std::vector<std::string> keys;
    } needs[] = {{0, {std::begin(ShowKeys::textures), std::end(ShowKeys::textures)}},
                 {1, {std::begin(ShowKeys::sprites), std::end(ShowKeys::sprites)}},
                 {2, {std::begin(ShowKeys::sounds), std::end(ShowKeys::sounds)}},
                 {3, {std::begin(ShowKeys::songs), std::end(ShowKeys::songs)}},
                 {4, {std::begin(ShowKeys::particleSystems), std::end(ShowKeys::particleSystems)}}};
    for (const auto& need : needs) {
        std::vector<std::string> absent;
        for (const std::string& key : need.keys) {
            if (!registered(need.file, key)) {
                absent.push_back(key);
            }
        }
        std::ostringstream what;
        what << need.keys.size() - absent.size() << " of " << need.keys.size() << " "
             << files[need.file].noun;
        for (const std::string& key : absent) {
            what << (&key == &absent.front() ? " (missing: " : ", ") << key;
        }
        if (!absent.empty()) {
            what << ")";
        }
        check(absent.empty(), what.str());
    }

    // 4. Properties the scenes rely on.
    log << "Properties:\n";
    for (const char* key : {"brickwall", "spectrum"}) {
        const std::string name = std::string("texture ") + key;
        if (!TextureManager::exists(key)) {
            fail(name + " repeats: no such texture");
        } else if (TextureManager::get(key)->isRepeated()) {
            pass(name + " repeats");
        } else {
            fail(name + " repeats: it does not (\"repeated\": true in textures.json)");
        }
    }

    if (!SpriteManager::exists("black")) {
        fail("sprite black covers the frame: no such sprite");
    } else {
        const sf::Sprite& black = *SpriteManager::get("black");
        const sf::IntRect rect = black.getTextureRect();
        const sf::FloatRect local = black.getLocalBounds();
        const sf::FloatRect global = black.getGlobalBounds();
        const sf::Vector2f origin = black.getOrigin();
        const bool covers = rect == sf::IntRect(0, 0, 1920, 1080) &&
                            origin == sf::Vector2f(0.0f, 0.0f) &&
                            local == sf::FloatRect(0.0f, 0.0f, 1920.0f, 1080.0f) &&
                            global == sf::FloatRect(0.0f, 0.0f, 1920.0f, 1080.0f);
        std::ostringstream what;
        what << "sprite black covers 1920x1080 from (0, 0): texture rect " << detail::rectText(rect)
             << ", origin (" << origin.x << ", " << origin.y << "), bounds "
             << detail::rectText(global);
        check(covers, what.str());
    }

    if (!TextureManager::exists("krv-white")) {
        fail("texture krv-white is at least 812x636: no such texture");
    } else {
        const sf::Vector2u size = TextureManager::get("krv-white")->getSize();
        std::ostringstream what;
        what << "texture krv-white is " << size.x << "x" << size.y << " (at least 812x636)";
        check(size.x >= 812 && size.y >= 636, what.str());
    }

    {
        // Every sprite shows a non-empty part of its texture; a rectangle reaching past the
        // texture's edge would draw clamped edge pixels.
        std::vector<std::string> outside;
        const std::vector<std::string> keys = detail::sectionKeys(files[1].path, "sprites");
        for (const std::string& key : keys) {
            if (!SpriteManager::exists(key)) {
                continue;
            }
            const sf::Sprite& sprite = *SpriteManager::get(key);
            const sf::IntRect r = sprite.getTextureRect();
            const sf::Vector2u size = sprite.getTexture()->getSize();
            if (r.left < 0 || r.top < 0 || r.width <= 0 || r.height <= 0 ||
                unsigned(r.left + r.width) > size.x || unsigned(r.top + r.height) > size.y) {
                outside.push_back(key + " " + detail::rectText(r));
            }
        }
        std::ostringstream what;
        what << "every sprite's rectangle lies inside its texture";
        for (const std::string& item : outside) {
            what << (&item == &outside.front() ? " (not: " : ", ") << item;
        }
        if (!outside.empty()) {
            what << ")";
        }
        check(outside.empty(), what.str());
    }

    {
        // The scroller's characters: mapped in the font file (a missing character would
        // silently draw the .notdef box, which has an outline too) and with drawable glyphs.
        std::vector<char32_t> wanted;
        for (const char* c = kScrollerCharacters; *c != '\0'; ++c) {
            wanted.push_back(static_cast<unsigned char>(*c));
        }
        std::vector<char32_t> unmapped;
        std::string error;
        const std::string name = std::string("font ") + kFontFile;
        if (!findUnmappedCharacters(kFontFile, wanted, unmapped, error)) {
            fail(name + " maps A-Z and space: " + error);
        } else if (!unmapped.empty()) {
            std::string list;
            for (const char32_t c : unmapped) {
                list += c == ' ' ? std::string("space") : std::string(1, char(c));
                list += ' ';
            }
            fail(name + " maps A-Z and space: not mapped: " + list);
        } else {
            pass(name + " maps all " + std::to_string(wanted.size()) +
                 " characters (A-Z, space) to glyphs");
        }

        detail::DiagnosticCapture capture;
        sf::Font font;
        const bool loaded = font.loadFromFile(kFontFile);
        std::vector<std::string> blank;
        for (const char32_t c : wanted) {
            if (!loaded) {
                break;
            }
            const sf::Glyph& glyph = font.getGlyph(c, 128, false);
            const bool outlined = glyph.bounds.width > 0.0f && glyph.bounds.height > 0.0f;
            if (!(glyph.advance > 0.0f) || (c != ' ' && !outlined)) {
                blank.push_back(c == ' ' ? std::string("space") : std::string(1, char(c)));
            }
        }
        absorb(capture);
        if (!loaded) {
            fail(name + " loads");
        } else if (!blank.empty()) {
            std::string list;
            for (const std::string& item : blank) {
                list += item + ' ';
            }
            fail(name + ": glyphs with no advance or no outline at size 128: " + list);
        } else {
            pass(name + ": letters have outlines and advances, space an advance");
        }
    }

    // Audio lengths, read from the files the definitions name.
    auto lasts = [&](const std::string& name, const std::string& file, double atLeast) {
        detail::DiagnosticCapture capture;
        const double length = soundFileSeconds(file);
        absorb(capture);
        const std::string what = name + " (" + file + ")";
        if (length < 0.0) {
            fail(what + " opens");
            return;
        }
        check(length >= atLeast, what + " lasts " + detail::seconds(length) + " (at least " +
                                     detail::seconds(atLeast) + ")");
    };
    for (const std::string key : ShowKeys::songs) {
        lasts("song " + key, detail::memberString(files[3].path, "music", key, "file"),
              kSongSeconds);
    }
    lasts("sound noise", detail::memberString(files[2].path, "sounds", "noise", "file"),
          kNoiseSeconds);
    return report;
}

} // namespace assetcheck

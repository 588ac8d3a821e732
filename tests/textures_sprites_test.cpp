// The texture and sprite registries: what an entry builds (repeat flag, texture rectangle,
// origin), that every caller shares one object per key, and what is refused or skipped.
#include "support/TestSupport.hpp"

#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "effects/SparsePicture.hpp"

#include <SFML/Graphics/RenderTexture.hpp>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Lines = std::vector<std::string>;

std::string uniqueKey(const std::string& stem) {
    static int counter = 0;
    return "ts" + std::to_string(++counter) + "-" + stem;
}

struct Loaded {
    bool result;
    Lines lines;
};

Loaded loadFile(bool (*load)(const std::string&), const test::TempDir& dir,
                const std::string& text) {
    const std::string path = dir.write(uniqueKey("defs.json"), text);
    test::CerrCapture capture;
    const bool result = load(path);
    return {result, capture.lines()};
}

// Writes a PNG whose left half is `left` and right half `right`.
std::string writeTwoColourPng(const std::string& path, unsigned width, unsigned height,
                              sf::Color left, sf::Color right) {
    sf::Image image;
    image.create(width, height, right);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width / 2; ++x) {
            image.setPixel(x, y, left);
        }
    }
    image.saveToFile(path);
    return path;
}

bool samePixels(const sf::Image& a, const sf::Image& b) {
    const sf::Vector2u size = a.getSize();
    return size == b.getSize() &&
           std::equal(a.getPixelsPtr(), a.getPixelsPtr() + std::size_t{size.x} * size.y * 4,
                      b.getPixelsPtr());
}

// --- textures ---------------------------------------------------------------------------------

TEST(Textures, EntryWithOnlyAFileGivesTheWholeImageWithoutRepetition) {
    test::TempDir dir;
    const std::string key = uniqueKey("plain");
    const std::string png = test::writePng(dir.file("plain.png"), 30, 20, sf::Color::Blue);
    const Loaded loaded =
        loadFile(&TextureManager::load, dir,
                 R"({"textures": {")" + key + R"(": {"file": ")" + png + R"("}}})");
    EXPECT_TRUE(loaded.result);
    EXPECT_EQ(loaded.lines, Lines{});
    const sf::Texture* texture = TextureManager::get(key);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->getSize(), sf::Vector2u(30, 20));
    EXPECT_FALSE(texture->isRepeated());
    EXPECT_FALSE(texture->isSmooth());
    EXPECT_EQ(TextureManager::get(key), texture) << "every lookup hands out the same texture";
}

TEST(Textures, RepeatFlagDecidesWhetherAWideSpriteShowsTheImageTiled) {
    // A 4x2 image, red left and blue right, under a sprite rectangle twice as wide.
    test::TempDir dir;
    const std::string png =
        writeTwoColourPng(dir.file("halves.png"), 4, 2, sf::Color::Red, sf::Color::Blue);
    const std::string tiled = uniqueKey("tiled");
    const std::string clamped = uniqueKey("clamped");
    ASSERT_EQ(loadFile(&TextureManager::load, dir,
                       R"({"textures": {")" + tiled + R"(": {"file": ")" + png +
                           R"(", "repeated": true}, ")" + clamped + R"(": {"file": ")" + png +
                           R"(", "repeated": false}}})")
                  .lines,
              Lines{});
    ASSERT_EQ(loadFile(&SpriteManager::load, dir,
                       R"({"sprites": {")" + tiled + R"(": {"texture": ")" + tiled +
                           R"(", "rectW": 8, "rectH": 2}, ")" + clamped + R"(": {"texture": ")" +
                           clamped + R"(", "rectW": 8, "rectH": 2}}})")
                  .lines,
              Lines{});
    EXPECT_TRUE(TextureManager::get(tiled)->isRepeated());

    for (const auto& [key, colourAtFive] :
         {std::pair{tiled, sf::Color::Red}, std::pair{clamped, sf::Color::Blue}}) {
        sf::RenderTexture target;
        ASSERT_TRUE(target.create(8, 2));
        target.clear(sf::Color::Transparent);
        target.draw(*SpriteManager::get(key));
        target.display();
        const sf::Image picture = target.getTexture().copyToImage();
        EXPECT_EQ(picture.getPixel(1, 0), sf::Color::Red) << key;
        EXPECT_EQ(picture.getPixel(5, 0), colourAtFive) << key;
    }
}

TEST(Textures, ImageThatDoesNotLoadIsReportedAndLeftOut) {
    test::TempDir dir;
    const std::string stem = uniqueKey("img-");
    const std::string missing = dir.file("missing.png");
    const std::string notAnImage = dir.write("text.png", "not a picture");
    const std::string good = test::writePng(dir.file("good.png"), 2, 2, sf::Color::White);
    const Loaded loaded = loadFile(&TextureManager::load, dir,
                                   R"({"textures": {")" + stem + R"(a": {"file": ")" + missing +
                                       R"("}, ")" + stem + R"(b": {"file": ")" + notAnImage +
                                       R"("}, ")" + stem + R"(c": {"file": ")" + good + R"("}}})");
    EXPECT_TRUE(loaded.result);
    EXPECT_EQ(loaded.lines, (Lines{"TextureManager: Unable to load file " + missing + ".",
                                   "TextureManager: Unable to load file " + notAnImage + "."}));
    EXPECT_FALSE(TextureManager::exists(stem + "a"));
    EXPECT_FALSE(TextureManager::exists(stem + "b"));
    EXPECT_TRUE(TextureManager::exists(stem + "c"));
}

TEST(Textures, AddingATakenKeyKeepsTheFirstTextureInPlace) {
    test::TempDir dir;
    const std::string key = uniqueKey("taken");
    ASSERT_TRUE(TextureManager::add(
        key, test::writePng(dir.file("first.png"), 10, 10, sf::Color::Red), false));
    const sf::Texture* first = TextureManager::get(key);

    test::CerrCapture capture;
    EXPECT_FALSE(TextureManager::add(
        key, test::writePng(dir.file("second.png"), 20, 20, sf::Color::Blue), true));
    EXPECT_EQ(capture.lines(),
              Lines{"TextureManager: Texture with key " + key + " already exists."});
    EXPECT_EQ(TextureManager::get(key), first);
    EXPECT_EQ(first->getSize(), sf::Vector2u(10, 10));
    EXPECT_FALSE(first->isRepeated());
}

// A picture drawn in parts (around its transparent hole) gives the pixels of a plain draw,
// also when the table of prepared pictures is refilled: a reused slot once kept the parts of
// its earlier picture, and a translucent picture was then blended twice where they lay.
TEST(Textures, PictureDrawnInPartsGivesThePlainDrawsPixelsAfterARefill) {
    const unsigned width = 320;
    const unsigned height = 200;
    sf::Image holed;
    holed.create(width, height, sf::Color(200, 40, 90, 160));
    for (unsigned y = 30; y < 170; ++y) {
        for (unsigned x = 40 + y / 4; x < 280 - y / 5; ++x) {
            holed.setPixel(x, y, sf::Color::Transparent);
        }
    }
    sf::Image veil;
    veil.create(width, height, sf::Color(20, 220, 120, 100));
    sf::Texture holedTexture;
    sf::Texture veilTexture;
    ASSERT_TRUE(holedTexture.loadFromImage(holed) && veilTexture.loadFromImage(veil));

    auto drawn = [&](const sf::Texture& texture, bool inParts) {
        sf::RenderTexture target;
        EXPECT_TRUE(target.create(width, height));
        target.clear(sf::Color(30, 60, 90));
        const sf::Sprite sprite(texture);
        if (inParts) {
            drawSparsePicture(target, &sprite);
        } else {
            target.draw(sprite);
        }
        target.display();
        return target.getTexture().copyToImage();
    };
    forgetSparsePictures();
    prepareSparsePicture(&holedTexture, &holed);
    EXPECT_TRUE(samePixels(drawn(holedTexture, true), drawn(holedTexture, false)));
    forgetSparsePictures();
    prepareSparsePicture(&veilTexture, nullptr); // read back from the texture
    EXPECT_TRUE(samePixels(drawn(veilTexture, true), drawn(veilTexture, false)));
    forgetSparsePictures();
}

// --- sprite geometry --------------------------------------------------------------------------

class SpriteGeometry : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = new test::TempDir;
        for (const auto& [name, w, h] :
             {std::tuple{"200x100", 200u, 100u}, std::tuple{"101x51", 101u, 51u},
              std::tuple{"64x32", 64u, 32u}, std::tuple{"48x16", 48u, 16u}}) {
            const std::string key = std::string("ts-texture-") + name;
            if (!TextureManager::exists(key)) {
                TextureManager::add(
                    key, test::writePng(dir->file(key + ".png"), w, h, sf::Color::White), false);
            }
        }
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }

    // Registers one sprite from `members` (JSON text inside the entry's braces) on the named
    // texture, with no diagnostic, and returns it.
    static const sf::Sprite& build(const char* texture, const std::string& members) {
        const std::string key = uniqueKey("sprite");
        std::string entry = std::string(R"({"texture": "ts-texture-)") + texture + "\"";
        if (!members.empty()) {
            entry += ", " + members;
        }
        entry += "}";
        const Loaded loaded = loadFile(&SpriteManager::load, *dir,
                                       R"({"sprites": {")" + key + R"(": )" + entry + "}}");
        EXPECT_TRUE(loaded.result);
        EXPECT_EQ(loaded.lines, Lines{}) << entry;
        const sf::Sprite* sprite = SpriteManager::get(key);
        if (sprite == nullptr) {
            ADD_FAILURE() << "not registered: " << entry;
            static const sf::Sprite none;
            return none;
        }
        return *sprite;
    }

    static test::TempDir* dir;
};
test::TempDir* SpriteGeometry::dir = nullptr;

TEST_F(SpriteGeometry, AutocenterShowsTheWholeTextureAroundItsCentre) {
    const sf::Sprite& even = build("200x100", R"("autocenter": true)");
    EXPECT_EQ(even.getTextureRect(), sf::IntRect(0, 0, 200, 100));
    EXPECT_EQ(even.getOrigin(), sf::Vector2f(100, 50));
    EXPECT_EQ(even.getTexture(), TextureManager::get("ts-texture-200x100"));

    const sf::Sprite& odd = build("101x51", R"("autocenter": true)");
    EXPECT_EQ(odd.getTextureRect(), sf::IntRect(0, 0, 101, 51));
    EXPECT_EQ(odd.getOrigin(), sf::Vector2f(50, 25)) << "odd sizes round the centre down";

    const sf::Sprite& overridden = build(
        "200x100",
        R"("autocenter": true, "rectX": 10, "rectY": 3, "rectW": 5, "rectH": -1, "originX": 5, "originY": 7)");
    EXPECT_EQ(overridden.getTextureRect(), sf::IntRect(0, 0, 200, 100));
    EXPECT_EQ(overridden.getOrigin(), sf::Vector2f(100, 50));
}

TEST_F(SpriteGeometry, MinusOneSizesTakeTheTextureSizeWithoutMovingTheEdges) {
    const sf::Sprite& whole = build("64x32", R"("rectW": -1, "rectH": -1)");
    EXPECT_EQ(whole.getTextureRect(), sf::IntRect(0, 0, 64, 32));
    EXPECT_EQ(whole.getOrigin(), sf::Vector2f(0, 0));

    // The left and top edges are not adjusted: the rectangle reaches past the texture.
    const sf::Sprite& shifted =
        build("64x32", R"("rectX": 10, "rectY": 4, "rectW": -1, "rectH": 8)");
    EXPECT_EQ(shifted.getTextureRect(), sf::IntRect(10, 4, 64, 8));

    // Only exactly -1 means "full size"; other negative sizes are kept (a mirrored picture).
    const sf::Sprite& mirrored = build("64x32", R"("rectW": -2, "rectH": -1)");
    EXPECT_EQ(mirrored.getTextureRect(), sf::IntRect(0, 0, -2, 32));
}

TEST_F(SpriteGeometry, CellOfASheetWithItsOriginAtTheCellCentre) {
    const sf::Sprite& cell =
        build("48x16",
              R"("rectX": 16, "rectY": 0, "rectW": 16, "rectH": 16, "originX": 8, "originY": 8)");
    EXPECT_EQ(cell.getTextureRect(), sf::IntRect(16, 0, 16, 16));
    EXPECT_EQ(cell.getOrigin(), sf::Vector2f(8, 8));
    EXPECT_EQ(cell.getGlobalBounds(), sf::FloatRect(-8, -8, 16, 16));
}

TEST_F(SpriteGeometry, TextureAloneGivesAnEmptyRectangleAndDefaultTransform) {
    // Giving the texture resets the rectangle to the whole texture; the entry's 0x0 comes after.
    const sf::Sprite& bare = build("64x32", "");
    EXPECT_EQ(bare.getTextureRect(), sf::IntRect(0, 0, 0, 0));
    EXPECT_EQ(bare.getGlobalBounds().width, 0.0f);
    EXPECT_EQ(bare.getOrigin(), sf::Vector2f(0, 0));
    EXPECT_EQ(bare.getPosition(), sf::Vector2f(0, 0));
    EXPECT_EQ(bare.getRotation(), 0.0f);
    EXPECT_EQ(bare.getScale(), sf::Vector2f(1, 1));
    EXPECT_EQ(bare.getColor(), sf::Color::White);
}

TEST_F(SpriteGeometry, NumbersConvertByTheirPropertyKind) {
    const sf::Sprite& converted = build(
        "64x32", R"("rectW": 10.9, "rectH": true, "rectX": -3.9, "originX": 2.5, "originY": true)");
    EXPECT_EQ(converted.getTextureRect(), sf::IntRect(-3, 0, 10, 1));
    EXPECT_EQ(converted.getOrigin(), sf::Vector2f(2.5f, 1.0f));

    const sf::Sprite& falseValues =
        build("64x32", R"("rectW": 4, "rectH": 4, "autocenter": false, "originX": false)");
    EXPECT_EQ(falseValues.getTextureRect(), sf::IntRect(0, 0, 4, 4));
    EXPECT_EQ(falseValues.getOrigin(), sf::Vector2f(0, 0));
}

// --- sprite registry --------------------------------------------------------------------------

TEST(Sprites, EveryLookupSharesOneSprite) {
    test::TempDir dir;
    const std::string texture = uniqueKey("shared-texture");
    ASSERT_TRUE(TextureManager::add(
        texture, test::writePng(dir.file("t.png"), 16, 16, sf::Color::White), false));
    const std::string key = uniqueKey("shared");
    ASSERT_EQ(loadFile(&SpriteManager::load, dir,
                       R"({"sprites": {")" + key + R"(": {"texture": ")" + texture +
                           R"(", "autocenter": true}}})")
                  .lines,
              Lines{});

    sf::Sprite* first = SpriteManager::get(key);
    sf::Sprite* second = SpriteManager::get(key);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    first->setColor(sf::Color(10, 20, 30, 40));
    first->setPosition(960.0f, 540.0f);
    EXPECT_EQ(second->getColor(), sf::Color(10, 20, 30, 40));
    EXPECT_EQ(SpriteManager::get(key)->getPosition(), sf::Vector2f(960.0f, 540.0f));
}

TEST(Sprites, SpriteOnAnUnknownTextureIsSkipped) {
    test::TempDir dir;
    const std::string key = uniqueKey("orphan");
    const std::string texture = uniqueKey("no-such-texture");
    const Loaded loaded =
        loadFile(&SpriteManager::load, dir,
                 R"({"sprites": {")" + key + R"(": {"texture": ")" + texture + R"("}}})");
    EXPECT_TRUE(loaded.result);
    EXPECT_EQ(loaded.lines,
              Lines{"TextureManager: Texture with key " + texture + " does not exist."});
    EXPECT_FALSE(SpriteManager::exists(key));

    test::CerrCapture capture;
    EXPECT_EQ(SpriteManager::get(key), nullptr);
    EXPECT_EQ(capture.lines(), Lines{"SpriteManager: Sprite with key " + key + " does not exist."});
}

TEST(Sprites, LaterFileCannotReplaceARegisteredSprite) {
    test::TempDir dir;
    const std::string texture = uniqueKey("texture");
    ASSERT_TRUE(TextureManager::add(
        texture, test::writePng(dir.file("t.png"), 40, 20, sf::Color::White), false));
    const std::string key = uniqueKey("kept");
    const auto file = [&](const char* members) {
        return R"({"sprites": {")" + key + R"(": {"texture": ")" + texture + "\", " + members +
               "}}}";
    };
    ASSERT_EQ(loadFile(&SpriteManager::load, dir, file(R"("autocenter": true)")).lines, Lines{});
    sf::Sprite* sprite = SpriteManager::get(key);
    sprite->setRotation(30.0f);

    const Loaded again = loadFile(&SpriteManager::load, dir, file(R"("rectW": 4, "rectH": 4)"));
    EXPECT_TRUE(again.result);
    EXPECT_EQ(again.lines, Lines{"SpriteManager: Sprite with key " + key + " already exists."});
    EXPECT_EQ(SpriteManager::get(key), sprite);
    EXPECT_EQ(sprite->getTextureRect(), sf::IntRect(0, 0, 40, 20));
    EXPECT_EQ(sprite->getRotation(), 30.0f) << "the registry never resets a sprite";
}

} // namespace

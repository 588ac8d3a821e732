// The elastic sprite: its corner weights, and the texel each pixel shows on the perspective
// and bilinear paths, read back from a 1920x1080 render texture.
#include "support/TestSupport.hpp"

#include "effects/ElasticSprite.hpp"

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>

namespace {

constexpr unsigned kSize = 1024;

// Every texel of a 1024x1024 texture names itself: red and green hold the low bytes of x and
// y, blue their high bits.
sf::Image coordinateImage() {
    sf::Image image;
    image.create(kSize, kSize);
    for (unsigned y = 0; y < kSize; ++y) {
        for (unsigned x = 0; x < kSize; ++x) {
            image.setPixel(x, y,
                           sf::Color(static_cast<sf::Uint8>(x & 255u),
                                     static_cast<sf::Uint8>(y & 255u),
                                     static_cast<sf::Uint8>(((x >> 8) << 4) | (y >> 8)), 255));
        }
    }
    return image;
}

sf::Vector2i texelOf(sf::Color c) {
    return {c.r + 256 * (c.b >> 4), c.g + 256 * (c.b & 15)};
}

struct Vec {
    double x, y;
};

using Quad = std::array<Vec, 4>; // corners 0 top-left, 1 bottom-left, 2 bottom-right, 3 top-right

// The projective map that takes the unit square ((u, v) = (0,0), (0,1), (1,1), (1,0)) onto the
// quad's corners 0..3, inverted: the (u, v) a target point shows.
Vec inverseProjective(const Quad& q, Vec p) {
    // Square-to-quad with (0,0)->q0, (1,0)->q3, (1,1)->q2, (0,1)->q1.
    const Vec a0 = q[0], a1 = q[3], a2 = q[2], a3 = q[1];
    const double sx = a0.x - a1.x + a2.x - a3.x;
    const double sy = a0.y - a1.y + a2.y - a3.y;
    const double dx1 = a1.x - a2.x, dx2 = a3.x - a2.x;
    const double dy1 = a1.y - a2.y, dy2 = a3.y - a2.y;
    const double den = dx1 * dy2 - dx2 * dy1;
    const double g = (sx * dy2 - dx2 * sy) / den;
    const double h = (dx1 * sy - sx * dy1) / den;
    const double m[3][3] = {{a1.x - a0.x + g * a1.x, a3.x - a0.x + h * a3.x, a0.x},
                            {a1.y - a0.y + g * a1.y, a3.y - a0.y + h * a3.y, a0.y},
                            {g, h, 1.0}};
    // Adjugate of m applied to (p, 1).
    const double inv[3][3] = {
        {m[1][1] * m[2][2] - m[1][2] * m[2][1], m[0][2] * m[2][1] - m[0][1] * m[2][2],
         m[0][1] * m[1][2] - m[0][2] * m[1][1]},
        {m[1][2] * m[2][0] - m[1][0] * m[2][2], m[0][0] * m[2][2] - m[0][2] * m[2][0],
         m[0][2] * m[1][0] - m[0][0] * m[1][2]},
        {m[1][0] * m[2][1] - m[1][1] * m[2][0], m[0][1] * m[2][0] - m[0][0] * m[2][1],
         m[0][0] * m[1][1] - m[0][1] * m[1][0]}};
    const double u = inv[0][0] * p.x + inv[0][1] * p.y + inv[0][2];
    const double v = inv[1][0] * p.x + inv[1][1] * p.y + inv[1][2];
    const double w = inv[2][0] * p.x + inv[2][1] * p.y + inv[2][2];
    return {u / w, v / w};
}

// The inverse of the bilinear map (1-v)((1-u)q0 + u q3) + v((1-u)q1 + u q2), by Newton steps.
Vec inverseBilinear(const Quad& q, Vec p) {
    double u = 0.5, v = 0.5;
    for (int i = 0; i < 30; ++i) {
        const double x =
            (1 - v) * ((1 - u) * q[0].x + u * q[3].x) + v * ((1 - u) * q[1].x + u * q[2].x);
        const double y =
            (1 - v) * ((1 - u) * q[0].y + u * q[3].y) + v * ((1 - u) * q[1].y + u * q[2].y);
        const double xu = (1 - v) * (q[3].x - q[0].x) + v * (q[2].x - q[1].x);
        const double yu = (1 - v) * (q[3].y - q[0].y) + v * (q[2].y - q[1].y);
        const double xv = (1 - u) * (q[1].x - q[0].x) + u * (q[2].x - q[3].x);
        const double yv = (1 - u) * (q[1].y - q[0].y) + u * (q[2].y - q[3].y);
        const double det = xu * yv - xv * yu;
        const double ex = p.x - x, ey = p.y - y;
        u += (ex * yv - ey * xv) / det;
        v += (xu * ey - yu * ex) / det;
    }
    return {u, v};
}

// The texture a plain quad would show: linear over the two triangles (0,1,2) and (0,2,3).
std::optional<Vec> affineOverTriangles(const Quad& q, Vec p) {
    const Vec uv[4] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    for (const std::array<std::size_t, 3>& t :
         {std::array<std::size_t, 3>{0, 1, 2}, std::array<std::size_t, 3>{0, 2, 3}}) {
        const Vec a = q[t[0]], b = q[t[1]], c = q[t[2]];
        const double den = (b.y - c.y) * (a.x - c.x) + (c.x - b.x) * (a.y - c.y);
        const double l0 = ((b.y - c.y) * (p.x - c.x) + (c.x - b.x) * (p.y - c.y)) / den;
        const double l1 = ((c.y - a.y) * (p.x - c.x) + (a.x - c.x) * (p.y - c.y)) / den;
        const double l2 = 1 - l0 - l1;
        if (l0 >= 0 && l1 >= 0 && l2 >= 0) {
            return Vec{l0 * uv[t[0]].x + l1 * uv[t[1]].x + l2 * uv[t[2]].x,
                       l0 * uv[t[0]].y + l1 * uv[t[1]].y + l2 * uv[t[2]].y};
        }
    }
    return std::nullopt;
}

class Elastic : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!sf::Shader::isAvailable()) {
            return;
        }
        coordinates.loadFromImage(coordinateImage());
        sf::Image red;
        red.create(64, 64, sf::Color::Red);
        block.loadFromImage(red);
        target.create(1920, 1080);
    }
    void SetUp() override {
        if (!sf::Shader::isAvailable()) {
            GTEST_SKIP() << "no shader support on this display";
        }
    }

    static Quad quadOf(const ElasticSprite& sprite) {
        Quad q;
        for (std::size_t i = 0; i < 4; ++i) {
            q[i] = {static_cast<double>(sprite.getVertices()[i].position.x),
                    static_cast<double>(sprite.getVertices()[i].position.y)};
        }
        return q;
    }

    // The wall of the title and brick-wall scenes, shrunk to fit the frame: the right-hand
    // edge 5000 local units longer than the left-hand one.
    static void makeWall(ElasticSprite& wall) {
        wall.setTexture(coordinates, true);
        wall.setCornerOffset(2, {0.0f, 2500.0f});
        wall.setCornerOffset(3, {0.0f, -2500.0f});
        wall.setScale(1.8f, 0.17f);
        wall.setPosition(40.0f, 453.0f);
        wall.markForUpdate();
    }

    struct Comparison {
        int samples = 0;
        int matching = 0;     // within a texel of the expected map
        int farFromOther = 0; // where the other map is more than 8 texels away
        std::string firstMiss;
    };

    // Reads the target back and compares the texel every sampled pixel shows with `expected`;
    // `other` is the map that a wrong path would show.
    template <typename Expected, typename Other>
    static Comparison compare(const Quad& quad, Expected expected, Other other, double tolerance) {
        target.display();
        const sf::Image shot = target.getTexture().copyToImage();
        Comparison result;
        for (unsigned py = 11; py < 1080; py += 23) {
            for (unsigned px = 13; px < 1920; px += 37) {
                const Vec centre{px + 0.5, py + 0.5};
                const Vec uv = expected(quad, centre);
                if (uv.x < 0.01 || uv.x > 0.99 || uv.y < 0.01 || uv.y > 0.99) {
                    continue;
                }
                const sf::Color c = shot.getPixel(px, py);
                ++result.samples;
                const sf::Vector2i texel = texelOf(c);
                const double ex = uv.x * kSize - 0.5;
                const double ey = uv.y * kSize - 0.5;
                if (c.a == 255 && std::fabs(texel.x - ex) <= tolerance &&
                    std::fabs(texel.y - ey) <= tolerance) {
                    ++result.matching;
                } else if (result.firstMiss.empty()) {
                    result.firstMiss = "pixel (" + std::to_string(px) + ", " + std::to_string(py) +
                                       ") shows texel (" + std::to_string(texel.x) + ", " +
                                       std::to_string(texel.y) + ") alpha " + std::to_string(c.a) +
                                       ", expected (" + std::to_string(ex) + ", " +
                                       std::to_string(ey) + ")";
                }
                if (const std::optional<Vec> wrong = other(quad, centre)) {
                    if (std::fabs((wrong->x - uv.x) * kSize) > 8 ||
                        std::fabs((wrong->y - uv.y) * kSize) > 8) {
                        ++result.farFromOther;
                    }
                }
            }
        }
        return result;
    }

    static sf::Color pixel(unsigned x, unsigned y) {
        target.display();
        return target.getTexture().copyToImage().getPixel(x, y);
    }

    static sf::Texture coordinates;
    static sf::Texture block;
    static sf::RenderTexture target;
};

sf::Texture Elastic::coordinates;
sf::Texture Elastic::block;
sf::RenderTexture Elastic::target;

} // namespace

TEST_F(Elastic, UnmovedRectangleHasWeightsOfTwo) {
    ElasticSprite sprite;
    ASSERT_TRUE(ElasticSprite::shadersLoaded());
    EXPECT_TRUE(sprite.getWeights().empty());
    sprite.setTexture(coordinates, true);
    sprite.setTextureRect({256.0f, 128.0f, 512.0f, 256.0f});
    sprite.enablePerspective();
    ASSERT_EQ(sprite.getWeights().size(), 4u);
    sprite.setPosition(100.0f, 50.0f);
    sprite.markForUpdate();
    target.clear(sf::Color::Transparent);
    target.draw(sprite, sf::Transform().translate(10.0f, 20.0f));
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(sprite.getWeights()[i], 2.0f) << "corner " << i;
    }
    // The vertices hold target coordinates: the states' transform after the sprite's own.
    const auto& v = sprite.getVertices();
    EXPECT_EQ(v[0].position, sf::Vector2f(110.0f, 70.0f));
    EXPECT_EQ(v[1].position, sf::Vector2f(110.0f, 326.0f));
    EXPECT_EQ(v[2].position, sf::Vector2f(622.0f, 326.0f));
    EXPECT_EQ(v[3].position, sf::Vector2f(622.0f, 70.0f));
    // Normalised texture coordinates times each corner's weight.
    EXPECT_EQ(v[0].texCoords, sf::Vector2f(0.25f, 0.125f) * 2.0f);
    EXPECT_EQ(v[1].texCoords, sf::Vector2f(0.25f, 0.375f) * 2.0f);
    EXPECT_EQ(v[2].texCoords, sf::Vector2f(0.75f, 0.375f) * 2.0f);
    EXPECT_EQ(v[3].texCoords, sf::Vector2f(0.75f, 0.125f) * 2.0f);
    // Undistorted: the pixel at texel (300, 200) shows that texel.
    const sf::Vector2i texel = texelOf(pixel(110 + 300 - 256, 70 + 200 - 128));
    EXPECT_EQ(texel, sf::Vector2i(300, 200));
}

TEST_F(Elastic, WallWeightsAreTheDiagonalRatios) {
    ElasticSprite wall;
    wall.enablePerspective();
    makeWall(wall);
    target.clear(sf::Color::Transparent);
    target.draw(wall);
    const std::vector<float>& w = wall.getWeights();
    // In a trapezoid the diagonals cut each other in the ratio of the parallel sides, so the
    // near (right, long) corners weigh 1 + right/left and the far ones 1 + left/right.
    const Quad q = quadOf(wall);
    const double left = q[1].y - q[0].y;
    const double right = q[2].y - q[3].y;
    EXPECT_NEAR(left, 1024 * 0.17, 0.01);
    EXPECT_NEAR(right, (1024 + 5000) * 0.17, 0.01);
    EXPECT_NEAR(w[0], 1 + left / right, 1e-4);
    EXPECT_NEAR(w[1], 1 + left / right, 1e-4);
    EXPECT_NEAR(w[2], 1 + right / left, 1e-3);
    EXPECT_NEAR(w[3], 1 + right / left, 1e-3);
}

TEST_F(Elastic, PerspectivePathShowsTheProjectiveMap) {
    ElasticSprite wall;
    wall.enablePerspective();
    makeWall(wall);
    target.clear(sf::Color::Transparent);
    target.draw(wall);
    const Quad quad = quadOf(wall);
    const Comparison c = compare(quad, inverseProjective, affineOverTriangles, 1.0);
    EXPECT_GT(c.samples, 800);
    EXPECT_EQ(c.matching, c.samples) << c.firstMiss;
    // The test can tell: most samples would be far off under a plain affine quad.
    EXPECT_GT(c.farFromOther, c.samples / 2);
}

TEST_F(Elastic, BilinearPathShowsTheInverseBilinearMap) {
    ElasticSprite wall; // perspective off: the bilinear fragment shader
    makeWall(wall);
    target.clear(sf::Color::Transparent);
    target.draw(wall);
    const Quad quad = quadOf(wall);
    auto projective = [](const Quad& q, Vec p) {
        return std::optional<Vec>(inverseProjective(q, p));
    };
    const Comparison c = compare(quad, inverseBilinear, projective, 2.0);
    EXPECT_GT(c.samples, 800);
    EXPECT_EQ(c.matching, c.samples) << c.firstMiss;
    EXPECT_GT(c.farFromOther, c.samples / 2);
}

TEST_F(Elastic, MovingWithoutMarkingDrawsAtTheOldPlace) {
    for (const bool perspective : {true, false}) {
        ElasticSprite sprite;
        if (perspective) {
            sprite.enablePerspective();
        }
        sprite.setTexture(block, true);
        sprite.setPosition(100.0f, 100.0f);
        target.clear(sf::Color::Transparent);
        target.draw(sprite);
        sprite.setPosition(600.0f, 100.0f);
        target.clear(sf::Color::Transparent);
        target.draw(sprite);
        EXPECT_EQ(pixel(132, 132), sf::Color::Red) << "perspective " << perspective;
        EXPECT_EQ(pixel(632, 132).a, 0) << "perspective " << perspective;
        sprite.markForUpdate();
        target.clear(sf::Color::Transparent);
        target.draw(sprite);
        EXPECT_EQ(pixel(132, 132).a, 0) << "perspective " << perspective;
        EXPECT_EQ(pixel(632, 132), sf::Color::Red) << "perspective " << perspective;
    }
}

TEST_F(Elastic, WithoutTextureBothShadersDrawTheVertexColours) {
    for (const bool perspective : {true, false}) {
        ElasticSprite sprite;
        if (perspective) {
            sprite.enablePerspective();
        }
        sprite.setTextureRect({0.0f, 0.0f, 200.0f, 100.0f});
        sprite.setCornerOffset(2, {40.0f, 30.0f});
        sprite.setPosition(300.0f, 300.0f);
        target.clear(sf::Color::Black);
        target.draw(sprite);
        EXPECT_EQ(pixel(400, 350), sf::Color::White) << "perspective " << perspective;
        EXPECT_EQ(pixel(300 + 230, 300 + 120), sf::Color::White) << "perspective " << perspective;
        EXPECT_EQ(pixel(250, 250), sf::Color::Black) << "perspective " << perspective;
        // The corner colours came back after the draw.
        for (const sf::Vertex& v : sprite.getVertices()) {
            EXPECT_EQ(v.color, sf::Color::White);
        }
    }
}

TEST_F(Elastic, DegenerateQuadsFallBackToWeightsOfOne) {
    // Corner 2 on corner 0: the diagonal 0-2 has no direction.
    ElasticSprite collapsed;
    collapsed.setTexture(block, true);
    collapsed.enablePerspective();
    collapsed.setCornerOffset(2, {-64.0f, -64.0f});
    // Corner 0 on the other diagonal: no depth left for it.
    ElasticSprite crossing;
    crossing.setTexture(block, true);
    crossing.enablePerspective();
    crossing.setCornerOffset(0, {32.0f, 32.0f});
    for (ElasticSprite* sprite : {&collapsed, &crossing}) {
        target.clear(sf::Color::Transparent);
        target.draw(*sprite);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(sprite->getWeights()[i], 1.0f) << "corner " << i;
        }
    }
    // Still drawn, as an affine quad.
    EXPECT_EQ(pixel(20, 50), sf::Color::Red);
}

TEST_F(Elastic, SetTextureResetsOffsetsAndRectangleOnlyWhenAsked) {
    ElasticSprite sprite;
    sprite.setTextureRect({1.0f, 2.0f, 3.0f, 4.0f});
    sprite.setCornerOffset(1, {5.0f, 6.0f});
    sprite.setCornerOffset(9, {7.0f, 8.0f}); // no such corner: ignored
    sprite.setTexture(block, false);
    EXPECT_EQ(sprite.getTextureRect(), sf::FloatRect(1.0f, 2.0f, 3.0f, 4.0f));
    EXPECT_EQ(sprite.getCornerOffset(1), sf::Vector2f(5.0f, 6.0f));
    sprite.setTexture(block, true);
    EXPECT_EQ(sprite.getTextureRect(), sf::FloatRect(0.0f, 0.0f, 64.0f, 64.0f));
    for (unsigned i = 0; i < 4; ++i) {
        EXPECT_EQ(sprite.getCornerOffset(i), sf::Vector2f(0.0f, 0.0f));
    }
}

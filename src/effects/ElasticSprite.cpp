#include "effects/ElasticSprite.hpp"

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Shader.hpp>

#include <cmath>
#include <string>

namespace {

const char* const kBilinearFragment = R"(#version 110
uniform bool useTexture;
uniform sampler2D texture;
uniform int renderTargetHeight;
uniform vec2 v0;
uniform vec2 v1;
uniform vec2 v2;
uniform vec2 v3;
uniform float textureRectLeftRatio;
uniform float textureRectTopRatio;
uniform float textureRectWidthRatio;
uniform float textureRectHeightRatio;
uniform vec4 c0;
uniform vec4 c1;
uniform vec4 c2;
uniform vec4 c3;

vec2 linesIntersection(vec2 aStart, vec2 aEnd, vec2 bStart, vec2 bEnd)
{
    vec2 a = aEnd - aStart;
    vec2 b = bEnd - bStart;
    if (abs(atan(a.y, a.x) - atan(b.y, b.x)) < 0.01)
    {
        a = mix(aEnd, bEnd, 0.0001) - aStart;
        b = mix(bEnd, aEnd, 0.0001) - bStart;
    }
    vec2 c = aStart - bStart;
    float alpha = (b.x * c.y - b.y * c.x) / (b.y * a.x - b.x * a.y);
    return aStart + a * alpha;
}

void main()
{
    vec2 p = vec2(gl_FragCoord.x, float(renderTargetHeight) - gl_FragCoord.y);
    vec2 o = linesIntersection(v0, v3, v1, v2);
    vec2 n = linesIntersection(v1, v0, v2, v3);
    vec2 l = linesIntersection(o, p, v0, v1);
    vec2 m = linesIntersection(o, p, v3, v2);
    vec2 j = linesIntersection(n, p, v0, v3);
    vec2 k = linesIntersection(n, p, v2, v1);
    vec2 ratio = vec2(distance(p, l) / distance(m, l), distance(p, j) / distance(k, j));
    vec4 color = mix(mix(c0, c3, ratio.x), mix(c1, c2, ratio.x), ratio.y);
    if (useTexture)
    {
        vec2 coord = vec2(ratio.x * textureRectWidthRatio + textureRectLeftRatio,
                          ratio.y * textureRectHeightRatio + textureRectTopRatio);
        gl_FragColor = color * texture2D(texture, coord);
    }
    else
        gl_FragColor = color;
}
)";

const char* const kPerspectiveVertex = R"(#version 110
uniform vec4 c0;
uniform vec4 c1;
uniform vec4 c2;
uniform vec4 c3;
uniform float w0;
uniform float w1;
uniform float w2;
uniform float w3;

void main()
{
    vec4 color = c0;
    float w = w0;
    if (gl_Color.r > 0.5)
    {
        color = c1;
        w = w1;
    }
    else if (gl_Color.g > 0.5)
    {
        color = c2;
        w = w2;
    }
    else if (gl_Color.b > 0.5)
    {
        color = c3;
        w = w3;
    }
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
    vec4 coord = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_TexCoord[0] = vec4(coord.x, coord.y, w, coord.w);
    gl_FrontColor = color;
}
)";

const char* const kPerspectiveFragment = R"(#version 110
uniform bool useTexture;
uniform sampler2D texture;

void main()
{
    vec4 color = gl_Color;
    if (useTexture)
        color *= texture2D(texture, gl_TexCoord[0].xy / gl_TexCoord[0].z);
    gl_FragColor = color;
}
)";

// sf::Shader takes uniform names as std::string; these are longer than the standard library's
// short-string buffer, so passing them as literals would allocate on every draw.
const std::string kLeftRatio = "textureRectLeftRatio";
const std::string kTopRatio = "textureRectTopRatio";
const std::string kWidthRatio = "textureRectWidthRatio";
const std::string kHeightRatio = "textureRectHeightRatio";
const std::string kTargetHeight = "renderTargetHeight";

struct ElasticShaders {
    sf::Shader bilinear;
    sf::Shader perspective;
    bool loaded = false;

    void tryLoad() {
        if (loaded || !sf::Shader::isAvailable()) {
            return;
        }
        if (bilinear.loadFromMemory(kBilinearFragment, sf::Shader::Fragment) &&
            perspective.loadFromMemory(kPerspectiveVertex, kPerspectiveFragment)) {
            loaded = true;
        }
    }
};

ElasticShaders& elasticShaders() {
    static ElasticShaders shaders;
    return shaders;
}

sf::Glsl::Vec4 toVec4(const sf::Color& colour) {
    return sf::Glsl::Vec4(colour);
}

// The squared length in float, its square root in double, narrowed once.
float length(sf::Vector2f v) {
    const float squared = v.x * v.x + v.y * v.y;
    return static_cast<float>(std::sqrt(static_cast<double>(squared)));
}

} // namespace

ElasticSprite::ElasticSprite() : useShader(sf::Shader::isAvailable()) {
    if (useShader) {
        elasticShaders().tryLoad();
    }
}

bool ElasticSprite::shadersLoaded() {
    return elasticShaders().loaded;
}

bool ElasticSprite::shadersUsable() const {
    return useShader && elasticShaders().loaded;
}

void ElasticSprite::setTexture(const sf::Texture& newTexture, bool reset) {
    if (reset) {
        offsets.fill(sf::Vector2f(0.0f, 0.0f));
        textureRect = sf::FloatRect(0.0f, 0.0f, static_cast<float>(newTexture.getSize().x),
                                    static_cast<float>(newTexture.getSize().y));
    }
    texture = &newTexture;
    requiresUpdate = true;
}

void ElasticSprite::setTextureRect(const sf::FloatRect& rect) {
    textureRect = rect;
    requiresUpdate = true;
}

void ElasticSprite::setCornerOffset(unsigned int corner, sf::Vector2f offset) {
    if (corner < 4) {
        offsets[corner] = offset;
    }
    requiresUpdate = true;
}

void ElasticSprite::enablePerspective() {
    perspectiveInterpolation = true;
    weights.resize(4, 0.0f);
    requiresUpdate = true;
}

void ElasticSprite::setUseShader() {
    useShader = sf::Shader::isAvailable();
    if (useShader) {
        elasticShaders().tryLoad();
    }
    requiresUpdate = true;
}

void ElasticSprite::updateVertices(const sf::Transform& statesTransform) const {
    requiresUpdate = false;
    const sf::Transform m = statesTransform * getTransform();
    const float w = textureRect.width;
    const float h = textureRect.height;
    const sf::Vector2f local[4] = {{0.0f, 0.0f}, {0.0f, h}, {w, h}, {w, 0.0f}};
    for (std::size_t i = 0; i < 4; ++i) {
        vertices[i].position = m.transformPoint(local[i] + offsets[i]);
    }

    const float left = textureRect.left;
    const float top = textureRect.top;
    const float right = textureRect.left + textureRect.width;
    const float bottom = textureRect.top + textureRect.height;
    if (!shadersUsable() || !perspectiveInterpolation || texture == nullptr) {
        vertices[0].texCoords = {left, top};
        vertices[1].texCoords = {left, bottom};
        vertices[2].texCoords = {right, bottom};
        vertices[3].texCoords = {right, top};
        return;
    }

    const sf::Vector2f p0 = vertices[0].position;
    const sf::Vector2f p1 = vertices[1].position;
    const sf::Vector2f p2 = vertices[2].position;
    const sf::Vector2f p3 = vertices[3].position;
    // Where the diagonals 0-2 and 1-3 cross; each corner's weight is the ratio of its whole
    // diagonal to the part beyond the crossing, the projective depth of that corner.
    const float numerator = (p0.y - p1.y) * (p3.x - p1.x) - (p0.x - p1.x) * (p3.y - p1.y);
    const float denominator = (p3.y - p1.y) * (p2.x - p0.x) - (p3.x - p1.x) * (p2.y - p0.y);
    float weight[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    if (denominator != 0.0f) {
        const float t = numerator / denominator;
        const sf::Vector2f centre = p0 + t * (p2 - p0);
        const float d0 = length(p0 - centre);
        const float d1 = length(p1 - centre);
        const float d2 = length(p2 - centre);
        const float d3 = length(p3 - centre);
        // A corner on the crossing (or beyond float range) has no depth: draw it affine.
        if (d0 > 0.0f && d1 > 0.0f && d2 > 0.0f && d3 > 0.0f) {
            const float candidate[4] = {(d0 + d2) / d2, (d1 + d3) / d3, (d2 + d0) / d0,
                                        (d3 + d1) / d1};
            bool finite = true;
            for (float c : candidate) {
                finite = finite && std::isfinite(c);
            }
            if (finite) {
                for (int i = 0; i < 4; ++i) {
                    weight[i] = candidate[i];
                }
            }
        }
    }
    for (std::size_t i = 0; i < 4; ++i) {
        weights[i] = weight[i];
    }
    const float tw = static_cast<float>(texture->getSize().x);
    const float th = static_cast<float>(texture->getSize().y);
    vertices[0].texCoords = sf::Vector2f(left / tw, top / th) * weight[0];
    vertices[1].texCoords = sf::Vector2f(left / tw, bottom / th) * weight[1];
    vertices[2].texCoords = sf::Vector2f(right / tw, bottom / th) * weight[2];
    vertices[3].texCoords = sf::Vector2f(right / tw, top / th) * weight[3];
}

void ElasticSprite::draw(sf::RenderTarget& target, sf::RenderStates states) const {
    if (requiresUpdate) {
        updateVertices(states.transform);
    }
    states.transform = sf::Transform::Identity;

    if (!shadersUsable()) {
        states.texture = texture;
        target.draw(vertices.data(), vertices.size(), sf::Quads, states);
        return;
    }

    ElasticShaders& shaders = elasticShaders();
    if (perspectiveInterpolation) {
        sf::Shader& shader = shaders.perspective;
        const sf::Color colours[4] = {vertices[0].color, vertices[1].color, vertices[2].color,
                                      vertices[3].color};
        shader.setUniform("useTexture", texture != nullptr);
        if (texture != nullptr) {
            shader.setUniform("texture", *texture);
        }
        shader.setUniform("c0", toVec4(colours[0]));
        shader.setUniform("c1", toVec4(colours[1]));
        shader.setUniform("c2", toVec4(colours[2]));
        shader.setUniform("c3", toVec4(colours[3]));
        shader.setUniform("w0", weights[0]);
        shader.setUniform("w1", weights[1]);
        shader.setUniform("w2", weights[2]);
        shader.setUniform("w3", weights[3]);
        // The vertex shader tells the corners apart by these colours.
        vertices[0].color = sf::Color::Black;
        vertices[1].color = sf::Color::Red;
        vertices[2].color = sf::Color::Green;
        vertices[3].color = sf::Color::Blue;
        states.shader = &shader;
        target.draw(vertices.data(), vertices.size(), sf::Quads, states);
        for (std::size_t i = 0; i < 4; ++i) {
            vertices[i].color = colours[i];
        }
        return;
    }

    sf::Shader& shader = shaders.bilinear;
    shader.setUniform("useTexture", texture != nullptr);
    if (texture != nullptr) {
        const float tw = static_cast<float>(texture->getSize().x);
        const float th = static_cast<float>(texture->getSize().y);
        shader.setUniform("texture", *texture);
        shader.setUniform(kLeftRatio, textureRect.left / tw);
        shader.setUniform(kTopRatio, textureRect.top / th);
        shader.setUniform(kWidthRatio, textureRect.width / tw);
        shader.setUniform(kHeightRatio, textureRect.height / th);
    }
    shader.setUniform(kTargetHeight, static_cast<int>(target.getSize().y));
    const char* const names[4] = {"v0", "v1", "v2", "v3"};
    const char* const colourNames[4] = {"c0", "c1", "c2", "c3"};
    for (std::size_t i = 0; i < 4; ++i) {
        const sf::Vector2i pixel = target.mapCoordsToPixel(vertices[i].position);
        shader.setUniform(names[i],
                          sf::Glsl::Vec2(static_cast<float>(pixel.x), static_cast<float>(pixel.y)));
        shader.setUniform(colourNames[i], toVec4(vertices[i].color));
    }
    states.shader = &shader;
    target.draw(vertices.data(), vertices.size(), sf::Quads, states);
}

#pragma once
#include <SFML/Graphics/Drawable.hpp>
#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/Graphics/Transformable.hpp>
#include <SFML/Graphics/Vertex.hpp>

#include <array>
#include <vector>

// A textured quadrilateral whose four corners can be displaced freely. The corners of the
// texture rectangle are moved by their offsets, then taken through the sprite's transform and
// the render states' transform. The texture is mapped perspective-correct (vertex and fragment
// shader), bilinearly (a fragment shader inverting the bilinear map per pixel), or as a plain
// textured quad where shaders are unavailable.
//
// Corners: 0 top-left, 1 bottom-left, 2 bottom-right, 3 top-right.
class ElasticSprite : public sf::Drawable, public sf::Transformable {
  public:
    ElasticSprite();

    // With reset, the offsets go back to zero and the rectangle covers the whole texture.
    void setTexture(const sf::Texture& texture, bool reset = false);
    void setTextureRect(const sf::FloatRect& rect);
    void setCornerOffset(unsigned int corner, sf::Vector2f offset);
    void enablePerspective();
    void setUseShader();
    // The transform of the sf::Transformable base does not mark the sprite; owners call this
    // after moving, turning or scaling it.
    void markForUpdate() { requiresUpdate = true; }

    const std::array<sf::Vertex, 4>& getVertices() const { return vertices; }
    const std::vector<float>& getWeights() const { return weights; }
    sf::Vector2f getCornerOffset(unsigned int corner) const { return offsets[corner & 3u]; }
    const sf::FloatRect& getTextureRect() const { return textureRect; }
    bool usesShader() const { return useShader; }
    // Whether the class-wide shader programs compiled.
    static bool shadersLoaded();

  protected:
    void draw(sf::RenderTarget& target, sf::RenderStates states) const override;

  private:
    void updateVertices(const sf::Transform& statesTransform) const;
    bool shadersUsable() const;

    mutable bool requiresUpdate = false;
    mutable std::array<sf::Vertex, 4> vertices;
    mutable std::vector<float> weights;
    std::array<sf::Vector2f, 4> offsets{};
    const sf::Texture* texture = nullptr;
    sf::FloatRect textureRect;
    bool useShader = false;
    bool perspectiveInterpolation = false;
};

#pragma once
// Pictures as big as the screen. Those that are transparent over a large rectangle (a frame, a
// vignette) cost the software renderer a full-screen pass however little of them shows.
// Drawn through here, such a picture is drawn only over the parts outside its largest fully
// transparent rectangle: the same pixels, since a transparent texel changes nothing under
// alpha blending.
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Texture.hpp>

// Finds the transparent rectangle of `texture` from `picture`, the image it was loaded from,
// or when that is null by reading the texture back (slow: this belongs to start-up). Pictures
// without a worthwhile one are drawn whole. A null texture is ignored.
void prepareSparsePicture(const sf::Texture* texture, const sf::Image* picture);

// Draws `sprite` into `target` as target.draw would. Only a sprite of a prepared texture that
// shows its whole texture unrotated and unscaled at whole pixels is drawn in parts.
void drawSparsePicture(sf::RenderTarget& target, const sf::Sprite* sprite);

// Draws `sprite` as drawSparsePicture does. A prepared picture drawn untinted that is opaque
// throughout and covers the whole target replaces every pixel, as it would under alpha
// blending: a single-coloured one is laid down as a clear, another without blending. True in
// that case, when the target is now opaque throughout.
bool drawBackdrop(sf::RenderTarget& target, const sf::Sprite* sprite);

// The part of `target` that `sprite`, drawn later over it, leaves visible: the target without
// the prepared picture's fully opaque edge bands (whatever is drawn under them is replaced
// pixel for pixel). The whole target when the sprite is not drawn as drawSparsePicture draws
// in parts, is tinted translucent, or does not cover the target.
sf::IntRect unhiddenArea(const sf::RenderTarget& target, const sf::Sprite* sprite);

// Forgets every prepared picture (before the textures go away).
void forgetSparsePictures();

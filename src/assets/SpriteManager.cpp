#include "assets/SpriteManager.hpp"

#include "assets/Definitions.hpp"
#include "assets/TextureManager.hpp"
#include "runtime/Printable.hpp"

#include <iostream>

namespace {
const DefinitionFormat kFormat{"SpriteManager: ",
                               "Sprite",
                               "sprites",
                               "texture",
                               "Missing properties in spritesfile.",
                               "Missing TEXTURE property for ["};
}

std::unordered_map<std::string, std::unique_ptr<sf::Sprite>> SpriteManager::sprites;

bool SpriteManager::load(const std::string& path) {
    return loadDefinitions(kFormat, path, &readEntries);
}

bool SpriteManager::readEntries(const nlohmann::json& document) {
    return readDefinitionEntries(
        kFormat, document, [](const std::string& key, const nlohmann::json& entry) {
            const float originX = readOptionalFloat(entry, "originX", 0.0f);
            const float originY = readOptionalFloat(entry, "originY", 0.0f);
            const int rectX = readOptionalInt(entry, "rectX", 0);
            const int rectY = readOptionalInt(entry, "rectY", 0);
            int rectW = readOptionalInt(entry, "rectW", 0);
            int rectH = readOptionalInt(entry, "rectH", 0);
            const bool autocenter = readOptional<bool>(entry, "autocenter", false);

            const std::string textureKey = entry.at("texture").get<std::string>();
            const sf::Texture* texture = TextureManager::get(textureKey);
            if (texture == nullptr) {
                return; // the texture registry has reported the unknown key
            }
            const int width = static_cast<int>(texture->getSize().x);
            const int height = static_cast<int>(texture->getSize().y);

            sf::IntRect rect;
            sf::Vector2f origin;
            if (autocenter) {
                rect = sf::IntRect(0, 0, width, height);
                origin =
                    sf::Vector2f(static_cast<float>(width / 2), static_cast<float>(height / 2));
            } else {
                if (rectW == -1) {
                    rectW = width;
                }
                if (rectH == -1) {
                    rectH = height;
                }
                rect = sf::IntRect(rectX, rectY, rectW, rectH);
                origin = sf::Vector2f(originX, originY);
            }

            if (exists(key)) {
                std::cerr << "SpriteManager: Sprite with key " << printable(key)
                          << " already exists." << std::endl;
                return;
            }
            auto sprite = std::make_unique<sf::Sprite>();
            sprite->setTexture(*texture, true);
            sprite->setTextureRect(rect);
            sprite->setOrigin(origin);
            sprites.emplace(key, std::move(sprite));
        });
}

void SpriteManager::clear() {
    sprites.clear();
}

bool SpriteManager::exists(const std::string& key) {
    return sprites.count(key) != 0;
}

sf::Sprite* SpriteManager::get(const std::string& key) {
    return lookUpEntry(sprites, key, kFormat);
}

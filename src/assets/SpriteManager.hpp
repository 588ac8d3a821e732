#pragma once
#include <SFML/Graphics/Sprite.hpp>
#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <string>
#include <unordered_map>

// Every drawable picture of the show as one shared sprite per key, built from
// assets/sprites.json on the textures of the texture registry. Callers share the sprite:
// whatever one sets on it (position, scale, rotation, colour) the next one finds.
class SpriteManager {
  public:
    static bool load(const std::string& path);
    static bool readEntries(const nlohmann::json& document);
    // Forgets every sprite, so that load can fill the registry again.
    static void clear();
    static bool exists(const std::string& key);
    static sf::Sprite* get(const std::string& key);

  private:
    // Read-only views for checks, tools and tests (assets/RegistryViews.hpp).
    friend struct RegistryViews;
    static std::unordered_map<std::string, std::unique_ptr<sf::Sprite>> sprites;
};

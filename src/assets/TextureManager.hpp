#pragma once
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <string>
#include <unordered_map>

// Every image of the show as a texture under a string key, filled once from
// assets/textures.json. Lookups hand out the registered texture itself, read-only: nothing
// changes a texture once it is loaded.
class TextureManager {
  public:
    static bool load(const std::string& path);
    static bool readEntries(const nlohmann::json& document);
    // Forgets every texture, so that load can fill the registry again.
    static void clear();
    static bool add(const std::string& key, const std::string& file, bool repeated);
    static bool exists(const std::string& key);
    static const sf::Texture* get(const std::string& key);

    // Called with each texture as it loads and the picture it was loaded from, for start-up
    // work that reads pixels: reading a texture back costs the software renderer far more.
    using LoadWatcher = void (*)(const std::string& key, const sf::Texture& texture,
                                 const sf::Image& picture);
    // Sets the watcher of later loads (null: none).
    static void watchLoads(LoadWatcher watcher);

  private:
    // Read-only views for checks, tools and tests (assets/RegistryViews.hpp).
    friend struct RegistryViews;
    static std::unordered_map<std::string, std::unique_ptr<sf::Texture>> textures;
    static LoadWatcher loadWatcher;
};

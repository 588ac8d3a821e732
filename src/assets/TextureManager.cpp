#include "assets/TextureManager.hpp"

#include "assets/Definitions.hpp"
#include "runtime/Printable.hpp"

#include <iostream>

namespace {
const DefinitionFormat kFormat{"TextureManager: ",
                               "Texture",
                               "textures",
                               "file",
                               "Missing properties in texturesfile.",
                               "Missing FILE property for ["};
}

std::unordered_map<std::string, std::unique_ptr<sf::Texture>> TextureManager::textures;
TextureManager::LoadWatcher TextureManager::loadWatcher = nullptr;

bool TextureManager::load(const std::string& path) {
    return loadDefinitions(kFormat, path, &readEntries);
}

bool TextureManager::readEntries(const nlohmann::json& document) {
    return readDefinitionEntries(
        kFormat, document, [](const std::string& key, const nlohmann::json& entry) {
            const bool repeated = readOptional<bool>(entry, "repeated", false);
            const std::string file = entry.at("file").get<std::string>();
            add(key, file, repeated);
        });
}

void TextureManager::clear() {
    textures.clear();
}

void TextureManager::watchLoads(LoadWatcher watcher) {
    loadWatcher = watcher;
}

bool TextureManager::add(const std::string& key, const std::string& file, bool repeated) {
    if (exists(key)) {
        std::cerr << "TextureManager: Texture with key " << printable(key) << " already exists."
                  << std::endl;
        return false;
    }
    auto texture = std::make_unique<sf::Texture>();
    // Loaded through an image, as the texture's own loading from a file does, so that the
    // watcher sees the picture.
    sf::Image picture;
    const auto loadPicture = [&] {
        return picture.loadFromFile(file) && texture->loadFromImage(picture);
    };
    if (isSpecialFile(file) || !loadWithoutThrowing(loadPicture)) {
        std::cerr << "TextureManager: Unable to load file " << printable(file) << "." << std::endl;
        return false;
    }
    texture->setRepeated(repeated);
    if (loadWatcher != nullptr) {
        loadWatcher(key, *texture, picture);
    }
    textures.emplace(key, std::move(texture));
    return true;
}

bool TextureManager::exists(const std::string& key) {
    return textures.count(key) != 0;
}

const sf::Texture* TextureManager::get(const std::string& key) {
    return lookUpEntry(textures, key, kFormat);
}

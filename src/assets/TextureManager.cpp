#include "assets/TextureManager.hpp"

#include "assets/Definitions.hpp"
#include "runtime/Printable.hpp"

#include <algorithm>
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
std::vector<std::string> TextureManager::keepKeys;
std::unordered_map<std::string, sf::Image> TextureManager::kept;

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
    releasePictures();
}

void TextureManager::keepPictures(std::vector<std::string> keys) {
    keepKeys = std::move(keys);
}

const sf::Image* TextureManager::keptPicture(const std::string& key) {
    const auto it = kept.find(key);
    return it != kept.end() ? &it->second : nullptr;
}

void TextureManager::releasePictures() {
    keepKeys.clear();
    kept.clear();
}

bool TextureManager::add(const std::string& key, const std::string& file, bool repeated) {
    if (exists(key)) {
        std::cerr << "TextureManager: Texture with key " << printable(key) << " already exists."
                  << std::endl;
        return false;
    }
    auto texture = std::make_unique<sf::Texture>();
    // Loaded through an image, as the texture's own loading from a file does, so that the
    // picture can be kept.
    const bool keep = std::find(keepKeys.begin(), keepKeys.end(), key) != keepKeys.end();
    sf::Image picture;
    const auto loadPicture = [&] {
        return picture.loadFromFile(file) && texture->loadFromImage(picture);
    };
    if (isSpecialFile(file) || !loadWithoutThrowing(loadPicture)) {
        std::cerr << "TextureManager: Unable to load file " << printable(file) << "." << std::endl;
        return false;
    }
    texture->setRepeated(repeated);
    if (keep) {
        kept[key] = std::move(picture);
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

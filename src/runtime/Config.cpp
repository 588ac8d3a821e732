#include "runtime/Config.hpp"

#include "assets/Definitions.hpp"
#include "assets/MusicManager.hpp"
#include "assets/SoundManager.hpp"
#include "runtime/DemoState.hpp"

#include <nlohmann/json.hpp>

#include <fstream>
#include <iostream>

namespace {

// Reads one switch. A value that is not a boolean is reported with the library's message and
// the switch keeps its default.
bool readSwitch(const nlohmann::json& document, const char* key, bool& value) {
    if (!document.is_object() || !document.contains(key)) {
        return false;
    }
    try {
        value = document.at(key).get<bool>();
        return true;
    } catch (const nlohmann::json::exception& error) {
        std::cerr << "config.json: Key " << key << ": " << error.what() << std::endl;
        return false;
    }
}

} // namespace

void loadConfig() {
    // A pipe or a device in its place would never end reading (or opening): no file to read.
    if (isSpecialFile("config.json")) {
        std::cerr << "Config.json missing." << std::endl;
        return;
    }
    std::ifstream file("config.json");
    if (!file.is_open()) {
        std::cerr << "Config.json missing." << std::endl;
        return;
    }
    nlohmann::json document;
    try {
        file >> document;
    } catch (const nlohmann::json::exception& error) {
        std::cerr << "config.json: Error while parsing JSON." << std::endl;
        std::cerr << error.what() << std::endl;
        return;
    } catch (const std::ios_base::failure&) {
        // The name opened but cannot be read (a directory does that): no file to read.
        std::cerr << "Config.json missing." << std::endl;
        return;
    }
    file.close();

    bool value = false;
    if (readSwitch(document, "fullscreen", value)) {
        demo.config.fullscreen = value;
    }
    if (readSwitch(document, "music", value) && !value) {
        MusicManager::mute();
    }
    if (readSwitch(document, "sound", value) && !value) {
        SoundManager::mute();
    }
    if (readSwitch(document, "vsync", value)) {
        demo.config.vsync = value;
    }
    readSwitch(document, "show_fps", value);
}

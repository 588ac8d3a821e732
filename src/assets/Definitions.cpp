#include "assets/Definitions.hpp"

#include "runtime/Printable.hpp"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>

bool validateJson(const nlohmann::json& document, const std::vector<std::string>& required) {
    for (const auto& name : required) {
        if (!document.is_object() || !document.contains(name)) {
            std::cerr << "validateJson: Missing prop: " << name << "." << std::endl;
            return false;
        }
    }
    return true;
}

bool parseDefinitionFile(const char* prefix, const std::string& path, nlohmann::json& document) {
    if (isSpecialFile(path)) {
        std::cerr << prefix << "Unable to open file " << printable(path) << "." << std::endl;
        return false;
    }
    std::ifstream file(path);
    if (!file.is_open()) {
        std::cerr << prefix << "Unable to open file " << printable(path) << "." << std::endl;
        return false;
    }
    document = nlohmann::json();
    try {
        file >> document;
    } catch (const nlohmann::json::exception& error) {
        std::cerr << prefix << "Error while parsing JSON." << std::endl;
        std::cerr << error.what() << std::endl;
    } catch (const std::ios_base::failure&) {
        // The path opened but cannot be read (a directory does that): no file to read.
        std::cerr << prefix << "Unable to open file " << printable(path) << "." << std::endl;
        document = nlohmann::json();
        return false;
    }
    file.close();
    return true;
}

void reportEntryError(const char* prefix, const std::string& key, const std::exception& error) {
    std::cerr << prefix << "Unable to read [" << printable(key) << "]: " << error.what()
              << std::endl;
}

bool loadDefinitions(const DefinitionFormat& format, const std::string& path,
                     bool (*readEntries)(const nlohmann::json& document)) {
    nlohmann::json document;
    if (!parseDefinitionFile(format.prefix, path, document)) {
        return false;
    }
    return readEntries(document);
}

void reportUnknownKey(const DefinitionFormat& format, const std::string& key) {
    std::cerr << format.prefix << format.entryName << " with key " << printable(key)
              << " does not exist." << std::endl;
}

bool readDefinitionEntries(const DefinitionFormat& format, const nlohmann::json& document,
                           const EntryReader& readEntry) {
    if (!validateJson(document, {format.sectionKey})) {
        if (format.missingSection != nullptr) {
            std::cerr << format.prefix << format.missingSection << std::endl;
        }
        return false;
    }
    const nlohmann::json& section = document.at(format.sectionKey);
    if (section.is_null()) {
        return true;
    }
    if (!section.is_object()) {
        // An array or a scalar has no entry keys (the library's items() would even invent
        // index keys for an array). Let the library describe the wrong type in its own words,
        // whatever the section holds, an empty array included.
        try {
            (void)section.get<nlohmann::json::object_t>(); // throws: not an object
        } catch (const nlohmann::json::exception& error) {
            reportEntryError(format.prefix, format.sectionKey, error);
        }
        return true;
    }
    for (const auto& [key, entry] : section.items()) {
        if (!entry.is_object() || !entry.contains(format.requiredMember)) {
            if (format.missingRequired != nullptr) {
                std::cerr << format.prefix << format.missingRequired << printable(key) << "]"
                          << std::endl;
            }
            continue;
        }
        try {
            readEntry(key, entry);
        } catch (const nlohmann::json::exception& error) {
            reportEntryError(format.prefix, key, error);
        }
    }
    return true;
}

bool isSpecialFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

namespace {

// Floating-point values convert to int by truncation; values beyond the int range would be
// undefined behaviour, so they saturate instead.
int truncateToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

} // namespace

int readInt(const nlohmann::json& value) {
    if (value.is_number_float()) {
        return truncateToInt(value.get<double>());
    }
    if (value.is_number_unsigned()) {
        return truncateToInt(static_cast<double>(value.get<std::uint64_t>()));
    }
    if (value.is_number_integer()) {
        return truncateToInt(static_cast<double>(value.get<std::int64_t>()));
    }
    return value.get<int>(); // booleans convert to 1/0; anything else throws a type error
}

float readFloat(const nlohmann::json& value) {
    return value.get<float>();
}

int readOptionalInt(const nlohmann::json& entry, const char* name, int fallback) {
    const auto it = entry.find(name);
    return it == entry.end() ? fallback : readInt(*it);
}

float readOptionalFloat(const nlohmann::json& entry, const char* name, float fallback) {
    const auto it = entry.find(name);
    return it == entry.end() ? fallback : readFloat(*it);
}

#pragma once
// The shared rules of the JSON definition files: opening and parsing a file, checking
// required members, and walking the entries of a registry's section.
#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// True when `document` is an object holding every name of `required`; otherwise reports
// the first missing name ("validateJson: Missing prop: NAME.") and returns false.
bool validateJson(const nlohmann::json& document, const std::vector<std::string>& required);

// What makes one registry's definition file different from another's.
struct DefinitionFormat {
    const char* prefix;          // "TextureManager: "
    const char* entryName;       // "Texture", as in "Texture with key ... does not exist."
    const char* sectionKey;      // "textures"
    const char* requiredMember;  // "file"
    const char* missingSection;  // line after the validation line, or nullptr for none
    const char* missingRequired; // "Missing FILE property for [", or nullptr for silence
};

// Opens `path` and extracts one JSON value into `document`. A file that does not open is
// reported and gives false. A parse error is reported (two lines) and the document keeps
// what the parser had built so far; the result is then still true.
bool parseDefinitionFile(const char* prefix, const std::string& path, nlohmann::json& document);

// Parses the definition file at `path` and hands the document to the registry's
// `readEntries`; false when the file does not open or the registry's section is missing.
bool loadDefinitions(const DefinitionFormat& format, const std::string& path,
                     bool (*readEntries)(const nlohmann::json& document));

// The entry under `key` in a registry's map (held by pointer or by value), or null.
template <typename Value> Value* entryAddress(std::unique_ptr<Value>& entry) {
    return entry.get();
}
template <typename Value> Value* entryAddress(Value& entry) {
    return &entry;
}
template <typename Map> auto findEntry(Map& entries, const std::string& key) {
    const auto it = entries.find(key);
    return it == entries.end() ? nullptr : entryAddress(it->second);
}

// Reports a lookup of a key the registry does not hold: "PREFIXENTRY with key KEY does not
// exist."
void reportUnknownKey(const DefinitionFormat& format, const std::string& key);

// findEntry for the show's lookups: an unknown key is reported in the registry's words.
template <typename Map>
auto lookUpEntry(Map& entries, const std::string& key, const DefinitionFormat& format) {
    const auto entry = findEntry(entries, key);
    if (entry == nullptr) {
        reportUnknownKey(format, key);
    }
    return entry;
}

// One registry entry: its key and its value (an object with the required member).
using EntryReader = std::function<void(const std::string& key, const nlohmann::json& entry)>;

// Validates the section and calls `readEntry` for every entry that has the required member,
// in ascending key order. A JSON type error inside an entry (or a section that is not an
// object) is reported in one line under the prefix naming the key, and the walk goes on with
// the next entry. Returns false only when the section is missing.
bool readDefinitionEntries(const DefinitionFormat& format, const nlohmann::json& document,
                           const EntryReader& readEntry);

// The one-line report of a JSON type error met while reading the entry `key`.
void reportEntryError(const char* prefix, const std::string& key, const std::exception& error);

// Reads an optional member with the library's own conversion, or gives `fallback`.
template <typename T> T readOptional(const nlohmann::json& entry, const char* name, T fallback) {
    const auto it = entry.find(name);
    return it == entry.end() ? fallback : it->template get<T>();
}

// True when `path` names something that exists but is no regular file (a folder, a device, a
// pipe). Every loader refuses such paths up front: opening a pipe with no writer waits
// forever, reading a device never ends, and given a folder some of the audio library's
// decoders read forever.
bool isSpecialFile(const std::string& path);

// Runs one of the media library's loaders (`load` returns whether it loaded) and turns an
// exception from underneath (the decoders allocate what a file's header claims) into a
// failure, so that no loader's exception escapes start-up.
template <typename Load> bool loadWithoutThrowing(Load&& load) {
    try {
        return load();
    } catch (const std::exception&) {
        return false;
    }
}

// Reads a 32-bit integer the way the definition files allow: integers, floating-point
// numbers (truncated toward zero) and booleans (1 or 0).
int readInt(const nlohmann::json& value);
// Reads a float: any number (to the nearest float) or a boolean (1 or 0).
float readFloat(const nlohmann::json& value);
int readOptionalInt(const nlohmann::json& entry, const char* name, int fallback);
float readOptionalFloat(const nlohmann::json& entry, const char* name, float fallback);

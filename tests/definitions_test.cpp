// The shared rules of the definition files, checked through each of the four asset registries:
// the exact diagnostic lines, in order, for missing, broken, incomplete and unusual files, and
// what each registry keeps afterwards. Registries are process-wide and never cleared, so every
// test uses keys of its own.
#include "support/TestAudio.hpp"
#include "support/TestSupport.hpp"

#include "assets/Definitions.hpp"
#include "assets/MusicManager.hpp"
#include "assets/RegistryViews.hpp"
#include "assets/SoundManager.hpp"
#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include <climits>
#include <sstream>

namespace {

using Lines = std::vector<std::string>;

std::string uniqueKey(const std::string& stem) {
    static int counter = 0;
    return "defs" + std::to_string(++counter) + "-" + stem;
}

// One registry as these tests see it: its names, its loader, and how to write a valid entry.
struct Registry {
    std::string name; // the class name; the diagnostics begin with it and ": "
    std::string section;
    std::string required;
    std::string kind;            // the word in "already exists." and "does not exist." lines
    std::string missingSection;  // the line after the validation line; empty when none
    std::string missingRequired; // the text before "KEY]"; empty when the registry is silent
    bool refusesDuplicates;
    bool (*load)(const std::string& path);
    bool (*registered)(const std::string& key);
    void (*lookUp)(const std::string& key); // a lookup that reports an unknown key
    // The JSON text of a complete entry; writes the media it names into `dir`.
    std::string (*entry)(const test::TempDir& dir, const std::string& key);
    // Members that spoil a valid entry, each with the library's message about it.
    std::vector<std::pair<std::string, std::string>> wrongTypes;
};

// Failure messages name the registry rather than dumping the record's bytes.
void PrintTo(const Registry& registry, std::ostream* out) {
    *out << registry.name;
}

const char* const kSharedTexture = "defs-shared-texture";

std::string textureEntry(const test::TempDir& dir, const std::string& key) {
    const std::string png = test::writePng(dir.file(key + ".png"), 8, 4, sf::Color::Green);
    return R"({"file": ")" + png + R"("})";
}

std::string spriteEntry(const test::TempDir& dir, const std::string&) {
    if (!TextureManager::exists(kSharedTexture)) {
        TextureManager::add(kSharedTexture,
                            test::writePng(dir.file("shared.png"), 8, 4, sf::Color::Red), false);
    }
    return std::string(R"({"texture": ")") + kSharedTexture + R"(", "autocenter": true})";
}

std::string soundEntry(const test::TempDir& dir, const std::string& key) {
    return R"({"file": ")" + test::writeTone(dir.file(key + ".wav"), 0.05) + R"("})";
}

std::string musicEntry(const test::TempDir& dir, const std::string& key) {
    // Loading never opens a song's file, so it need not exist.
    return R"({"file": ")" + dir.file(key + ".ogg") + R"(", "volume": 50})";
}

const std::string kTypeError = "[json.exception.type_error.302] type must be ";

std::vector<Registry> registries() {
    return {
        {"TextureManager",
         "textures",
         "file",
         "Texture",
         "TextureManager: Missing properties in texturesfile.",
         "Missing FILE property for [",
         true,
         &TextureManager::load,
         &TextureManager::exists,
         [](const std::string& key) { (void)TextureManager::get(key); },
         &textureEntry,
         {{R"("repeated": 1)", kTypeError + "boolean, but is number"},
          {R"("repeated": null)", kTypeError + "boolean, but is null"},
          {R"("file": 5)", kTypeError + "string, but is number"}}},
        {"SpriteManager",
         "sprites",
         "texture",
         "Sprite",
         "SpriteManager: Missing properties in spritesfile.",
         "Missing TEXTURE property for [",
         true,
         &SpriteManager::load,
         &SpriteManager::exists,
         [](const std::string& key) { (void)SpriteManager::get(key); },
         &spriteEntry,
         {{R"("originX": "2")", kTypeError + "number, but is string"},
          {R"("originY": null)", kTypeError + "number, but is null"},
          {R"("rectX": [1])", kTypeError + "number, but is array"},
          {R"("rectW": "10")", kTypeError + "number, but is string"},
          {R"("autocenter": 1)", kTypeError + "boolean, but is number"},
          {R"("texture": {"key": 1})", kTypeError + "string, but is object"}}},
        {"SoundManager",
         "sounds",
         "file",
         "Sound",
         "SoundManager: Missing properties in soundsfile.",
         "",
         true,
         &SoundManager::load,
         &SoundManager::exists,
         [](const std::string& key) { SoundManager::play(key); },
         &soundEntry,
         {{R"("instances": "3")", kTypeError + "number, but is string"},
          {R"("instances": null)", kTypeError + "number, but is null"},
          {R"("file": false)", kTypeError + "string, but is boolean"}}},
        {"MusicManager",
         "music",
         "file",
         "Song",
         "",
         "Missing FILE property for [",
         false,
         &MusicManager::load,
         [](const std::string& key) { return RegistryViews::musicEntry(key) != nullptr; },
         [](const std::string& key) { MusicManager::play(key, false, 0.0); },
         &musicEntry,
         {{R"("volume": "loud")", kTypeError + "number, but is string"},
          // a double refuses booleans, unlike the integer and float properties
          {R"("loopTo": true)", kTypeError + "number, but is boolean"},
          {R"("loopTo": "2000")", kTypeError + "number, but is string"},
          {R"("file": ["a"])", kTypeError + "string, but is array"}}},
    };
}

struct Loaded {
    bool result;
    Lines lines;
};

class DefinitionFiles : public ::testing::TestWithParam<Registry> {
  protected:
    const Registry& registry() const { return GetParam(); }
    std::string prefix() const { return registry().name + ": "; }
    std::string entry(const std::string& key) const { return registry().entry(dir, key); }

    // A document holding `members` (JSON text "\"key\": {...}, ...") in the section.
    std::string withSection(const std::string& members) const {
        return "{\"" + registry().section + "\": {" + members + "}}";
    }
    static std::string member(const std::string& key, const std::string& value) {
        return "\"" + key + "\": " + value;
    }

    Loaded loadText(const std::string& text) {
        const std::string path = dir.write(uniqueKey("file.json"), text);
        return loadPath(path);
    }
    Loaded loadPath(const std::string& path) {
        test::CerrCapture capture;
        const bool result = registry().load(path);
        return {result, capture.lines()};
    }

    // The lines of a missing or unusable section: the validation line and the registry's own.
    Lines missingSectionLines() const {
        Lines lines{"validateJson: Missing prop: " + registry().section + "."};
        if (!registry().missingSection.empty()) {
            lines.push_back(registry().missingSection);
        }
        return lines;
    }

    test::TempDir dir;
};

TEST_P(DefinitionFiles, FileThatDoesNotOpenIsOneLineAndFalse) {
    // A folder opens as a stream but fails on the first read.
    for (const std::string& path : {dir.file("absent.json"), dir.path().string()}) {
        const Loaded loaded = loadPath(path);
        EXPECT_FALSE(loaded.result) << path;
        EXPECT_EQ(loaded.lines, Lines{prefix() + "Unable to open file " + path + "."});
    }
}

TEST_P(DefinitionFiles, EmptyFileReportsTheParserThenTheMissingSection) {
    const Loaded loaded = loadText("");
    EXPECT_FALSE(loaded.result);
    Lines expected{prefix() + "Error while parsing JSON.", test::parserMessage("")};
    for (const std::string& line : missingSectionLines()) {
        expected.push_back(line);
    }
    EXPECT_EQ(loaded.lines, expected);
}

TEST_P(DefinitionFiles, TextAfterTheTopLevelObjectIsNeverRead) {
    const std::string key = uniqueKey("after");
    const Loaded loaded =
        loadText(withSection(member(key, entry(key))) + " trailing {\"not\": json");
    EXPECT_TRUE(loaded.result);
    EXPECT_EQ(loaded.lines, Lines{});
    EXPECT_TRUE(registry().registered(key));
}

TEST_P(DefinitionFiles, FileBrokenOffKeepsTheEntriesCompletedBeforeTheBreak) {
    const std::string stem = uniqueKey("cut-");
    const std::string a = stem + "a";
    const std::string b = stem + "b";
    const std::string c = stem + "c";
    // The break falls inside the third entry's required string: the parser leaves it null.
    const std::string text = "{\"" + registry().section + "\": {" + member(a, entry(a)) + ", " +
                             member(b, entry(b)) + ", \"" + c + "\": {\"" + registry().required +
                             "\": \"cut short";
    const Loaded loaded = loadText(text);
    EXPECT_TRUE(loaded.result);
    EXPECT_EQ(
        loaded.lines,
        (Lines{prefix() + "Error while parsing JSON.", test::parserMessage(text),
               prefix() + "Unable to read [" + c + "]: " + kTypeError + "string, but is null"}));
    EXPECT_TRUE(registry().registered(a));
    EXPECT_TRUE(registry().registered(b));
    EXPECT_FALSE(registry().registered(c));
}

TEST_P(DefinitionFiles, DocumentWithoutTheSectionRegistersNothing) {
    const std::string key = uniqueKey("misspelt");
    const std::string misspelt =
        "{\"" + registry().section + "s\": {" + member(key, entry(key)) + "}, \"other\": 1}";
    for (const std::string& text : {misspelt, std::string("[{\"" + registry().section + "\": {}}]"),
                                    std::string("\"" + registry().section + "\"")}) {
        SCOPED_TRACE(text);
        const Loaded loaded = loadText(text);
        EXPECT_FALSE(loaded.result);
        EXPECT_EQ(loaded.lines, missingSectionLines());
    }
    EXPECT_FALSE(registry().registered(key));
}

TEST_P(DefinitionFiles, NullAndEmptySectionsAreQuietSuccesses) {
    for (const char* value : {"null", "{}"}) {
        const Loaded loaded = loadText("{\"" + registry().section + "\": " + value + "}");
        EXPECT_TRUE(loaded.result) << value;
        EXPECT_EQ(loaded.lines, Lines{}) << value;
    }
}

TEST_P(DefinitionFiles, SectionOfAnotherTypeIsOneLineNamingTheSection) {
    const std::vector<std::pair<std::string, std::string>> cases{{"[]", "array"},
                                                                 {"[{\"file\": \"x\"}]", "array"},
                                                                 {"5", "number"},
                                                                 {"\"x\"", "string"},
                                                                 {"true", "boolean"}};
    for (const auto& [value, type] : cases) {
        const Loaded loaded = loadText("{\"" + registry().section + "\": " + value + "}");
        EXPECT_TRUE(loaded.result) << value;
        EXPECT_EQ(loaded.lines, Lines{prefix() + "Unable to read [" + registry().section +
                                      "]: " + kTypeError + "object, but is " + type})
            << value;
    }
}

TEST_P(DefinitionFiles, EntriesAreVisitedInByteOrderOfTheirKeys) {
    // Each entry's required property has the wrong type, so each writes one line.
    const std::string stem = uniqueKey("order-");
    const std::string wrong = "{\"" + registry().required + "\": 1}";
    const Loaded loaded =
        loadText(withSection(member(stem + "b", wrong) + ", " + member(stem + "a", wrong) + ", " +
                             member(stem + "B", wrong)));
    EXPECT_TRUE(loaded.result);
    Lines expected;
    for (const char* last : {"B", "a", "b"}) {
        expected.push_back(prefix() + "Unable to read [" + stem + last + "]: " + kTypeError +
                           "string, but is number");
    }
    EXPECT_EQ(loaded.lines, expected);
}

TEST_P(DefinitionFiles, KeyWrittenTwiceRegistersTheLaterOccurrenceSilently) {
    const std::string key = uniqueKey("twice");
    const std::string spoilt = "{\"" + registry().required + "\": 5}";
    const Loaded loaded =
        loadText(withSection(member(key, spoilt) + ", " + member(key, entry(key))));
    EXPECT_TRUE(loaded.result);
    EXPECT_EQ(loaded.lines, Lines{});
    EXPECT_TRUE(registry().registered(key));
}

TEST_P(DefinitionFiles, EntryWithoutItsRequiredPropertyIsSkipped) {
    const std::string stem = uniqueKey("req-");
    const Loaded loaded = loadText(withSection(
        member(stem + "a", entry(stem + "a")) + ", " + member(stem + "b", R"({"other": 1})") +
        ", " + member(stem + "c", entry(stem + "c")) + ", " + member(stem + "d", "null") + ", " +
        member(stem + "e", "\"" + registry().required + "\"")));
    EXPECT_TRUE(loaded.result);
    Lines expected;
    if (!registry().missingRequired.empty()) {
        for (const char* skipped : {"b", "d", "e"}) {
            expected.push_back(prefix() + registry().missingRequired + stem + skipped + "]");
        }
    }
    EXPECT_EQ(loaded.lines, expected);
    EXPECT_TRUE(registry().registered(stem + "a"));
    EXPECT_TRUE(registry().registered(stem + "c"));
    for (const char* skipped : {"b", "d", "e"}) {
        EXPECT_FALSE(registry().registered(stem + skipped)) << skipped;
    }
}

TEST_P(DefinitionFiles, SecondLoadOfAFileReportsEveryKeyAsTaken) {
    const std::string stem = uniqueKey("dup-");
    const std::string path =
        dir.write("dup.json", withSection(member(stem + "b", entry(stem + "b")) + ", " +
                                          member(stem + "a", entry(stem + "a"))));
    const Loaded first = loadPath(path);
    EXPECT_TRUE(first.result);
    EXPECT_EQ(first.lines, Lines{});

    const Loaded second = loadPath(path);
    EXPECT_TRUE(second.result);
    Lines expected;
    if (registry().refusesDuplicates) {
        for (const char* last : {"a", "b"}) {
            expected.push_back(prefix() + registry().kind + " with key " + stem + last +
                               " already exists.");
        }
    }
    EXPECT_EQ(second.lines, expected);
}

TEST_P(DefinitionFiles, WrongTypeSkipsOnlyThatEntry) {
    for (const auto& [members, message] : registry().wrongTypes) {
        SCOPED_TRACE(members);
        const std::string stem = uniqueKey("type-");
        std::string spoilt = entry(stem + "a");
        spoilt.insert(spoilt.size() - 1, ", " + members); // a later member wins over an earlier
        const Loaded loaded = loadText(
            withSection(member(stem + "a", spoilt) + ", " + member(stem + "b", entry(stem + "b"))));
        EXPECT_TRUE(loaded.result);
        EXPECT_EQ(loaded.lines, Lines{prefix() + "Unable to read [" + stem + "a]: " + message});
        EXPECT_FALSE(registry().registered(stem + "a"));
        EXPECT_TRUE(registry().registered(stem + "b"));
    }

    // Every property wrong at once: the one read first is reported. The list above follows the
    // order in which an entry's properties are read, which is neither the order the file writes
    // them in (here the reverse) nor the order of their names.
    std::vector<std::string> names;
    std::vector<std::string> firstVariant;
    std::vector<std::string> messages;
    for (const auto& [members, message] : registry().wrongTypes) {
        const std::string name = members.substr(1, members.find('"', 1) - 1);
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
            firstVariant.push_back(members);
            messages.push_back(message);
        }
    }
    ASSERT_GE(names.size(), 2u);
    const std::string stem = uniqueKey("order-");
    std::string spoilt = entry(stem + "a");
    for (auto it = firstVariant.rbegin(); it != firstVariant.rend(); ++it) {
        spoilt.insert(spoilt.size() - 1, ", " + *it);
    }
    const Loaded loaded = loadText(withSection(member(stem + "a", spoilt)));
    EXPECT_EQ(loaded.lines, Lines{prefix() + "Unable to read [" + stem + "a]: " + messages.front()})
        << spoilt;
}

TEST_P(DefinitionFiles, LookupOfAnUnknownKeyReportsEveryTimeAndInsertsNothing) {
    const std::string key = uniqueKey("Unknown");
    test::CerrCapture capture;
    registry().lookUp(key);
    registry().lookUp(key);
    const std::string line = prefix() + registry().kind + " with key " + key + " does not exist.";
    EXPECT_EQ(capture.lines(), (Lines{line, line}));
    EXPECT_FALSE(registry().registered(key));
}

INSTANTIATE_TEST_SUITE_P(Registries, DefinitionFiles, ::testing::ValuesIn(registries()),
                         [](const ::testing::TestParamInfo<Registry>& instance) {
                             return instance.param.name;
                         });

// --- validateJson and the integer kind -------------------------------------------------

bool validate(const nlohmann::json& document, const std::vector<std::string>& names, Lines& lines) {
    test::CerrCapture capture;
    const bool result = validateJson(document, names);
    lines = capture.lines();
    return result;
}

TEST(ValidateJson, ReportsOnlyTheFirstMissingName) {
    Lines lines;
    EXPECT_FALSE(validate({{"a", 1}}, {"a", "b", "c"}, lines));
    EXPECT_EQ(lines, Lines{"validateJson: Missing prop: b."});

    EXPECT_TRUE(validate({{"a", 1}, {"b", nullptr}, {"c", "x"}}, {"a", "b", "c"}, lines))
        << "a member holding null is present";
    EXPECT_EQ(lines, Lines{});
}

TEST(ValidateJson, EmptyListPassesAndNonObjectsFailOnTheFirstName) {
    Lines lines;
    EXPECT_TRUE(validate(nullptr, {}, lines));
    EXPECT_EQ(lines, Lines{});
    for (const nlohmann::json& document :
         {nlohmann::json(nullptr), nlohmann::json::array({"a", "b"}), nlohmann::json("a"),
          nlohmann::json(1)}) {
        EXPECT_FALSE(validate(document, {"a", "b"}, lines)) << document.dump();
        EXPECT_EQ(lines, Lines{"validateJson: Missing prop: a."}) << document.dump();
    }
}

TEST(PropertyKinds, IntegersTruncateTowardZeroAndSaturateBeyondTheirRange) {
    EXPECT_EQ(readInt(-10.9), -10);
    // A plain conversion of these would be undefined behaviour.
    EXPECT_EQ(readInt(3.0e10), INT_MAX);
    EXPECT_EQ(readInt(-3.0e10), INT_MIN);
    EXPECT_EQ(readInt(nlohmann::json(std::uint64_t{1} << 40)), INT_MAX);
    EXPECT_EQ(readInt(nlohmann::json(-(std::int64_t{1} << 40))), INT_MIN);
}

} // namespace

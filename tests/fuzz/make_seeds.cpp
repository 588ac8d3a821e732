// Writes the seeds of the *_entries corpora from the text seeds of the *_load corpora: for
// every text seed, the text itself behind the decoder byte 0, and, when the text holds a JSON
// value, its CBOR, MessagePack, UBJSON and BSON encodings behind bytes 1 to 4 (the byte that
// fuzz::decodeDocument reads first). Usage: fuzz_make_seeds tests/fuzz/corpus
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

void write(const fs::path& path, std::uint8_t decoder, const std::vector<std::uint8_t>& body) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.put(static_cast<char>(decoder));
    out.write(reinterpret_cast<const char*>(body.data()),
              static_cast<std::streamsize>(body.size()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_make_seeds CORPUS_DIR" << std::endl;
        return 2;
    }
    const fs::path corpus = argv[1];
    for (const char* registry : {"textures", "sprites", "sounds", "music", "particles"}) {
        const fs::path from = corpus / (std::string(registry) + "_load");
        const fs::path to = corpus / (std::string(registry) + "_entries");
        fs::create_directories(to);
        for (const auto& item : fs::directory_iterator(from)) {
            std::ifstream in(item.path(), std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)), {});
            const std::string stem = item.path().stem().string();
            write(to / (stem + ".text"), 0, std::vector<std::uint8_t>(text.begin(), text.end()));

            nlohmann::json document;
            std::istringstream stream(text);
            try {
                stream >> document;
            } catch (const nlohmann::json::exception&) {
                // the part before the error is encoded like a whole document
            }
            if (document.is_null()) {
                continue;
            }
            write(to / (stem + ".cbor"), 1, nlohmann::json::to_cbor(document));
            write(to / (stem + ".msgpack"), 2, nlohmann::json::to_msgpack(document));
            write(to / (stem + ".ubjson"), 3, nlohmann::json::to_ubjson(document));
            if (document.is_object()) {
                write(to / (stem + ".bson"), 4, nlohmann::json::to_bson(document));
            }
        }
    }
    return 0;
}

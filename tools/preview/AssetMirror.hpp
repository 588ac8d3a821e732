#pragma once
// The preview's copy of the files the show reads (config.json and everything under assets/),
// kept in a private folder that the show then runs in. The copy always holds the last set
// that loaded cleanly, so a rewind can rebuild the show from it however the originals look at
// that moment; changes to the originals are found by polling modification times and sizes,
// tried on the copy, and taken back when they break something.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace preview {

class AssetMirror {
  public:
    AssetMirror() = default;
    ~AssetMirror();
    AssetMirror(const AssetMirror&) = delete;
    AssetMirror& operator=(const AssetMirror&) = delete;

    // Copies the watched files of `source` into a new private folder. False with `error` set
    // when the folder cannot be made or a file cannot be copied.
    bool create(const std::filesystem::path& source, std::string& error);
    const std::filesystem::path& folder() const { return folder_; }

    // The watched files (relative paths) that were added, changed or removed in the source
    // since the last call; each change is reported once.
    std::vector<std::string> poll();
    // Every watched file of the source, for a reload asked for by hand.
    std::vector<std::string> all() const;

    // Copies `files` from the source over the private folder (removing those that are gone),
    // keeping what the folder held so that rollBack can restore it.
    void apply(const std::vector<std::string>& files);
    // Restores what the last apply replaced.
    void rollBack();

  private:
    struct Stamp {
        std::int64_t modified = 0;
        std::uintmax_t size = 0;
        bool operator==(const Stamp& other) const {
            return modified == other.modified && size == other.size;
        }
    };
    std::map<std::string, Stamp> scan() const;

    std::filesystem::path source_;
    std::filesystem::path folder_;
    std::map<std::string, Stamp> known_;
    // What the last apply replaced: the old bytes, or no entry for a file that was not there.
    std::map<std::string, std::string> kept_;
    std::vector<std::string> applied_;
};

} // namespace preview

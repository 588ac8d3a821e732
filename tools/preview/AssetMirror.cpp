#include "preview/AssetMirror.hpp"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace preview {

namespace fs = std::filesystem;

namespace {

bool readBytes(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    bytes = text.str();
    return true;
}

bool writeBytes(const fs::path& path, const std::string& bytes) {
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Copies by reading and writing, so that the copy is a file of its own even where the
// source is a link.
bool copyFile(const fs::path& from, const fs::path& to) {
    std::string bytes;
    return readBytes(from, bytes) && writeBytes(to, bytes);
}

} // namespace

AssetMirror::~AssetMirror() {
    if (!folder_.empty()) {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
}

std::map<std::string, AssetMirror::Stamp> AssetMirror::scan() const {
    std::map<std::string, Stamp> files;
    auto note = [&](const fs::path& path) {
        std::error_code error;
        if (!fs::is_regular_file(path, error)) {
            return;
        }
        Stamp stamp;
        stamp.size = fs::file_size(path, error);
        stamp.modified =
            static_cast<std::int64_t>(fs::last_write_time(path, error).time_since_epoch().count());
        files[path.lexically_relative(source_).generic_string()] = stamp;
    };
    note(source_ / "config.json");
    std::error_code error;
    fs::recursive_directory_iterator it(source_ / "assets",
                                        fs::directory_options::follow_directory_symlink, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        note(it->path());
    }
    return files;
}

bool AssetMirror::create(const fs::path& source, std::string& error) {
    source_ = fs::absolute(source);
    const fs::path base = fs::temp_directory_path() / "klomp-preview.XXXXXX";
    std::string pattern = base.string();
    if (mkdtemp(pattern.data()) == nullptr) {
        error = "cannot make a folder under " + fs::temp_directory_path().string();
        return false;
    }
    folder_ = pattern;
    known_ = scan();
    for (const auto& [relative, stamp] : known_) {
        if (!copyFile(source_ / relative, folder_ / relative)) {
            error = "cannot copy " + relative + " into " + folder_.string();
            return false;
        }
    }
    return true;
}

std::vector<std::string> AssetMirror::poll() {
    const std::map<std::string, Stamp> now = scan();
    std::vector<std::string> changed;
    for (const auto& [relative, stamp] : now) {
        const auto before = known_.find(relative);
        if (before == known_.end() || !(before->second == stamp)) {
            changed.push_back(relative);
        }
    }
    for (const auto& [relative, stamp] : known_) {
        if (now.count(relative) == 0) {
            changed.push_back(relative);
        }
    }
    known_ = now;
    return changed;
}

std::vector<std::string> AssetMirror::all() const {
    std::vector<std::string> files;
    for (const auto& [relative, stamp] : scan()) {
        files.push_back(relative);
    }
    return files;
}

void AssetMirror::apply(const std::vector<std::string>& files) {
    kept_.clear();
    applied_ = files;
    for (const std::string& relative : files) {
        const fs::path copy = folder_ / relative;
        std::string old;
        if (readBytes(copy, old)) {
            kept_[relative] = std::move(old);
        }
        std::error_code error;
        if (fs::is_regular_file(source_ / relative, error)) {
            copyFile(source_ / relative, copy);
        } else {
            fs::remove(copy, error);
        }
    }
}

void AssetMirror::rollBack() {
    for (const std::string& relative : applied_) {
        const fs::path copy = folder_ / relative;
        const auto old = kept_.find(relative);
        std::error_code error;
        if (old != kept_.end()) {
            writeBytes(copy, old->second);
        } else {
            fs::remove(copy, error);
        }
    }
    kept_.clear();
    applied_.clear();
}

} // namespace preview

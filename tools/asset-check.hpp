#pragma once
// The asset check: loads every definition file of the show through the real registries,
// exactly as start-up does, and checks that the set the show needs is there and holds the
// properties the scenes rely on. A library (klomp_asset_check) that the klomp-asset-check
// tool and the test suite link.
//
// Run from the repository root (assets/ relative paths) with an X display: textures need a
// GL context (tools/with-xvfb.sh gives one on a machine without a screen).
#include "runtime/Startup.hpp"

#include <ostream>
#include <string>
#include <vector>

namespace assetcheck {

// The font the scroller writes with, relative to the repository root.
using ::kFontFile;

// Which of `wanted` the font file at `path` maps to a real glyph (not glyph 0, .notdef) in
// its Unicode character map (formats 4 and 12). The others go to `missing`. False with a
// reason in `error` when the file cannot be read or has no usable Unicode map.
bool findUnmappedCharacters(const std::string& path, const std::vector<char32_t>& wanted,
                            std::vector<char32_t>& missing, std::string& error);

struct Report {
    std::vector<std::string> diagnostics; // lines the loaders and the media library reported
    std::vector<std::string> failures;    // keys missing and properties not holding
    bool passed() const { return diagnostics.empty() && failures.empty(); }
};

// Loads the whole set from the working directory and checks it, writing what it checks to
// `log`, one line per check. Call once per process: the registries keep what they loaded.
Report checkAssetSet(std::ostream& log);

} // namespace assetcheck

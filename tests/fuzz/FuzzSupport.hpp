#pragma once
// What the fuzz targets share: a quiet, self-contained process (diagnostics discarded, audio
// on OpenAL's null backend, Mesa's driver kept loaded, a scratch working directory holding a
// miniature asset tree) and decoding fuzz bytes into JSON documents.
#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// Runs once per process, before anything else. The show's state object holds render
// textures and shaders, whose construction needs an OpenGL context, so every target runs
// under an X server (tools/with-xvfb.sh; tools/fuzz.sh does that); without one it stops with
// a message instead of SFML's abort.
//
// The scratch directory mirrors the repository's assets/ folder: every definition file is
// copied as it is, every picture is replaced by a 4x4 PNG and every sound or song by a short
// WAV of the same name, so the shipped definitions load quickly. Set KLOMP_FUZZ_VERBOSE=1 to
// see the diagnostics.
void setUpOnce();

// Writes the input to `name` in the scratch directory and returns the relative path.
std::string writeInput(const char* name, const std::uint8_t* data, std::size_t size);

// Turns fuzz bytes into a JSON document. The first byte picks the decoder by its value
// modulo 5: 0 JSON text (a parse error keeps what was built so far, as the loaders do),
// 1 CBOR, 2 MessagePack, 3 UBJSON, 4 BSON; the binary formats reach values that JSON text
// cannot spell (NaN, infinities, binary strings, very large integers). A malformed binary
// document gives the library's "discarded" value. The rest of the bytes are the document.
nlohmann::json decodeDocument(const std::uint8_t* data, std::size_t size);

// Stops the target with a message when an invariant does not hold (libFuzzer records the
// input as a crash).
[[noreturn]] void fail(const std::string& what);

} // namespace fuzz

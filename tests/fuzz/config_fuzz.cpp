// config.json: the bytes become the working directory's config.json and loadConfig reads it.
// Whatever the file holds, loading must report and return, never throw or crash.
#include "FuzzSupport.hpp"

#include "assets/MusicManager.hpp"
#include "assets/SoundManager.hpp"
#include "runtime/Config.hpp"
#include "runtime/DemoState.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUpOnce();
    demo.config = Config{};
    MusicManager::musicMuted = false;
    SoundManager::soundMuted = false;
    fuzz::writeInput("config.json", data, size);
    loadConfig();
    return 0;
}
